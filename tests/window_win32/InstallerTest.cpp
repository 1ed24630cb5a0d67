// The installer as a user's PC runs it, in a fresh wine prefix: a silent install for the current
// user, what it leaves (files, Start-menu entry, "Installed apps" entry, the tool on the PATH),
// the installed programs at work (the window with its engine, the tool importing at Heavy byte
// for byte as the Linux tool does, on paths of 300 characters), then the silent uninstall,
// which leaves nothing behind. The reference files come from run-installer-test.sh.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "ControlIds.h"
#include "WindowDriver.h"

using namespace windowtest;

namespace {

const std::string kBin = BRELKA_BIN_DIR;
const std::string kBuild = kBin.substr(0, kBin.rfind('/'));
const std::string kSetup = kBuild + "/package/brelka-" BRELKA_VERSION "-setup.exe";
const std::string kWork = kBuild + "/installer-results";
const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\brelka";

std::string Native(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    std::string out;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path))) out = Utf8(path);
    CoTaskMemFree(path);
    return out;
}

bool Exists(const std::string& path) {
    return GetFileAttributesW(platform::SystemPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(std::filesystem::path(platform::SystemPath(path)), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Runs a command line and waits for its end; its exit code, or -1 when it did not start.
int RunCommand(const std::string& commandLine, int ms = 120000) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION p{};
    std::wstring command = Wide(commandLine);
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &p))
        return -1;
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(p.hProcess, static_cast<DWORD>(ms)) == WAIT_OBJECT_0)
        GetExitCodeProcess(p.hProcess, &code);
    CloseHandle(p.hThread);
    CloseHandle(p.hProcess);
    return static_cast<int>(code);
}

// A string value of a key of the current user's; "" when there is none.
std::string UserValue(const wchar_t* key, const wchar_t* name, bool* present = nullptr) {
    wchar_t buffer[4096] = {};
    DWORD bytes = sizeof buffer;
    const LSTATUS s =
        RegGetValueW(HKEY_CURRENT_USER, key, name,
                     RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND | RRF_SUBKEY_WOW6464KEY,
                     nullptr, buffer, &bytes);
    if (present) *present = s == ERROR_SUCCESS;
    return s == ERROR_SUCCESS ? Utf8(buffer) : std::string();
}

bool KeyExists(HKEY root, const wchar_t* key) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(root, key, 0, KEY_READ | KEY_WOW64_64KEY, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

// The files of a folder and its sub-folders, by path.
void ListFiles(const std::string& folder, std::set<std::string>& out) {
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(Wide(folder + "\\*").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = Utf8(data.cFileName);
        if (name == "." || name == "..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ListFiles(folder + "\\" + name, out);
        else
            out.insert(folder + "\\" + name);
    } while (FindNextFileW(h, &data));
    FindClose(h);
}

std::set<std::string> SystemFiles() {
    std::set<std::string> files;
    for (REFKNOWNFOLDERID id : {FOLDERID_System, FOLDERID_SystemX86})
        ListFiles(KnownFolder(id), files);
    return files;
}

// A folder path of at least 300 characters below base, made (in the system's long form).
std::string LongFolder(const std::string& base) {
    std::string path = base;
    CreateDirectoryW(platform::SystemPath(path).c_str(), nullptr);
    for (char part = 'a'; path.size() < 300; ++part) {
        path += "\\" + std::string(60, part);
        CreateDirectoryW(platform::SystemPath(path).c_str(), nullptr);
    }
    return path;
}

TEST(Installer, InstallsForTheUserRunsAndUninstallsWithoutATrace) {
    ASSERT_TRUE(Exists(kSetup)) << kSetup;
    const std::string reference = kWork + "/reference";
    ASSERT_TRUE(Exists(reference + "/SAMPLE05.BIN")) << "run-installer-test.sh makes it";
    // The user's programs folder (FOLDERID_UserProgramFiles, which wine does not name).
    const std::string folder = KnownFolder(FOLDERID_LocalAppData) + "\\Programs\\brelka";
    const std::string shortcut = KnownFolder(FOLDERID_Programs) + "\\brelka.lnk";
    bool hadPath = false;
    const std::string pathBefore = UserValue(L"Environment", L"Path", &hadPath);
    const std::set<std::string> systemBefore = SystemFiles();

    // Silent, for the current user, with the tool on the PATH.
    ASSERT_EQ(RunCommand("\"" + Native(kSetup) + "\" /S /PATH"), 0);
    for (const char* file : {"brelka.exe", "brelka-cli.exe", "brelka-play.dll", "qmx.dll",
                             "README.md", "LICENSE", "uninstall.exe"})
        EXPECT_TRUE(Exists(folder + "\\" + file)) << folder << "\\" << file;
    EXPECT_TRUE(Exists(shortcut)) << shortcut;
    EXPECT_EQ(UserValue(kUninstallKey, L"DisplayName"), "brelka");
    EXPECT_EQ(UserValue(kUninstallKey, L"DisplayVersion"), BRELKA_VERSION);
    EXPECT_EQ(UserValue(kUninstallKey, L"Publisher"), "the brelka developers");
    EXPECT_EQ(UserValue(kUninstallKey, L"DisplayIcon"), folder + "\\brelka.exe,0");
    DWORD size = 0, bytes = sizeof size;
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, kUninstallKey, L"EstimatedSize",
                           RRF_RT_REG_DWORD | RRF_SUBKEY_WOW6464KEY, nullptr, &size, &bytes),
              ERROR_SUCCESS);
    EXPECT_GT(size, 100u) << "KB";
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey)) << "installed for every user";
    const std::string path = UserValue(L"Environment", L"Path");
    EXPECT_NE(path.find(folder), std::string::npos) << path;
    EXPECT_EQ(SystemFiles(), systemBefore) << "the installer wrote into the system's folders";

    // The window from the installed folder: its caption, and the engine beside it.
    {
        Program window(folder + "\\brelka.exe");
        ASSERT_NE(window.window(), nullptr) << "the installed brelka.exe shows no window";
        wchar_t caption[128] = {};
        GetWindowTextW(window.window(), caption, 128);
        EXPECT_EQ(Utf8(caption), "brelka Ver." BRELKA_VERSION ".0");
        Click(window.control(IDC_RATECONVCHECK));
        EXPECT_TRUE(Eventually([&] {
            for (int id = IDC_RSSIMPLE; id <= IDC_RSUHEAVY; ++id)
                if (!IsWindowEnabled(window.control(id))) return false;
            return true;
        })) << "not all five qualities are offered";
        EXPECT_TRUE(window.Close());
    }

    // The installed tool, on paths of 300 characters: Heavy import and export, as on Linux.
    const std::string longFolder = LongFolder(Native(kWork) + "\\long");
    ASSERT_GE(longFolder.size(), 300u);
    const std::string card = longFolder + "\\card";
    CreateDirectoryW(platform::SystemPath(card).c_str(), nullptr);
    const std::string source = longFolder + "\\tone.wav";
    ASSERT_TRUE(CopyFileW(platform::SystemPath(Native(kWork) + "\\tone.wav").c_str(),
                          platform::SystemPath(source).c_str(), FALSE));
    const std::string cli = "\"" + folder + "\\brelka-cli.exe\"";
    EXPECT_EQ(RunCommand(cli + " -q import \"" + card + "\" 6 \"" + source + "\" --quality heavy"),
              0);
    EXPECT_EQ(ReadAll(card + "\\SAMPLE05.BIN"), ReadAll(reference + "/SAMPLE05.BIN"))
        << "the Heavy import differs from the Linux tool's";
    const std::string exported = longFolder + "\\slot06.wav";
    EXPECT_EQ(RunCommand(cli + " -q export \"" + card + "\" 6 \"" + exported + "\""), 0);
    EXPECT_EQ(ReadAll(exported), ReadAll(reference + "/slot06.wav"))
        << "the export differs from the Linux tool's";

    // Silent uninstall, as "Installed apps" runs it: nothing is left.
    const std::string quiet = UserValue(kUninstallKey, L"QuietUninstallString");
    ASSERT_FALSE(quiet.empty());
    EXPECT_EQ(RunCommand(quiet), 0);
    EXPECT_TRUE(Eventually([&] { return !Exists(folder); }, 30000)) << folder << " is left";
    EXPECT_FALSE(Exists(shortcut));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUninstallKey));
    bool hasPath = false;
    EXPECT_EQ(UserValue(L"Environment", L"Path", &hasPath), pathBefore);
    EXPECT_EQ(hasPath, hadPath);
}

// /D= installs into the folder given, and without /PATH the PATH stays as it is.
TEST(Installer, InstallsIntoTheFolderGiven) {
    const std::string folder = "C:\\Tools\\brelka here";
    const std::string pathBefore = UserValue(L"Environment", L"Path");
    ASSERT_EQ(RunCommand("\"" + Native(kSetup) + "\" /S /D=" + folder), 0);
    EXPECT_TRUE(Exists(folder + "\\brelka.exe"));
    EXPECT_EQ(UserValue(kUninstallKey, L"InstallLocation"), folder);
    EXPECT_EQ(UserValue(L"Environment", L"Path"), pathBefore);
    EXPECT_EQ(RunCommand("\"" + folder + "\\uninstall.exe\" /S"), 0);
    EXPECT_TRUE(Eventually([&] { return !Exists(folder); }, 30000));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUninstallKey));
}

// /ALLUSERS (as administrator, which wine's user is) installs into Program Files, with the
// Start-menu entry and the "Installed apps" entry of every user; its uninstaller takes them away.
TEST(Installer, InstallsForEveryUserWhenAsked) {
    const std::string folder = KnownFolder(FOLDERID_ProgramFiles) + "\\brelka";
    const std::string shortcut = KnownFolder(FOLDERID_CommonPrograms) + "\\brelka.lnk";
    ASSERT_EQ(RunCommand("\"" + Native(kSetup) + "\" /S /ALLUSERS"), 0);
    EXPECT_TRUE(Exists(folder + "\\brelka.exe")) << folder;
    EXPECT_TRUE(Exists(shortcut)) << shortcut;
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUninstallKey));
    EXPECT_EQ(RunCommand("\"" + folder + "\\uninstall.exe\" /ALLUSERS /S"), 0);
    EXPECT_TRUE(Eventually([&] { return !Exists(folder); }, 30000));
    EXPECT_FALSE(Exists(shortcut));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
}

} // namespace

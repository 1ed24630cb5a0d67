#include "TestSupport.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

#include "Files.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace testsupport {

TempDir::TempDir() {
    std::random_device rd;
    std::mt19937_64 gen(rd());
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path p = fs::temp_directory_path() / ("brelka-test-" + std::to_string(gen()));
        std::error_code ec;
        if (fs::create_directory(p, ec)) {
            path_ = platform::Utf8Path(p);
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ec;
    // Restore write permission first so read-only test folders can be removed.
    for (auto it = fs::recursive_directory_iterator(platform::FsPath(path_), ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(platform::FsPath(path_), ec);
}

std::string TempDir::file(const std::string& name) const {
    return path_ + "/" + name;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(platform::FsPath(path), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(platform::FsPath(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(platform::FsPath(path), ec);
}

int64_t FileSize(const std::string& path) {
    std::error_code ec;
    auto s = fs::file_size(platform::FsPath(path), ec);
    return ec ? -1 : static_cast<int64_t>(s);
}

#if !defined(_WIN32)
CommandResult Run(const std::string& command) {
    CommandResult r;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buf{};
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
        r.out.append(buf.data(), n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}
#endif

namespace {
std::string WithoutCarriageReturns(std::vector<uint8_t> bytes) {
    std::string s;
    for (size_t i = 0; i < bytes.size(); ++i)
        if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n'))
            s += static_cast<char>(bytes[i]);
    return s;
}
} // namespace

#if defined(_WIN32)

namespace {
// One argument quoted the way the C runtime splits a command line.
std::wstring QuoteArgument(const std::string& arg) {
    const std::wstring a = platform::Wide(arg);
    if (!a.empty() && a.find_first_of(L" \t\"") == std::wstring::npos) return a;
    std::wstring q = L"\"";
    size_t slashes = 0;
    for (wchar_t c : a) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        q.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
        slashes = 0;
        q += c;
    }
    q.append(slashes * 2, L'\\');
    return q + L"\"";
}

HANDLE Inheritable(const std::string& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    return CreateFileW(platform::Wide(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       &sa, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}
} // namespace

struct Child::State {
    TempDir outputs;
    PROCESS_INFORMATION pi{};
    bool started = false;
    int code = -1;
    bool waited = false;
};

Child::Child(const std::vector<std::string>& argv, const std::string& folder) : state_(new State) {
    std::wstring line;
    for (const auto& a : argv)
        line += (line.empty() ? L"" : L" ") + QuoteArgument(a);
    const HANDLE in = Inheritable("NUL", GENERIC_READ, OPEN_EXISTING);
    const HANDLE out = Inheritable(state_->outputs.file("out"), GENERIC_WRITE, CREATE_ALWAYS);
    const HANDLE err = Inheritable(state_->outputs.file("err"), GENERIC_WRITE, CREATE_ALWAYS);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in;
    si.hStdOutput = out;
    si.hStdError = err;
    // A console of this process's own that the child shares, so Interrupt can send it Ctrl-C
    // (the console that wine gives a program started from a pipe takes no such events).
    static const bool console = [] {
        FreeConsole();
        return AllocConsole() != 0;
    }();
    (void)console;
    const std::wstring dir = platform::Wide(folder);
    state_->started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                     folder.empty() ? nullptr : dir.c_str(), &si, &state_->pi) != 0;
    CloseHandle(in);
    CloseHandle(out);
    CloseHandle(err);
}

Child::~Child() {
    Wait();
    if (state_->started) {
        CloseHandle(state_->pi.hProcess);
        CloseHandle(state_->pi.hThread);
    }
    delete state_;
}

bool Child::started() const {
    return state_->started;
}

void Child::Interrupt() {
    if (!state_->started) return;
    // To every process of the console: this one ignores it.
    SetConsoleCtrlHandler(nullptr, TRUE);
    GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
}

std::string Child::OutputPath(const std::string& stream) const {
    return state_->outputs.file(stream);
}

int Child::Wait() {
    if (!state_->started || state_->waited) return state_->code;
    WaitForSingleObject(state_->pi.hProcess, INFINITE);
    DWORD code = 0;
    if (GetExitCodeProcess(state_->pi.hProcess, &code)) state_->code = static_cast<int>(code);
    state_->waited = true;
    return state_->code;
}

#else

struct Child::State {
    TempDir outputs;
    pid_t pid = -1;
    int code = -1;
    bool waited = false;
};

Child::Child(const std::vector<std::string>& argv, const std::string& folder) : state_(new State) {
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const std::string out = state_->outputs.file("out"), err = state_->outputs.file("err");
    state_->pid = fork();
    if (state_->pid == 0) {
        const int in = open("/dev/null", O_RDONLY);
        const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(in, 0);
        dup2(o, 1);
        dup2(e, 2);
        if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(127);
        execv(args[0], args.data());
        _exit(127);
    }
}

Child::~Child() {
    Wait();
    delete state_;
}

bool Child::started() const {
    return state_->pid > 0;
}

void Child::Interrupt() {
    if (state_->pid > 0 && !state_->waited) kill(state_->pid, SIGINT);
}

std::string Child::OutputPath(const std::string& stream) const {
    return state_->outputs.file(stream);
}

int Child::Wait() {
    if (state_->pid <= 0 || state_->waited) return state_->code;
    int st = 0;
    while (waitpid(state_->pid, &st, 0) < 0 && errno == EINTR) {
    }
    state_->code = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    state_->waited = true;
    return state_->code;
}

#endif

ProgramResult RunProgram(const std::vector<std::string>& argv, const std::string& folder) {
    ProgramResult r;
    Child child(argv, folder);
    if (!child.started()) return r;
    r.status = child.Wait();
    r.out = WithoutCarriageReturns(ReadBytes(child.OutputPath("out")));
    r.err = WithoutCarriageReturns(ReadBytes(child.OutputPath("err")));
    return r;
}

std::string Program(const std::string& name) {
#if defined(_WIN32)
    return BinDir() + "/" + name + ".exe";
#else
    return BinDir() + "/" + name;
#endif
}

std::string CorpusDir() {
    return BRELKA_CORPUS_DIR;
}
std::string CorpusFile(const std::string& relative) {
    return CorpusDir() + "/" + relative;
}
std::string BinDir() {
    return BRELKA_BIN_DIR;
}

std::vector<std::string> CorpusAudioFiles() {
    std::vector<std::string> files;
    for (auto& e : fs::recursive_directory_iterator(platform::FsPath(CorpusDir()))) {
        if (!e.is_regular_file()) continue;
        std::string ext = e.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
        if (ext == ".wav" || ext == ".aif" || ext == ".aiff")
            files.push_back(platform::Utf8Path(e.path()));
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<int16_t> ReadRawS16LE(const std::string& path) {
    auto bytes = ReadBytes(path);
    std::vector<int16_t> s(bytes.size() / 2);
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return s;
}

} // namespace testsupport

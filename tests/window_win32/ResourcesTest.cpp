// What the built executables tell Windows about themselves, read back from their resources as
// the system reads them: the manifest (common controls 6, per-monitor DPI awareness, the
// supported systems, long paths, the user's own rights) and the project's icon at every size
// Windows shows.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ControlIds.h"
#include "WideText.h"

namespace {

const std::string kBin = BRELKA_BIN_DIR;

class Executable {
  public:
    explicit Executable(const std::string& name)
        : module_(LoadLibraryExW(platform::Wide(kBin + "/" + name).c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
    ~Executable() {
        if (module_) FreeLibrary(module_);
    }
    Executable(const Executable&) = delete;
    Executable& operator=(const Executable&) = delete;
    bool loaded() const { return module_ != nullptr; }

    // The bytes of one resource; empty when there is none.
    std::string Resource(const wchar_t* type, const wchar_t* name) const {
        HRSRC found = FindResourceW(module_, name, type);
        if (!found) return {};
        HGLOBAL data = LoadResource(module_, found);
        const auto* bytes = static_cast<const char*>(LockResource(data));
        return bytes ? std::string(bytes, SizeofResource(module_, found)) : std::string();
    }
    std::string Manifest() const { return Resource(RT_MANIFEST, MAKEINTRESOURCEW(1)); }

  private:
    HMODULE module_;
};

// The ids of the systems from Windows 7 to Windows 10 and 11.
const char* const kSupportedOs[] = {
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"};

void ExpectEveryProgramsPart(const std::string& manifest) {
    for (const char* os : kSupportedOs)
        EXPECT_NE(manifest.find(std::string("<supportedOS Id=\"") + os + "\"/>"), std::string::npos)
            << os;
    EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"asInvoker\""), std::string::npos);
    EXPECT_NE(manifest.find(">true</longPathAware>"), std::string::npos);
}

TEST(Manifest, TheWindowProgramsAsksForTheCurrentLookAndSharpScaling) {
    const Executable exe("brelka.exe");
    ASSERT_TRUE(exe.loaded());
    const std::string manifest = exe.Manifest();
    ASSERT_FALSE(manifest.empty()) << "brelka.exe carries no manifest";
    ExpectEveryProgramsPart(manifest);
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
              std::string::npos);
    EXPECT_NE(manifest.find(">PerMonitorV2</dpiAwareness>"), std::string::npos);
    EXPECT_NE(manifest.find(">true</dpiAware>"), std::string::npos) << "the system-aware fallback";
}

TEST(Manifest, TheToolsIsPlain) {
    const Executable exe("brelka-cli.exe");
    ASSERT_TRUE(exe.loaded());
    const std::string manifest = exe.Manifest();
    ASSERT_FALSE(manifest.empty()) << "brelka-cli.exe carries no manifest";
    ExpectEveryProgramsPart(manifest);
    EXPECT_EQ(manifest.find("Common-Controls"), std::string::npos);
    EXPECT_EQ(manifest.find("dpiAware"), std::string::npos);
}

#pragma pack(push, 2)
struct GroupEntry { // one image of an icon group resource (GRPICONDIRENTRY)
    BYTE width, height, colours, reserved;
    WORD planes, bits;
    DWORD bytes;
    WORD id;
};
struct FileEntry { // one image of an .ico file (ICONDIRENTRY)
    BYTE width, height, colours, reserved;
    WORD planes, bits;
    DWORD bytes, offset;
};
#pragma pack(pop)

// Both programs carry the project's icon (the file the build made from packaging/brelka.svg),
// every image of it byte for byte, at 16, 24, 32, 48 and 256 pixels.
TEST(Icon, BothProgramsCarryTheProjectsIconAtEverySize) {
    std::ifstream in(std::filesystem::path(platform::Wide(BRELKA_ICON_FILE_SHOWN)),
                     std::ios::binary);
    const std::string ico((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(ico.size(), 6u) << BRELKA_ICON_FILE_SHOWN;
    const auto count = *reinterpret_cast<const WORD*>(ico.data() + 4);
    std::vector<std::string> images;
    std::vector<int> sizes;
    for (WORD i = 0; i < count; ++i) {
        FileEntry e{};
        std::memcpy(&e, ico.data() + 6 + i * sizeof(FileEntry), sizeof e);
        images.push_back(ico.substr(e.offset, e.bytes));
        sizes.push_back(e.width == 0 ? 256 : e.width);
    }
    EXPECT_EQ(sizes, (std::vector<int>{16, 24, 32, 48, 256}));

    for (const char* name : {"brelka.exe", "brelka-cli.exe"}) {
        SCOPED_TRACE(name);
        const Executable exe(name);
        ASSERT_TRUE(exe.loaded());
        const std::string group = exe.Resource(RT_GROUP_ICON, MAKEINTRESOURCEW(IDI_BRELKA));
        ASSERT_GE(group.size(), 6u) << "no icon";
        const auto n = *reinterpret_cast<const WORD*>(group.data() + 4);
        ASSERT_EQ(n, images.size());
        for (WORD i = 0; i < n; ++i) {
            GroupEntry e{};
            std::memcpy(&e, group.data() + 6 + i * sizeof(GroupEntry), sizeof e);
            EXPECT_EQ(e.bits, 32);
            EXPECT_EQ(exe.Resource(RT_ICON, MAKEINTRESOURCEW(e.id)), images[i]) << "image " << i;
        }
    }
}

} // namespace

#include "Version.h"

#include "VersionInfo.h"

#ifdef _WIN32
#include <windows.h>

#include <vector>

#include "WideText.h"
#endif

namespace platform {

namespace {

std::string BuiltIn(const std::string& key) {
    if (key == "ProductName") return BRELKA_VERSION_PRODUCT_NAME;
    if (key == "FileVersion") return BRELKA_VERSION_FILE_VERSION;
    return {};
}

#ifdef _WIN32

// The string of the executable's version resource in its first listed translation; present is
// false when the executable carries no version resource at all.
std::string ResourceString(const std::string& key, bool& present) {
    present = false;
    std::vector<wchar_t> self(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
        if (n == 0) return {};
        if (n < self.size()) break;
        self.resize(self.size() * 2);
    }
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(self.data(), &ignored);
    if (size == 0) return {};
    std::vector<unsigned char> block(size);
    if (!GetFileVersionInfoW(self.data(), 0, size, block.data())) return {};
    present = true;
    struct Translation {
        WORD language;
        WORD codePage;
    };
    Translation* translations = nullptr;
    UINT bytes = 0;
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&translations), &bytes) ||
        bytes < sizeof(Translation))
        return {};
    wchar_t sub[128];
    const std::wstring wideKey(key.begin(), key.end());
    swprintf(sub, 128, L"\\StringFileInfo\\%04x%04x\\%ls", translations[0].language,
             translations[0].codePage, wideKey.c_str());
    wchar_t* value = nullptr;
    UINT chars = 0;
    if (!VerQueryValueW(block.data(), sub, reinterpret_cast<void**>(&value), &chars) || !value)
        return {};
    int length = 0;
    while (length < static_cast<int>(chars) && value[length] != L'\0')
        ++length;
    return length > 0 ? Utf8(std::wstring(value, static_cast<size_t>(length))) : std::string();
}
#endif

} // namespace

std::string VersionString(const std::string& key) {
#ifdef _WIN32
    // The version resource speaks for a program that has one (a string it lacks is empty);
    // one without it reports the build's own version.
    bool present = false;
    std::string value = ResourceString(key, present);
    if (present) return value;
#endif
    return BuiltIn(key);
}

} // namespace platform

#include "SampleFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "Files.h"
#include "FolderSearch.h"
#include "Path.h"

namespace brelka {

const char kHeaderText[44] = "TARQ PL-17 SAMPLE DATA VER0001             ";

namespace {

// The header block exactly as written: text, terminator, 1D 2E F6, 00.
struct HeaderBlock {
    unsigned char bytes[kHeaderBlock];
    HeaderBlock() : bytes{} {
        std::memcpy(bytes, kHeaderText, 43);
        bytes[43] = 0x00;
        bytes[44] = 0x1D;
        bytes[45] = 0x2E;
        bytes[46] = 0xF6;
        bytes[47] = 0x00;
    }
};

} // namespace

std::FILE* OpenSlotForReading(const std::string& path) {
    // Only a plain file (or a link to one): a folder opens but has a meaningless size, and a
    // named pipe would block the open until something writes into it.
    if (!platform::IsRegularFile(path)) return nullptr;
    return platform::OpenFile(path, "rb");
}

int ParseSlotNumber(const std::string& text) {
    // Like the platform's integer conversion: optional blanks and sign, digits, and nothing
    // else; anything else counts as not a number.
    const char* s = text.c_str();
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(s, &end, 10);
    bool number = end != s && *end == '\0' && text.find_first_of("0123456789") != std::string::npos;
    // A value outside the 32-bit range is no number either.
    if (!number || errno == ERANGE || v < INT32_MIN || v > INT32_MAX) v = 1;
    if (v < 1) v = 1;
    if (v > kSlotCount) v = kSlotCount;
    return static_cast<int>(v);
}

std::string SlotFileName(const std::string& folder, int slot) {
    char name[16];
    std::snprintf(name, sizeof name, "SAMPLE%02u.BIN", static_cast<unsigned>(slot - 1));
    return platform::WithTrailingSeparator(folder) + name;
}

bool WriteSampleHeader(std::FILE* out) {
    static const HeaderBlock block;
    unsigned char area[kHeaderArea] = {};
    std::memcpy(area, block.bytes, kHeaderBlock);
    return std::fwrite(area, 1, kHeaderArea, out) == kHeaderArea;
}

bool HasSampleHeader(const std::string& path) {
    std::FILE* f = OpenSlotForReading(path);
    if (!f) return false;
    char head[kHeaderBlock] = {};
    size_t got = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
    return got >= 44 && std::memcmp(head, kHeaderText, 44) == 0;
}

int64_t FileSizeOf(const std::string& path) {
    std::FILE* f = OpenSlotForReading(path);
    if (!f) return -1;
    int64_t size = -1;
    if (platform::SeekFile(f, 0, SEEK_END)) size = platform::TellFile(f);
    std::fclose(f);
    return size;
}

std::string SlotLengthText(const std::string& path) {
    return SlotLengthTextOfSize(FileSizeOf(path));
}

std::string SlotLengthTextOfSize(int64_t size) {
    if (size < kHeaderArea) return "---:--:---";
    int64_t n = (size - kHeaderArea) / 2;
    // n x 1000 / 31250 without the product, which a size near 2^63 would overflow.
    int64_t ms = n / kDeviceRate * 1000 + n % kDeviceRate * 1000 / kDeviceRate;
    char text[32];
    std::snprintf(text, sizeof text, "%3u:%02u:%03u", static_cast<unsigned>(ms / 60000),
                  static_cast<unsigned>((ms % 60000) / 1000), static_cast<unsigned>(ms % 1000));
    return text;
}

std::vector<std::string> ScanSampleFolder(const std::string& folder) {
    std::vector<std::string> slots;
    const std::string base = platform::WithTrailingSeparator(folder);
    for (const auto& entry : platform::FindEntries(base, "SAMPLE??.BIN")) {
        if (entry.isDirectory) continue;
        const std::string& name = entry.name;
        if (name.size() < 8) continue;
        char d1 = name[6], d2 = name[7];
        if (d1 < '0' || d1 > '5' || d2 < '0' || d2 > '9') continue;
        int fileNumber = 10 * (d1 - '0') + (d2 - '0');
        // The header is read through the slot's own name, the one every reader opens: where
        // names differ by letter case (most Linux file systems), "sample00.bin" is not slot 01.
        if (!HasSampleHeader(SlotFileName(folder, fileNumber + 1))) continue;
        char text[8];
        std::snprintf(text, sizeof text, "%02u", static_cast<unsigned>(fileNumber + 1));
        if (std::find(slots.begin(), slots.end(), text) != slots.end()) continue;
        slots.emplace_back(text);
    }
    return slots;
}

int32_t ReadSlotSamples(std::FILE* f, int32_t count, int16_t* samples) {
    std::vector<unsigned char> bytes(static_cast<size_t>(count) * 2);
    const size_t got = std::fread(bytes.data(), 2, static_cast<size_t>(count), f);
    for (size_t i = 0; i < got; ++i)
        samples[i] = static_cast<int16_t>((bytes[2 * i] << 8) | bytes[2 * i + 1]);
    return static_cast<int32_t>(got);
}

bool WriteSlotSamples(std::FILE* f, const int16_t* samples, int32_t count) {
    // In pieces through a buffer on the stack: no allocation per block.
    constexpr int32_t kPiece = 1024;
    unsigned char bytes[2 * kPiece];
    for (int32_t done = 0; done < count;) {
        const int32_t n = std::min(kPiece, count - done);
        for (int32_t i = 0; i < n; ++i) {
            const auto v = static_cast<uint16_t>(samples[done + i]);
            bytes[2 * i] = static_cast<unsigned char>(v >> 8);
            bytes[2 * i + 1] = static_cast<unsigned char>(v & 0xFF);
        }
        const size_t size = static_cast<size_t>(n) * 2;
        if (std::fwrite(bytes, 1, size, f) != size) return false;
        done += n;
    }
    return true;
}

} // namespace brelka

#include "AudioFile.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include "Files.h"

namespace {

constexpr int64_t kMaxUInt32 = 0xFFFFFFFF;
constexpr int kMinBits = 1;
constexpr int kMaxBits = 32;

// Size of the local blocks used to convert samples on their way to or from the stream; a
// multiple of 1, 2, 3, 4 and 8 so that whole samples always fit.
constexpr std::size_t kBlockBytes = 49152;

// WAV format tags, also the first field of an extensible file's sub-format GUID.
constexpr uint32_t kWavPcm = 1;
constexpr uint32_t kWavFloat = 3;
constexpr uint32_t kWavExtensible = 0xFFFE;
// The rest of the sub-format GUID xxxxxxxx-0000-0010-8000-00aa00389b71, as stored.
constexpr uint8_t kGuidTail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                   0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
// Bytes of an extensible "fmt " body: the 16 of PCM, the extension's size, and 22 more.
constexpr std::size_t kExtensibleFmtBytes = 40;
constexpr uint32_t kExtensionBytes = 22;

constexpr std::size_t kWavHeaderBytes = 46;
constexpr std::size_t kAiffHeaderBytes = 124;

uint16_t Be16(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}
uint32_t Be32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Le32(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

void PutBe16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}
void PutBe32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}
void PutLe16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void PutLe32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

bool SameId(const uint8_t* p, const char* id) {
    return std::memcmp(p, id, 4) == 0;
}

bool ReadExact(std::FILE* f, uint8_t* bytes, std::size_t count) {
    return std::fread(bytes, 1, count, f) == count;
}

// Offsets are 64 bits wide on every system: a WAV's data may reach 4 GB.
bool SeekTo(std::FILE* f, int64_t offset) {
    if (offset < 0) return false;
    return platform::SeekFile(f, offset, SEEK_SET);
}

int64_t Tell(std::FILE* f) {
    return platform::TellFile(f);
}

// Length of the file in bytes, or -1; the position is left at the start.
int64_t FileLength(std::FILE* f) {
    if (!platform::SeekFile(f, 0, SEEK_END)) return -1;
    const int64_t length = Tell(f);
    if (!platform::SeekFile(f, 0, SEEK_SET)) return -1;
    return length;
}

int32_t BytesPerSample(int32_t bits) {
    return (bits + 7) / 8;
}

// How an AIFF-C file stores its samples, from the compression type of its "COMM" chunk;
// false for a compressed type. A float type fixes the sample size whatever the bits field says
// (0 means the bits field decides).
bool AifcLayout(const uint8_t* type, int32_t& encoding, bool& littleEndian, int32_t& floatBits) {
    encoding = kEncodingPcm;
    littleEndian = false;
    floatBits = 0;
    if (SameId(type, "NONE") || SameId(type, "twos")) return true;
    if (SameId(type, "sowt")) {
        littleEndian = true;
        return true;
    }
    if (SameId(type, "fl32") || SameId(type, "FL32")) floatBits = 32;
    if (SameId(type, "fl64") || SameId(type, "FL64")) floatBits = 64;
    if (floatBits == 0) return false;
    encoding = kEncodingFloat;
    return true;
}

// A float sample as 16-bit PCM: full scale 1.0 is 32768, limited, truncated toward zero, as
// every other conversion of the program; NaN is silence.
int16_t FloatToSample(double x) {
    if (std::isnan(x)) return 0;
    const double v = x * 32768.0;
    if (v >= 32767.0) return 32767;
    if (v <= -32768.0) return -32768;
    return static_cast<int16_t>(static_cast<int32_t>(v));
}

uint32_t Bytes32(const uint8_t* p, bool littleEndian) {
    return littleEndian ? Le32(p) : Be32(p);
}
uint64_t Bytes64(const uint8_t* p, bool littleEndian) {
    const uint64_t first = Bytes32(p, littleEndian);
    const uint64_t second = Bytes32(p + 4, littleEndian);
    return littleEndian ? (second << 32) | first : (first << 32) | second;
}

// Decodes n samples of `size` bytes each into out.
void DecodeFloats(const uint8_t* b, std::size_t n, int32_t size, bool littleEndian, int16_t* out) {
    if (size == 4) {
        for (std::size_t i = 0; i < n; ++i, b += 4) {
            const uint32_t bits = Bytes32(b, littleEndian);
            float f = 0;
            std::memcpy(&f, &bits, sizeof f);
            out[i] = FloatToSample(static_cast<double>(f));
        }
    } else {
        for (std::size_t i = 0; i < n; ++i, b += 8) {
            const uint64_t bits = Bytes64(b, littleEndian);
            double d = 0;
            std::memcpy(&d, &bits, sizeof d);
            out[i] = FloatToSample(d);
        }
    }
}

// Integer samples: the top 16 bits of each container; 8-bit WAV bytes are unsigned.
void DecodeIntegers(const uint8_t* b, std::size_t n, int32_t size, bool littleEndian,
                    bool unsignedBytes, int16_t* out) {
    if (size == 2 && littleEndian) { // the common cases in loops of their own
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        std::memcpy(out, b, 2 * n); // the file's byte order is the processor's
#else
        for (std::size_t i = 0; i < n; ++i)
            out[i] = static_cast<int16_t>(static_cast<uint16_t>(b[2 * i] | (b[2 * i + 1] << 8)));
#endif
    } else if (size == 2) {
        for (std::size_t i = 0; i < n; ++i)
            out[i] = static_cast<int16_t>(static_cast<uint16_t>((b[2 * i] << 8) | b[2 * i + 1]));
    } else {
        for (std::size_t i = 0; i < n; ++i, b += size) {
            uint32_t v = 0;
            if (size == 1)
                v = unsignedBytes ? uint32_t{static_cast<uint8_t>(b[0] ^ 0x80)} << 8
                                  : uint32_t{b[0]} << 8;
            else if (littleEndian)
                v = (uint32_t{b[size - 1]} << 8) | b[size - 2];
            else
                v = (uint32_t{b[0]} << 8) | b[1];
            out[i] = static_cast<int16_t>(static_cast<uint16_t>(v));
        }
    }
}

// Float samples in 16-bit steps, unlimited.
void DecodeFloats(const uint8_t* b, std::size_t n, int32_t size, bool littleEndian, double* out) {
    for (std::size_t i = 0; i < n; ++i, b += size) {
        double d = 0;
        if (size == 4) {
            const uint32_t bits = Bytes32(b, littleEndian);
            float f = 0;
            std::memcpy(&f, &bits, sizeof f);
            d = static_cast<double>(f);
        } else {
            const uint64_t bits = Bytes64(b, littleEndian);
            std::memcpy(&d, &bits, sizeof d);
        }
        out[i] = std::isnan(d) ? 0.0 : d * 32768.0;
    }
}

// Integer samples with every bit of their container (up to four bytes), in 16-bit steps.
void DecodeIntegers(const uint8_t* b, std::size_t n, int32_t size, bool littleEndian,
                    bool unsignedBytes, double* out) {
    if (size == 2 && littleEndian) { // the common case in a loop of its own
        for (std::size_t i = 0; i < n; ++i)
            out[i] = static_cast<int16_t>(static_cast<uint16_t>(b[2 * i] | (b[2 * i + 1] << 8)));
        return;
    }
    const int32_t used = std::min(size, 4);
    for (std::size_t i = 0; i < n; ++i, b += size) {
        uint32_t v = 0; // the container's top bytes, most significant first, left-aligned
        for (int32_t k = 0; k < used; ++k) {
            const uint8_t byte = littleEndian ? b[size - 1 - k] : b[k];
            v |= uint32_t{byte} << (24 - 8 * k);
        }
        if (size == 1 && unsignedBytes) v ^= 0x80000000U;
        out[i] = static_cast<double>(static_cast<int32_t>(v)) / 65536.0;
    }
}

struct Marker {
    uint16_t id;
    uint32_t position;
};

// Reads the markers of a "MARK" chunk whose body runs from `body` to `limit`. With
// `paddedNames` false, n + 1 bytes follow a name's length byte n (the layout this program
// writes); with it true, the name is padded to an even total length (n bytes when n is odd,
// n + 1 when even). A marker is taken when its identifier and position lie inside the chunk.
// Returns the offset where the last marker's name ends.
int64_t ReadMarkers(std::FILE* f, int64_t body, int64_t limit, bool paddedNames,
                    std::vector<Marker>& markers) {
    markers.clear();
    uint8_t countBytes[2];
    if (limit - body < 2 || !SeekTo(f, body) || !ReadExact(f, countBytes, 2)) return body;
    const int count = static_cast<int16_t>(Be16(countBytes));
    int64_t p = body + 2;
    for (int i = 0; i < count; ++i) {
        uint8_t m[7];
        if (limit - p < 7 || !SeekTo(f, p) || !ReadExact(f, m, 7)) break;
        markers.push_back(Marker{Be16(m), Be32(m + 2)});
        const int n = m[6];
        p += 7 + n + ((paddedNames && (n & 1) != 0) ? 0 : 1);
    }
    return p;
}

} // namespace

AudioFile::~AudioFile() {
    close();
}

int32_t AudioFile::bytesPerSample() const {
    return sampleBytes_ > 0 ? sampleBytes_ : BytesPerSample(info_.bitsPerSample);
}

int32_t AudioFile::openRead(const std::string& path) {
    close();
    // Only a plain file is read: a folder opens on some systems but reads as nothing sensible,
    // and opening a named pipe would wait for a writer.
    if (!platform::IsRegularFile(path)) return kAudioFileCannotOpen;
    stream_ = platform::OpenFile(path, "rb");
    if (stream_ == nullptr) return kAudioFileCannotOpen;
    if (parseAiff()) {
        info_.type = kAudioFileAiff;
    } else if (parseWav()) {
        info_.type = kAudioFileWav;
    } else {
        close();
        return kAudioFileUnknown;
    }
    return kAudioFileOk;
}

int32_t AudioFile::openWrite(const std::string& path, const AudioInfo& info) {
    close();
    // Sizes the headers cannot describe (and that would divide by zero on close).
    if (info.type != kAudioFileAiff && info.type != kAudioFileWav) return kAudioFileBadInfo;
    if (info.channels < 1 || info.channels > 0xFFFF || info.bitsPerSample < kMinBits ||
        info.bitsPerSample > kMaxBits)
        return kAudioFileBadInfo;
    if (info.type == kAudioFileWav &&
        int64_t{BytesPerSample(info.bitsPerSample)} * info.channels > 0xFFFF)
        return kAudioFileBadInfo;

    stream_ = platform::OpenFile(path, "wb");
    if (stream_ == nullptr) return kAudioFileCannotOpen;
    writing_ = true;
    info_ = info;
    info_.dataStart = 0;
    info_.dataBytes = 0;
    return writeHeader() ? kAudioFileOk : kAudioFileWriteFailed;
}

namespace {

// What the chunk walk of an AIFF file found.
struct AiffChunks {
    bool aifc = false; // AIFF-C carries a compression type in its "COMM" chunk
    bool haveComm = false;
    int32_t channels = 0;
    int32_t bits = 0;
    int32_t encoding = kEncodingPcm;
    bool littleEndian = false;
    int32_t floatBits = 0;
    uint32_t frames = 0;
    Extended80 rate;
    bool haveSsnd = false;
    int64_t ssndStart = 0;
    int64_t ssndEnd = 0;
    bool haveInst = false;
    uint8_t inst[14] = {};
    std::vector<Marker> markers;
};

// Reads one chunk whose body runs from `body` to `end` (`limit`: the end as far as the file
// holds it) into `found`. False when the chunk makes the file unreadable.
bool ReadAiffChunk(std::FILE* f, const uint8_t* id, int64_t body, int64_t end, int64_t limit,
                   AiffChunks& found) {
    if (SameId(id, "COMM")) {
        uint8_t c[22];
        const std::size_t need = found.aifc ? 22 : 18; // AIFF-C: the compression type behind
        if (limit - body < static_cast<int64_t>(need) || !ReadExact(f, c, need)) return false;
        if (found.aifc && !AifcLayout(c + 18, found.encoding, found.littleEndian, found.floatBits))
            return false;
        found.haveComm = true;
        found.channels = Be16(c);
        found.frames = Be32(c + 2);
        found.bits = found.floatBits != 0 ? found.floatBits : Be16(c + 6);
        found.rate = Extended80::FromBytes(c + 8);
    } else if (SameId(id, "SSND")) {
        uint8_t s[8];
        if (limit - body >= 8 && ReadExact(f, s, 8)) {
            // Samples start `offset` bytes behind the block size field.
            found.haveSsnd = true;
            found.ssndStart = body + 8 + Be32(s);
            found.ssndEnd = std::max(found.ssndStart, limit);
        }
    } else if (SameId(id, "MARK")) {
        // Files of this program carry one byte more behind each name than the padded layout
        // of other writers; take whichever layout fills the chunk exactly.
        if (ReadMarkers(f, body, limit, false, found.markers) != end) {
            std::vector<Marker> padded;
            if (ReadMarkers(f, body, limit, true, padded) == end) found.markers.swap(padded);
        }
    } else if (SameId(id, "INST")) {
        if (limit - body >= 14 && ReadExact(f, found.inst, 14)) found.haveInst = true;
    }
    return true;
}

// The instrument's notes and the sustain loop's marker positions.
void TakeInstrument(const AiffChunks& found, AudioInfo& info) {
    uint16_t loopBeginId = 0;
    uint16_t loopEndId = 0;
    if (found.haveInst) {
        info.baseNote = found.inst[0];
        info.detune = found.inst[1];
        info.lowNote = found.inst[2];
        info.highNote = found.inst[3];
        loopBeginId = Be16(found.inst + 10);
        loopEndId = Be16(found.inst + 12);
    }
    for (const Marker& m : found.markers) {
        if (m.id == loopBeginId) info.loopStart = m.position;
        if (m.id == loopEndId) info.loopEnd = m.position;
    }
}

} // namespace

// Fields are taken from the file only when the whole parse accepts it.
bool AudioFile::parseAiff() {
    const int64_t fileLength = FileLength(stream_);
    uint8_t head[12];
    if (fileLength < 0 || !ReadExact(stream_, head, 12)) return false;
    AiffChunks found;
    found.aifc = SameId(head + 8, "AIFC");
    if (!SameId(head, "FORM") || !(SameId(head + 8, "AIFF") || found.aifc)) return false;

    int64_t pos = 12;
    while (SeekTo(stream_, pos)) {
        uint8_t header[8];
        if (!ReadExact(stream_, header, 8)) break;
        const int64_t body = pos + 8;
        const int64_t end = body + Be32(header + 4);
        if (!ReadAiffChunk(stream_, header, body, end, std::min(end, fileLength), found))
            return false;
        int64_t next = end;
        if ((next & 1) != 0) ++next;
        if (next >= fileLength)
            break; // nothing more fits; also ends the walk at a size that points past the end
        pos = next;
    }

    const int32_t ch = found.channels;
    const int32_t bits = found.bits;
    if (!found.haveComm || ch == 0 || bits < kMinBits || (found.floatBits == 0 && bits > kMaxBits))
        return false;

    info_.channels = ch;
    info_.bitsPerSample = bits;
    info_.sampleRate = found.rate;
    info_.encoding = found.encoding;
    littleEndian_ = found.littleEndian;
    sampleBytes_ = BytesPerSample(bits);
    const int64_t frameBytes = int64_t{BytesPerSample(bits)} * ch;
    int64_t available = 0;
    if (found.haveSsnd && found.ssndStart <= kMaxUInt32) {
        info_.dataStart = static_cast<uint32_t>(found.ssndStart);
        available = std::min(found.ssndEnd - found.ssndStart, kMaxUInt32);
    }
    const int64_t wholeFrames = std::min<int64_t>(found.frames, available / frameBytes);
    info_.frames = static_cast<uint32_t>(wholeFrames);
    info_.dataBytes = static_cast<uint32_t>(wholeFrames * frameBytes);
    dataEnd_ = info_.dataStart == 0 ? 0 : int64_t{info_.dataStart} + info_.dataBytes;
    TakeInstrument(found, info_);
    return true;
}

bool AudioFile::parseWav() {
    const int64_t fileLength = FileLength(stream_);
    uint8_t head[12];
    if (fileLength < 0 || !ReadExact(stream_, head, 12)) return false;
    if (!SameId(head, "RIFF") || !SameId(head + 8, "WAVE")) return false;

    bool haveFmt = false;
    int32_t ch = 0;
    int32_t bits = 0;  // the precision of a sample
    int32_t bytes = 0; // the bytes of its container
    int32_t enc = kEncodingPcm;
    uint32_t rate = 0;
    bool haveData = false;

    int64_t pos = 12;
    while (SeekTo(stream_, pos)) {
        uint8_t header[8];
        if (!ReadExact(stream_, header, 8)) break;
        const int64_t body = pos + 8;
        const uint32_t size = Le32(header + 4);
        const int64_t end = body + size;

        if (SameId(header, "fmt ")) {
            uint8_t f[kExtensibleFmtBytes];
            if (size < 16 || !ReadExact(stream_, f, 16)) return false;
            uint32_t tag = Le16(f);
            ch = Le16(f + 2);
            rate = Le32(f + 4);
            const int32_t blockAlign = Le16(f + 12);
            const int32_t containerBits = Le16(f + 14);
            bits = containerBits;
            if (tag == kWavExtensible) {
                // The sub-format GUID decides; the channel mask is not needed (channels 0 and
                // 1 are left and right), and bytes beyond the extension are skipped.
                if (size < kExtensibleFmtBytes ||
                    !ReadExact(stream_, f + 16, kExtensibleFmtBytes - 16) ||
                    Le16(f + 16) < kExtensionBytes ||
                    std::memcmp(f + 28, kGuidTail, sizeof kGuidTail) != 0)
                    return false;
                tag = Le32(f + 24);
                const int32_t valid = Le16(f + 18);
                if (tag == kWavPcm && valid != 0) bits = valid; // 0: the container is full
                if (bits > containerBits) return false;
            }
            if (tag == kWavPcm) {
                if (containerBits > kMaxBits) return false;
                enc = kEncodingPcm;
            } else if (tag == kWavFloat) {
                if (containerBits != 32 && containerBits != 64) return false;
                enc = kEncodingFloat;
            } else {
                return false; // compressed
            }
            bytes = BytesPerSample(containerBits);
            if (ch == 0 || bits < kMinBits) return false;
            // Samples padded into wider containers than the header tells are not read.
            if (blockAlign % ch == 0 && blockAlign / ch > bytes) return false;
            haveFmt = true;
        } else if (SameId(header, "data")) {
            if (!haveFmt || body > kMaxUInt32) return false;
            const int64_t frameBytes = int64_t{bytes} * ch;
            const int64_t held = std::max<int64_t>(0, std::min(end, fileLength) - body);
            info_.channels = ch;
            info_.bitsPerSample = bits;
            info_.encoding = enc;
            sampleBytes_ = bytes;
            littleEndian_ = true;
            info_.sampleRate = Extended80::FromUInt32(rate);
            info_.dataStart = static_cast<uint32_t>(body);
            info_.dataBytes = static_cast<uint32_t>(held);
            info_.frames = static_cast<uint32_t>(held / frameBytes);
            info_.loopEnd = info_.frames;
            dataEnd_ = body + int64_t{info_.frames} * frameBytes;
            haveData = true;
        }

        int64_t next = end;
        if ((next & 1) != 0) ++next;
        if (next >= fileLength) break;
        pos = next;
    }
    return haveData;
}

int32_t AudioFile::seekFrame(uint32_t frame) {
    if (!reading()) return kAudioFileNotReady;
    const int64_t offset =
        int64_t{info_.dataStart} + int64_t{frame} * info_.channels * bytesPerSample();
    if (!SeekTo(stream_, offset)) return kAudioFileSeekFailed;
    return 0;
}

template <typename Sample, typename Decode>
int32_t AudioFile::readDecoded(int32_t frameCount, Sample* buffer, const Decode& decode) {
    if (!reading()) return kAudioFileNotReady;
    if (frameCount <= 0) return 0;
    const int64_t wanted = int64_t{frameCount} * info_.channels;
    if (buffer == nullptr || wanted > INT32_MAX) return kAudioFileNotReady;

    const int32_t size = bytesPerSample();
    const int64_t pos = Tell(stream_);
    int64_t left = 0;
    if (pos >= int64_t{info_.dataStart} && pos < dataEnd_)
        left = std::min(wanted, (dataEnd_ - pos) / size);

    uint8_t block[kBlockBytes];
    const int64_t perBlock = static_cast<int64_t>(kBlockBytes) / size;
    int64_t got = 0;
    while (left > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min(left, perBlock));
        const std::size_t n = std::fread(block, static_cast<std::size_t>(size), want, stream_);
        decode(block, n, size, buffer + got);
        got += static_cast<int64_t>(n);
        left -= static_cast<int64_t>(n);
        if (n < want) break;
    }
    std::fill(buffer + got, buffer + wanted, Sample{0});
    return static_cast<int32_t>(got);
}

// Each sample as the buffer's type takes it: 16-bit, or at the file's own precision.
template <typename Sample> int32_t AudioFile::readAs(int32_t frameCount, Sample* buffer) {
    const bool unsignedBytes = info_.type == kAudioFileWav;
    return readDecoded(frameCount, buffer,
                       [&](const uint8_t* b, std::size_t n, int32_t size, Sample* out) {
                           if (info_.encoding == kEncodingFloat)
                               DecodeFloats(b, n, size, littleEndian_, out);
                           else
                               DecodeIntegers(b, n, size, littleEndian_, unsignedBytes, out);
                       });
}

int32_t AudioFile::readFrames(int32_t frameCount, int16_t* buffer) {
    return readAs(frameCount, buffer);
}

int32_t AudioFile::readFramesFine(int32_t frameCount, double* buffer) {
    return readAs(frameCount, buffer);
}

bool AudioFile::finerThan16() const {
    return info_.encoding == kEncodingFloat || info_.bitsPerSample > 16;
}

bool AudioFile::putBytes(const uint8_t* bytes, std::size_t count) {
    if (writeFailed_) return false;
    if (count != 0 && std::fwrite(bytes, 1, count, stream_) != count) writeFailed_ = true;
    return !writeFailed_;
}

bool AudioFile::putAt(int64_t offset, const uint8_t* bytes, std::size_t count) {
    if (!writeFailed_ && !SeekTo(stream_, offset)) writeFailed_ = true;
    return putBytes(bytes, count);
}

bool AudioFile::writeHeader() {
    const int64_t blockAlign = int64_t{bytesPerSample()} * info_.channels;
    const auto ch = static_cast<uint32_t>(info_.channels);
    const auto bits = static_cast<uint32_t>(info_.bitsPerSample);

    if (info_.type == kAudioFileWav) {
        uint8_t h[kWavHeaderBytes] = {};
        const uint32_t rate = info_.sampleRate.TruncToUInt32();
        const int64_t perSecond = std::min(blockAlign * rate, kMaxUInt32);
        std::memcpy(h, "RIFF", 4);
        std::memcpy(h + 8, "WAVE", 4);
        std::memcpy(h + 12, "fmt ", 4);
        PutLe32(h + 16, 18);
        PutLe16(h + 20, 1);
        PutLe16(h + 22, ch);
        PutLe32(h + 24, rate);
        PutLe32(h + 28, static_cast<uint32_t>(perSecond));
        PutLe16(h + 32, static_cast<uint32_t>(blockAlign));
        PutLe16(h + 34, bits);
        std::memcpy(h + 38, "data", 4);
        chunkSizePos_ = 42;
        return putBytes(h, sizeof h);
    }

    uint8_t h[kAiffHeaderBytes] = {};
    std::memcpy(h, "FORM", 4);
    std::memcpy(h + 8, "AIFF", 4);
    std::memcpy(h + 12, "COMM", 4);
    PutBe32(h + 16, 18);
    PutBe16(h + 20, ch);
    framesFieldPos_ = 22;
    PutBe32(h + 22, info_.frames);
    PutBe16(h + 26, bits);
    info_.sampleRate.ToBytes(h + 28);
    std::memcpy(h + 38, "INST", 4);
    PutBe32(h + 42, 20);
    h[46] = static_cast<uint8_t>(info_.baseNote);
    h[47] = static_cast<uint8_t>(info_.detune);
    h[48] = static_cast<uint8_t>(info_.lowNote);
    h[49] = static_cast<uint8_t>(info_.highNote);
    h[50] = 1;
    h[51] = 127;
    PutBe16(h + 54, 1); // sustain loop: forward, markers 1 and 2
    PutBe16(h + 56, 1);
    PutBe16(h + 58, 2);
    std::memcpy(h + 66, "MARK", 4);
    PutBe32(h + 70, 34);
    PutBe16(h + 74, 2);
    PutBe16(h + 76, 1);
    PutBe32(h + 78, info_.loopStart);
    h[82] = 9;
    std::memcpy(h + 83, "beginLoop", 9);
    PutBe16(h + 93, 2);
    PutBe32(h + 95, info_.loopEnd);
    h[99] = 7;
    std::memcpy(h + 100, "endLoop", 7);
    std::memcpy(h + 108, "SSND", 4);
    chunkSizePos_ = 112;
    return putBytes(h, sizeof h);
}

int32_t AudioFile::writeFrames(const int16_t* buffer, int32_t frameCount) {
    if (!writing()) return kAudioFileNotReady;
    if (writeFailed_) return kAudioFileWriteFailed;
    if (frameCount <= 0) return 0;
    if (buffer == nullptr) return kAudioFileNotReady;

    const int32_t size = bytesPerSample();
    const int64_t samples = int64_t{frameCount} * info_.channels;
    const int64_t bytes = samples * size;
    const int64_t header = info_.type == kAudioFileWav ? kWavHeaderBytes : kAiffHeaderBytes;
    // The size fields are 32 bits wide; a file they cannot describe is a failed write.
    if (header + int64_t{bytesWritten_} + bytes + 1 > kMaxUInt32) {
        writeFailed_ = true;
        return kAudioFileWriteFailed;
    }

    if (size == 1) {
        // 8-bit samples are bytes the caller has laid out already, written as they are.
        if (!putBytes(reinterpret_cast<const uint8_t*>(buffer), static_cast<std::size_t>(bytes)))
            return kAudioFileWriteFailed;
    } else {
        // 16-bit samples in the byte order of the file; wider sizes carry them in their top
        // 16 bits with the low bytes zero.
        const bool wav = info_.type == kAudioFileWav;
        uint8_t block[kBlockBytes];
        const int64_t perBlock = static_cast<int64_t>(kBlockBytes) / size;
        for (int64_t done = 0; done < samples;) {
            const int64_t n = std::min(samples - done, perBlock);
            std::memset(block, 0, static_cast<std::size_t>(n * size));
            uint8_t* b = block;
            for (int64_t i = 0; i < n; ++i, b += size) {
                const auto v = static_cast<uint16_t>(buffer[done + i]);
                if (wav)
                    PutLe16(b + size - 2, v);
                else
                    PutBe16(b, v);
            }
            if (!putBytes(block, static_cast<std::size_t>(n * size))) return kAudioFileWriteFailed;
            done += n;
        }
    }
    bytesWritten_ += static_cast<uint32_t>(bytes);
    return 0;
}

void AudioFile::finishWriter() {
    // An odd number of sample bytes gets the pad byte that ends every odd-sized chunk.
    if ((bytesWritten_ & 1) != 0) {
        const uint8_t pad = 0;
        putBytes(&pad, 1);
    }
    const int64_t length = Tell(stream_);
    if (length < 8 || length > kMaxUInt32) {
        writeFailed_ = true;
        return;
    }
    uint8_t v[4];
    if (info_.type == kAudioFileWav) {
        PutLe32(v, bytesWritten_);
        putAt(chunkSizePos_, v, 4);
        PutLe32(v, static_cast<uint32_t>(length - 8));
        putAt(4, v, 4);
    } else {
        PutBe32(v, bytesWritten_ + 8);
        putAt(chunkSizePos_, v, 4);
        PutBe32(v, bytesWritten_ / static_cast<uint32_t>(bytesPerSample() * info_.channels));
        putAt(framesFieldPos_, v, 4);
        PutBe32(v, static_cast<uint32_t>(length - 8));
        putAt(4, v, 4);
    }
    if (!writeFailed_ && std::fflush(stream_) != 0) writeFailed_ = true;
}

int32_t AudioFile::close() {
    if (stream_ != nullptr) {
        if (writing_) finishWriter();
        if (std::fclose(stream_) != 0) writeFailed_ = true;
        stream_ = nullptr;
    }
    const int32_t result = writing_ && writeFailed_ ? kAudioFileWriteFailed : kAudioFileOk;
    info_ = AudioInfo{};
    writing_ = false;
    chunkSizePos_ = 0;
    framesFieldPos_ = 0;
    bytesWritten_ = 0;
    writeFailed_ = false;
    dataEnd_ = 0;
    sampleBytes_ = 0;
    littleEndian_ = false;
    return result;
}

AudioInfo WriterInfo(int32_t type, int32_t channels, int32_t bitsPerSample, Extended80 rate) {
    AudioInfo info;
    info.type = type;
    info.channels = channels;
    info.bitsPerSample = bitsPerSample;
    info.sampleRate = rate;
    return info;
}

bool UsableSource(const AudioInfo& info) {
    // A rate that is no number fails the comparison too.
    return (info.type == kAudioFileAiff || info.type == kAudioFileWav) && info.channels >= 1 &&
           info.sampleRate.ToDouble() >= 1.0;
}

int32_t OpenSource(AudioFile& file, const std::string& path) {
    const int32_t opened = file.openRead(path);
    if (opened != kAudioFileOk) return opened;
    if (UsableSource(file.info())) return kAudioFileOk;
    file.close();
    return kAudioFileNotASource;
}

#include "AudioFileTestUtil.h"

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <stdexcept>

#include "TestSupport.h"

namespace aftest {

void PutLe16(Bytes& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void PutLe32(Bytes& b, uint32_t v) {
    PutLe16(b, v & 0xFFFF);
    PutLe16(b, v >> 16);
}
void PutBe16(Bytes& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v >> 8));
    b.push_back(static_cast<uint8_t>(v));
}
void PutBe32(Bytes& b, uint32_t v) {
    PutBe16(b, v >> 16);
    PutBe16(b, v & 0xFFFF);
}
void PutId(Bytes& b, const char* id) {
    b.insert(b.end(), id, id + 4);
}

namespace {

Bytes Form(const char* outer, const char* form, bool bigEndian, const std::vector<Chunk>& chunks,
           bool pad) {
    Bytes b;
    PutId(b, outer);
    PutLe32(b, 0);
    PutId(b, form);
    for (const Chunk& c : chunks) {
        PutId(b, c.id.c_str());
        const auto size = static_cast<uint32_t>(
            c.declaredSize >= 0 ? c.declaredSize : static_cast<int64_t>(c.body.size()));
        if (bigEndian)
            PutBe32(b, size);
        else
            PutLe32(b, size);
        b.insert(b.end(), c.body.begin(), c.body.end());
        if (pad && (c.body.size() & 1) != 0) b.push_back(0);
    }
    const auto total = static_cast<uint32_t>(b.size() - 8);
    Bytes size;
    if (bigEndian)
        PutBe32(size, total);
    else
        PutLe32(size, total);
    std::memcpy(b.data() + 4, size.data(), 4);
    return b;
}

} // namespace

Bytes Wav(const std::vector<Chunk>& chunks, bool pad) {
    return Form("RIFF", "WAVE", false, chunks, pad);
}
Bytes Aiff(const std::vector<Chunk>& chunks, const char* formType, bool pad) {
    return Form("FORM", formType, true, chunks, pad);
}

Bytes WavFmt(uint32_t tag, uint32_t channels, uint32_t rate, uint32_t bits, int blockAlign) {
    const uint32_t align =
        blockAlign >= 0 ? static_cast<uint32_t>(blockAlign) : channels * ((bits + 7) / 8);
    Bytes b;
    PutLe16(b, tag);
    PutLe16(b, channels);
    PutLe32(b, rate);
    PutLe32(b, align * rate);
    PutLe16(b, align);
    PutLe16(b, bits);
    return b;
}

Bytes WavFmtExtensible(uint32_t subFormat, uint32_t channels, uint32_t rate, uint32_t containerBits,
                       uint32_t validBits) {
    Bytes b = WavFmt(0xFFFE, channels, rate, containerBits);
    PutLe16(b, 22);
    PutLe16(b, validBits);
    PutLe32(b, channels == 2 ? 3 : 0); // channel mask: front left and right
    PutLe32(b, subFormat);
    b.insert(b.end(), {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71});
    return b;
}

Bytes AifcComm(uint32_t channels, uint32_t frames, uint32_t bits, uint32_t rate,
               const char* compression) {
    Bytes b = AiffComm(channels, frames, bits, rate);
    PutId(b, compression);
    b.push_back(0); // empty name, padded to an even length
    b.push_back(0);
    return b;
}

Bytes AiffComm(uint32_t channels, uint32_t frames, uint32_t bits, uint32_t rate) {
    Bytes b;
    PutBe16(b, channels);
    PutBe32(b, frames);
    PutBe16(b, bits);
    uint8_t r[10];
    Extended80::FromUInt32(rate).ToBytes(r);
    b.insert(b.end(), r, r + 10);
    return b;
}

Bytes AiffSsnd(const Bytes& samples, uint32_t offset) {
    Bytes b;
    PutBe32(b, offset);
    PutBe32(b, 0);
    b.insert(b.end(), offset, 0xEE);
    b.insert(b.end(), samples.begin(), samples.end());
    return b;
}

Decoded ReadWhole(const std::string& path, int32_t block) {
    Decoded d;
    AudioFile file;
    AudioFile* f = &file;
    f->openRead(path);
    d.fileType = f->info().type;
    d.channels = f->info().channels;
    d.frames = f->info().frames;
    d.bitsPerSample = f->info().bitsPerSample;
    d.encoding = f->info().encoding;
    d.sampleRate = f->info().sampleRate;
    if (f->info().type != 0 && f->info().channels > 0 && f->seekFrame(0) == 0) {
        std::vector<int16_t> buf(static_cast<size_t>(block) *
                                 static_cast<size_t>(f->info().channels));
        for (;;) {
            const int32_t n = f->readFrames(block, buf.data());
            if (n <= 0) break;
            d.samples.insert(d.samples.end(), buf.begin(), buf.begin() + n);
        }
    }
    f->close();
    return d;
}

#if !defined(_WIN32) // sox does not run under wine
SoxInfo SoxQuery(const std::string& path) {
    using testsupport::Quote;
    using testsupport::Run;
    SoxInfo info;
    const auto c = Run("sox --i -c " + Quote(path) + " 2>/dev/null");
    const auto r = Run("sox --i -r " + Quote(path) + " 2>/dev/null");
    const auto s = Run("sox --i -s " + Quote(path) + " 2>/dev/null");
    const auto b = Run("sox --i -b " + Quote(path) + " 2>/dev/null");
    if (c.status != 0 || r.status != 0 || s.status != 0 || b.status != 0) return info;
    info.ok = true;
    info.channels = std::atoi(c.out.c_str());
    info.rate = std::atof(r.out.c_str());
    info.frames = std::strtoull(s.out.c_str(), nullptr, 10);
    info.bits = std::atoi(b.out.c_str());
    return info;
}

bool SoxDecode(const std::string& path, const std::string& rawPath, std::vector<int16_t>& out) {
    using testsupport::Quote;
    const auto r = testsupport::Run("sox -D " + Quote(path) + " -t raw -e signed -b 16 -L " +
                                    Quote(rawPath) + " 2>/dev/null");
    if (r.status != 0) return false;
    out = testsupport::ReadRawS16LE(rawPath);
    return true;
}
#endif

Bytes InsertChunk(const Bytes& file, const Chunk& chunk, const std::string& before) {
    if (file.size() < 12) throw std::runtime_error("not a chunked file");
    const bool bigEndian = std::memcmp(file.data(), "FORM", 4) == 0;
    auto get32 = [&](size_t at) {
        const uint8_t* p = file.data() + at;
        return bigEndian
                   ? (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3]
                   : (uint32_t{p[3]} << 24) | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
    };
    size_t at = file.size();
    if (!before.empty()) {
        size_t pos = 12;
        while (pos + 8 <= file.size()) {
            if (std::memcmp(file.data() + pos, before.data(), 4) == 0) {
                at = pos;
                break;
            }
            pos += 8 + get32(pos + 4);
            pos += pos & 1;
        }
        if (at == file.size()) throw std::runtime_error("chunk " + before + " not found");
    }
    Bytes c;
    PutId(c, chunk.id.c_str());
    if (bigEndian)
        PutBe32(c, static_cast<uint32_t>(chunk.body.size()));
    else
        PutLe32(c, static_cast<uint32_t>(chunk.body.size()));
    c.insert(c.end(), chunk.body.begin(), chunk.body.end());
    if ((chunk.body.size() & 1) != 0) c.push_back(0);
    Bytes out(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(at));
    if ((out.size() & 1) != 0) out.push_back(0); // the last chunk of the file may lack its pad byte
    out.insert(out.end(), c.begin(), c.end());
    out.insert(out.end(), file.begin() + static_cast<std::ptrdiff_t>(at), file.end());
    Bytes size;
    const auto total = static_cast<uint32_t>(out.size() - 8);
    if (bigEndian)
        PutBe32(size, total);
    else
        PutLe32(size, total);
    std::memcpy(out.data() + 4, size.data(), 4);
    return out;
}

} // namespace aftest

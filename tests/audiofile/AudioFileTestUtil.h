// Helpers for the audio file tests: building WAV/AIFF files byte by byte, reading a whole file
// through AudioFile, and asking sox about a file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "AudioFile.h"

namespace aftest {

using Bytes = std::vector<uint8_t>;

void PutLe16(Bytes& b, uint32_t v);
void PutLe32(Bytes& b, uint32_t v);
void PutBe16(Bytes& b, uint32_t v);
void PutBe32(Bytes& b, uint32_t v);
void PutId(Bytes& b, const char* id);

struct Chunk {
    std::string id;
    Bytes body;
    // Size written in the header; by default the body's length.
    int64_t declaredSize = -1;
};

// "RIFF"/"WAVE" or "FORM"/"AIFF" (or another form type) around the chunks; odd bodies get a
// pad byte unless `pad` is false.
Bytes Wav(const std::vector<Chunk>& chunks, bool pad = true);
Bytes Aiff(const std::vector<Chunk>& chunks, const char* formType = "AIFF", bool pad = true);

// A 16-byte "fmt " body; block align defaults to the bytes a frame occupies.
Bytes WavFmt(uint32_t tag, uint32_t channels, uint32_t rate, uint32_t bits, int blockAlign = -1);
// A 40-byte extensible "fmt " body: `containerBits` per sample, `validBits`, and the standard
// sub-format GUID whose first field is `subFormat` (1 PCM, 3 float).
Bytes WavFmtExtensible(uint32_t subFormat, uint32_t channels, uint32_t rate, uint32_t containerBits,
                       uint32_t validBits);
// An 18-byte "COMM" body with an integer rate.
Bytes AiffComm(uint32_t channels, uint32_t frames, uint32_t bits, uint32_t rate);
// A 24-byte AIFF-C "COMM" body: AiffComm, the compression type and an empty name.
Bytes AifcComm(uint32_t channels, uint32_t frames, uint32_t bits, uint32_t rate,
               const char* compression);
// An "SSND" body: offset, block size 0, `offset` filler bytes, then the sample bytes.
Bytes AiffSsnd(const Bytes& samples, uint32_t offset = 0);

// Reads every frame after seeking to frame 0, with `block` frames per call.
struct Decoded {
    int32_t fileType = 0;
    int32_t channels = 0;
    uint32_t frames = 0;
    int32_t bitsPerSample = 0;
    int32_t encoding = kEncodingPcm;
    Extended80 sampleRate;
    std::vector<int16_t> samples;
};
Decoded ReadWhole(const std::string& path, int32_t block = 4096);

// sox's view of a file; ok false when sox refuses it. Not on Windows, where sox cannot run.
struct SoxInfo {
    bool ok = false;
    int channels = 0;
    double rate = 0;
    uint64_t frames = 0;
    int bits = 0;
};
SoxInfo SoxQuery(const std::string& path);
// The file decoded by sox to signed 16-bit little-endian without dithering; false on failure.
bool SoxDecode(const std::string& path, const std::string& rawPath, std::vector<int16_t>& out);

// Inserts `chunk` as a top-level chunk of a WAV or AIFF file before the chunk named `before`
// (or at the end when `before` is empty), fixing the form's size.
Bytes InsertChunk(const Bytes& file, const Chunk& chunk, const std::string& before);

} // namespace aftest

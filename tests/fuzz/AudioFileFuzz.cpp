// AudioFile on arbitrary bytes: open, seek and read as WAV and as AIFF. A file is refused or
// read without touching anything outside it, and what is read matches the fields.
#include <algorithm>
#include <vector>

#include "AudioFile.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::vector<uint8_t> bytes = fuzz::WithPrefix(data[0], data + 1, size - 1);
    const std::string path = fuzz::ScratchFile("audio.bin");
    fuzz::WriteFile(path, bytes.data(), bytes.size());
    const auto fileSize = static_cast<int64_t>(bytes.size());

    auto* f = new AudioFile();
    f->open(path, false);
    int16_t probe[8];
    if (f->fileType == kAudioFileNone) {
        FUZZ_CHECK(f->stream == nullptr);
        FUZZ_CHECK(f->seekFrame(0) == kAudioFileNotReady);
        FUZZ_CHECK(f->readFrames(4, probe) == kAudioFileNotReady);
        FUZZ_CHECK(f->close(1) == 0);
        return 0;
    }
    FUZZ_CHECK(f->fileType == kAudioFileWav || f->fileType == kAudioFileAiff);
    FUZZ_CHECK(f->channels >= 1 && f->channels <= 0xFFFF);
    // Integers of 1 to 32 bits in containers of 1 to 4 bytes; floats of 4 or 8 bytes.
    if (f->encoding == kEncodingFloat) {
        FUZZ_CHECK(f->bitsPerSample == 32 || f->bitsPerSample == 64);
        FUZZ_CHECK(f->bytesPerSample() * 8 == f->bitsPerSample);
    } else {
        FUZZ_CHECK(f->encoding == kEncodingPcm);
        FUZZ_CHECK(f->bitsPerSample >= 1 && f->bitsPerSample <= 32);
        FUZZ_CHECK(f->bytesPerSample() >= (f->bitsPerSample + 7) / 8 && f->bytesPerSample() <= 4);
    }
    const int64_t frameBytes = int64_t{f->bytesPerSample()} * f->channels;
    // Nothing the fields promise lies outside the file.
    FUZZ_CHECK(int64_t{f->frames} * frameBytes <= fileSize);
    // (An AIFF sound data offset may point behind the end; it then holds no frames.)
    if (f->dataStart != 0 && f->dataBytes != 0) {
        FUZZ_CHECK(int64_t{f->dataStart} + f->dataBytes <= fileSize);
        FUZZ_CHECK(int64_t{f->frames} * frameBytes <= f->dataBytes);
    }
    (void)f->sampleRate.ToDouble();
    (void)f->sampleRate.TruncToUInt32();

    // Every frame, in blocks no larger than 64 Ki samples, exactly as many as `frames` says.
    const int32_t block = std::max(1, std::min(4096, 65536 / f->channels));
    std::vector<int16_t> buffer(static_cast<size_t>(block) * static_cast<size_t>(f->channels));
    FUZZ_CHECK(f->seekFrame(0) == 0);
    int64_t total = 0;
    for (;;) {
        const int32_t got = f->readFrames(block, buffer.data());
        FUZZ_CHECK(got >= 0 && got <= block * f->channels);
        total += got;
        if (got < block * f->channels) break;
        FUZZ_CHECK(total <= fileSize);
    }
    const int64_t expected = f->dataStart == 0 ? 0 : int64_t{f->frames} * f->channels;
    FUZZ_CHECK(total == expected);
    FUZZ_CHECK(f->readFrames(block, buffer.data()) == 0);

    // A seek anywhere, then a short read: never more than is left.
    if (size >= 5) {
        const uint32_t frame =
            (uint32_t{data[1]} << 24 | uint32_t{data[2]} << 16 | uint32_t{data[3]} << 8 | data[4]) %
            (f->frames + 2);
        if (f->seekFrame(frame) == 0) {
            const int32_t got = f->readFrames(block, buffer.data());
            const int64_t left =
                f->dataStart == 0 ? 0
                                  : std::max<int64_t>(0, int64_t{f->frames} - frame) * f->channels;
            FUZZ_CHECK(got >= 0 && got <= std::min<int64_t>(left, int64_t{block} * f->channels));
        }
    }
    FUZZ_CHECK(f->close(1) == 0);
    return 0;
}

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

    AudioFile file;
    AudioFile* f = &file;
    const int32_t opened = f->openRead(path);
    int16_t probe[8];
    if (opened != kAudioFileOk) {
        FUZZ_CHECK(opened == kAudioFileCannotOpen || opened == kAudioFileUnknown);
        FUZZ_CHECK(f->info().type == kAudioFileNone);
        FUZZ_CHECK(!f->isOpen());
        FUZZ_CHECK(f->seekFrame(0) == kAudioFileNotReady);
        FUZZ_CHECK(f->readFrames(4, probe) == kAudioFileNotReady);
        FUZZ_CHECK(f->close() == 0);
        return 0;
    }
    FUZZ_CHECK(f->info().type == kAudioFileWav || f->info().type == kAudioFileAiff);
    FUZZ_CHECK(f->info().channels >= 1 && f->info().channels <= 0xFFFF);
    // Integers of 1 to 32 bits in containers of 1 to 4 bytes; floats of 4 or 8 bytes.
    if (f->info().encoding == kEncodingFloat) {
        FUZZ_CHECK(f->info().bitsPerSample == 32 || f->info().bitsPerSample == 64);
        FUZZ_CHECK(f->bytesPerSample() * 8 == f->info().bitsPerSample);
    } else {
        FUZZ_CHECK(f->info().encoding == kEncodingPcm);
        FUZZ_CHECK(f->info().bitsPerSample >= 1 && f->info().bitsPerSample <= 32);
        FUZZ_CHECK(f->bytesPerSample() >= (f->info().bitsPerSample + 7) / 8 &&
                   f->bytesPerSample() <= 4);
    }
    const int64_t frameBytes = int64_t{f->bytesPerSample()} * f->info().channels;
    // Nothing the fields promise lies outside the file.
    FUZZ_CHECK(int64_t{f->info().frames} * frameBytes <= fileSize);
    // (An AIFF sound data offset may point behind the end; it then holds no frames.)
    if (f->info().dataStart != 0 && f->info().dataBytes != 0) {
        FUZZ_CHECK(int64_t{f->info().dataStart} + f->info().dataBytes <= fileSize);
        FUZZ_CHECK(int64_t{f->info().frames} * frameBytes <= f->info().dataBytes);
    }
    (void)f->info().sampleRate.ToDouble();
    (void)f->info().sampleRate.TruncToUInt32();

    // Every frame, in blocks no larger than 64 Ki samples, exactly as many as `frames` says.
    const int32_t block = std::max(1, std::min(4096, 65536 / f->info().channels));
    std::vector<int16_t> buffer(static_cast<size_t>(block) *
                                static_cast<size_t>(f->info().channels));
    FUZZ_CHECK(f->seekFrame(0) == 0);
    int64_t total = 0;
    for (;;) {
        const int32_t got = f->readFrames(block, buffer.data());
        FUZZ_CHECK(got >= 0 && got <= block * f->info().channels);
        total += got;
        if (got < block * f->info().channels) break;
        FUZZ_CHECK(total <= fileSize);
    }
    const int64_t expected =
        f->info().dataStart == 0 ? 0 : int64_t{f->info().frames} * f->info().channels;
    FUZZ_CHECK(total == expected);
    FUZZ_CHECK(f->readFrames(block, buffer.data()) == 0);

    // A seek anywhere, then a short read: never more than is left.
    if (size >= 5) {
        const uint32_t frame =
            (uint32_t{data[1]} << 24 | uint32_t{data[2]} << 16 | uint32_t{data[3]} << 8 | data[4]) %
            (f->info().frames + 2);
        if (f->seekFrame(frame) == 0) {
            const int32_t got = f->readFrames(block, buffer.data());
            const int64_t left =
                f->info().dataStart == 0
                    ? 0
                    : std::max<int64_t>(0, int64_t{f->info().frames} - frame) * f->info().channels;
            FUZZ_CHECK(got >= 0 &&
                       got <= std::min<int64_t>(left, int64_t{block} * f->info().channels));
        }
    }
    FUZZ_CHECK(f->close() == 0);
    return 0;
}

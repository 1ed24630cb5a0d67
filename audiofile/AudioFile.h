// One WAV or AIFF file, opened either for reading or for writing.
//
// Readers take integer PCM of 1 to 32 bits and IEEE float of 32 and 64 bits, from WAV (plain
// and extensible) and from AIFF and AIFF-C, and deliver every sample as signed 16-bit PCM in
// native byte order, interleaved by channel. Writers take the same layout and produce a
// complete header on close.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "Extended80.h"

enum AudioFileType : int32_t {
    kAudioFileNone = 0,
    kAudioFileAiff = 1,
    kAudioFileWav = 2,
};

// How the samples of a file are stored.
enum AudioEncoding : int32_t {
    kEncodingPcm = 0,   // signed integers (unsigned bytes in an 8-bit WAV)
    kEncodingFloat = 1, // IEEE float, full scale at +-1.0
};

// Result codes of the operations below (0 or a count means success).
enum : int32_t {
    kAudioFileNotReady = -4,    // no stream, no type, or not a writer
    kAudioFileSeekFailed = -5,  // the stream refused to seek
    kAudioFileWriteFailed = -6, // the stream refused bytes (a full disk); sticky until close
};

class AudioFile {
  public:
    AudioFile() = default;
    AudioFile(const AudioFile&) = delete;
    AudioFile& operator=(const AudioFile&) = delete;
    virtual ~AudioFile();

    // Resets every field, then opens the file. For reading: recognises AIFF, then WAV; callers
    // test fileType (and dataStart). For writing: creates or truncates the file; writing is 1
    // on success.
    void open(const std::string& path, bool forWriting);

    // Positions the stream at a sample frame of the sample data. 0, -4 or -5.
    int32_t seekFrame(uint32_t frame);

    // Fills frameCount x channels samples; returns the number of samples actually read (the
    // rest of the buffer is 0). Reading stops at the end of the sample data. -4 when not ready.
    int32_t readFrames(int32_t frameCount, int16_t* buffer);

    // Writer: writes the header for type 1 (AIFF) or 2 (WAV). 0 or -4 (or -6).
    int32_t beginWrite(int32_t type);

    // Writer: appends frameCount x channels samples. 0, -4, or -6 when the stream failed.
    int32_t writeFrames(const int16_t* buffer, int32_t frameCount);

    // Finishes a writer (size fields), closes the stream, and deletes this object when bit 0
    // of freeFlag is set (the object must then have been created with new). Returns 0, or -6
    // when any write of a writer failed (including the final patching and the close itself).
    int32_t close(int32_t freeFlag);

    // Fields, in their documented order.
    std::FILE* stream = nullptr;
    uint32_t chunkSizePos = 0;
    uint32_t bytesWritten = 0;
    uint32_t scratchPos = 0;
    uint32_t framesFieldPos = 0;
    int32_t writing = 0;
    int32_t fileType = kAudioFileNone;
    uint32_t dataStart = 0;
    int32_t channels = 0;
    uint32_t frames = 0;
    int32_t bitsPerSample = 0;
    uint32_t dataBytes = 0;
    int32_t baseNote = 60;
    int32_t detune = 0;
    int32_t lowNote = 60;
    int32_t highNote = 60;
    uint32_t loopStart = 0;
    uint32_t loopEnd = 0;
    Extended80 sampleRate = Extended80::FromUInt32(44100);
    // Reader: how the samples are stored. bitsPerSample is then the precision of an integer
    // sample (an extensible WAV's valid bits) or the size of a float one (32 or 64).
    int32_t encoding = kEncodingPcm;

    // Bytes one sample occupies in the file: for a reader its container as the header gives
    // it (24 valid bits may sit in 4 bytes), else (bitsPerSample + 7) / 8.
    int32_t bytesPerSample() const;

  private:
    bool parseAiff();
    bool parseWav();
    void resetFields();
    bool putBytes(const uint8_t* bytes, std::size_t count);
    bool putAt(int64_t offset, const uint8_t* bytes, std::size_t count);
    void finishWriter();
    bool writeFailed_ = false;
    int64_t dataEnd_ = 0;       // reader: offset just behind the last whole frame of sample data
    int32_t sampleBytes_ = 0;   // reader: bytes of one sample's container (0: from the bits)
    bool littleEndian_ = false; // reader: sample bytes low first (WAV, AIFF-C "sowt")
};

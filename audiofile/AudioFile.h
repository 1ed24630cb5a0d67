// One WAV or AIFF file, opened either for reading or for writing.
//
// Readers take integer PCM of 1 to 32 bits and IEEE float of 32 and 64 bits, from WAV (plain
// and extensible) and from AIFF and AIFF-C, and deliver every sample as signed 16-bit PCM in
// native byte order, interleaved by channel. Writers take the same layout and produce a
// complete header on close.
//
// The contract: open a file (openRead, or openWrite with the info its header carries), check
// the status, read or write frames, close. info() describes the file while it is open; a file
// that failed to open or was closed has the empty info (type kAudioFileNone).
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
enum AudioFileStatus : int32_t {
    kAudioFileOk = 0,
    kAudioFileCannotOpen = -1,  // missing, not a plain file, or refused by the system
    kAudioFileUnknown = -2,     // reader: not a WAV or AIFF file of a layout it takes
    kAudioFileBadInfo = -3,     // writer: a type, channel count or sample size no header holds
    kAudioFileNotReady = -4,    // not open, or not open in the mode the call needs
    kAudioFileSeekFailed = -5,  // the stream refused to seek
    kAudioFileWriteFailed = -6, // the stream refused bytes (a full disk); sticky until close
    kAudioFileNotASource = -7,  // OpenSource: no channel, or a rate below 1 Hz (or no number)
};

// What a file holds, as a reader found it or as a writer is to write it.
struct AudioInfo {
    int32_t type = kAudioFileNone;
    int32_t channels = 0;
    uint32_t frames = 0; // reader: whole frames of sample data (0 without any)
    // The precision of an integer sample (an extensible WAV's valid bits) or the size of a
    // float one (32 or 64). A writer writes 16-bit samples in containers of this size.
    int32_t bitsPerSample = 0;
    int32_t encoding = kEncodingPcm;
    Extended80 sampleRate = Extended80::FromUInt32(44100);
    // Reader: where the sample data lies; dataStart 0 when the file has none.
    uint32_t dataStart = 0;
    uint32_t dataBytes = 0;
    // The instrument (AIFF "INST" and "MARK"); a WAV's loop is its whole data.
    int32_t baseNote = 60;
    int32_t detune = 0;
    int32_t lowNote = 60;
    int32_t highNote = 60;
    uint32_t loopStart = 0;
    uint32_t loopEnd = 0;
};

// The info a writer needs: type, channels, sample size and rate (the instrument as default).
AudioInfo WriterInfo(int32_t type, int32_t channels, int32_t bitsPerSample, Extended80 rate);

class AudioFile {
  public:
    AudioFile() = default;
    AudioFile(const AudioFile&) = delete;
    AudioFile& operator=(const AudioFile&) = delete;
    // Closes the file as close() does.
    ~AudioFile();

    // Closes what is open, then opens a file for reading: recognises AIFF, then WAV.
    // 0, kAudioFileCannotOpen or kAudioFileUnknown.
    int32_t openRead(const std::string& path);

    // Closes what is open, then creates or truncates the file and writes the header for
    // info.type (kAudioFileAiff or kAudioFileWav) with its channels, sample size, rate and, for
    // AIFF, its instrument. The frame count is filled in on close.
    // 0, kAudioFileBadInfo (nothing is created), kAudioFileCannotOpen or kAudioFileWriteFailed.
    int32_t openWrite(const std::string& path, const AudioInfo& info);

    bool isOpen() const { return stream_ != nullptr; }
    const AudioInfo& info() const { return info_; }

    // Positions the stream at a sample frame of the sample data. 0, -4 or -5.
    int32_t seekFrame(uint32_t frame);

    // Fills frameCount x channels samples; returns the number of samples actually read (the
    // rest of the buffer is 0). Reading stops at the end of the sample data. -4 when not ready.
    int32_t readFrames(int32_t frameCount, int16_t* buffer);

    // Writer: appends frameCount x channels samples. 0, -4, or -6 when the stream failed.
    int32_t writeFrames(const int16_t* buffer, int32_t frameCount);

    // Finishes a writer (size fields) and closes the stream. Returns 0, or -6 when any write
    // of a writer failed (including the final patching and the close itself).
    int32_t close();

    // Bytes one sample occupies in the file: for a reader its container as the header gives
    // it (24 valid bits may sit in 4 bytes), else (bitsPerSample + 7) / 8.
    int32_t bytesPerSample() const;

  private:
    bool parseAiff();
    bool parseWav();
    bool putBytes(const uint8_t* bytes, std::size_t count);
    bool putAt(int64_t offset, const uint8_t* bytes, std::size_t count);
    bool writeHeader();
    void finishWriter();
    bool reading() const { return stream_ != nullptr && !writing_; }
    bool writing() const { return stream_ != nullptr && writing_; }

    AudioInfo info_;
    std::FILE* stream_ = nullptr;
    bool writing_ = false;
    // Writer: where the size fields lie, and the sample bytes written so far.
    uint32_t chunkSizePos_ = 0;
    uint32_t framesFieldPos_ = 0;
    uint32_t bytesWritten_ = 0;
    bool writeFailed_ = false;
    // Reader.
    int64_t dataEnd_ = 0;       // offset just behind the last whole frame of sample data
    int32_t sampleBytes_ = 0;   // bytes of one sample's container (0: from the bits)
    bool littleEndian_ = false; // sample bytes low first (WAV, AIFF-C "sowt")
};

// Whether a reader's file is a source of sound the program takes: a WAV or AIFF file with at
// least one channel and a rate of at least 1 Hz. A file without sample data is a source of no
// frames. Every job, the preview, the auditions and the tool ask this one question.
bool UsableSource(const AudioInfo& info);

// Opens a file for reading as a source: 0 when UsableSource says yes; else the reason
// (kAudioFileCannotOpen, kAudioFileUnknown, kAudioFileNotASource) and the file is closed.
int32_t OpenSource(AudioFile& file, const std::string& path);

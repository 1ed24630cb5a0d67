// The import and export jobs, free of any window: they take paths and options, report their
// progress through callbacks, and return a status that the window and the command-line tool
// turn into the system's messages.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "SoundPrep.h"

class CReSampler;

namespace brelka {

constexpr int kJobBlock = 4096; // frames per block

enum class JobStatus {
    Done,         // finished
    Aborted,      // stopped by the user; the output holds the blocks done so far
    SourceError,  // "Source File error."
    CreateError,  // "File create error."
    SampleError,  // "Sample File error."
    WriteError,   // "File write error."
    ConvertError, // "Rate conversion error."
    Cancelled,    // stopped by the caller's cancel callback; the destination is as it was
};

// The message box text of a failure; empty for Done, Aborted and Cancelled.
const char* JobMessage(JobStatus status);
// True when the job did not write its output: a failure, or cancelled.
inline bool JobFailed(JobStatus s) {
    return s != JobStatus::Done && s != JobStatus::Aborted;
}

enum ImportChannel : int { kChannelL = 0, kChannelR = 1, kChannelMix = 2 };
constexpr int kQualityDefault = 4;

// Callbacks of a running job; any may be empty.
struct JobProgress {
    std::function<void()> preparing;         // the files are open: "Preparing..."
    std::function<void(int blocks)> started; // the block loop begins
    std::function<bool(int k, int n)> block; // block k of n is written; true asks for an abort
    std::function<void()> closing;           // "Closing the file..."
    // Asked after each block: true stops the job and throws its output away, so the destination
    // stays as it was and no temporary file is left (an interrupted command, unlike an abort,
    // which keeps the blocks done so far).
    std::function<bool()> cancel;
};

struct ImportRequest {
    std::string sourcePath;
    std::string folder;        // the sample folder, with or without its trailing separator
    std::string slotText;      // as typed in the slot combo
    int channel = kChannelMix; // for sources with two or more channels
    int quality = 0;           // 0 none, 1 Simple ... 5 Ultra Heavy
    PrepOptions prep;          // trim, normalize, fades, dither: all off gives the plain import
    double kitPeak = 0.0;      // prep.kit: the largest SourcePeak of the kit's files
    bool pad = true;           // false: the samples as they come, not padded to 512
};

struct ImportOutcome {
    JobStatus status = JobStatus::Done;
    int slot = 1;               // the slot number written
    std::string slotPath;       // the slot's file
    int64_t samplesWritten = 0; // after the header area, padding included
    int64_t framesRead = 0;     // source frames taken
    int32_t sourceRate = 0;     // truncated source rate
    int32_t convertCode = 0;    // ConvertError: the converter's code (QMX_ codes of qmx.h)
    int64_t clipped = 0;        // samples the mix, a gain or the converter limited to 16 bits
};

// The peak (16-bit steps) of a source as an import with these options would take it, for a kit's
// one gain; -1 when the file is no source.
double SourcePeak(const std::string& path, int channel, const PrepOptions& prep);

ImportOutcome RunImport(const ImportRequest& request, CReSampler& resampler,
                        const JobProgress& progress = {});

struct ExportRequest {
    std::string folder;
    std::string slotText;
    std::string destPath; // ".aif" in any letter case is AIFF, anything else WAV
    int quality = 0;      // 0: 31250 Hz as stored; 1 ... 5: converted to 44100 Hz
};

struct ExportOutcome {
    JobStatus status = JobStatus::Done;
    int slot = 1;
    std::string slotPath;
    int64_t framesWritten = 0;
    int32_t outputRate = 0;
    int32_t convertCode = 0; // ConvertError: the converter's code (QMX_ codes of qmx.h)
};

ExportOutcome RunExport(const ExportRequest& request, CReSampler& resampler,
                        const JobProgress& progress = {});

constexpr int kChannelKeep = 3; // convert: keep one or two channels as they are

struct ConvertRequest {
    std::string sourcePath;
    std::string destPath;       // ".aif" in any letter case is AIFF, anything else WAV
    int32_t rate = 44100;       // the output rate
    int channel = kChannelKeep; // L, R, MIX (one channel out) or keep (up to two)
    int quality = kQualityDefault;
};

struct ConvertOutcome {
    JobStatus status = JobStatus::Done;
    int64_t framesRead = 0;
    int64_t framesWritten = 0;
    int channels = 0; // channels written
    int32_t sourceRate = 0;
    int32_t convertCode = 0; // ConvertError: the converter's code (QMX_ codes of qmx.h)
};

// A WAV or AIFF file into another at any rate, 16-bit, through the same converters. With
// quality 0 the samples are kept and only labelled with the new rate.
ConvertOutcome RunConvert(const ConvertRequest& request, CReSampler& resampler,
                          const JobProgress& progress = {});

// True when the file name's extension (from its last dot) is ".aif" in any letter case.
bool IsAiffName(const std::string& path);

} // namespace brelka

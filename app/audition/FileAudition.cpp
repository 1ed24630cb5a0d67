#include "FileAudition.h"

#include <climits>

#include "AudioFile.h"

namespace brelka {

FileAudition::FileAudition(WaveWindow& panel) : AuditionPlayer(panel) {}

FileAudition::~FileAudition() {
    CloseFile();
}

void FileAudition::CloseFile() {
    playFile_.Close();
}

void FileAudition::Hold(const std::string& path) {
    if (waveOut_) return; // a second button pressed while the first is held

    playFile_ = AudioFileOwner();
    if (OpenSource(*playFile_, path) != kAudioFileOk) {
        CloseFile();
        return;
    }

    const uint32_t rate = playFile_->info().sampleRate.TruncToUInt32();
    format_.channels = playFile_->info().channels;
    format_.sampleRate = rate > INT_MAX ? 0 : static_cast<int>(rate);
    format_.bitsPerSample = 16;
    if (!OpenDevice(format_)) {
        // No device (or a format it cannot play): nothing plays.
        CloseFile();
        return;
    }

    ended_ = false;
    playFile_->seekFrame(0);
    for (int i = 0; i < kMaxBuffers && !ended_; ++i)
        FillAndQueue(*buffers_.create(static_cast<size_t>(format_.blockAlign()) * kBufferFrames));
}

void FileAudition::FillAndQueue(PlaybackBuffer& buffer) {
    WaveHeader& h = buffer.header;
    h.flags = 0;
    h.loops = 0;
    // The reader stops at the end of the sample data and fills the rest with silence.
    const int32_t read = playFile_->readFrames(kBufferFrames, buffer.samples());
    if (read > 0 && Queue(buffer)) return;
    // Nothing left to read (a buffer of silence need not play), or a device that refuses
    // buffers: the sound ends with the buffers already queued.
    buffers_.release(&buffer);
    EndOfSound();
}

void FileAudition::EndOfSound() {
    ended_ = true;
    if (waveOut_->queued() == 0) window_.PostStop();
}

void FileAudition::BufferFreed() {
    // The last buffer that carried sound has played: the audition is over.
    if (waveOut_ && waveOut_->queued() == 0) window_.PostStop();
}

} // namespace brelka

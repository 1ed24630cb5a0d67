#include "FileAudition.h"

#include <climits>

#include "AudioFile.h"

namespace brelka {

FileAudition::FileAudition(WaveWindow& panel) : panel_(panel) {}

FileAudition::~FileAudition() {
    std::unique_ptr<WaveOut> device = std::move(waveOut_);
    if (device) {
        device->reset();
        buffers_.unprepareAll(*device);
    }
    // The buffers the reset handed back must not reach the panel any more.
    panel_.DiscardDone();
    buffers_.clear();
    closeFile();
}

void FileAudition::closeFile() {
    playFile_.Close();
}

void FileAudition::AudBtnMouseDown(const std::string& selectedPath) {
    if (waveOut_) return; // a second button pressed while the first is held

    playFile_ = AudioFileOwner();
    if (OpenSource(*playFile_, selectedPath) != kAudioFileOk) {
        closeFile();
        return;
    }

    const uint32_t rate = playFile_->info().sampleRate.TruncToUInt32();
    format_.channels = playFile_->info().channels;
    format_.sampleRate = rate > INT_MAX ? 0 : static_cast<int>(rate);
    format_.bitsPerSample = 16;
    if (WaveOut::Open(waveOut_, format_, panel_) != kWaveOk) {
        // No device (or a format it cannot play): nothing plays.
        closeFile();
        return;
    }

    ended_ = false;
    playFile_->seekFrame(0);
    for (int i = 0; i < kMaxBuffers && !ended_; ++i)
        fillAndQueue(*buffers_.create(static_cast<size_t>(format_.blockAlign()) * kBufferFrames));
}

void FileAudition::fillAndQueue(PlaybackBuffer& buffer) {
    WaveHeader& h = buffer.header;
    h.flags = 0;
    h.loops = 0;
    // The reader stops at the end of the sample data and fills the rest with silence.
    const int32_t read = playFile_->readFrames(kBufferFrames, buffer.samples());
    if (read > 0 && waveOut_->prepare(&h) == kWaveOk && waveOut_->write(&h) == kWaveOk) return;
    // Nothing left to read (a buffer of silence need not play), or a device that refuses
    // buffers: the sound ends with the buffers already queued.
    buffers_.release(&buffer);
    endOfSound();
}

void FileAudition::endOfSound() {
    ended_ = true;
    if (waveOut_->queued() == 0) panel_.PostStop();
}

void FileAudition::bufferDone(WaveHeader* header) {
    PlaybackBuffer* buffer = buffers_.find(header);
    if (buffer == nullptr) return; // not one of ours (already freed)
    if (waveOut_) waveOut_->unprepare(header);
    if (waveOut_ && !ended_) {
        fillAndQueue(*buffer);
        return;
    }
    buffers_.release(buffer);
    // The last buffer that carried sound has played: the audition is over.
    if (waveOut_ && waveOut_->queued() == 0) panel_.PostStop();
}

void FileAudition::stop() {
    if (!waveOut_) return;
    std::unique_ptr<WaveOut> device = std::move(waveOut_); // waveOut none from here
    device->reset();
    buffers_.unprepareAll(*device);
    closeFile();
    // The buffers the reset handed back arrive now and find the audition stopped, so none is
    // left to meet a later audition; nor is a stop that the end of the sound posted.
    panel_.DeliverDone();
    panel_.DiscardStop();
    buffers_.clear(); // any a refused write never queued
    device.reset();   // closed last, with the audition idle
}

} // namespace brelka

#include "AuditionPlayer.h"

namespace brelka {

AuditionPlayer::AuditionPlayer(WaveWindow& window) : window_(window) {}

AuditionPlayer::~AuditionPlayer() {
    std::unique_ptr<WaveOut> device = std::move(waveOut_);
    if (device) {
        device->reset();
        buffers_.unprepareAll(*device);
    }
    // The buffers the reset handed back must not reach the window any more.
    window_.DiscardDone();
    buffers_.clear();
}

bool AuditionPlayer::OpenDevice(const WaveFormat& format) {
    return WaveOut::Open(waveOut_, format, window_) == kWaveOk;
}

bool AuditionPlayer::Queue(PlaybackBuffer& buffer) {
    return waveOut_->prepare(&buffer.header) == kWaveOk &&
           waveOut_->write(&buffer.header) == kWaveOk;
}

void AuditionPlayer::WaveDone(WaveHeader* header) {
    PlaybackBuffer* buffer = buffers_.find(header);
    if (buffer == nullptr) return; // not one of ours (already freed)
    if (waveOut_) waveOut_->unprepare(header);
    if (waveOut_ && KeepsPlaying()) {
        Refill(*buffer);
        return;
    }
    buffers_.release(buffer);
    BufferFreed();
}

void AuditionPlayer::Stop() {
    if (!playing()) return;
    Stopping();
    std::unique_ptr<WaveOut> device = std::move(waveOut_); // no device from here
    if (device) {
        device->reset();
        buffers_.unprepareAll(*device);
        // The buffers the reset handed back arrive now, find no device and are freed.
        window_.DeliverDone();
    }
    // A second stop already on its way (the end and the user at the same moment) must not
    // meet the next sound.
    window_.DiscardStop();
    buffers_.clear(); // any a refused write never queued
    device.reset();   // closed last, with the audition idle
    Stopped();
}

} // namespace brelka

// What both auditions share: the window that receives the device's two messages, the device
// while a sound plays, the buffers it plays from, and the ways a sound ends (a stop, or the
// audition's end).
#pragma once

#include <memory>

#include "PlaybackBuffers.h"
#include "WaveOut.h"

namespace brelka {

class AuditionPlayer : public WaveListener {
  public:
    // window receives the device's messages and the stop message.
    explicit AuditionPlayer(WaveWindow& window);
    // Closes the device and frees every buffer; no message reaches the window any more.
    ~AuditionPlayer() override;
    AuditionPlayer(const AuditionPlayer&) = delete;
    AuditionPlayer& operator=(const AuditionPlayer&) = delete;

    // Stops at once, as the stop message does: the device is reset and closed, every buffer
    // freed, and no message is left to meet a later sound. Nothing when no sound plays.
    void Stop();

    // The two messages.
    void WaveDone(WaveHeader* header) override;
    void WaveStop() override { Stop(); }

    virtual bool playing() const { return waveOut_ != nullptr; }
    bool deviceOpen() const { return waveOut_ != nullptr; }
    size_t buffers() const { return buffers_.size(); }

  protected:
    // Opens the device for format; false (and no device) when it cannot play it.
    bool OpenDevice(const WaveFormat& format);
    // Prepares and writes a filled buffer; false when the device refused it.
    bool Queue(PlaybackBuffer& buffer);

    // Whether a buffer the device hands back is filled and queued again (Refill) or freed.
    virtual bool KeepsPlaying() const = 0;
    virtual void Refill(PlaybackBuffer& buffer) = 0;
    // A buffer has been freed after its last return.
    virtual void BufferFreed() {}
    // Stop: before the device goes (the sound's own state and file), and after.
    virtual void Stopping() {}
    virtual void Stopped() {}

    WaveWindow& window_;
    std::unique_ptr<WaveOut> waveOut_;
    PlaybackBuffers buffers_;
};

} // namespace brelka

// Listening to a WAV or AIFF file from the preview panel of the open dialog: the file plays at
// its own rate and channels for as long as the mouse button is held on the panel's AudBtn.
//
// The panel owns one FileAudition, holds it while a mouse button is down on AudBtn and
// releases it when the button comes up, and hands the two wave messages it receives to the
// audition, its WaveListener.
#pragma once

#include <string>

#include "AudioFileOwner.h"
#include "AuditionPlayer.h"

namespace brelka {

class FileAudition : public AuditionPlayer {
  public:
    static constexpr int kMaxBuffers = 16;
    static constexpr int kBufferFrames = 512;

    // panel receives the device's messages and the stop message.
    explicit FileAudition(WaveWindow& panel);
    // Stops: closes the device and the file, frees every buffer.
    ~FileAudition() override;

    // A mouse button has gone down on AudBtn: path plays. Nothing while a sound plays (a
    // second button pressed while the first is held).
    void Hold(const std::string& path);
    // The button has come up: the sound stops at once.
    void Release() { Stop(); }

    const WaveFormat& format() const { return format_; }
    bool fileOpen() const { return static_cast<bool>(playFile_); }
    // The whole sound has been read: the buffers still queued play out, then the audition stops.
    bool ended() const { return ended_; }

  private:
    void FillAndQueue(PlaybackBuffer& buffer);
    void EndOfSound();
    bool KeepsPlaying() const override { return !ended_; }
    void Refill(PlaybackBuffer& buffer) override { FillAndQueue(buffer); }
    void BufferFreed() override;
    void Stopping() override { CloseFile(); }
    void CloseFile();

    WaveFormat format_;
    AudioFileOwner playFile_{nullptr};
    bool ended_ = false;
};

} // namespace brelka

// Listening to a WAV or AIFF file from the preview panel of the open dialog: the file plays at
// its own rate and channels for as long as the mouse button is held on the panel's AudBtn.
//
// The panel owns one FileAudition, forwards AudBtn's mouse down and up, and hands the two wave
// messages it receives to the audition, its WaveListener.
#pragma once

#include <memory>
#include <string>

#include "AudioFileOwner.h"
#include "SlotAudition.h"
#include "WaveOut.h"

namespace brelka {

class FileAudition : public WaveListener {
  public:
    static constexpr int kMaxBuffers = 16;
    static constexpr int kBufferFrames = 512;

    // panel receives the device's messages and the stop message.
    explicit FileAudition(WaveWindow& panel);
    // Stops: closes the device and the file, frees every buffer.
    ~FileAudition() override;
    FileAudition(const FileAudition&) = delete;
    FileAudition& operator=(const FileAudition&) = delete;

    // Mouse down on AudBtn (any button): plays selectedPath. Ignored while playing.
    void AudBtnMouseDown(const std::string& selectedPath);
    // Mouse up on AudBtn.
    void AudBtnMouseUp() { stop(); }

    // The two messages.
    void WaveDone(WaveHeader* header) override { bufferDone(header); }
    void WaveStop() override { stop(); }

    bool playing() const { return waveOut_ != nullptr; }
    const WaveFormat& format() const { return format_; }
    size_t buffers() const { return buffers_.size(); }
    bool fileOpen() const { return static_cast<bool>(playFile_); }
    // The whole sound has been read: the buffers still queued play out, then the audition stops.
    bool ended() const { return ended_; }

  private:
    void fillAndQueue(PlaybackBuffer& buffer);
    void endOfSound();
    void bufferDone(WaveHeader* header);
    void stop();
    void closeFile();

    WaveWindow& panel_;
    std::unique_ptr<WaveOut> waveOut_;
    WaveFormat format_;
    AudioFileOwner playFile_{nullptr};
    bool ended_ = false;
    PlaybackBuffers buffers_;
};

} // namespace brelka

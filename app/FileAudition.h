// Listening to a WAV or AIFF file from the preview panel of the open dialog: the file plays at
// its own rate and channels for as long as the mouse button is held on the panel's AudBtn.
//
// The panel owns one FileAudition, forwards AudBtn's mouse down and up, and passes every
// kWaveDoneEvent and kWaveStopEvent it receives to handleEvent.
#pragma once

#include <QString>

#include <memory>

#include "SlotAudition.h"
#include "WaveOut.h"

class AudioFile;
class QEvent;
class QObject;

namespace brelka {

class FileAudition {
  public:
    static constexpr int kMaxBuffers = 16;
    static constexpr int kBufferFrames = 512;

    // panel receives the device's notifications and the stop event.
    explicit FileAudition(QObject* panel);
    // Stops: closes the device and the file, frees every buffer.
    ~FileAudition();
    FileAudition(const FileAudition&) = delete;
    FileAudition& operator=(const FileAudition&) = delete;

    // Mouse down on AudBtn (any button): plays selectedPath. Ignored while playing.
    void AudBtnMouseDown(const QString& selectedPath);
    // Mouse up on AudBtn.
    void AudBtnMouseUp() { stop(); }

    // kWaveDoneEvent and kWaveStopEvent; true when the event was one of them.
    bool handleEvent(QEvent* event);

    bool playing() const { return waveOut_ != nullptr; }
    const WaveFormat& format() const { return format_; }
    size_t buffers() const { return buffers_.size(); }
    bool fileOpen() const { return playFile_ != nullptr; }
    // The whole sound has been read: the buffers still queued play out, then the audition stops.
    bool ended() const { return ended_; }

  private:
    void fillAndQueue(PlaybackBuffer& buffer);
    void endOfSound();
    void bufferDone(WaveHeader* header);
    void stop();
    void closeFile();

    QObject* panel_;
    std::unique_ptr<WaveOut> waveOut_;
    WaveFormat format_;
    AudioFile* playFile_ = nullptr;
    bool ended_ = false;
    PlaybackBuffers buffers_;
};

} // namespace brelka

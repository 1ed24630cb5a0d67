// Listening to a slot from the main window: the device sample file of the chosen slot plays
// once from start to end through 16 circulating buffers while AudBtn is down.
//
// The window owns one SlotAudition, starts it when AudBtn goes down and releases it when the
// button comes up, and hands the two wave messages it receives to the audition, its
// WaveListener. The audition talks back through the callbacks of AuditionView.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "AuditionPlayer.h"

namespace brelka {

// What an audition changes in its window.
struct AuditionView {
    std::function<void(int)> setGauge;
    std::function<void(const std::string&)> setInfoText;
    std::function<void()> ended;          // the sound is over: the window puts AudBtn up
    std::function<void(bool)> setPlaying; // optional: mirrors playing() into the window
};

class SlotAudition : public AuditionPlayer {
  public:
    static constexpr int kBufferCount = 16;
    static constexpr int kBufferBytes = 1024; // 512 samples

    // window receives the device's messages and the stop message.
    SlotAudition(WaveWindow& window, AuditionView view);
    // Stops without touching the window: closes the file and the device, frees every buffer.
    ~SlotAudition() override;

    // AudBtn has gone down: the slot of slotText (the text of SampleList) in folder (the text
    // of SrcEdit) plays. Nothing while a sound plays.
    void Start(const std::string& folder, const std::string& slotText);
    // AudBtn has come up: the sound stops once the messages already waiting are handled.
    void Release();

    bool playing() const override { return playing_; }
    int64_t blockCount() const { return blockCount_; }
    int64_t buffersQueued() const { return buffersQueued_; }
    bool fileOpen() const { return playStream_ != nullptr; }

  private:
    void ClearView();
    void FillAndQueue(PlaybackBuffer& buffer);
    bool KeepsPlaying() const override { return playing_; }
    void Refill(PlaybackBuffer& buffer) override { FillAndQueue(buffer); }
    void Stopping() override;
    void Stopped() override;
    void SetPlaying(bool on);
    void CloseStream();

    AuditionView view_;
    std::FILE* playStream_ = nullptr;
    int64_t blockCount_ = 0;
    int64_t buffersQueued_ = 0;
    bool playing_ = false;
};

} // namespace brelka

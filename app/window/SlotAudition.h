// Listening to a slot from the main window: the device sample file of the chosen slot plays
// once from start to end through 16 circulating buffers while AudBtn is down.
//
// The window owns one SlotAudition, forwards AudBtn's clicks to AudBtnClick, and hands the two
// wave messages it receives to the audition, its WaveListener. The audition talks back
// through the callbacks of AuditionView.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "WaveOut.h"

namespace brelka {

// One buffer of an audition: the device's header and the memory it points to, set up once
// at creation. It belongs to its audition until it is freed after its last return.
class PlaybackBuffer {
  public:
    explicit PlaybackBuffer(size_t bytes);
    ~PlaybackBuffer();
    PlaybackBuffer(const PlaybackBuffer&) = delete;
    PlaybackBuffer& operator=(const PlaybackBuffer&) = delete;

    WaveHeader header;
    int16_t* samples() { return memory_.data(); }

    // Buffers in existence, over all auditions.
    static int Alive();

  private:
    std::vector<int16_t> memory_;
};

// The buffers of one audition. Each is freed exactly once: by release after its last
// return, or by clear.
class PlaybackBuffers {
  public:
    PlaybackBuffer* create(size_t bytes);
    PlaybackBuffer* find(const WaveHeader* header) const; // nullptr when not one of ours
    void release(PlaybackBuffer* buffer);
    // Gives the device back every buffer still prepared (after a reset, before they are freed).
    void unprepareAll(WaveOut& device);
    void clear();
    size_t size() const { return list_.size(); }

  private:
    std::vector<std::unique_ptr<PlaybackBuffer>> list_;
};

// What an audition changes in its window.
struct AuditionView {
    std::function<void(int)> setGauge;
    std::function<void(const std::string&)> setInfoText;
    std::function<void()> putAudBtnUp;
    std::function<void(bool)> setPlaying; // optional: mirrors playing() into the window
};

class SlotAudition : public WaveListener {
  public:
    static constexpr int kBufferCount = 16;
    static constexpr int kBufferBytes = 1024; // 512 samples

    // window receives the device's messages and the stop message.
    SlotAudition(WaveWindow& window, AuditionView view);
    // Stops without touching the window: closes the file and the device, frees every buffer.
    ~SlotAudition() override;
    SlotAudition(const SlotAudition&) = delete;
    SlotAudition& operator=(const SlotAudition&) = delete;

    // AudBtn has just changed its down state. folder is the text of SrcEdit, slotText the
    // text of SampleList.
    void AudBtnClick(bool down, const std::string& folder, const std::string& slotText);

    // The two messages.
    void WaveDone(WaveHeader* header) override { bufferDone(header); }
    void WaveStop() override { stop(); }

    // Stops at once, as the stop message does (when the window closes).
    void Stop() { stop(); }

    bool playing() const { return playing_; }
    int64_t blockCount() const { return blockCount_; }
    int64_t buffersQueued() const { return buffersQueued_; }
    size_t buffers() const { return buffers_.size(); }
    bool deviceOpen() const { return waveOut_ != nullptr; }
    bool fileOpen() const { return playStream_ != nullptr; }

  private:
    void start(const std::string& folder, const std::string& slotText);
    void fillAndQueue(PlaybackBuffer& buffer);
    void bufferDone(WaveHeader* header);
    void stop();
    void setPlaying(bool on);
    void closeStream();

    WaveWindow& window_;
    AuditionView view_;
    std::unique_ptr<WaveOut> waveOut_;
    std::FILE* playStream_ = nullptr;
    int64_t blockCount_ = 0;
    int64_t buffersQueued_ = 0;
    bool playing_ = false;
    PlaybackBuffers buffers_;
};

} // namespace brelka

#include "SlotAudition.h"

#include <algorithm>
#include <cstring>

#include "Files.h"
#include "SampleFile.h"

namespace brelka {

SlotAudition::SlotAudition(WaveWindow& window, AuditionView view)
    : AuditionPlayer(window), view_(std::move(view)) {}

SlotAudition::~SlotAudition() {
    CloseStream();
    playing_ = false;
}

void SlotAudition::SetPlaying(bool on) {
    playing_ = on;
    if (view_.setPlaying) view_.setPlaying(on);
}

void SlotAudition::CloseStream() {
    if (playStream_ != nullptr) std::fclose(playStream_);
    playStream_ = nullptr;
}

void SlotAudition::ClearView() {
    view_.setGauge(0);
    view_.setInfoText(std::string());
}

void SlotAudition::Release() {
    ClearView();
    window_.PostStop();
}

void SlotAudition::Start(const std::string& folder, const std::string& slotText) {
    if (playing_) return; // already running: a second start would lose the first one
    ClearView();
    WaveFormat format;
    format.channels = 1;
    format.sampleRate = kDeviceRate;
    format.bitsPerSample = 16;
    if (!OpenDevice(format)) {
        // No device: end at once, as for a file that cannot be opened.
        SetPlaying(true);
        window_.PostStop();
        return;
    }

    const std::string path = SlotFileName(folder, ParseSlotNumber(slotText));
    blockCount_ = 0;
    playStream_ = OpenSlotForReading(path); // a plain file only: a pipe would hang
    if (playStream_ == nullptr) {
        SetPlaying(true);
        window_.PostStop();
        return;
    }
    const int64_t size = FileSizeOf(path);
    blockCount_ = std::max<int64_t>(0, (size - kHeaderArea) / kBufferBytes);
    platform::SeekFile(playStream_, kHeaderArea, SEEK_SET);
    buffersQueued_ = 0;

    for (int i = 0; i < kBufferCount; ++i)
        FillAndQueue(*buffers_.create(kBufferBytes));

    SetPlaying(true);
    view_.setInfoText("Audio playing...");
}

void SlotAudition::FillAndQueue(PlaybackBuffer& buffer) {
    WaveHeader& h = buffer.header;
    h.flags = 0;
    h.loops = 0;
    std::memset(h.data, 0, kBufferBytes);
    if (playStream_ != nullptr) ReadSlotSamples(playStream_, kBufferBytes / 2, buffer.samples());
    const bool queued = Queue(buffer);

    ++buffersQueued_;
    // No whole block: nothing to show progress against.
    view_.setGauge(blockCount_ > 0 ? static_cast<int>(buffersQueued_ * 100 / blockCount_) : 0);
    if (buffersQueued_ == blockCount_ + kBufferCount) window_.PostStop();
    // A device that refuses buffers would leave the audition hanging: end it.
    if (!queued) window_.PostStop();
}

void SlotAudition::Stopping() {
    ClearView();
    CloseStream();
    SetPlaying(false);
}

void SlotAudition::Stopped() {
    view_.ended();
}

} // namespace brelka

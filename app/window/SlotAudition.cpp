#include "SlotAudition.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "Files.h"
#include "SampleFile.h"

namespace brelka {

namespace {
std::atomic<int> gAliveBuffers{0};
} // namespace

PlaybackBuffer::PlaybackBuffer(size_t bytes) : memory_((bytes + 1) / 2) {
    header.data = reinterpret_cast<char*>(memory_.data());
    header.length = static_cast<uint32_t>(bytes);
    ++gAliveBuffers;
}

PlaybackBuffer::~PlaybackBuffer() {
    --gAliveBuffers;
}

int PlaybackBuffer::Alive() {
    return gAliveBuffers;
}

PlaybackBuffer* PlaybackBuffers::create(size_t bytes) {
    list_.push_back(std::make_unique<PlaybackBuffer>(bytes));
    return list_.back().get();
}

PlaybackBuffer* PlaybackBuffers::find(const WaveHeader* header) const {
    for (const auto& b : list_)
        if (&b->header == header) return b.get();
    return nullptr;
}

void PlaybackBuffers::release(PlaybackBuffer* buffer) {
    auto it = std::find_if(list_.begin(), list_.end(),
                           [buffer](const auto& b) { return b.get() == buffer; });
    if (it != list_.end()) list_.erase(it);
}

void PlaybackBuffers::unprepareAll(WaveOut& device) {
    for (const auto& b : list_)
        if (b->header.flags & kWaveHeaderPrepared) device.unprepare(&b->header);
}

void PlaybackBuffers::clear() {
    list_.clear();
}

SlotAudition::SlotAudition(WaveWindow& window, AuditionView view)
    : window_(window), view_(std::move(view)) {}

SlotAudition::~SlotAudition() {
    closeStream();
    playing_ = false;
    std::unique_ptr<WaveOut> device = std::move(waveOut_);
    if (device) {
        device->reset();
        buffers_.unprepareAll(*device);
    }
    // The buffers the reset handed back must not reach the window any more.
    window_.DiscardDone();
    buffers_.clear();
}

void SlotAudition::setPlaying(bool on) {
    playing_ = on;
    if (view_.setPlaying) view_.setPlaying(on);
}

void SlotAudition::closeStream() {
    if (playStream_ != nullptr) std::fclose(playStream_);
    playStream_ = nullptr;
}

void SlotAudition::AudBtnClick(bool down, const std::string& folder, const std::string& slotText) {
    if (down && playing_) return; // already running: a second start would lose the first one
    view_.setGauge(0);
    view_.setInfoText(std::string());
    if (!down) {
        window_.PostStop();
        return;
    }
    start(folder, slotText);
}

void SlotAudition::start(const std::string& folder, const std::string& slotText) {
    WaveFormat format;
    format.channels = 1;
    format.sampleRate = kDeviceRate;
    format.bitsPerSample = 16;
    if (WaveOut::Open(waveOut_, format, window_) != kWaveOk) {
        // No device: end at once, as for a file that cannot be opened.
        setPlaying(true);
        window_.PostStop();
        return;
    }

    const std::string path = SlotFileName(folder, ParseSlotNumber(slotText));
    blockCount_ = 0;
    playStream_ = OpenSlotForReading(path); // a plain file only: a pipe would hang
    if (playStream_ == nullptr) {
        setPlaying(true);
        window_.PostStop();
        return;
    }
    const int64_t size = FileSizeOf(path);
    blockCount_ = std::max<int64_t>(0, (size - kHeaderArea) / kBufferBytes);
    platform::SeekFile(playStream_, kHeaderArea, SEEK_SET);
    buffersQueued_ = 0;

    for (int i = 0; i < kBufferCount; ++i)
        fillAndQueue(*buffers_.create(kBufferBytes));

    setPlaying(true);
    view_.setInfoText("Audio playing...");
}

void SlotAudition::fillAndQueue(PlaybackBuffer& buffer) {
    WaveHeader& h = buffer.header;
    h.flags = 0;
    h.loops = 0;
    std::memset(h.data, 0, kBufferBytes);
    if (playStream_ != nullptr) {
        std::fread(h.data, 2, kBufferBytes / 2, playStream_);
        // The file holds big-endian samples; the device takes them in native order.
        auto* b = reinterpret_cast<uint8_t*>(h.data);
        for (int i = 0; i < kBufferBytes; i += 2) {
            const auto v = static_cast<int16_t>((b[i] << 8) | b[i + 1]);
            std::memcpy(b + i, &v, 2);
        }
    }
    const bool queued = waveOut_->prepare(&h) == kWaveOk && waveOut_->write(&h) == kWaveOk;

    ++buffersQueued_;
    // No whole block: nothing to show progress against.
    view_.setGauge(blockCount_ > 0 ? static_cast<int>(buffersQueued_ * 100 / blockCount_) : 0);
    if (buffersQueued_ == blockCount_ + kBufferCount) window_.PostStop();
    // A device that refuses buffers would leave the audition hanging: end it.
    if (!queued) window_.PostStop();
}

void SlotAudition::bufferDone(WaveHeader* header) {
    PlaybackBuffer* buffer = buffers_.find(header);
    if (buffer == nullptr) return; // not one of ours (already freed)
    if (waveOut_) waveOut_->unprepare(header);
    if (playing_ && waveOut_)
        fillAndQueue(*buffer);
    else
        buffers_.release(buffer);
}

void SlotAudition::stop() {
    if (!playing_) return;
    view_.setGauge(0);
    view_.setInfoText(std::string());
    closeStream();
    setPlaying(false);
    if (waveOut_) {
        waveOut_->reset();
        // The buffers the reset handed back arrive now, find the audition stopped and are
        // freed, before the device goes.
        window_.DeliverDone();
        buffers_.unprepareAll(*waveOut_); // any a refused write never queued
        buffers_.clear();
        std::unique_ptr<WaveOut> device = std::move(waveOut_);
        device.reset();
    }
    // A second stop already on its way (the end and the button at the same moment) must not
    // meet the next audition.
    window_.DiscardStop();
    view_.putAudBtnUp();
}

} // namespace brelka

#include "PlaybackBuffers.h"

#include <algorithm>
#include <atomic>

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

} // namespace brelka

#include "WaveOut.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QIODevice>
#include <QMediaDevices>
#include <QTimer>

#include <algorithm>

namespace brelka {

namespace {

// How often the device hands bytes to the sink and looks for buffers that have played.
constexpr int kPumpIntervalMs = 10;

QAudioFormat ToAudioFormat(const WaveFormat& f) {
    QAudioFormat q;
    q.setChannelCount(f.channels);
    q.setSampleRate(f.sampleRate);
    q.setSampleFormat(QAudioFormat::Int16);
    return q;
}

} // namespace

void PostWaveStop(QObject* receiver) {
    QCoreApplication::postEvent(receiver, new QEvent(kWaveStopEvent));
}

int WaveOut::Open(std::unique_ptr<WaveOut>& out, const WaveFormat& format, QObject* receiver) {
    out.reset();
    if (format.channels < 1 || format.sampleRate < 1 || format.bitsPerSample != 16)
        return kWaveBadFormat;
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) return kWaveNoDevice;
    if (!device.isFormatSupported(ToAudioFormat(format))) return kWaveBadFormat;

    std::unique_ptr<WaveOut> w(new WaveOut(format, receiver));
    w->sink_ = std::make_unique<QAudioSink>(device, ToAudioFormat(format));
    if (!w->startSink()) return kWaveNoDevice;
    out = std::move(w);
    return kWaveOk;
}

WaveOut::WaveOut(const WaveFormat& format, QObject* receiver)
    : format_(format), receiver_(receiver), timer_(std::make_unique<QTimer>()) {
    timer_->setTimerType(Qt::PreciseTimer);
    timer_->setInterval(kPumpIntervalMs);
    QObject::connect(timer_.get(), &QTimer::timeout, [this] { pump(); });
}

WaveOut::~WaveOut() {
    reset();
    timer_->stop();
    stopSink();
}

bool WaveOut::startSink() {
    io_ = sink_->start();
    if (io_ == nullptr || sink_->error() != QAudio::NoError) {
        io_ = nullptr;
        sink_->stop();
        return false;
    }
    return true;
}

void WaveOut::stopSink() {
    if (sink_ && io_ != nullptr) sink_->stop();
    io_ = nullptr;
}

int WaveOut::prepare(WaveHeader* header) {
    if (header == nullptr || header->data == nullptr || header->length == 0 ||
        header->length % static_cast<uint32_t>(format_.blockAlign()) != 0)
        return kWaveInvalidBuffer;
    if (header->flags & kWaveHeaderInQueue) return kWaveStillPlaying;
    header->flags |= kWaveHeaderPrepared;
    return kWaveOk;
}

int WaveOut::write(WaveHeader* header) {
    if (header == nullptr) return kWaveInvalidBuffer;
    if (!(header->flags & kWaveHeaderPrepared)) return kWaveNotPrepared;
    if (header->flags & kWaveHeaderInQueue) return kWaveStillPlaying;
    if (io_ == nullptr) return kWaveNoDevice;
    header->flags = (header->flags & ~kWaveHeaderDone) | kWaveHeaderInQueue;
    queuedBytes_ += header->length;
    queue_.push_back({header, queuedBytes_});
    if (!timer_->isActive()) timer_->start();
    pump();
    return kWaveOk;
}

int WaveOut::unprepare(WaveHeader* header) {
    if (header == nullptr) return kWaveInvalidBuffer;
    if (header->flags & kWaveHeaderInQueue) return kWaveStillPlaying;
    header->flags &= ~kWaveHeaderPrepared;
    return kWaveOk;
}

int WaveOut::reset() {
    if (!queue_.empty() || pushedBytes_ > 0) {
        // Stopping the sink drops what it still holds; a fresh start makes it ready for the
        // next write, with its clock at zero again.
        stopSink();
        startSink();
    }
    for (const Entry& e : queue_) {
        e.header->flags = (e.header->flags & ~kWaveHeaderInQueue) | kWaveHeaderDone;
        QCoreApplication::postEvent(receiver_, new WaveDoneEvent(e.header));
    }
    queue_.clear();
    queuedBytes_ = 0;
    pushedBytes_ = 0;
    pushIndex_ = 0;
    timer_->stop();
    return kWaveOk;
}

int WaveOut::close() {
    return queue_.empty() ? kWaveOk : kWaveStillPlaying;
}

int64_t WaveOut::durationUs(int64_t bytes) const {
    return bytes / format_.blockAlign() * 1000000 / format_.sampleRate;
}

void WaveOut::pump() {
    if (io_ == nullptr || sink_->error() != QAudio::NoError) {
        // The sink has gone (the sound server quit): nothing more can play, so every queued
        // buffer comes back now, and later writes are refused.
        io_ = nullptr;
        reset();
        return;
    }

    // Hand back the buffers whose last byte the sink has played. When the sink ran dry it
    // has played everything it was given, whatever its clock says.
    const qint64 playedUs = sink_->processedUSecs();
    const bool ranDry = sink_->state() == QAudio::IdleState;
    while (pushIndex_ > 0) {
        const Entry e = queue_.front();
        if (!ranDry && playedUs < durationUs(e.end)) break;
        queue_.pop_front();
        --pushIndex_;
        e.header->flags = (e.header->flags & ~kWaveHeaderInQueue) | kWaveHeaderDone;
        QCoreApplication::postEvent(receiver_, new WaveDoneEvent(e.header));
    }

    // Give the sink as many whole frames as it takes.
    const int64_t align = format_.blockAlign();
    while (pushIndex_ < queue_.size()) {
        const Entry& e = queue_[pushIndex_];
        const int64_t begin = e.end - e.header->length;
        int64_t n = std::min<int64_t>(e.end - pushedBytes_, sink_->bytesFree());
        n -= n % align;
        if (n <= 0) break;
        const qint64 w = io_->write(e.header->data + (pushedBytes_ - begin), n);
        if (w <= 0) break;
        pushedBytes_ += w;
        if (pushedBytes_ >= e.end) ++pushIndex_;
    }

    if (queue_.empty()) timer_->stop();
}

} // namespace brelka

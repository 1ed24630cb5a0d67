// Wave output on Qt Multimedia.
#include "WaveOut.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QIODevice>
#include <QMediaDevices>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <deque>

#include "WaveWindowQt.h"

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

// A QAudioSink in push mode, fed from the queue of written buffers by a timer.
class QtWaveOut : public WaveOut {
  public:
    QtWaveOut(const WaveFormat& format, QObject* receiver);
    ~QtWaveOut() override;

    int prepare(WaveHeader* header) override;
    int write(WaveHeader* header) override;
    int unprepare(WaveHeader* header) override;
    int reset() override;
    int close() override;
    const WaveFormat& format() const override { return format_; }
    size_t queued() const override { return queue_.size(); }

    std::unique_ptr<QAudioSink> sink_;
    bool startSink();

  private:
    void restartSink();
    void handBack(WaveHeader* header);
    void pump();
    int64_t durationUs(int64_t bytes) const; // playing time of the stream's first bytes

    struct Entry {
        WaveHeader* header;
        int64_t end; // stream offset behind the buffer's last byte, once it is being handed over
    };

    WaveFormat format_;
    QObject* receiver_;
    QIODevice* io_ = nullptr;
    std::unique_ptr<QTimer> timer_;
    std::deque<Entry> queue_;
    int64_t pushedBytes_ = 0; // bytes handed to the sink since it started, silence included
    size_t pushIndex_ = 0;    // queue entry that holds the next byte to hand over
};

} // namespace

int WaveOut::Open(std::unique_ptr<WaveOut>& out, const WaveFormat& format, WaveWindow& window) {
    out.reset();
    if (format.channels < 1 || format.sampleRate < 1 || format.bitsPerSample != 16)
        return kWaveBadFormat;
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) return kWaveNoDevice;
    if (!device.isFormatSupported(ToAudioFormat(format))) return kWaveBadFormat;

    auto w = std::make_unique<QtWaveOut>(format, static_cast<QObject*>(window.Handle()));
    w->sink_ = std::make_unique<QAudioSink>(device, ToAudioFormat(format));
    if (!w->startSink()) return kWaveNoDevice;
    out = std::move(w);
    return kWaveOk;
}

QtWaveOut::QtWaveOut(const WaveFormat& format, QObject* receiver)
    : format_(format), receiver_(receiver), timer_(std::make_unique<QTimer>()) {
    timer_->setTimerType(Qt::PreciseTimer);
    timer_->setInterval(kPumpIntervalMs);
    QObject::connect(timer_.get(), &QTimer::timeout, timer_.get(), [this] { pump(); });
}

QtWaveOut::~QtWaveOut() {
    reset();
    timer_->stop();
    if (io_ != nullptr) sink_->stop(); // the sound ends here
    // Deleting a sink runs the pending events of the whole application. Inside a running
    // event loop that waits for the loop, so that no handler runs in the middle of the
    // caller's own work.
    if (QThread::currentThread()->loopLevel() > 0) sink_.release()->deleteLater();
}

bool QtWaveOut::startSink() {
    io_ = sink_->start();
    const QAudio::Error error = sink_->error();
    if (io_ == nullptr || (error != QAudio::NoError && error != QAudio::UnderrunError)) {
        io_ = nullptr;
        sink_->stop();
        return false;
    }
    return true;
}

void QtWaveOut::restartSink() {
    // Stopping the sink drops whatever it still holds at once; a fresh start makes it ready
    // for the next write, its clock at zero again.
    if (io_ != nullptr) {
        sink_->stop();
        startSink();
    }
    pushedBytes_ = 0;
}

int QtWaveOut::prepare(WaveHeader* header) {
    if (header == nullptr || header->data == nullptr || header->length == 0 ||
        header->length % static_cast<uint32_t>(format_.blockAlign()) != 0)
        return kWaveInvalidBuffer;
    if (header->flags & kWaveHeaderInQueue) return kWaveStillPlaying;
    header->flags |= kWaveHeaderPrepared;
    return kWaveOk;
}

int QtWaveOut::write(WaveHeader* header) {
    if (header == nullptr) return kWaveInvalidBuffer;
    if (!(header->flags & kWaveHeaderPrepared)) return kWaveNotPrepared;
    if (header->flags & kWaveHeaderInQueue) return kWaveStillPlaying;
    if (io_ == nullptr) return kWaveNoDevice;
    header->flags = (header->flags & ~kWaveHeaderDone) | kWaveHeaderInQueue;
    queue_.push_back({header, -1});
    if (!timer_->isActive()) {
        // The first pump runs once the caller's handler has written all it wants to write.
        timer_->start();
        QTimer::singleShot(0, timer_.get(), [this] { pump(); });
    }
    return kWaveOk;
}

int QtWaveOut::unprepare(WaveHeader* header) {
    if (header == nullptr) return kWaveInvalidBuffer;
    if (header->flags & kWaveHeaderInQueue) return kWaveStillPlaying;
    header->flags &= ~kWaveHeaderPrepared;
    return kWaveOk;
}

void QtWaveOut::handBack(WaveHeader* header) {
    header->flags = (header->flags & ~kWaveHeaderInQueue) | kWaveHeaderDone;
    QCoreApplication::postEvent(receiver_, new WaveDoneEvent(header));
}

int QtWaveOut::reset() {
    if (!queue_.empty() || pushedBytes_ > 0) restartSink();
    for (const Entry& e : queue_)
        handBack(e.header);
    queue_.clear();
    pushIndex_ = 0;
    timer_->stop();
    return kWaveOk;
}

int QtWaveOut::close() {
    return queue_.empty() ? kWaveOk : kWaveStillPlaying;
}

int64_t QtWaveOut::durationUs(int64_t bytes) const {
    return bytes / format_.blockAlign() * 1000000 / format_.sampleRate;
}

void QtWaveOut::pump() {
    const QAudio::Error error = sink_->error();
    if (io_ == nullptr || (error != QAudio::NoError && error != QAudio::UnderrunError)) {
        // The sink has gone (the sound server quit): nothing more can play, so every queued
        // buffer comes back now, and later writes are refused. (Running dry for a moment,
        // when the event loop was held up, only leaves a gap.)
        if (io_ != nullptr) sink_->stop();
        io_ = nullptr;
        reset();
        return;
    }

    // Hand back the buffers whose last byte the sink has played. A sink that ran dry has
    // played everything it was given.
    const qint64 playedUs = sink_->processedUSecs();
    const bool ranDry = sink_->state() == QAudio::IdleState;
    while (pushIndex_ > 0) {
        const Entry e = queue_.front();
        if (!ranDry && playedUs < durationUs(e.end)) break;
        queue_.pop_front();
        --pushIndex_;
        handBack(e.header);
    }
    if (queue_.empty()) {
        // Nothing left to play: the next buffer starts a fresh stream.
        timer_->stop();
        if (pushedBytes_ > 0) restartSink();
        return;
    }

    // Give the sink as many whole frames as it takes.
    const int64_t align = format_.blockAlign();
    int64_t room = sink_->bytesFree();
    room -= room % align;
    while (room > 0 && pushIndex_ < queue_.size()) {
        Entry& e = queue_[pushIndex_];
        if (e.end < 0) e.end = pushedBytes_ + e.header->length;
        const int64_t begin = e.end - e.header->length;
        const int64_t n = std::min(e.end - pushedBytes_, room);
        const qint64 w = io_->write(e.header->data + (pushedBytes_ - begin), n);
        if (w <= 0) return;
        pushedBytes_ += w;
        room -= w;
        if (pushedBytes_ >= e.end) ++pushIndex_;
    }

    // Behind the last buffer the sink gets silence, so that it starts playing however little
    // it was given and never runs dry while a buffer is still sounding. The next buffer
    // written follows that silence.
    if (room > 0 && pushIndex_ == queue_.size()) {
        static const char kSilence[4096] = {};
        while (room > 0) {
            const int64_t n = std::min<int64_t>(room, sizeof kSilence - sizeof kSilence % align);
            const qint64 w = io_->write(kSilence, n);
            if (w <= 0) return;
            pushedBytes_ += w;
            room -= w;
        }
    }
}

} // namespace brelka

// Wave audio output for the auditions: a device opened for one PCM format that plays buffers
// in the order they are written and hands each one back, once, after it has played.
//
// Everything runs on the GUI thread. Finished buffers come back as posted events to the
// receiver given to Open (type kWaveDoneEvent, a WaveDoneEvent carrying the buffer), so a
// refill never runs inside another handler. A window stops its audition on kWaveStopEvent,
// which it posts to itself with PostWaveStop.
#pragma once

#include <QEvent>
#include <QObject>

#include <cstdint>
#include <deque>
#include <memory>

class QAudioSink;
class QIODevice;
class QTimer;

namespace brelka {

// Event types of the two notifications.
constexpr QEvent::Type kWaveDoneEvent = static_cast<QEvent::Type>(957);  // a buffer came back
constexpr QEvent::Type kWaveStopEvent = static_cast<QEvent::Type>(1024); // stop the audition

// Result codes (0 success).
enum WaveResult : int {
    kWaveOk = 0,
    kWaveNoDevice = 1,      // no output device, or it refused to start
    kWaveBadFormat = 2,     // channels, rate or sample size the device cannot play
    kWaveNotPrepared = 3,   // the buffer was not prepared
    kWaveStillPlaying = 4,  // the buffer (or a buffer of the device) is still queued
    kWaveInvalidBuffer = 5, // no data, no length, or a length that is not whole frames
};

// Flag bits of WaveHeader::flags that the device keeps.
enum : uint32_t {
    kWaveHeaderDone = 0x01,     // handed back after playing (or by a reset)
    kWaveHeaderPrepared = 0x02, // prepared for writing
    kWaveHeaderInQueue = 0x10,  // written and not yet handed back
};

// One buffer of sound. The caller owns it and its memory; from write until it comes back it
// must stay alive and unchanged.
struct WaveHeader {
    char* data = nullptr;
    uint32_t length = 0; // bytes, whole frames
    uint32_t flags = 0;
    uint32_t loops = 0; // kept for the caller; buffers play once
    uintptr_t user = 0; // free for the caller
};

struct WaveFormat {
    int channels = 1;
    int sampleRate = 0; // frames per second
    int bitsPerSample = 16;
    int blockAlign() const { return channels * (bitsPerSample / 8); }
};

// The notification that a written buffer has come back.
class WaveDoneEvent : public QEvent {
  public:
    explicit WaveDoneEvent(WaveHeader* header) : QEvent(kWaveDoneEvent), header_(header) {}
    WaveHeader* header() const { return header_; }

  private:
    WaveHeader* header_;
};

// Posts the stop notification to a window (or any receiver).
void PostWaveStop(QObject* receiver);

class WaveOut {
  public:
    // Opens the default output device for the format; receiver gets the kWaveDoneEvent
    // notifications and must outlive the device. On success out holds the device; otherwise
    // out is empty and the result says why.
    static int Open(std::unique_ptr<WaveOut>& out, const WaveFormat& format, QObject* receiver);

    // Closes the device: resets it (the buffers still queued come back as events) and
    // releases the sink.
    ~WaveOut();
    WaveOut(const WaveOut&) = delete;
    WaveOut& operator=(const WaveOut&) = delete;

    int prepare(WaveHeader* header);
    // Queues a prepared buffer behind those already written.
    int write(WaveHeader* header);
    // Refused while the buffer is queued.
    int unprepare(WaveHeader* header);
    // Stops the sound at once and hands back every queued buffer (posted, in queue order).
    int reset();
    // Whether the device may be closed now: kWaveStillPlaying while buffers are queued.
    // Destroying the object closes it.
    int close();

    const WaveFormat& format() const { return format_; }
    // Buffers written and not yet handed back.
    size_t queued() const { return queue_.size(); }

  private:
    WaveOut(const WaveFormat& format, QObject* receiver);
    bool startSink();
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
    std::unique_ptr<QAudioSink> sink_;
    QIODevice* io_ = nullptr;
    std::unique_ptr<QTimer> timer_;
    std::deque<Entry> queue_;
    int64_t pushedBytes_ = 0; // bytes handed to the sink since it started, silence included
    size_t pushIndex_ = 0;    // queue entry that holds the next byte to hand over
};

} // namespace brelka

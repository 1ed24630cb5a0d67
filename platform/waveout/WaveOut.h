// Wave audio output for the auditions: a device opened for one PCM format that plays buffers
// in the order they are written and hands each one back, once, after it has played.
//
// Everything runs on the thread of the window that receives the notifications. Finished
// buffers come back as messages posted to that window (on Windows the system's MM_WOM_DONE,
// under Qt an event of a registered type), so a refill never runs inside another handler. An
// audition stops on the stop message, which it posts to its own window.
//
// The backend is chosen by the build: winmm on Windows (WaveOutWinmm.cpp), Qt Multimedia
// elsewhere (WaveOutQt.cpp). Each also provides the WaveWindow of its toolkit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace brelka {

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

// One buffer of sound. The caller owns it and its memory; from prepare until unprepare it
// must stay alive, and from write until it comes back its data must stay unchanged.
struct WaveHeader {
    char* data = nullptr;
    uint32_t length = 0; // bytes, whole frames
    uint32_t flags = 0;
    uint32_t loops = 0;     // kept for the caller; buffers play once
    uintptr_t user = 0;     // free for the caller
    void* system = nullptr; // the backend's own record of the buffer, while it is prepared
};

struct WaveFormat {
    int channels = 1;
    int sampleRate = 0; // frames per second
    int bitsPerSample = 16;
    int blockAlign() const { return channels * (bitsPerSample / 8); }
};

// What handles the two messages of an audition.
class WaveListener {
  public:
    virtual ~WaveListener() = default;
    // A written buffer has come back from the device.
    virtual void WaveDone(WaveHeader* header) = 0;
    // The stop message.
    virtual void WaveStop() = 0;
};

// The window that receives an audition's messages, as its toolkit has it. The window's own
// message handler passes them on to its listener (see the backend's header).
class WaveWindow {
  public:
    virtual ~WaveWindow() = default;
    // The toolkit's handle of the window: an HWND on Windows, a QObject* under Qt.
    virtual void* Handle() const = 0;
    // Posts the stop message behind those already waiting.
    virtual void PostStop() = 0;
    // Handles now the buffer-done messages already posted to the window.
    virtual void DeliverDone() = 0;
    // Drops the posted buffer-done messages, or the posted stop messages, unhandled.
    virtual void DiscardDone() = 0;
    virtual void DiscardStop() = 0;
};

class WaveOut {
  public:
    // Opens the default output device for the format; window gets the buffer-done messages
    // and must outlive the device. On success out holds the device; otherwise out is empty
    // and the result says why.
    static int Open(std::unique_ptr<WaveOut>& out, const WaveFormat& format, WaveWindow& window);

    // Closes the device: resets it (the buffers still queued come back as messages) and
    // releases it.
    virtual ~WaveOut() = default;
    WaveOut(const WaveOut&) = delete;
    WaveOut& operator=(const WaveOut&) = delete;

    virtual int prepare(WaveHeader* header) = 0;
    // Queues a prepared buffer behind those already written.
    virtual int write(WaveHeader* header) = 0;
    // Refused while the buffer is queued.
    virtual int unprepare(WaveHeader* header) = 0;
    // Stops the sound at once and hands back every queued buffer (posted, in queue order).
    virtual int reset() = 0;
    // Whether the device may be closed now: kWaveStillPlaying while buffers are queued.
    // Destroying the object closes it.
    virtual int close() = 0;

    virtual const WaveFormat& format() const = 0;
    // Buffers written and not yet handed back.
    virtual size_t queued() const = 0;

  protected:
    WaveOut() = default;
};

} // namespace brelka

// Wave output on winmm: the default device (WAVE_MAPPER), its notifications posted to the
// window as MM_WOM_DONE.
#include <windows.h>

#include <mmsystem.h>

#include <algorithm>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "WaveOut.h"
#include "WaveRecordsWin32.h"

namespace brelka {

namespace {

// How long a reset waits for the device to mark its buffers done.
constexpr DWORD kResetWaitMs = 1000;

// The flags of WAVEHDR and of WaveHeader have the same bits.
static_assert(kWaveHeaderDone == WHDR_DONE && kWaveHeaderPrepared == WHDR_PREPARED &&
                  kWaveHeaderInQueue == WHDR_INQUEUE,
              "header flags");
constexpr uint32_t kSystemFlags = kWaveHeaderDone | kWaveHeaderPrepared | kWaveHeaderInQueue;

struct Record {
    WAVEHDR system{};
    WaveHeader* header = nullptr;
    // Writes whose MM_WOM_DONE has not been handled or dropped yet.
    int messagesDue = 0;
    // Unprepared (or its device closed): freed with its last message.
    bool detached = false;
};

// Every record in existence by the address of its WAVEHDR (its first member), so that a message
// is only believed when it names one.
std::mutex recordsMutex;
std::unordered_map<uintptr_t, Record*>& Records() {
    static auto* records = new std::unordered_map<uintptr_t, Record*>; // outlives every static user
    return *records;
}
uintptr_t Key(Record* r) {
    return reinterpret_cast<uintptr_t>(&r->system);
}

// The driver's thread sets the done and queue bits of a written header.
uint32_t SystemFlags(const Record& r) {
    return static_cast<uint32_t>(*reinterpret_cast<const volatile DWORD*>(&r.system.dwFlags));
}

void SyncFlags(Record& r) {
    r.header->flags = (r.header->flags & ~kSystemFlags) | (SystemFlags(r) & kSystemFlags);
}

// Frees the record now, or with its message when one is still due.
void Release(Record* r) {
    const std::lock_guard<std::mutex> lock(recordsMutex);
    if (r->messagesDue > 0) {
        r->detached = true;
        return;
    }
    Records().erase(Key(r));
    delete r;
}

int Result(MMRESULT r) {
    switch (r) {
    case MMSYSERR_NOERROR:
        return kWaveOk;
    case WAVERR_BADFORMAT:
        return kWaveBadFormat;
    case WAVERR_STILLPLAYING:
        return kWaveStillPlaying;
    case WAVERR_UNPREPARED:
        return kWaveNotPrepared;
    case MMSYSERR_INVALPARAM:
        return kWaveInvalidBuffer;
    default:
        return kWaveNoDevice; // no driver, no device, device taken, no memory
    }
}

class WinmmWaveOut : public WaveOut {
  public:
    WinmmWaveOut(HWAVEOUT device, const WaveFormat& format) : device_(device), format_(format) {}
    ~WinmmWaveOut() override;

    int prepare(WaveHeader* header) override;
    int write(WaveHeader* header) override;
    int unprepare(WaveHeader* header) override;
    int reset() override;
    int close() override { return queued() > 0 ? kWaveStillPlaying : kWaveOk; }
    const WaveFormat& format() const override { return format_; }
    size_t queued() const override;

  private:
    int stopDevice(); // a reset that leaves the headers alone
    Record* mine(const WaveHeader* header) const;
    void forget(Record* r);

    HWAVEOUT device_;
    WaveFormat format_;
    std::vector<Record*> records_; // this device's prepared buffers
};

WinmmWaveOut::~WinmmWaveOut() {
    stopDevice();
    // The buffers still prepared are let go without touching their headers: the auditions free
    // them before they close the device.
    for (Record* r : records_) {
        waveOutUnprepareHeader(device_, &r->system, sizeof(WAVEHDR));
        Release(r);
    }
    records_.clear();
    waveOutClose(device_);
}

Record* WinmmWaveOut::mine(const WaveHeader* header) const {
    if (header == nullptr || header->system == nullptr) return nullptr;
    auto* r = static_cast<Record*>(header->system);
    return std::find(records_.begin(), records_.end(), r) != records_.end() ? r : nullptr;
}

void WinmmWaveOut::forget(Record* r) {
    records_.erase(std::find(records_.begin(), records_.end(), r));
    r->header->system = nullptr;
    Release(r);
}

int WinmmWaveOut::prepare(WaveHeader* header) {
    if (header == nullptr || header->data == nullptr || header->length == 0 ||
        header->length % static_cast<uint32_t>(format_.blockAlign()) != 0)
        return kWaveInvalidBuffer;
    if (mine(header) != nullptr) return kWaveOk; // prepared already
    auto* r = new Record;
    r->header = header;
    r->system.lpData = header->data;
    r->system.dwBufferLength = header->length;
    r->system.dwUser = reinterpret_cast<DWORD_PTR>(header);
    const MMRESULT result = waveOutPrepareHeader(device_, &r->system, sizeof(WAVEHDR));
    if (result != MMSYSERR_NOERROR) {
        delete r;
        return Result(result);
    }
    {
        const std::lock_guard<std::mutex> lock(recordsMutex);
        Records().emplace(Key(r), r);
    }
    records_.push_back(r);
    header->system = r;
    SyncFlags(*r);
    return kWaveOk;
}

int WinmmWaveOut::write(WaveHeader* header) {
    Record* r = mine(header);
    if (r == nullptr) return kWaveNotPrepared;
    if (SystemFlags(*r) & WHDR_INQUEUE) return kWaveStillPlaying;
    // The header was set up at prepare; buffers play once.
    r->system.dwLoops = 0;
    {
        const std::lock_guard<std::mutex> lock(recordsMutex);
        ++r->messagesDue;
    }
    const MMRESULT result = waveOutWrite(device_, &r->system, sizeof(WAVEHDR));
    if (result != MMSYSERR_NOERROR) {
        const std::lock_guard<std::mutex> lock(recordsMutex);
        --r->messagesDue;
    }
    SyncFlags(*r);
    return Result(result);
}

int WinmmWaveOut::unprepare(WaveHeader* header) {
    Record* r = mine(header);
    if (r == nullptr) return kWaveOk; // nothing to undo
    if (SystemFlags(*r) & WHDR_INQUEUE) return kWaveStillPlaying;
    const MMRESULT result = waveOutUnprepareHeader(device_, &r->system, sizeof(WAVEHDR));
    SyncFlags(*r);
    if (result != MMSYSERR_NOERROR) return Result(result);
    forget(r);
    return kWaveOk;
}

int WinmmWaveOut::reset() {
    const int result = stopDevice();
    for (Record* r : records_)
        SyncFlags(*r);
    return result;
}

int WinmmWaveOut::stopDevice() {
    const MMRESULT result = waveOutReset(device_);
    // The buffers come back from the driver's own thread: wait until each is marked done, so
    // that their messages are on their way when this returns.
    const DWORD start = GetTickCount();
    while (queued() > 0 && GetTickCount() - start < kResetWaitMs)
        Sleep(1);
    return Result(result);
}

size_t WinmmWaveOut::queued() const {
    return static_cast<size_t>(std::count_if(records_.begin(), records_.end(), [](Record* r) {
        return (SystemFlags(*r) & WHDR_INQUEUE) != 0;
    }));
}

} // namespace

WaveHeader* TakeWaveDone(intptr_t lParam) {
    const std::lock_guard<std::mutex> lock(recordsMutex);
    const auto found = Records().find(static_cast<uintptr_t>(lParam));
    if (found == Records().end()) return nullptr;
    Record* r = found->second;
    if (r->messagesDue > 0) --r->messagesDue;
    WaveHeader* header = r->header;
    if (r->detached && r->messagesDue == 0) {
        Records().erase(found);
        delete r;
    } else if (!r->detached) {
        SyncFlags(*r);
    }
    return header;
}

int WaveOut::Open(std::unique_ptr<WaveOut>& out, const WaveFormat& format, WaveWindow& window) {
    out.reset();
    if (format.channels < 1 || format.sampleRate < 1 || format.bitsPerSample < 8 ||
        format.bitsPerSample % 8 != 0)
        return kWaveBadFormat;
    if (window.Handle() == nullptr) return kWaveNoDevice;
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = static_cast<WORD>(format.channels);
    f.nSamplesPerSec = static_cast<DWORD>(format.sampleRate);
    f.wBitsPerSample = static_cast<WORD>(format.bitsPerSample);
    f.nBlockAlign = static_cast<WORD>(format.blockAlign());
    f.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;
    f.cbSize = 0;
    HWAVEOUT device = nullptr;
    const MMRESULT result =
        waveOutOpen(&device, WAVE_MAPPER, &f, reinterpret_cast<DWORD_PTR>(window.Handle()), 0,
                    CALLBACK_WINDOW | WAVE_ALLOWSYNC);
    if (result != MMSYSERR_NOERROR)
        return Result(result) == kWaveBadFormat ? kWaveBadFormat : kWaveNoDevice;
    out.reset(new WinmmWaveOut(device, format));
    return kWaveOk;
}

} // namespace brelka

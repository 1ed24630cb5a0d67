// The winmm device on a real sound server (under wine: winepulse on a private PulseAudio null
// sink), its messages received by the command-line player's hidden window.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <vector>

#include "MessageLoop.h"
#include "WaveOut.h"

namespace {

using namespace brelka;

// Notes each buffer as it comes back.
struct Returns : WaveListener {
    std::vector<WaveHeader*> done;
    void WaveDone(WaveHeader* header) override { done.push_back(header); }
    void WaveStop() override {}
};

// Buffers of silence, each `bytes` long.
struct Buffers {
    std::vector<std::vector<char>> memory;
    std::vector<WaveHeader> headers;
    Buffers(int count, uint32_t bytes) : memory(count, std::vector<char>(bytes)), headers(count) {
        for (int i = 0; i < count; ++i) {
            headers[i].data = memory[i].data();
            headers[i].length = bytes;
        }
    }
    std::vector<WaveHeader*> order() {
        std::vector<WaveHeader*> v;
        for (WaveHeader& h : headers)
            v.push_back(&h);
        return v;
    }
};

class WaveOutWinmm : public ::testing::Test {
  protected:
    Returns returns;
    std::unique_ptr<MessageLoop> loop = MessageLoop::Create(returns);
    std::unique_ptr<WaveOut> device;

    void open(int channels = 1) {
        WaveFormat format;
        format.channels = channels;
        format.sampleRate = 31250;
        ASSERT_EQ(WaveOut::Open(device, format, loop->Window()), kWaveOk);
        ASSERT_TRUE(device);
    }
    void queueAll(Buffers& b) {
        for (WaveHeader& h : b.headers) {
            ASSERT_EQ(device->prepare(&h), kWaveOk);
            ASSERT_EQ(device->write(&h), kWaveOk);
            EXPECT_EQ(h.flags & (kWaveHeaderPrepared | kWaveHeaderInQueue | kWaveHeaderDone),
                      kWaveHeaderPrepared | kWaveHeaderInQueue);
        }
    }
};

TEST_F(WaveOutWinmm, EveryWrittenBufferComesBackOnceInOrder) {
    open();
    Buffers b(8, 1024); // 8 × 512 samples, about 130 ms
    WaveHeader unprepared = b.headers[0];
    unprepared.system = nullptr;
    EXPECT_EQ(device->write(&unprepared), kWaveNotPrepared);
    queueAll(b);
    EXPECT_EQ(device->queued(), 8u);
    EXPECT_EQ(device->unprepare(&b.headers[7]), kWaveStillPlaying);
    EXPECT_EQ(device->close(), kWaveStillPlaying);

    const DWORD start = GetTickCount();
    // The guard only keeps a broken device from hanging the suite.
    loop->RunUntil([&] { return returns.done.size() >= 8 || GetTickCount() - start > 10000; });
    const DWORD back = GetTickCount();
    loop->RunUntil([&] { return GetTickCount() - back > 300; }); // nothing comes twice
    EXPECT_EQ(returns.done, b.order()); // each once, in the order written, nothing more
    EXPECT_EQ(device->queued(), 0u);
    EXPECT_EQ(device->close(), kWaveOk);
    for (WaveHeader& h : b.headers) {
        EXPECT_EQ(h.flags & (kWaveHeaderDone | kWaveHeaderInQueue), kWaveHeaderDone);
        EXPECT_EQ(device->unprepare(&h), kWaveOk);
        EXPECT_EQ(h.flags & kWaveHeaderPrepared, 0u);
        EXPECT_EQ(h.system, nullptr);
    }
}

TEST_F(WaveOutWinmm, AResetHandsBackEveryQueuedBufferAtOnce) {
    open();
    Buffers b(16, 32768); // about 8 s of sound
    queueAll(b);
    ASSERT_EQ(device->reset(), kWaveOk);
    EXPECT_EQ(device->queued(), 0u);
    // The messages are posted by the time reset returns.
    loop->Window().DeliverDone();
    EXPECT_EQ(returns.done, b.order());
    EXPECT_EQ(device->close(), kWaveOk);
    for (WaveHeader& h : b.headers)
        EXPECT_EQ(device->unprepare(&h), kWaveOk);
}

// A device may be closed while the messages of its buffers still wait, and the auditions free
// their buffers before it goes: the messages still name the buffers, and nothing writes to them.
TEST_F(WaveOutWinmm, BuffersComeBackAfterTheDeviceIsClosed) {
    open(2);
    Buffers b(4, 8192);
    WaveHeader partFrame = b.headers[0];
    partFrame.length = 8190; // not whole stereo frames
    EXPECT_EQ(device->prepare(&partFrame), kWaveInvalidBuffer);
    queueAll(b);
    device->reset();
    for (WaveHeader& h : b.headers)
        h.flags = 0xDEADu; // "freed"
    device.reset();
    loop->Window().DeliverDone();
    EXPECT_EQ(returns.done, b.order());
    for (WaveHeader& h : b.headers)
        EXPECT_EQ(h.flags, 0xDEADu);
    // Dropped messages are gone for good.
    open();
    Buffers more(2, 1024);
    queueAll(more);
    device->reset();
    device.reset();
    loop->Window().DiscardDone();
    loop->Window().DeliverDone();
    EXPECT_EQ(returns.done.size(), 4u);
}

} // namespace

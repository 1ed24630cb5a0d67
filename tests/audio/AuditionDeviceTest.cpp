// The auditions on a real sound server: a private PulseAudio daemon whose null sink runs at
// the device rate, recorded through its monitor.
#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <numeric>

#include "AudioFile.h"
#include "AudioTestSupport.h"
#include "TestSupport.h"
#include "WaveOut.h"

using namespace audiotest;
using brelka::PlaybackBuffer;

namespace {

constexpr int kBlock = 512; // samples in one buffer of the slot audition

class SlotAuditionTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(rec.start()) << "parec delivers nothing: is the test sound server running?";
        win.folder = QString::fromStdString(dir.path());
    }
    void play() { win.audBtn->click(); }

    testsupport::TempDir dir;
    MonitorRecorder rec;
    SlotWindow win;
};

TEST_F(SlotAuditionTest, WholeSlotPlaysBitForBitAndStopsByItself) {
    // 100 whole blocks and a tail of 300 samples behind them.
    const std::vector<int16_t> body = Noise(100 * kBlock, 1);
    const std::vector<int16_t> tail(300, 0x1234);
    std::vector<int16_t> slot = body;
    slot.insert(slot.end(), tail.begin(), tail.end());
    WriteSlotFile(dir.file("SAMPLE04.BIN"), slot);
    win.slotText = "5";

    play();
    EXPECT_TRUE(win.playingFlag);
    EXPECT_EQ(win.audition.blockCount(), 100);
    ASSERT_TRUE(RunUntil([&] { return !win.audBtn->isChecked(); }, 10000));
    const std::vector<int16_t> heard = rec.stop();

    // Start: 0; every queued buffer: 1 ... 116; stop: 0.
    std::vector<int> expected(118);
    std::iota(expected.begin() + 1, expected.end() - 1, 1);
    expected.back() = 0;
    EXPECT_EQ(win.gauges, expected);
    EXPECT_EQ(win.infoTexts, (std::vector<QString>{"", "Audio playing...", ""}));
    EXPECT_EQ(win.buttonUps, 1);
    EXPECT_FALSE(win.playingFlag);
    EXPECT_FALSE(win.audition.playing());
    EXPECT_FALSE(win.audition.deviceOpen());
    EXPECT_FALSE(win.audition.fileOpen());
    EXPECT_EQ(win.audition.buffers(), 0u);
    EXPECT_EQ(PlaybackBuffer::Alive(), 0);

    const size_t start = FirstSound(heard);
    ASSERT_GE(heard.size(), start + body.size());
    EXPECT_TRUE(std::equal(body.begin(), body.end(), heard.begin() + start))
        << "the recording differs from the slot's samples";
    // After the last whole block at most the tail sounds (the stop comes within a few ms and
    // cuts it, or the rest of its buffer), then silence.
    size_t i = start + body.size();
    size_t tailHeard = 0;
    while (i < heard.size() && tailHeard < tail.size() && heard[i] == tail[tailHeard]) {
        ++i;
        ++tailHeard;
    }
    EXPECT_EQ(EndOfSound(heard), i) << "sound after the end of the slot";
}

TEST_F(SlotAuditionTest, PuttingTheButtonUpStopsAtOnceAndFreesEverything) {
    const std::vector<int16_t> body = Noise(300 * kBlock, 2); // about 4.9 s
    WriteSlotFile(dir.file("SAMPLE00.BIN"), body);

    play();
    ASSERT_TRUE(RunUntil([&] { return win.audition.buffersQueued() >= 40; }, 5000));
    win.audBtn->click(); // up
    RunUntil([&] { return !win.audition.playing(); }, 1000);
    const int64_t queued = win.audition.buffersQueued();
    const int64_t returned = queued - 16; // the buffers that had come back as played

    EXPECT_FALSE(win.playingFlag);
    EXPECT_FALSE(win.audition.deviceOpen());
    EXPECT_FALSE(win.audition.fileOpen());
    EXPECT_EQ(win.audition.buffers(), 0u);
    EXPECT_EQ(PlaybackBuffer::Alive(), 0);
    EXPECT_EQ(win.gauges.back(), 0);
    EXPECT_EQ(win.infoTexts.back(), "");
    EXPECT_FALSE(win.audBtn->isChecked());

    RunFor(500);
    const std::vector<int16_t> heard = rec.stop();
    const size_t start = FirstSound(heard);
    const size_t played = EndOfSound(heard) - start;
    ASSERT_LE(played, body.size());
    EXPECT_TRUE(std::equal(heard.begin() + start, heard.begin() + start + played, body.begin()));
    // Every buffer handed back had sounded in full (10 ms of slack for the clock); the sound
    // stopped within about one buffer of the one playing.
    EXPECT_GE(played + 312, static_cast<size_t>(returned * kBlock));
    EXPECT_LE(played, static_cast<size_t>((returned + 2) * kBlock));
    EXPECT_GE(heard.size() - (start + played), 31250u * 4 / 10) << "no silence after the stop";
}

TEST_F(SlotAuditionTest, SlotWithoutAWholeBlockShowsZero) {
    WriteSlotFile(dir.file("SAMPLE00.BIN"), Noise(300, 3)); // 1112 bytes: no whole block
    play();
    ASSERT_TRUE(RunUntil([&] { return !win.audBtn->isChecked(); }, 5000));
    EXPECT_EQ(win.audition.blockCount(), 0);
    EXPECT_EQ(win.audition.buffersQueued(), 16);
    EXPECT_EQ(win.gauges, std::vector<int>(18, 0));
    EXPECT_EQ(PlaybackBuffer::Alive(), 0);
    rec.stop();
}

TEST_F(SlotAuditionTest, MissingSlotFileEndsAtOnce) {
    play(); // no SAMPLE00.BIN in the folder
    ASSERT_TRUE(RunUntil([&] { return !win.audBtn->isChecked(); }, 1000));
    EXPECT_EQ(win.gauges, (std::vector<int>{0, 0}));
    EXPECT_EQ(win.infoTexts, (std::vector<QString>{"", ""}));
    EXPECT_FALSE(win.audition.playing());
    EXPECT_FALSE(win.audition.deviceOpen());
    EXPECT_EQ(PlaybackBuffer::Alive(), 0);
    rec.stop();
}

TEST_F(SlotAuditionTest, ClosingTheWindowDuringPlaybackFreesEverything) {
    WriteSlotFile(dir.file("SAMPLE00.BIN"), Noise(300 * kBlock, 4));
    auto other = std::make_unique<SlotWindow>();
    other->folder = win.folder;
    other->audBtn->click();
    ASSERT_TRUE(RunUntil([&] { return other->audition.buffersQueued() >= 30; }, 5000));
    EXPECT_EQ(PlaybackBuffer::Alive(), 16);
    other.reset();
    EXPECT_EQ(PlaybackBuffer::Alive(), 0);
    RunFor(500); // nothing left to arrive for the window that is gone
    const std::vector<int16_t> heard = rec.stop();
    const size_t end = EndOfSound(heard);
    EXPECT_GT(end, FirstSound(heard));
    EXPECT_GE(heard.size() - end, 31250u * 4 / 10) << "the sound went on after the window closed";
}

class FileAuditionTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(rec.start()) << "parec delivers nothing: is the test sound server running?";
    }
    void press() { QTest::mousePress(panel.audBtn, Qt::LeftButton); }
    void release() { QTest::mouseRelease(panel.audBtn, Qt::LeftButton); }

    testsupport::TempDir dir;
    MonitorRecorder rec;
    FilePanel panel;
};

TEST_F(FileAuditionTest, ShortFilePlaysItsSampleDataOnlyAndStopsByItself) {
    // 100 frames at the device rate, then a chunk of loud bytes that must not sound.
    const std::vector<int16_t> frames = Noise(100, 5);
    std::vector<uint8_t> junk = {'L', 'I', 'S', 'T', 0xD0, 0x07, 0, 0};
    junk.resize(8 + 2000, 0x7F);
    WriteWav(dir.file("short.wav"), 1, 31250, frames, junk);
    panel.selectedPath = QString::fromStdString(dir.file("short.wav"));

    press();
    EXPECT_TRUE(panel.audition.playing());
    // Only the buffer with the frames is queued; the next read found the end.
    EXPECT_EQ(panel.audition.buffers(), 1u);
    EXPECT_TRUE(panel.audition.ended());
    ASSERT_TRUE(RunUntil([&] { return !panel.audition.playing(); }, 3000));
    EXPECT_FALSE(panel.audition.fileOpen());
    EXPECT_EQ(panel.audition.buffers(), 0u);
    EXPECT_EQ(PlaybackBuffer::Alive(), 0);
    release();
    const std::vector<int16_t> heard = rec.stop();

    const size_t start = FirstSound(heard);
    ASSERT_EQ(EndOfSound(heard) - start, frames.size());
    EXPECT_TRUE(std::equal(frames.begin(), frames.end(), heard.begin() + start));
}

TEST_F(FileAuditionTest, WholeBuffersPlayToTheirLastSampleThenStopByThemselves) {
    // 20 buffers' worth at the device rate: the end is found by a refill, with the last
    // buffers still queued, and no silence behind the sound in its last buffer.
    const std::vector<int16_t> frames = Noise(20 * 512, 6);
    WriteWav(dir.file("whole.wav"), 1, 31250, frames);
    panel.selectedPath = QString::fromStdString(dir.file("whole.wav"));
    press();
    EXPECT_EQ(panel.audition.buffers(), 16u);
    EXPECT_FALSE(panel.audition.ended());
    ASSERT_TRUE(RunUntil([&] { return !panel.audition.playing(); }, 3000));
    EXPECT_EQ(PlaybackBuffer::Alive(), 0);
    release();
    const std::vector<int16_t> heard = rec.stop();
    const size_t start = FirstSound(heard);
    ASSERT_EQ(EndOfSound(heard) - start, frames.size()) << "the end of the file was cut";
    EXPECT_TRUE(std::equal(frames.begin(), frames.end(), heard.begin() + start));
}

TEST_F(FileAuditionTest, CorpusKickIsHeardToItsEndWhileTheButtonIsHeld) {
    // Stereo, 44100 Hz, 7782 frames (176 ms). The server turns it into the sink's 31250 Hz
    // mono, so the recording is compared with sox's rendering at that format by length and
    // energy, not bit for bit.
    const std::string kick = testsupport::CorpusFile("go-audio-wav/kick-16b441k.wav");
    const std::vector<int16_t> expected = SoxSamples(kick, "-r 31250 -c 1");
    ASSERT_EQ(expected.size(), 5514u);
    panel.selectedPath = QString::fromStdString(kick);

    press();
    ASSERT_TRUE(panel.audition.playing());
    EXPECT_EQ(panel.audition.format().channels, 2);
    EXPECT_EQ(panel.audition.format().sampleRate, 44100);
    // Sixteen buffers of 512 frames hold all of it; the first refill finds the end.
    EXPECT_EQ(panel.audition.buffers(), 16u);
    EXPECT_NE(SinkInputs().find("s16le 2ch 44100Hz"), std::string::npos) << SinkInputs();
    QElapsedTimer clock;
    clock.start();
    // The queued buffers play out and the audition ends by itself, the button still held.
    ASSERT_TRUE(RunUntil([&] { return !panel.audition.playing(); }, 3000));
    EXPECT_GE(clock.elapsed(), 7782 * 1000 / 44100 - 10);
    EXPECT_FALSE(panel.audition.fileOpen());
    EXPECT_EQ(PlaybackBuffer::Alive(), 0);
    release();
    const std::vector<int16_t> heard = rec.stop();

    const size_t span = EndOfSound(heard) - FirstSound(heard);
    EXPECT_GE(span, expected.size() - 50) << "the end of the kick was cut";
    EXPECT_LE(span, expected.size() + 50);
    auto energy = [](const std::vector<int16_t>& v) {
        double e = 0;
        for (int16_t x : v)
            e += static_cast<double>(x) * x;
        return e;
    };
    EXPECT_NEAR(energy(heard) / energy(expected), 1.0, 0.05);
}

TEST_F(FileAuditionTest, ReleasingTheButtonStopsTheSoundAndClosesTheFile) {
    // Mono 8-bit, 44100 Hz, 2 s: plays as 16-bit.
    panel.selectedPath = QString::fromStdString(testsupport::CorpusFile("go-audio-wav/8bit.wav"));
    press();
    ASSERT_TRUE(panel.audition.playing());
    EXPECT_NE(SinkInputs().find("s16le 1ch 44100Hz"), std::string::npos) << SinkInputs();
    RunFor(500);
    EXPECT_TRUE(panel.audition.playing());
    release();
    EXPECT_FALSE(panel.audition.playing());
    EXPECT_FALSE(panel.audition.fileOpen());
    EXPECT_EQ(panel.audition.buffers(), 0u);
    EXPECT_EQ(PlaybackBuffer::Alive(), 0);
    RunFor(500);
    const std::vector<int16_t> heard = rec.stop();
    const size_t end = EndOfSound(heard);
    const size_t span = end - FirstSound(heard);
    EXPECT_GT(span, 31250u * 3 / 10);
    EXPECT_LT(span, 31250u * 8 / 10) << "the sound went on after the release";
    EXPECT_GE(heard.size() - end, 31250u * 4 / 10);
}

TEST_F(FileAuditionTest, PressingAgainAtOnceAndClosingThePanelLeaveNothingBehind) {
    panel.selectedPath = QString::fromStdString(testsupport::CorpusFile("go-audio-wav/8bit.wav"));
    press();
    RunFor(100);
    release();
    press(); // before anything else has run: the first audition's buffers are all gone
    EXPECT_TRUE(panel.audition.playing());
    EXPECT_EQ(PlaybackBuffer::Alive(), 16);
    // A second button while the first is held, pressed from the event loop as a user does.
    int alive = -1;
    InEventLoop([&] {
        QTest::mousePress(panel.audBtn, Qt::RightButton);
        alive = PlaybackBuffer::Alive();
    });
    EXPECT_EQ(alive, 16);

    auto other = std::make_unique<FilePanel>();
    other->selectedPath = panel.selectedPath;
    QTest::mousePress(other->audBtn, Qt::LeftButton);
    RunFor(100);
    EXPECT_EQ(PlaybackBuffer::Alive(), 32);
    other.reset(); // closed while its button is held
    EXPECT_EQ(PlaybackBuffer::Alive(), 16);
    release();
    EXPECT_EQ(PlaybackBuffer::Alive(), 0);
    RunFor(300);
    const std::vector<int16_t> heard = rec.stop();
    EXPECT_GE(heard.size() - EndOfSound(heard), 31250u * 2 / 10);
}

TEST_F(FileAuditionTest, FileWithoutPlayableDataDoesNotPlay) {
    panel.selectedPath =
        QString::fromStdString(testsupport::CorpusFile("go-audio-aiff/ableton.aif")); // compressed
    press();
    EXPECT_FALSE(panel.audition.playing());
    EXPECT_FALSE(panel.audition.fileOpen());
    EXPECT_EQ(PlaybackBuffer::Alive(), 0);
    release();
    rec.stop();
}

TEST(WaveOutTest, ResetHandsBackEveryQueuedBufferOnceInOrder) {
    struct Receiver : QObject {
        std::vector<brelka::WaveHeader*> back;
        bool event(QEvent* e) override {
            if (e->type() != brelka::WaveDoneEventType()) return QObject::event(e);
            back.push_back(static_cast<brelka::WaveDoneEvent*>(e)->header());
            return true;
        }
    } receiver;
    brelka::QtWaveWindow window(&receiver);
    std::unique_ptr<brelka::WaveOut> w;
    ASSERT_EQ(brelka::WaveOut::Open(w, {1, 31250, 16}, window), brelka::kWaveOk);
    std::vector<std::vector<char>> memory(16, std::vector<char>(1024, 1));
    std::vector<brelka::WaveHeader> h(16);
    for (size_t i = 0; i < h.size(); ++i) {
        h[i].data = memory[i].data();
        h[i].length = 1024;
        ASSERT_EQ(w->write(&h[i]), brelka::kWaveNotPrepared);
        ASSERT_EQ(w->prepare(&h[i]), brelka::kWaveOk);
        ASSERT_EQ(w->write(&h[i]), brelka::kWaveOk);
    }
    EXPECT_EQ(w->write(&h[0]), brelka::kWaveStillPlaying);
    EXPECT_EQ(w->unprepare(&h[0]), brelka::kWaveStillPlaying);
    EXPECT_EQ(w->close(), brelka::kWaveStillPlaying);
    RunFor(100); // a few have played by now
    const size_t played = receiver.back.size();
    EXPECT_GE(played, 1u);
    EXPECT_LT(played, 16u);
    w->reset();
    EXPECT_EQ(w->queued(), 0u);
    EXPECT_EQ(w->close(), brelka::kWaveOk);
    RunFor(50);
    ASSERT_EQ(receiver.back.size(), 16u);
    for (size_t i = 0; i < h.size(); ++i) {
        EXPECT_EQ(receiver.back[i], &h[i]);
        EXPECT_EQ(h[i].flags, brelka::kWaveHeaderDone | brelka::kWaveHeaderPrepared);
        EXPECT_EQ(w->unprepare(&h[i]), brelka::kWaveOk);
    }

    // After the reset the device plays on from a fresh start: four buffers (131 ms) do not
    // come back before they can have sounded.
    receiver.back.clear();
    QElapsedTimer clock;
    clock.start();
    for (size_t i = 0; i < 4; ++i) {
        ASSERT_EQ(w->prepare(&h[i]), brelka::kWaveOk);
        ASSERT_EQ(w->write(&h[i]), brelka::kWaveOk);
    }
    ASSERT_TRUE(RunUntil([&] { return receiver.back.size() == 4; }, 2000));
    EXPECT_GE(clock.elapsed(), 4 * 1024 * 1000 / 62500 - 5);
    EXPECT_EQ(w->close(), brelka::kWaveOk);
}

} // namespace

// The auditions when no sound server can be reached.
#include <QTest>

#include <gtest/gtest.h>

#include "AudioTestSupport.h"
#include "TestSupport.h"
#include "WaveOut.h"

using namespace audiotest;

namespace {

TEST(NoDeviceTest, OpenReportsIt) {
    QObject receiver;
    brelka::QtWaveWindow window(&receiver);
    std::unique_ptr<brelka::WaveOut> w;
    EXPECT_EQ(brelka::WaveOut::Open(w, {1, 31250, 16}, window), brelka::kWaveNoDevice);
    EXPECT_EQ(w, nullptr);
}

TEST(NoDeviceTest, SlotAuditionEndsAtOnce) {
    testsupport::TempDir dir;
    WriteSlotFile(dir.file("SAMPLE00.BIN"), Noise(100 * 512, 1));
    SlotWindow win;
    win.folder = QString::fromStdString(dir.path());
    win.audBtn->click();
    ASSERT_TRUE(RunUntil([&] { return !win.audBtn->isChecked(); }, 1000));
    EXPECT_EQ(win.gauges, (std::vector<int>{0, 0}));
    EXPECT_EQ(win.infoTexts, (std::vector<QString>{"", ""})) << "nothing may claim to be playing";
    EXPECT_EQ(win.buttonUps, 1);
    EXPECT_FALSE(win.playingFlag);
    EXPECT_FALSE(win.audition.playing());
    EXPECT_FALSE(win.audition.fileOpen());
    EXPECT_EQ(brelka::PlaybackBuffer::Alive(), 0);
}

TEST(NoDeviceTest, FileAuditionDoesNothing) {
    FilePanel panel;
    panel.selectedPath = QString::fromStdString(testsupport::CorpusFile("go-audio-wav/kick.wav"));
    QTest::mousePress(panel.audBtn, Qt::LeftButton);
    EXPECT_FALSE(panel.audition.playing());
    EXPECT_FALSE(panel.audition.fileOpen());
    EXPECT_EQ(brelka::PlaybackBuffer::Alive(), 0);
    QTest::mouseRelease(panel.audBtn, Qt::LeftButton);
}

} // namespace

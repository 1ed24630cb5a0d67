// The auditions when the sound server quits while they play. This test starts and stops a
// daemon of its own, so it runs in a process of its own.
#include <QTest>

#include <gtest/gtest.h>

#include "AudioTestSupport.h"
#include "TestSupport.h"

using namespace audiotest;

namespace {

TEST(ServerLossTest, BothAuditionsEndAndFreeEverything) {
    testsupport::TempDir dir;
    const std::string script = testsupport::Quote(AUDIO_PULSE_SCRIPT) + " ";
    const std::string server = testsupport::Quote(dir.file("pulse"));
    ASSERT_EQ(testsupport::Run(script + "start " + server).status, 0);
    struct StopOnExit {
        std::string command;
        ~StopOnExit() { testsupport::Run(command); } // also when an assertion fails
    } stopOnExit{script + "stop " + server};
    // Before the first use of the sound system in this process.
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(dir.file("pulse/xdg")));
    qputenv("PULSE_SERVER", QByteArray::fromStdString("unix:" + dir.file("pulse/native")));
    qputenv("PULSE_CLIENTCONFIG", QByteArray::fromStdString(dir.file("pulse/client.conf")));

    SlotWindow win;
    win.folder = QString::fromStdString(dir.path());
    WriteSlotFile(dir.file("SAMPLE00.BIN"), Noise(300 * 512, 1));
    win.audBtn->click();
    FilePanel panel;
    panel.selectedPath = QString::fromStdString(testsupport::CorpusFile("go-audio-wav/8bit.wav"));
    QTest::mousePress(panel.audBtn, Qt::LeftButton);
    ASSERT_TRUE(RunUntil([&] { return win.audition.buffersQueued() >= 30; }, 5000));
    ASSERT_TRUE(panel.audition.playing());

    testsupport::Run(script + "stop " + server);
    EXPECT_TRUE(
        RunUntil([&] { return !win.audBtn->isChecked() && !panel.audition.playing(); }, 5000));
    EXPECT_EQ(win.buttonUps, 1);
    EXPECT_EQ(win.infoTexts.back(), "");
    EXPECT_FALSE(win.audition.deviceOpen());
    EXPECT_FALSE(panel.audition.fileOpen());
    EXPECT_EQ(brelka::PlaybackBuffer::Alive(), 0);
    QTest::mouseRelease(panel.audBtn, Qt::LeftButton);
}

} // namespace

// brelka-cli play on a real sound server: the built tool, recorded through the sink's monitor.
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>

#include "AudioTestSupport.h"
#include "TestSupport.h"

using namespace audiotest;

namespace {

class CliPlayTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(rec.start()) << "parec delivers nothing: is the test sound server running?";
    }
    // Starts the tool with the arguments; the test's environment reaches the sound server.
    void Start(const QStringList& args,
               const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
        tool.setProcessEnvironment(env);
        tool.setProcessChannelMode(QProcess::MergedChannels);
        tool.start(QString::fromStdString(testsupport::BinDir() + "/brelka-cli"), args);
        ASSERT_TRUE(tool.waitForStarted(5000));
        clock.start();
    }
    // Ctrl-C to the tool, only while it runs: a process id of 0 (the tool has ended) would
    // signal the whole process group, the test runner with it.
    void Interrupt() {
        const qint64 pid = tool.processId();
        ASSERT_EQ(tool.state(), QProcess::Running)
            << "the tool ended early: " << tool.readAll().toStdString();
        ASSERT_GT(pid, 0);
        ::kill(static_cast<pid_t>(pid), SIGINT);
    }
    // Lets the event loop run (so parec's output is collected) until the tool has ended.
    int Finish(int timeoutMs = 15000) {
        EXPECT_TRUE(RunUntil([&] { return tool.state() == QProcess::NotRunning; }, timeoutMs));
        elapsed = clock.elapsed();
        output = tool.readAll().toStdString();
        return tool.exitCode();
    }

    testsupport::TempDir dir;
    MonitorRecorder rec;
    QProcess tool;
    QElapsedTimer clock;
    qint64 elapsed = 0;
    std::string output;
};

TEST_F(CliPlayTest, SlotPlaysBitForBitToItsEnd) {
    const std::vector<int16_t> slot = Noise(40 * 512, 21);
    WriteSlotFile(dir.file("SAMPLE06.BIN"), slot);
    Start({"play", QString::fromStdString(dir.path()), "7"});
    EXPECT_EQ(Finish(), 0) << output;
    EXPECT_NE(output.find("SAMPLE06.BIN"), std::string::npos) << output;
    const std::vector<int16_t> heard = rec.stop();
    const size_t first = FirstSound(heard);
    ASSERT_LE(first + slot.size(), heard.size());
    EXPECT_TRUE(std::equal(slot.begin(), slot.end(), heard.begin() + static_cast<long>(first)));
}

TEST_F(CliPlayTest, FilePlaysOutThenTheToolEnds) {
    // The corpus kick (176 ms) is heard to its end before the tool returns.
    Start({"play", "-q",
           QString::fromStdString(testsupport::CorpusFile("go-audio-wav/kick-16b441k.wav"))});
    EXPECT_EQ(Finish(), 0) << output;
    EXPECT_EQ(output, "");
    EXPECT_GE(elapsed, 170);
    const std::vector<int16_t> heard = rec.stop();
    const size_t first = FirstSound(heard), end = EndOfSound(heard);
    ASSERT_LT(first, end);
    EXPECT_GE(end - first, 5000u); // about 5514 samples at the sink's 31250 Hz
}

TEST_F(CliPlayTest, CtrlCStopsAtOnce) {
    Start({"play", "-q",
           QString::fromStdString(testsupport::CorpusFile("go-audio-wav/flloop.wav"))}); // 2.4 s
    RunFor(400);
    Interrupt();
    EXPECT_EQ(Finish(3000), 0) << output;
    EXPECT_LT(elapsed, 1500);
    RunFor(300);
    const std::vector<int16_t> heard = rec.stop();
    // Silence for the last 200 ms of the recording: the sound stopped with the tool.
    ASSERT_GT(heard.size(), 6250u);
    EXPECT_TRUE(std::all_of(heard.end() - 6250, heard.end(), [](int16_t v) { return v == 0; }));
}

TEST_F(CliPlayTest, EndsCleanlyHoweverSoonAfterTheSoundStops) {
    // The sound server still reports on a stream for a moment after it stopped; the tool must
    // not be caught by that however soon it ends: Ctrl-C at many moments, and short files
    // played out.
    const QString loop = QString::fromStdString(testsupport::CorpusFile("go-audio-wav/flloop.wav"));
    const QString kick =
        QString::fromStdString(testsupport::CorpusFile("go-audio-wav/kick-16b441k.wav"));
    for (int run = 0; run < 24; ++run) {
        const bool interrupt = run % 4 != 3;
        Start({"play", interrupt ? loop : kick});
        if (interrupt) {
            // From its "Playing" line on, the tool takes Ctrl-C as the end of the sound.
            std::string said;
            ASSERT_TRUE(RunUntil(
                [&] {
                    said += tool.readAll().toStdString();
                    return said.find("Playing") != std::string::npos;
                },
                5000));
            RunFor(25 * run);
            Interrupt();
        }
        Finish(5000);
        EXPECT_EQ(tool.exitStatus(), QProcess::NormalExit) << "run " << run << ": " << output;
        EXPECT_EQ(tool.exitCode(), 0) << "run " << run << ": " << output;
    }
}

TEST_F(CliPlayTest, FailuresSayWhy) {
    Start({"play", QString::fromStdString(dir.path()), "9"});
    EXPECT_EQ(Finish(), 1);
    EXPECT_NE(output.find("Sample File error. " + dir.file("SAMPLE08.BIN")), std::string::npos)
        << output;
    Start({"play", QString::fromStdString(testsupport::CorpusFile("go-audio-aiff/ableton.aif"))});
    EXPECT_EQ(Finish(), 1);
    EXPECT_NE(output.find("Source File error."), std::string::npos) << output;

    WriteSlotFile(dir.file("SAMPLE00.BIN"), Noise(4096, 22));
    QProcessEnvironment none = QProcessEnvironment::systemEnvironment();
    none.insert("PULSE_SERVER", "unix:" + QString::fromStdString(dir.file("no-server")));
    Start({"play", QString::fromStdString(dir.path()), "1"}, none);
    EXPECT_EQ(Finish(), 1);
    EXPECT_NE(output.find("No audio output device could be opened."), std::string::npos) << output;
}

} // namespace

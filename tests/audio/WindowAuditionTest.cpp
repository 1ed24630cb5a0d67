// The auditions through the program's own windows: the main window's AudBtn on a folder of
// slots, and the preview panel's AudBtn inside the real open dialog, heard on the test server.
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <numeric>
#include <utility>

#include "AudioTestSupport.h"
#include "CardView.h"
#include "FileAudition.h"
#include "FrontText.h"
#include "GetWin.h"
#include "GuiTestSupport.h"
#include "MainWin.h"
#include "SlotAudition.h"

using namespace audiotest;
using brelka::PlaybackBuffer;

namespace {

constexpr int kBlock = 512; // samples in one buffer of the slot audition

class WindowAuditionTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(rec.start()) << "parec delivers nothing: is the test sound server running?";
        win = new TMainWin(std::string()); // no engine library: not needed here
        panel = new TGetWin();
        win->SetPreviewPanel(panel);
        win->show();
        // What the audition asks of the gauge, and what the bar then shows.
        QObject::connect(win, &TMainWin::GaugeSet, [this](int v) {
            gauges.push_back(v);
            bars.push_back(win->Gauge->value());
        });
    }
    void TearDown() override {
        // The panel first, as the program does.
        if (win) win->SetPreviewPanel(nullptr);
        delete panel;
        panel = nullptr;
        delete win;
        win = nullptr;
    }
    // The enabled state of SrcEdit, SampleList, AudBtn, both job buttons, ImportRadio,
    // RateConvCheck, ConvGroup and AbortBtn after the program has become idle.
    std::string Enabled() {
        guitest::SpinEventLoop(30);
        std::string s;
        for (QWidget* w : std::initializer_list<QWidget*>{
                 win->SrcEdit, win->SampleList, win->AudBtn, win->ToExecBtn, win->FromExecBtn,
                 win->ImportRadio, win->RateConvCheck, win->ConvGroup, win->AbortBtn})
            s += w->isEnabled() ? '1' : '0';
        return s;
    }
    // A folder with one slot file, chosen through the folder dialog.
    void ChooseSlot(const char* fileName, const std::vector<int16_t>& samples) {
        WriteSlotFile(dir.file(fileName), samples);
        guitest::ChooseFolder(*win, dir.path());
        ASSERT_EQ(Enabled(), "111111110");
    }
    void ClickAudBtn() { QTest::mouseClick(win->AudBtn, Qt::LeftButton); }

    testsupport::TempDir dir;
    MonitorRecorder rec;
    TMainWin* win = nullptr;
    TGetWin* panel = nullptr;
    std::vector<int> gauges, bars;
};

TEST_F(WindowAuditionTest, SlotPlaysBitForBitAndTheWindowReturnsToIdleByItself) {
    const std::vector<int16_t> body = Noise(100 * kBlock, 11);
    std::vector<int16_t> slot = body;
    slot.insert(slot.end(), 200, 0x2345); // a tail shorter than a block
    ChooseSlot("SAMPLE02.BIN", slot);
    ASSERT_EQ(win->SampleList->currentText(), "03");

    ClickAudBtn();
    EXPECT_TRUE(win->AudBtn->isChecked());
    EXPECT_TRUE(win->Core().playing);
    EXPECT_EQ(win->InfoText->text(), "Audio playing...");
    // While it plays only AudBtn is on.
    EXPECT_EQ(Enabled(), "001000000");
    EXPECT_EQ(win->InfoText->text(), "Audio playing...");
    ASSERT_TRUE(RunUntil([&] { return !win->AudBtn->isChecked(); }, 10000));
    const std::vector<int16_t> heard = rec.stop();

    EXPECT_FALSE(win->Core().playing);
    EXPECT_TRUE(win->InfoText->text().isEmpty());
    EXPECT_EQ(win->Gauge->value(), 0);
    EXPECT_FALSE(win->Audition().deviceOpen());
    EXPECT_FALSE(win->Audition().fileOpen());
    EXPECT_EQ(PlaybackBuffer::Alive(), 0);
    EXPECT_EQ(Enabled(), "111111110");
    // 0 at the start, 1 ... 116 as the buffers are queued, 0 at the stop; the bar stops at 100.
    std::vector<int> expected(118);
    std::iota(expected.begin() + 1, expected.end() - 1, 1);
    expected.back() = 0;
    EXPECT_EQ(gauges, expected);
    for (size_t i = 0; i < gauges.size() && i < bars.size(); ++i)
        EXPECT_EQ(bars[i], std::min(gauges[i], 100)) << "gauge value " << gauges[i];

    const size_t start = FirstSound(heard);
    ASSERT_GE(heard.size(), start + body.size());
    EXPECT_TRUE(std::equal(body.begin(), body.end(), heard.begin() + start))
        << "the recording differs from the slot's samples";
}

TEST_F(WindowAuditionTest, PuttingAudBtnUpMidwayStopsAtOnce) {
    const std::vector<int16_t> body = Noise(300 * kBlock, 12); // about 4.9 s
    ChooseSlot("SAMPLE00.BIN", body);
    ClickAudBtn();
    ASSERT_TRUE(RunUntil([&] { return win->Audition().buffersQueued() >= 40; }, 5000));
    ClickAudBtn(); // up
    // The stop is the message the click posted: it is handled as soon as events run.
    ASSERT_TRUE(RunUntil([&] { return !win->Core().playing; }, 50));
    const int64_t returned = win->Audition().buffersQueued() - 16; // those that had played
    EXPECT_FALSE(win->AudBtn->isChecked());
    EXPECT_TRUE(win->InfoText->text().isEmpty());
    EXPECT_EQ(win->Gauge->value(), 0);
    EXPECT_FALSE(win->Audition().deviceOpen());
    EXPECT_FALSE(win->Audition().fileOpen());
    EXPECT_EQ(PlaybackBuffer::Alive(), 0);
    EXPECT_EQ(Enabled(), "111111110");

    RunFor(400);
    const std::vector<int16_t> heard = rec.stop();
    const size_t start = FirstSound(heard);
    const size_t played = EndOfSound(heard) - start;
    ASSERT_LE(played, body.size());
    EXPECT_TRUE(std::equal(heard.begin() + start, heard.begin() + start + played, body.begin()));
    EXPECT_LE(played, static_cast<size_t>((returned + 2) * kBlock)) << "the sound went on";
    EXPECT_GE(heard.size() - (start + played), 31250u * 3 / 10) << "no silence after the stop";
}

// Enter on a row of the card view plays that row's slot, heard bit for bit; Esc stops a
// longer one at once, and both windows are idle again.
TEST_F(WindowAuditionTest, EnterInTheCardViewPlaysTheRowsSlotAndEscStopsIt) {
    const std::vector<int16_t> body = Noise(60 * kBlock, 14);
    WriteSlotFile(dir.file("SAMPLE00.BIN"), Noise(300 * kBlock, 15)); // about 4.9 s
    ChooseSlot("SAMPLE04.BIN", body);
    win->ShowCardView();
    TCardTable* table = win->CardView()->Table;
    table->setFocus();
    table->selectRow(4);
    QTest::keyClick(table, Qt::Key_Return);
    EXPECT_TRUE(win->Core().playing);
    ASSERT_TRUE(RunUntil([&] { return !win->Core().playing; }, 10000));
    std::vector<int16_t> heard = rec.stop();
    const size_t start = FirstSound(heard);
    ASSERT_GE(heard.size(), start + body.size());
    EXPECT_TRUE(std::equal(body.begin(), body.end(), heard.begin() + start))
        << "the recording differs from slot 05's samples";
    EXPECT_EQ(Enabled(), "111111110");

    table->selectRow(0);
    QTest::keyClick(table, Qt::Key_Return);
    ASSERT_TRUE(RunUntil([&] { return win->Audition().buffersQueued() >= 40; }, 5000));
    QTest::keyClick(table, Qt::Key_Escape);
    ASSERT_TRUE(RunUntil([&] { return !win->Core().playing; }, 50));
    EXPECT_FALSE(win->Audition().deviceOpen());
    EXPECT_EQ(PlaybackBuffer::Alive(), 0);
    EXPECT_EQ(Enabled(), "111111110");
}

TEST_F(WindowAuditionTest, ClosingOrDestroyingTheWindowDuringPlaybackFreesEverything) {
    ChooseSlot("SAMPLE00.BIN", Noise(300 * kBlock, 13));
    ClickAudBtn();
    ASSERT_TRUE(RunUntil([&] { return win->Audition().buffersQueued() >= 30; }, 5000));
    EXPECT_EQ(PlaybackBuffer::Alive(), 16);
    win->close();
    EXPECT_EQ(PlaybackBuffer::Alive(), 0);
    EXPECT_FALSE(win->Core().playing);
    EXPECT_FALSE(win->Audition().deviceOpen());
    EXPECT_FALSE(win->AudBtn->isChecked());
    RunFor(400);
    std::vector<int16_t> heard = rec.stop();
    EXPECT_GT(EndOfSound(heard), FirstSound(heard));
    EXPECT_GE(heard.size() - EndOfSound(heard), 31250u * 3 / 10) << "the sound outlived the close";

    // The program's end: the window is destroyed with the audition running.
    win->show();
    ASSERT_EQ(Enabled(), "111111110");
    MonitorRecorder again;
    ASSERT_TRUE(again.start());
    ClickAudBtn();
    ASSERT_TRUE(RunUntil([&] { return win->Audition().buffersQueued() >= 30; }, 5000));
    win->SetPreviewPanel(nullptr);
    delete panel;
    panel = nullptr;
    delete win;
    win = nullptr;
    EXPECT_EQ(PlaybackBuffer::Alive(), 0);
    RunFor(400); // nothing left to arrive for the window that is gone
    heard = again.stop();
    EXPECT_GT(EndOfSound(heard), FirstSound(heard));
    EXPECT_GE(heard.size() - EndOfSound(heard), 31250u * 3 / 10) << "the sound outlived the window";
}

// The panel inside the open dialog of "from WAV/AIFF": a corpus file selected in the dialog
// plays while the mouse button is held on the panel's AudBtn. The dialog is cancelled after.
class PanelAuditionTest : public WindowAuditionTest {
  protected:
    void InOpenDialog(const std::function<void(QWidget*)>& step) {
        guitest::ChooseFolder(*win, dir.path());
        const int ran = guitest::RunWithModals([&] { win->FromExecBtnClick(); }, {[&](QWidget* d) {
                                                   step(d);
                                                   if (d->isVisible()) guitest::Reject(d);
                                               }});
        EXPECT_EQ(ran, 1);
    }
    const QString loop =
        QString::fromStdString(testsupport::CorpusFile("go-audio-wav/flloop.wav")); // 2.46 s
};

TEST_F(PanelAuditionTest, HoldingTheButtonPlaysTheSelectedFileAndReleasingStopsIt) {
    InOpenDialog([&](QWidget* d) {
        guitest::SelectInFileDialog(d, loop);
        ASSERT_EQ(panel->Core().selectedPath, LocalPath(loop));
        ASSERT_TRUE(panel->isVisible());
        QTest::mousePress(panel->AudBtn, Qt::LeftButton);
        EXPECT_TRUE(panel->Audition().playing());
        EXPECT_NE(SinkInputs().find("s16le 2ch 44100Hz"), std::string::npos) << SinkInputs();
        RunFor(500);
        EXPECT_TRUE(panel->Audition().playing());
        QTest::mouseRelease(panel->AudBtn, Qt::LeftButton);
        EXPECT_FALSE(panel->Audition().playing());
        EXPECT_FALSE(panel->Audition().fileOpen());
        EXPECT_EQ(PlaybackBuffer::Alive(), 0);
        RunFor(400);
    });
    // The dialog went its way: nothing was imported.
    EXPECT_FALSE(testsupport::FileExists(dir.file("SAMPLE00.BIN")));
    const std::vector<int16_t> heard = rec.stop();
    const size_t end = EndOfSound(heard);
    const size_t span = end - FirstSound(heard);
    EXPECT_GT(span, 31250u * 3 / 10);
    EXPECT_LT(span, 31250u * 8 / 10) << "the sound went on after the release";
    EXPECT_GE(heard.size() - end, 31250u * 3 / 10);
}

TEST_F(PanelAuditionTest, AnyMouseButtonPlaysAndClosingTheDialogWhileHeldStops) {
    InOpenDialog([&](QWidget* d) {
        guitest::SelectInFileDialog(d, loop);
        QTest::mousePress(panel->AudBtn, Qt::RightButton);
        EXPECT_TRUE(panel->Audition().playing());
        RunFor(200);
        // Escape while the button is held: the release never reaches the hidden panel.
        guitest::Reject(d);
        EXPECT_FALSE(panel->Audition().playing());
        EXPECT_FALSE(panel->Audition().fileOpen());
        EXPECT_EQ(PlaybackBuffer::Alive(), 0);
    });
    RunFor(400);
    const std::vector<int16_t> heard = rec.stop();
    EXPECT_GT(EndOfSound(heard), FirstSound(heard));
    EXPECT_GE(heard.size() - EndOfSound(heard), 31250u * 3 / 10) << "the sound outlived the dialog";
}

} // namespace

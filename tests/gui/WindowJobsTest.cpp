// Import and export run from the window through its real dialogs, with progress, abort and
// the message boxes.
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "CardNames.h"
#include "GetWin.h"
#include "GuiTestSupport.h"
#include "Jobs.h"
#include "MainWin.h"
#include "ReSampler.h"
#include "SampleFile.h"
#include "TickCount.h"

using guitest::RunWithModals;
using testsupport::TempDir;

namespace {

class WindowJobsTest : public ::testing::Test {
  protected:
    void SetUp() override { Create(false); }
    void TearDown() override {
        // The panel first, as the program does.
        if (win) win->SetPreviewPanel(nullptr);
        delete panel;
        panel = nullptr;
        delete win;
        win = nullptr;
    }
    void Create(bool slow) {
        TearDown();
        win = slow ? new guitest::SlowMainWin() : new TMainWin();
        panel = new TGetWin();
        win->SetPreviewPanel(panel);
        win->show();
        guitest::ChooseFolder(*win, folder.path());
    }
    void SetSlotText(const QString& text) { win->SampleList->setEditText(text); }
    void SetOptions(int channel, int quality) {
        win->ImportRadioItems->button(channel)->setChecked(true);
        win->RateConvCheck->setChecked(quality != 0);
        QRadioButton* buttons[] = {win->RsSimple, win->RsSimple, win->RsLight,
                                   win->RsMedium, win->RsHeavy,  win->RsUHeavy};
        buttons[quality]->setChecked(true);
        win->AppEventsIdle();
        ASSERT_EQ(win->Core().QualityCode(), quality);
    }
    // Imports through the open dialog; returns the texts of the message boxes shown.
    QStringList Import(const std::string& source,
                       const std::function<void(QWidget*)>& inDialog = {}) {
        QStringList messages;
        RunWithModals([&] { win->FromExecBtnClick(); },
                      {[&](QWidget* d) {
                           EXPECT_EQ(d, win->OpenDialog);
                           if (inDialog) inDialog(d);
                           guitest::AcceptFileDialog(d, QString::fromStdString(source));
                       },
                       [&](QWidget* box) {
                           messages << guitest::MessageText(box);
                           guitest::Reject(box);
                       }});
        return messages;
    }
    QStringList Export(const std::string& dest, const std::vector<guitest::ModalStep>& more = {}) {
        QStringList messages;
        std::vector<guitest::ModalStep> steps = {[&](QWidget* d) {
            EXPECT_EQ(d, win->SaveDialog);
            guitest::AcceptFileDialog(d, QString::fromStdString(dest));
        }};
        for (auto& s : more)
            steps.push_back(s);
        steps.push_back([&](QWidget* box) {
            messages << guitest::MessageText(box);
            guitest::Reject(box);
        });
        RunWithModals([&] { win->ToExecBtnClick(); }, steps);
        return messages;
    }
    // A slow window, slot 09 and a source long enough for a click to arrive while it imports.
    void PrepareLongImport() {
        Create(true);
        longTone = guitest::Ramp(kLongFrames, 3);
        longSource = longSources.file("long.wav");
        guitest::WriteWav(longSource, 1, 31250, longTone);
        SetOptions(2, 0);
        SetSlotText("09");
    }
    // The stopped import left a valid slot with the blocks done, a start of the source.
    void ExpectStoppedLongImport() {
        const std::string slot = folder.file("SAMPLE08.BIN");
        ASSERT_TRUE(guitest::HasValidSlotLayout(slot));
        const std::vector<int16_t> got = guitest::ReadSlotSamples(slot);
        EXPECT_GE(got.size(), 2u * 4096);
        EXPECT_LT(got.size(), static_cast<size_t>(kLongFrames));
        EXPECT_TRUE(std::equal(got.begin(), got.end(), longTone.begin()));
    }
    void ExpectIdleAfterJob() {
        EXPECT_FALSE(win->Core().busy);
        EXPECT_FALSE(win->Core().abortRequested);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_TRUE(win->InfoText->text().isEmpty());
        EXPECT_EQ(win->Gauge->value(), 0);
    }

    static constexpr uint32_t kLongFrames = 400 * 4096;
    TempDir folder;
    TempDir longSources;
    std::string longSource;
    std::vector<int16_t> longTone;
    TMainWin* win = nullptr;
    TGetWin* panel = nullptr;
};

TEST_F(WindowJobsTest, DialogsCarryTheirFiltersAndOptions) {
    auto captions = [](QFileDialog* d) {
        auto* combo = d->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        QStringList texts;
        for (int i = 0; combo && i < combo->count(); ++i)
            texts << combo->itemText(i);
        return texts;
    };
    QFileDialog* open = win->OpenDialog;
    EXPECT_EQ(captions(open), QStringList({"PCM(*.wav;*.aif)", "WinPCM(*.wav)", "AIFF(*.aif)"}));
    EXPECT_EQ(open->defaultSuffix(), "wav");
    EXPECT_EQ(open->fileMode(), QFileDialog::ExistingFile);
    EXPECT_TRUE(open->testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_TRUE(open->isSizeGripEnabled());
    QFileDialog* save = win->SaveDialog;
    EXPECT_EQ(captions(save), QStringList({"WinPCM(*.wav)", "AIFF(*.aif)"}));
    EXPECT_EQ(save->defaultSuffix(), "wav");
    EXPECT_EQ(save->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_FALSE(save->testOption(QFileDialog::DontConfirmOverwrite));
}

TEST_F(WindowJobsTest, OpenDialogShowsThePanelAndItsValues) {
    const std::string kick = testsupport::CorpusFile("go-audio-wav/kick-16b441k.wav");
    SetSlotText("05");
    int panelWidth = 0, grownWidth = 0;
    Import(kick, [&](QWidget* d) {
        ASSERT_EQ(panel->parentWidget(), d);
        EXPECT_TRUE(panel->isVisible());
        EXPECT_EQ(panel->height(), 84);
        guitest::SelectInFileDialog(d, QString::fromStdString(kick));
        EXPECT_EQ(panel->Core().selectedPath, kick);
        EXPECT_EQ(panel->FsLabel->text(), "Sampling Rate : 44100.00Hz");
        EXPECT_EQ(panel->FramesLabel->text(), "Sampling Frames : 7782 (stereo)  0:00:00:176");
        EXPECT_EQ(panel->BitLabel->text(), "Bits / Word : 16");
        d->grab().save(QStringLiteral(BRELKA_PICTURE_DIR "/OpenDialog.png"));
        // The panel stretches with the dialog.
        panelWidth = panel->width();
        d->resize(d->width() + 120, d->height() + 40);
        d->layout()->activate();
        grownWidth = panel->width();
    });
    EXPECT_EQ(grownWidth, panelWidth + 120);
    EXPECT_TRUE(guitest::HasValidSlotLayout(folder.file("SAMPLE04.BIN")));
    // The panel keeps its values for the next run of the dialog.
    Import(kick, [&](QWidget*) {
        EXPECT_EQ(panel->FramesLabel->text(), "Sampling Frames : 7782 (stereo)  0:00:00:176");
    });
}

TEST_F(WindowJobsTest, ImportsEachChannelChoiceAndQuality) {
    const std::string kick = testsupport::CorpusFile("go-audio-wav/kick-16b441k.wav");
    const std::vector<int16_t> left = guitest::SoxSamples(kick, 0);
    const std::vector<int16_t> right = guitest::SoxSamples(kick, 1);
    ASSERT_EQ(left.size(), 7782u);
    const int maxQuality = win->Resampler().available() ? 5 : 1;
    CReSampler reference;
    TempDir expectedFolder;
    for (int channel = 0; channel < 3; ++channel) {
        for (int quality = 0; quality <= maxQuality; ++quality) {
            SCOPED_TRACE("channel " + std::to_string(channel) + " quality " +
                         std::to_string(quality));
            SetOptions(channel, quality);
            SetSlotText("12");
            EXPECT_TRUE(Import(kick).isEmpty());
            ExpectIdleAfterJob();
            const std::string slot = folder.file("SAMPLE11.BIN");
            ASSERT_TRUE(guitest::HasValidSlotLayout(slot));
            EXPECT_EQ(win->SampleList->currentText(), "12");
            // The window hands the job what its controls say.
            brelka::ImportRequest request;
            request.sourcePath = kick;
            request.folder = expectedFolder.path();
            request.slotText = "12";
            request.channel = channel;
            request.quality = quality;
            ASSERT_EQ(brelka::RunImport(request, reference).status, brelka::JobStatus::Done);
            EXPECT_EQ(testsupport::ReadBytes(slot),
                      testsupport::ReadBytes(expectedFolder.file("SAMPLE11.BIN")));
            if (quality == 0) {
                const std::vector<int16_t> got = guitest::ReadSlotSamples(slot);
                ASSERT_GE(got.size(), left.size());
                for (size_t i = 0; i < left.size(); ++i) {
                    const int mix =
                        std::clamp(static_cast<int>((left[i] + right[i]) * 0.75), -32768, 32767);
                    const int want = channel == 0 ? left[i] : channel == 1 ? right[i] : mix;
                    ASSERT_EQ(got[i], want) << "sample " << i;
                }
            }
        }
    }
}

TEST_F(WindowJobsTest, ImportOfAMonoFileIgnoresTheChannelAndListsTheNewSlot) {
    TempDir sources;
    const std::vector<int16_t> tone = guitest::Ramp(10000, 13);
    guitest::WriteWav(sources.file("tone.wav"), 1, 31250, tone);
    SetOptions(0, 0);
    SetSlotText("75"); // slot 60
    // The default suffix completes a name typed without one.
    EXPECT_TRUE(Import(sources.file("tone")).isEmpty());
    ExpectIdleAfterJob();
    EXPECT_EQ(win->focusWidget(), win->FromExecBtn) << "the keyboard is not back on the button";
    EXPECT_EQ(win->SampleList->currentText(), "60");
    ASSERT_EQ(win->SampleList->count(), 1);
    EXPECT_EQ(win->LenLabel->text(), "---:--:---"); // the selection leaves the label
    const std::vector<int16_t> got = guitest::ReadSlotSamples(folder.file("SAMPLE59.BIN"));
    ASSERT_GE(got.size(), 8192u);
    EXPECT_TRUE(std::equal(tone.begin(), tone.begin() + 8192, got.begin()));
}

TEST_F(WindowJobsTest, CancellingTheOpenDialogChangesNothing) {
    RunWithModals([&] { win->FromExecBtnClick(); }, {guitest::Reject});
    EXPECT_FALSE(testsupport::FileExists(folder.file("SAMPLE00.BIN")));
    EXPECT_EQ(win->SampleList->count(), 0);
    ExpectIdleAfterJob();
}

TEST_F(WindowJobsTest, ExportsToWavAndAiffByTheNamesExtension) {
    const std::vector<int16_t> samples = guitest::Ramp(3 * 4096 + 100, 11);
    guitest::WriteSlot(folder.file("SAMPLE01.BIN"), samples);
    SetOptions(2, 0);
    SetSlotText("02");
    TempDir out;
    const std::pair<const char*, const char*> names[] = {
        {"take.wav", "wav"}, {"take.aif", "aiff"}, {"TAKE2.AIF", "aiff"}, {"take.aiff", "wav"}};
    for (const auto& [name, type] : names) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(Export(out.file(name)).isEmpty());
        ExpectIdleAfterJob();
        EXPECT_EQ(win->focusWidget(), win->ToExecBtn);
        const std::string path = out.file(name);
        EXPECT_EQ(guitest::SoxInfo(path, "-t"), type);
        EXPECT_EQ(guitest::SoxInfo(path, "-r"), "31250");
        EXPECT_EQ(guitest::SoxInfo(path, "-c"), "1");
        EXPECT_EQ(guitest::SoxInfo(path, "-b"), "16");
        const std::vector<int16_t> got = guitest::SoxSamples(path);
        ASSERT_GE(got.size(), 3u * 4096);
        EXPECT_TRUE(std::equal(got.begin(), got.begin() + 3 * 4096, samples.begin()));
    }
    // With conversion the file is at 44100 Hz.
    SetOptions(2, 1);
    EXPECT_TRUE(Export(out.file("fast.AIF")).isEmpty());
    EXPECT_EQ(guitest::SoxInfo(out.file("fast.AIF"), "-t"), "aiff");
    EXPECT_EQ(guitest::SoxInfo(out.file("fast.AIF"), "-r"), "44100");
    EXPECT_EQ(win->SampleList->count(), 0); // the export leaves the list alone
}

TEST_F(WindowJobsTest, SaveDialogOffersTheLastNameAndAsksBeforeOverwriting) {
    guitest::WriteSlot(folder.file("SAMPLE00.BIN"), guitest::Ramp(4096));
    SetSlotText("01");
    TempDir out;
    const std::string first = out.file("first.wav");
    EXPECT_TRUE(Export(first).isEmpty());
    ASSERT_TRUE(testsupport::FileExists(first));

    QString offered, question;
    QStringList messages;
    RunWithModals([&] { win->ToExecBtnClick(); },
                  {[&](QWidget* d) {
                       offered = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
                       EXPECT_EQ(
                           qobject_cast<QFileDialog*>(d)->directory().absolutePath().toStdString(),
                           out.path());
                       guitest::AcceptFileDialog(d, QString::fromStdString(first));
                   },
                   [&](QWidget* box) {
                       question = guitest::MessageText(box);
                       auto* mb = qobject_cast<QMessageBox*>(box);
                       ASSERT_NE(mb, nullptr);
                       mb->button(QMessageBox::Yes)->click();
                   },
                   [&](QWidget* box) {
                       messages << guitest::MessageText(box);
                       guitest::Reject(box);
                   }});
    EXPECT_EQ(offered, "first.wav");
    EXPECT_TRUE(question.contains("already exists")) << question.toStdString();
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(guitest::SoxInfo(first, "-r"), "31250");
}

TEST_F(WindowJobsTest, AbortDuringALongImportLeavesAValidShorterSlot) {
    PrepareLongImport();

    QString progressText;
    int gauge = -1;
    bool abortOn = false, othersOff = false, hourglass = false;
    RunWithModals([&] { win->FromExecBtnClick(); }, {[&](QWidget* d) {
                      // The click comes while the job runs: at its first progress update.
                      QTimer::singleShot(300, win, [&] {
                          progressText = win->InfoText->text();
                          gauge = win->Gauge->value();
                          abortOn = win->AbortBtn->isEnabled();
                          othersOff = !win->FromExecBtn->isEnabled() &&
                                      !win->SrcEdit->isEnabled() && !win->SampleList->isEnabled() &&
                                      !win->ConvGroup->isEnabled();
                          hourglass = QApplication::overrideCursor() &&
                                      QApplication::overrideCursor()->shape() == Qt::WaitCursor;
                          QTest::mouseClick(win->AbortBtn, Qt::LeftButton);
                      });
                      guitest::AcceptFileDialog(d, QString::fromStdString(longSource));
                  }});
    EXPECT_TRUE(
        QRegularExpression("^Passing \\d+:\\d\\d  ETR \\d+:\\d\\d$").match(progressText).hasMatch())
        << progressText.toStdString();
    EXPECT_GT(gauge, 0);
    EXPECT_LT(gauge, 100);
    EXPECT_TRUE(abortOn);
    EXPECT_TRUE(othersOff);
    EXPECT_TRUE(hourglass);
    ExpectIdleAfterJob();

    ExpectStoppedLongImport();
    EXPECT_EQ(win->SampleList->currentText(), "09");
}

// Closing the window while an import runs stops the import as Abort does, and the window,
// and with it the program's event loop, goes once the job has ended.
TEST_F(WindowJobsTest, ClosingDuringALongImportEndsTheJobThenTheProgram) {
    PrepareLongImport();

    QElapsedTimer clock;
    clock.start();
    qint64 jobEnd = -1, closeAsked = -1;
    bool shownAfterClose = false;
    // The job's end clears its progress.
    QObject::connect(win, &TMainWin::GaugeSet, win, [&](int percent) {
        if (percent == 0 && !win->Core().busy && closeAsked >= 0) jobEnd = clock.elapsed();
    });
    const bool quitOnClose = QApplication::quitOnLastWindowClosed();
    QApplication::setQuitOnLastWindowClosed(true);
    // As the program runs: the click and the close come from its event loop.
    QTimer::singleShot(0, win, [&] {
        RunWithModals([&] { QTest::mouseClick(win->FromExecBtn, Qt::LeftButton); },
                      {[&](QWidget* d) {
                          QTimer::singleShot(300, win, [&] {
                              closeAsked = clock.elapsed();
                              win->close();
                              shownAfterClose = win->isVisible();
                          });
                          guitest::AcceptFileDialog(d, QString::fromStdString(longSource));
                      }});
    });
    QTimer::singleShot(60000, qApp, [] { QCoreApplication::exit(1); }); // never hang
    const int status = QApplication::exec();
    const qint64 loopEnd = clock.elapsed();
    QApplication::setQuitOnLastWindowClosed(quitOnClose);

    EXPECT_EQ(status, 0);
    ASSERT_GE(closeAsked, 0);
    EXPECT_TRUE(shownAfterClose); // the window stayed while the job ran
    EXPECT_FALSE(win->isVisible());
    ASSERT_GE(jobEnd, closeAsked);
    EXPECT_LT(loopEnd - jobEnd, 1000);

    // The slot holds the blocks done, as after an Abort, named after its source, and nothing
    // else is left behind.
    ExpectStoppedLongImport();
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{brelka::kNamesFileName, "SAMPLE08.BIN"}));
}

TEST_F(WindowJobsTest, ProgressStepWaitsHalfASecondAndShowsTheTimes) {
    const uint32_t now = platform::TickCount();
    uint32_t last = now;
    // Within 500 ms of the last update, and at block 0, nothing is shown.
    EXPECT_FALSE(win->UpdateJobProgress(5, 40, now, last));
    last = now - 600;
    EXPECT_FALSE(win->UpdateJobProgress(0, 40, now - 65000, last));
    EXPECT_TRUE(win->InfoText->text().isEmpty());
    EXPECT_EQ(win->Gauge->value(), 0);

    // 65 s for 10 blocks: 30 more blocks take 195 s.
    EXPECT_FALSE(win->UpdateJobProgress(10, 40, now - 65000, last));
    EXPECT_EQ(win->InfoText->text(), "Passing 1:05  ETR 3:15");
    EXPECT_EQ(win->Gauge->value(), 25);
    EXPECT_GE(static_cast<uint32_t>(last - now), 0u);
    EXPECT_LT(static_cast<uint32_t>(last - now), 1000u);

    // An abort is reported at an update, and last stays.
    win->Core().abortRequested = true;
    last = now - 600;
    EXPECT_TRUE(win->UpdateJobProgress(39, 40, now - 1000, last));
    EXPECT_EQ(last, now - 600);
    EXPECT_EQ(win->InfoText->text(), "Passing 0:01  ETR 0:00");
    EXPECT_EQ(win->Gauge->value(), 97);
}

TEST_F(WindowJobsTest, FailuresShowTheirMessages) {
    TempDir sources;
    testsupport::WriteBytes(sources.file("text.wav"), std::vector<uint8_t>(100, 'x'));
    guitest::WriteWav(sources.file("tone.wav"), 1, 31250, guitest::Ramp(5000));
    guitest::WriteSlot(folder.file("SAMPLE02.BIN"), guitest::Ramp(1024));
    guitest::ChooseFolder(*win, folder.path());
    std::filesystem::remove(folder.file("SAMPLE02.BIN"));

    // Not an audio file: nothing written, the list and the line as they were.
    win->SetText(brelka::Control::InfoText, "before");
    SetSlotText("01");
    EXPECT_EQ(Import(sources.file("text.wav")), QStringList({"Source File error."}));
    EXPECT_FALSE(testsupport::FileExists(folder.file("SAMPLE00.BIN")));
    EXPECT_EQ(win->InfoText->text(), "before");
    EXPECT_EQ(win->SampleList->count(), 1); // not rescanned
    EXPECT_FALSE(win->Core().busy);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    win->SetText(brelka::Control::InfoText, "");

    // The slot's place is taken by a folder: the new slot cannot replace it.
    std::filesystem::create_directory(folder.file("SAMPLE03.BIN"));
    SetSlotText("04");
    EXPECT_EQ(Import(sources.file("tone.wav")), QStringList({"File write error."}));
    ExpectIdleAfterJob();

    // A slot without a file cannot be exported; no output appears.
    TempDir out;
    SetSlotText("42");
    EXPECT_EQ(Export(out.file("none.wav")), QStringList({"Sample File error."}));
    EXPECT_FALSE(testsupport::FileExists(out.file("none.wav")));
    ExpectIdleAfterJob();

    // The folder went away: the slot's file cannot be created.
    const std::string gone = folder.path() + "/gone";
    std::filesystem::create_directory(gone);
    guitest::ChooseFolder(*win, gone);
    std::filesystem::remove(gone);
    SetSlotText("01");
    EXPECT_EQ(Import(sources.file("tone.wav")), QStringList({"File create error."}));
    EXPECT_FALSE(win->Core().busy);
}

} // namespace

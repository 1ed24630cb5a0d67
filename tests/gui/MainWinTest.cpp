// The main window: its controls, the enable rules, the folder choice and the length label.
#include <QAbstractItemView>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "GetWin.h"
#include "GuiTestSupport.h"
#include "MainWin.h"
#include "ReSampler.h"
#include "SampleFile.h"
#include "WindowLayout.h"

using guitest::ChooseFolder;
using testsupport::TempDir;

namespace {

class MainWinTest : public ::testing::Test {
  protected:
    void SetUp() override { Create(nullptr); }
    void TearDown() override {
        // The panel first, as the program does.
        if (win) win->SetPreviewPanel(nullptr);
        delete panel;
        panel = nullptr;
        delete win;
        win = nullptr;
    }
    void Create(const std::string* engine) {
        TearDown();
        win = engine ? new TMainWin(*engine) : new TMainWin();
        panel = new TGetWin();
        win->SetPreviewPanel(panel);
        win->show();
    }
    // The enabled state of the controls that the rules cover, in the rules' column order.
    std::string Enabled() const {
        std::string s;
        for (QWidget* w : std::initializer_list<QWidget*>{
                 win->SrcEdit, win->SampleList, win->AudBtn, win->ToExecBtn, win->FromExecBtn,
                 win->ImportRadio, win->RateConvCheck, win->ConvGroup, win->AbortBtn})
            s += w->isEnabled() ? '1' : '0';
        return s;
    }
    // The buttons' own states (a disabled group disables them in effect, not in their own right).
    std::string Qualities() const {
        std::string s;
        for (QWidget* w : std::initializer_list<QWidget*>{
                 win->RsSimple, win->RsLight, win->RsMedium, win->RsHeavy, win->RsUHeavy})
            s += w->testAttribute(Qt::WA_ForceDisabled) ? '0' : '1';
        return s;
    }
    TMainWin* win = nullptr;
    TGetWin* panel = nullptr;
};

using brelka::layout::Kind;
using brelka::layout::MainControl;
using brelka::layout::Part;

// The Qt class that shows each kind of the form's controls.
const char* QtClassOf(Kind kind) {
    switch (kind) {
    case Kind::Picture:
    case Kind::Label:
    case Kind::SunkenLabel:
        return "QLabel";
    case Kind::FolderEdit:
        return "QLineEdit";
    case Kind::SlotCombo:
        return "QComboBox";
    case Kind::ToggleSpeaker:
    case Kind::HoldSpeaker:
        return "QToolButton";
    case Kind::GroupBox:
        return "QGroupBox";
    case Kind::RadioButton:
        return "QRadioButton";
    case Kind::CheckBox:
        return "QCheckBox";
    case Kind::PushButton:
        return "QPushButton";
    case Kind::Gauge:
        return "QProgressBar";
    case Kind::Bevel:
        return "QFrame";
    }
    return "";
}

// What the user reads on a control: its caption, or the text it holds.
QString ShownText(QWidget* w) {
    if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
    if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text();
    if (auto* combo = qobject_cast<QComboBox*>(w)) return combo->currentText();
    if (auto* box = qobject_cast<QGroupBox*>(w)) return box->title();
    if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text();
    return QString();
}

TEST_F(MainWinTest, ShowsTheFormAsItsTableHasIt) {
    // The client area below the menu bar has the form's size; the window is fixed to the two.
    const brelka::layout::Size size = brelka::layout::kWindowSize;
    EXPECT_EQ(win->ClientArea->size(), QSize(size.width, size.height));
    EXPECT_EQ(win->ClientArea->geometry().top(), win->MenuBar->geometry().bottom() + 1);
    EXPECT_EQ(win->size(), QSize(size.width, win->MenuBar->height() + size.height));
    EXPECT_GT(win->MenuBar->height(), 0);
    EXPECT_EQ(win->minimumSize(), win->size());
    EXPECT_EQ(win->maximumSize(), win->size());
    for (const MainControl& c : brelka::layout::MainControls()) {
        SCOPED_TRACE(c.name);
        auto* w = win->findChild<QWidget*>(QString::fromLatin1(c.name));
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->inherits(QtClassOf(c.kind))) << w->metaObject()->className();
        EXPECT_EQ(w->geometry(), QRect(c.place.left, c.place.top, c.place.width, c.place.height));
        const char* parent =
            c.parent == Part::Window ? "ClientArea" : brelka::layout::Spec(c.parent).name;
        EXPECT_EQ(w->parentWidget()->objectName().toStdString(), parent);
        if (c.kind != Kind::Picture && c.kind != Kind::ToggleSpeaker) {
            EXPECT_EQ(ShownText(w).toStdString(), c.caption);
        }
        EXPECT_EQ(w->toolTip().toStdString(), c.toolTip ? c.toolTip : "");
        if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            EXPECT_EQ(button->isChecked(), c.checked);
            EXPECT_EQ(button->isCheckable(), c.kind != Kind::PushButton);
        }
        // A disabled group disables its buttons in effect, not in their own right.
        EXPECT_EQ(!w->testAttribute(Qt::WA_ForceDisabled), c.enabled);
        const brelka::layout::FontSpec font = brelka::layout::FontOf(c.font);
        EXPECT_EQ(w->font().pixelSize(), font.pixels);
        EXPECT_EQ(w->font().bold(), font.bold);
        EXPECT_EQ(w->font().italic(), font.italic);
    }
    // The check box lies over the group's top edge, in front of it.
    EXPECT_GT(win->ClientArea->children().indexOf(win->RateConvCheck),
              win->ClientArea->children().indexOf(win->ConvGroup));
    // The channel items are the button group's ids 0, 1, 2.
    EXPECT_EQ(win->ImportRadioItems->button(0)->objectName(), "ImportRadioL");
    EXPECT_EQ(win->ImportRadioItems->button(2)->objectName(), "ImportRadioMIX");
    EXPECT_EQ(win->ImportRadioItems->checkedId(), 2);
}

// The window and the application show the project's icon, the picture packaging/brelka.svg
// draws, at the sizes a desktop shows.
TEST_F(MainWinTest, ShowsTheProjectsIcon) {
    const QIcon project(QString::fromUtf8(BRELKA_PROJECT_ICON));
    for (int size : {16, 32, 48}) {
        SCOPED_TRACE(size);
        const QImage want = project.pixmap(size, size).toImage();
        ASSERT_FALSE(want.isNull());
        EXPECT_EQ(win->windowIcon().pixmap(size, size).toImage(), want);
        EXPECT_EQ(QApplication::windowIcon().pixmap(size, size).toImage(), want);
    }
}

TEST_F(MainWinTest, StartsWithTheDesignsLookAndStates) {
    EXPECT_EQ(win->windowTitle().toStdString(), BRELKA_EXPECTED_CAPTION);
    // The program's icon, drawn from the SVG that the menu entry shows too.
    EXPECT_FALSE(win->windowIcon().pixmap(48, 48).isNull());
    EXPECT_EQ(QGuiApplication::desktopFileName(), "brelka");

    const QFontInfo font(win->font());
    EXPECT_TRUE(font.family() == "MS Gothic" || font.family() == "IPAGothic")
        << font.family().toStdString();
    EXPECT_EQ(font.pixelSize(), 12);

    EXPECT_TRUE(win->SrcEdit->isReadOnly());
    EXPECT_TRUE(win->SampleList->isEditable());
    EXPECT_EQ(win->SampleList->count(), 0);
    EXPECT_FALSE(win->AudBtn->icon().isNull());
    // Three columns side by side.
    EXPECT_EQ(win->ImportRadioItems->button(0)->y(), win->ImportRadioItems->button(2)->y());
    EXPECT_EQ(Qualities(), "00000");
    EXPECT_EQ(win->InfoText->frameShadow(), QFrame::Sunken);
    EXPECT_EQ(win->Gauge->value(), 0);
    EXPECT_EQ(win->Gauge->minimum(), 0);
    EXPECT_EQ(win->Gauge->maximum(), 100);
    EXPECT_TRUE(win->Gauge->isTextVisible());
    // Only the folder field, the slot combo, the channel choice and the check box are on, and
    // the first run of the enable rules keeps it so.
    EXPECT_EQ(Enabled(), "110001110");
    win->AppEventsIdle();
    EXPECT_EQ(Enabled(), "110001110");
    EXPECT_FALSE(win->Core().abortRequested || win->Core().busy || win->Core().folderChosen ||
                 win->Core().playing);

    win->grab().save(QStringLiteral(BRELKA_PICTURE_DIR "/MainWin.png"));
}

TEST_F(MainWinTest, TabOrderFollowsTheTable) {
    QStringList order;
    for (const MainControl& c : brelka::layout::MainControls())
        if (c.inTabOrder) order << QString::fromLatin1(c.name);
    QStringList seen;
    QWidget* w = win->findChild<QWidget*>(order.first());
    for (int i = 0; i < 200 && seen.size() < order.size(); ++i, w = w->nextInFocusChain()) {
        const QString name = w->objectName();
        if (order.contains(name) && !seen.contains(name)) seen << name;
    }
    EXPECT_EQ(seen, order);
    // The quality buttons follow their group, the channel items theirs.
    EXPECT_EQ(win->ConvGroup->nextInFocusChain(), win->RsSimple);
    EXPECT_EQ(win->ImportRadio->nextInFocusChain(), win->ImportRadioItems->button(0));
}

TEST_F(MainWinTest, QualityButtonsFollowTheCheckBoxAndTheEngine) {
    if (!win->Resampler().available()) GTEST_SKIP() << "engine library not built";
    win->RateConvCheck->setChecked(true);
    win->AppEventsIdle();
    EXPECT_EQ(Qualities(), "11111");
    win->RsHeavy->setChecked(true);
    EXPECT_EQ(win->Core().QualityCode(), kQualityHeavy);
    win->RateConvCheck->setChecked(false);
    win->AppEventsIdle();
    EXPECT_EQ(Qualities(), "00000");
    EXPECT_TRUE(win->RsHeavy->isChecked()); // the choice stays
    EXPECT_EQ(win->Core().QualityCode(), kQualityOff);
    const std::pair<QRadioButton*, int> codes[] = {{win->RsSimple, 1},
                                                   {win->RsLight, 2},
                                                   {win->RsMedium, 3},
                                                   {win->RsHeavy, 4},
                                                   {win->RsUHeavy, 5}};
    win->RateConvCheck->setChecked(true);
    for (const auto& [button, code] : codes) {
        button->setChecked(true);
        EXPECT_EQ(win->Core().QualityCode(), code);
    }
}

TEST_F(MainWinTest, WithoutTheEngineOnlySimpleIsOffered) {
    const std::string none;
    Create(&none);
    ASSERT_FALSE(win->Resampler().available());
    win->RsUHeavy->setChecked(true); // as if left over
    win->RateConvCheck->setChecked(true);
    win->AppEventsIdle();
    EXPECT_EQ(Qualities(), "10000");
    EXPECT_TRUE(win->RsSimple->isChecked());
    EXPECT_EQ(win->Core().QualityCode(), kQualitySimple);
}

TEST_F(MainWinTest, EnableRulesInEachState) {
    TempDir dir;
    guitest::WriteSlot(dir.file("SAMPLE04.BIN"), guitest::Ramp(1024));
    win->RateConvCheck->setChecked(true);
    win->AppEventsIdle();
    const std::string qualitiesIdle = Qualities();

    // A job: only Abort; the quality buttons are left as they are.
    win->Core().busy = true;
    win->AppEventsIdle();
    EXPECT_EQ(Enabled(), "000000001");
    EXPECT_EQ(Qualities(), qualitiesIdle);
    // An audition, also when a job flag is set: only the audition button.
    win->Core().playing = true;
    win->AppEventsIdle();
    EXPECT_EQ(Enabled(), "001000000");
    win->Core().busy = false;
    win->AppEventsIdle();
    EXPECT_EQ(Enabled(), "001000000");
    win->Core().playing = false;

    // Idle with a folder: the job buttons; the audition button once the list has slots.
    ChooseFolder(*win, dir.path());
    win->AppEventsIdle();
    EXPECT_EQ(Enabled(), "111111110");
    TempDir empty;
    ChooseFolder(*win, empty.path());
    win->AppEventsIdle();
    EXPECT_EQ(Enabled(), "110111110");
}

TEST_F(MainWinTest, EnableRulesRunWhenTheProgramBecomesIdle) {
    win->Core().busy = true;
    guitest::SpinEventLoop(30);
    EXPECT_TRUE(win->AbortBtn->isEnabled());
    EXPECT_FALSE(win->SrcEdit->isEnabled());
    win->Core().busy = false;
    win->RateConvCheck->setChecked(true);
    guitest::SpinEventLoop(30);
    EXPECT_FALSE(win->AbortBtn->isEnabled());
    EXPECT_TRUE(win->RsSimple->isEnabled());
}

TEST_F(MainWinTest, ChoosingAFolderListsItsSlotsAndSelectsTheFirst) {
    TempDir dir;
    for (const char* name : {"SAMPLE00.BIN", "SAMPLE07.BIN", "SAMPLE59.BIN", "SAMPLE60.BIN",
                             "SAMPLE99.BIN", "SAMPLEA1.BIN"})
        guitest::WriteSlot(dir.file(name), guitest::Ramp(31250));
    std::filesystem::create_directory(dir.file("SAMPLE05.BIN"));
    std::vector<uint8_t> wrongCase = testsupport::ReadBytes(dir.file("SAMPLE00.BIN"));
    wrongCase[0] = 't';
    testsupport::WriteBytes(dir.file("SAMPLE03.BIN"), wrongCase);

    // A click on the folder field opens the folder dialog.
    QString dialogName;
    const int ran = guitest::RunWithModals(
        [&] { QTest::mouseClick(win->SrcEdit, Qt::LeftButton); }, {[&](QWidget* d) {
            dialogName = d->objectName();
            auto* fd = qobject_cast<QFileDialog*>(d);
            ASSERT_NE(fd, nullptr);
            EXPECT_EQ(fd->fileMode(), QFileDialog::Directory);
            EXPECT_TRUE(fd->testOption(QFileDialog::ShowDirsOnly));
            guitest::AcceptFolderDialog(d, QString::fromStdString(dir.path()));
        }});
    ASSERT_EQ(ran, 1);
    EXPECT_EQ(dialogName, "SelFolder");
    EXPECT_EQ(win->SrcEdit->text().toStdString(), dir.path());
    EXPECT_TRUE(win->Core().folderChosen);
    EXPECT_EQ(win->ChosenFolder().toStdString(), dir.path());

    QStringList items;
    for (int i = 0; i < win->SampleList->count(); ++i)
        items << win->SampleList->itemText(i);
    QStringList fromDisk;
    for (const std::string& s : brelka::ScanSampleFolder(dir.path()))
        fromDisk << QString::fromStdString(s);
    EXPECT_EQ(items, fromDisk); // in the file system's order
    items.sort();
    EXPECT_EQ(items, QStringList({"01", "08", "60"}));
    EXPECT_EQ(win->SampleList->currentIndex(), 0);
    EXPECT_EQ(win->SampleList->currentText(), win->SampleList->itemText(0));
    // Picking the first slot this way does not refresh the length label.
    EXPECT_EQ(win->LenLabel->text(), "---:--:---");
    // The user's own pick does.
    win->SampleList->setCurrentIndex(1);
    EXPECT_EQ(win->LenLabel->text(), "  0:01:000");
}

// The folder choice shows its first slot without its length; picking that same slot from the
// drop-down list shows the length.
TEST_F(MainWinTest, PickingTheSlotAlreadyShownShowsItsLength) {
    TempDir dir;
    guitest::WriteSlot(dir.file("SAMPLE00.BIN"), std::vector<int16_t>(50000)); // 1.6 s
    ChooseFolder(*win, dir.path());
    ASSERT_EQ(win->SampleList->currentText(), "01");
    EXPECT_EQ(win->LenLabel->text(), "---:--:---");
    win->SampleList->showPopup();
    QAbstractItemView* list = win->SampleList->view();
    ASSERT_TRUE(list->isVisible());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(0, 0)).center());
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(win->SampleList->currentText(), "01");
    EXPECT_EQ(win->LenLabel->text(), "  0:01:600");
}

TEST_F(MainWinTest, CancellingTheFolderDialogChangesNothing) {
    const int ran = guitest::RunWithModals([&] { win->SrcEditClick(); }, {guitest::Reject});
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(win->SrcEdit->text(), "(not specified)");
    EXPECT_FALSE(win->Core().folderChosen);
    EXPECT_EQ(win->SampleList->currentText(), "01");
}

TEST_F(MainWinTest, AFolderWithoutSlotsGivesAnEmptyList) {
    TempDir dir;
    ChooseFolder(*win, dir.path());
    EXPECT_EQ(win->SampleList->count(), 0);
    EXPECT_EQ(win->SampleList->currentText(), "");
    win->AppEventsIdle();
    EXPECT_TRUE(win->ToExecBtn->isEnabled());
    EXPECT_TRUE(win->FromExecBtn->isEnabled());
    EXPECT_FALSE(win->AudBtn->isEnabled());
}

TEST_F(MainWinTest, TypedSlotTextsShowTheSlotsLength) {
    TempDir dir;
    guitest::WriteSlot(dir.file("SAMPLE00.BIN"), {});
    guitest::WriteSlot(dir.file("SAMPLE01.BIN"), std::vector<int16_t>(31249));
    guitest::WriteSlot(dir.file("SAMPLE02.BIN"), std::vector<int16_t>(31250));
    guitest::WriteSlot(dir.file("SAMPLE59.BIN"), std::vector<int16_t>(1875000));
    // Before any folder the slot is looked for under "(not specified)".
    QTest::keyClicks(win->SampleList->lineEdit(), "2");
    EXPECT_EQ(win->SampleList->currentText(), "012");
    EXPECT_EQ(win->LenLabel->text(), "---:--:---");

    ChooseFolder(*win, dir.path());
    const std::pair<const char*, const char*> cases[] = {
        {"1", "  0:00:000"},   {"2", "  0:00:999"},  {"03", "  0:01:000"},
        {"60", "  1:00:000"},  {"75", "  1:00:000"}, {"0", "  0:00:000"},
        {"abc", "  0:00:000"}, {"", "  0:00:000"},   {"7", "---:--:---"},
    };
    for (const auto& [text, length] : cases) {
        SCOPED_TRACE(text);
        win->SampleList->lineEdit()->clear();
        QTest::keyClicks(win->SampleList->lineEdit(), text);
        EXPECT_EQ(win->SampleList->currentText(), text);
        EXPECT_EQ(win->LenLabel->text(), length);
    }
    // The list keeps only what the folder holds: typing adds no item.
    QTest::keyClick(win->SampleList->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(win->SampleList->count(), 4);
}

TEST_F(MainWinTest, AbortOnlySetsTheFlag) {
    win->AbortBtnClick();
    EXPECT_TRUE(win->Core().abortRequested);
    EXPECT_FALSE(win->Core().busy);
    EXPECT_TRUE(win->InfoText->text().isEmpty());
}

TEST_F(MainWinTest, AuditionHooksDriveTheControls) {
    win->SetGauge(42);
    EXPECT_EQ(win->Gauge->value(), 42);
    win->SetText(brelka::Control::InfoText, "Audio playing...");
    EXPECT_EQ(win->InfoText->text(), "Audio playing...");
    win->AudBtn->setEnabled(true);
    win->AudBtn->setChecked(true);
    win->SetChecked(brelka::Control::AudBtn, false);
    EXPECT_FALSE(win->AudBtn->isChecked());
}

} // namespace

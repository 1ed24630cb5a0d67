#include "MainWin.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QToolButton>

#include <algorithm>

#include "FrontText.h"
#include "GetWin.h"
#include "Jobs.h"
#include "PreviewPanelCore.h"
#include "Version.h"
#include "WindowIcons.h"

TMainWin* MainWin = nullptr;

namespace {

constexpr int kClientWidth = 356;
constexpr int kClientHeight = 278;

// The open dialog's filter; each caption keeps the pattern list the user knows, while Qt reads
// the patterns from the last parentheses.
const QStringList kOpenFilters = {
    QStringLiteral("PCM(*.wav;*.aif) (*.wav *.aif)"),
    QStringLiteral("WinPCM(*.wav) (*.wav)"),
    QStringLiteral("AIFF(*.aif) (*.aif)"),
};
const QStringList kSaveFilters = {
    QStringLiteral("WinPCM(*.wav) (*.wav)"),
    QStringLiteral("AIFF(*.aif) (*.aif)"),
};

template <typename W> W* Place(W* w, const char* name, int left, int top, int width, int height) {
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(left, top, width, height);
    return w;
}

} // namespace

TMainWin::TMainWin(QWidget* parent) : QWidget(parent) {
    Build();
    core_ = std::make_unique<brelka::MainWindowCore>(*this, waveWindow_);
}

TMainWin::TMainWin(const std::string& engineLibrary, QWidget* parent) : QWidget(parent) {
    Build();
    core_ = std::make_unique<brelka::MainWindowCore>(*this, waveWindow_, engineLibrary);
}

TMainWin::TMainWin(const CoreMaker& makeCore, QWidget* parent) : QWidget(parent) {
    Build();
    core_ = makeCore(*this, waveWindow_);
}

TMainWin::~TMainWin() {
    // The behaviour goes first (its audition, then the engine library), then the form. The
    // preview panel outlives the window.
    core_.reset();
    if (GetWin && OpenDialog && OpenDialog->isAncestorOf(GetWin)) {
        GetWin->hide();
        GetWin->setParent(nullptr);
    }
}

void TMainWin::Build() {
    setObjectName(QStringLiteral("MainWin"));
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);
    setFont(WindowFont());
    setWindowIcon(ProgramIcon());
    setWindowTitle(QString::fromStdString(platform::VersionString("ProductName")) +
                   QStringLiteral(" Ver.") +
                   QString::fromStdString(platform::VersionString("FileVersion")));

    Image = Place(new QLabel(this), "Image", 15, 12, 20, 20);
    Image->setPixmap(FolderPixmap());
    Image->setAttribute(Qt::WA_TranslucentBackground);

    SrcEdit = Place(new QLineEdit(this), "SrcEdit", 36, 12, 305, 20);
    SrcEdit->setReadOnly(true);
    SrcEdit->setText(QStringLiteral("(not specified)"));
    SrcEdit->setCursorPosition(0);
    SrcEdit->installEventFilter(this);

    Label1 = Place(new QLabel(QStringLiteral("Sample"), this), "Label1", 13, 44, 45, 12);

    SampleList = Place(new QComboBox(this), "SampleList", 61, 40, 49, 20);
    SampleList->setEditable(true);
    SampleList->setInsertPolicy(QComboBox::NoInsert);
    SampleList->setCompleter(nullptr); // typed text stays as typed
    SampleList->setEditText(QStringLiteral("01"));
    // Typing changes the text; picking an item from the list is a change too, also when the
    // item is the one already shown (its text then stays as it is).
    connect(SampleList, &QComboBox::editTextChanged, this, [this] { SampleListChange(); });
    connect(SampleList, &QComboBox::activated, this, [this] { SampleListChange(); });

    AudBtn = Place(new QToolButton(this), "AudBtn", 111, 40, 23, 22);
    AudBtn->setCheckable(true);
    AudBtn->setIcon(SpeakerIcon());
    AudBtn->setIconSize(QSize(18, 18));
    AudBtn->setToolTip(QStringLiteral("Hear the Sound"));
    AudBtn->setFocusPolicy(Qt::NoFocus);
    AudBtn->setEnabled(false);
    // clicked comes from the user only; PutAudBtnUp does not raise it.
    connect(AudBtn, &QToolButton::clicked, this, [this](bool down) { AudBtnClick(down); });

    LenLabel = Place(new QLabel(QStringLiteral("---:--:---"), this), "LenLabel", 60, 64, 50, 12);

    ImportRadio = Place(new QGroupBox(QStringLiteral("Import Channel"), this), "ImportRadio", 141,
                        40, 185, 41);
    ImportRadioItems = new QButtonGroup(ImportRadio);
    ImportRadioItems->setObjectName(QStringLiteral("ImportRadioItems"));
    const char* itemNames[3] = {"ImportRadioL", "ImportRadioR", "ImportRadioMIX"};
    const char* itemTexts[3] = {"L", "R", "MIX"};
    for (int i = 0; i < 3; ++i) {
        auto* item = Place(new QRadioButton(QString::fromLatin1(itemTexts[i]), ImportRadio),
                           itemNames[i], 8 + 58 * i, 18, 56, 17);
        ImportRadioItems->addButton(item, i);
    }
    ImportRadioItems->button(brelka::kChannelMix)->setChecked(true);

    ConvGroup = Place(new QGroupBox(this), "ConvGroup", 12, 94, 329, 79);
    RsSimple =
        Place(new QRadioButton(QStringLiteral("Simple"), ConvGroup), "RsSimple", 16, 17, 81, 17);
    RsLight =
        Place(new QRadioButton(QStringLiteral("Light"), ConvGroup), "RsLight", 16, 37, 81, 17);
    RsMedium =
        Place(new QRadioButton(QStringLiteral("Medium"), ConvGroup), "RsMedium", 118, 37, 81, 17);
    RsHeavy =
        Place(new QRadioButton(QStringLiteral("Heavy"), ConvGroup), "RsHeavy", 220, 37, 81, 17);
    RsUHeavy = Place(new QRadioButton(QStringLiteral("Ultra Heavy"), ConvGroup), "RsUHeavy", 16, 57,
                     84, 17);
    // The captions fit the design's widths with a narrow gap after the indicator.
    ConvGroup->setStyleSheet(QStringLiteral("QRadioButton { spacing: 3px; }"));
    RsSimple->setChecked(true);
    for (QRadioButton* rb : {RsSimple, RsLight, RsMedium, RsHeavy, RsUHeavy})
        rb->setEnabled(false);

    // Laid over the group's top edge as its caption.
    RateConvCheck = Place(new QCheckBox(QStringLiteral("SamplingRate Conversion"), this),
                          "RateConvCheck", 28, 91, 161, 17);
    RateConvCheck->setAutoFillBackground(true);
    RateConvCheck->raise();

    InfoText = Place(new QLabel(this), "InfoText", 12, 182, 329, 19);
    InfoText->setFrameStyle(QFrame::Panel | QFrame::Sunken);

    Gauge = Place(new QProgressBar(this), "Gauge", 12, 208, 329, 20);
    Gauge->setOrientation(Qt::Horizontal);
    Gauge->setRange(0, 100);
    Gauge->setValue(0);
    Gauge->setTextVisible(true);
    Gauge->setFormat(QStringLiteral("%p%"));
    Gauge->setAlignment(Qt::AlignCenter);
    QPalette gaugePalette = Gauge->palette();
    gaugePalette.setColor(QPalette::Highlight, QColor(0, 0, 255));
    Gauge->setPalette(gaugePalette);

    QFont jobFont = font();
    jobFont.setPixelSize(16);
    jobFont.setBold(true);
    jobFont.setItalic(true);
    ToExecBtn =
        Place(new QPushButton(QStringLiteral("to WAV/AIFF"), this), "ToExecBtn", 12, 238, 140, 25);
    FromExecBtn = Place(new QPushButton(QStringLiteral("from WAV/AIFF"), this), "FromExecBtn", 152,
                        238, 140, 25);
    for (QPushButton* b : {ToExecBtn, FromExecBtn}) {
        b->setFont(jobFont);
        b->setEnabled(false);
        b->setAutoDefault(false);
    }
    AbortBtn = Place(new QPushButton(QStringLiteral("Abort"), this), "AbortBtn", 292, 238, 48, 25);
    AbortBtn->setEnabled(false);
    AbortBtn->setAutoDefault(false);
    connect(ToExecBtn, &QPushButton::clicked, this, [this] { ToExecBtnClick(); });
    connect(FromExecBtn, &QPushButton::clicked, this, [this] { FromExecBtnClick(); });
    connect(AbortBtn, &QPushButton::clicked, this, [this] { AbortBtnClick(); });

    for (QWidget* w : std::initializer_list<QWidget*>{Image, Label1, LenLabel, InfoText, Gauge})
        w->setFocusPolicy(Qt::NoFocus);

    // Tab order: ToExecBtn, SrcEdit, ConvGroup (with its buttons), InfoText, RateConvCheck,
    // SampleList, FromExecBtn, ImportRadio (with its items), AbortBtn.
    const QList<QWidget*> tabChain = {ToExecBtn,
                                      SrcEdit,
                                      ConvGroup,
                                      RsSimple,
                                      RsLight,
                                      RsMedium,
                                      RsHeavy,
                                      RsUHeavy,
                                      InfoText,
                                      RateConvCheck,
                                      SampleList,
                                      FromExecBtn,
                                      ImportRadio,
                                      ImportRadioItems->button(0),
                                      ImportRadioItems->button(1),
                                      ImportRadioItems->button(2),
                                      AbortBtn};
    // Qt orders only widgets that take the focus; the group boxes and the information line
    // take their places in the chain all the same, and Tab passes over them.
    QList<Qt::FocusPolicy> policies;
    for (QWidget* w : tabChain) {
        policies << w->focusPolicy();
        if (w->focusPolicy() == Qt::NoFocus) w->setFocusPolicy(Qt::TabFocus);
    }
    for (int i = 1; i < tabChain.size(); ++i)
        setTabOrder(tabChain[i - 1], tabChain[i]);
    for (int i = 0; i < tabChain.size(); ++i)
        tabChain[i]->setFocusPolicy(policies[i]);

    // The dialogs.
    SelFolder = new QFileDialog(this);
    SelFolder->setObjectName(QStringLiteral("SelFolder"));
    SelFolder->setFileMode(QFileDialog::Directory);
    SelFolder->setOption(QFileDialog::ShowDirsOnly, true);
    SelFolder->setAcceptMode(QFileDialog::AcceptOpen);

    OpenDialog = new QFileDialog(this);
    OpenDialog->setObjectName(QStringLiteral("OpenDialog"));
    // Qt's own dialog, so that the preview panel can live in it.
    OpenDialog->setOption(QFileDialog::DontUseNativeDialog, true);
    OpenDialog->setOption(QFileDialog::HideNameFilterDetails, true);
    OpenDialog->setAcceptMode(QFileDialog::AcceptOpen);
    OpenDialog->setFileMode(QFileDialog::ExistingFile);
    OpenDialog->setNameFilters(kOpenFilters);
    OpenDialog->setDefaultSuffix(QStringLiteral("wav"));
    OpenDialog->setSizeGripEnabled(true);
    connect(OpenDialog, &QFileDialog::currentChanged, this,
            [this](const QString& path) { core_->OpenDialogSelectionChange(LocalPath(path)); });

    SaveDialog = new QFileDialog(this);
    SaveDialog->setObjectName(QStringLiteral("SaveDialog"));
    SaveDialog->setOption(QFileDialog::HideNameFilterDetails, true);
    SaveDialog->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog->setFileMode(QFileDialog::AnyFile);
    SaveDialog->setNameFilters(kSaveFilters);
    SaveDialog->setDefaultSuffix(QStringLiteral("wav"));
    SaveDialog->setOption(QFileDialog::DontConfirmOverwrite, false);
    SaveDialog->setSizeGripEnabled(true);

    // The enable rules run whenever the program has handled its pending events.
    if (auto* dispatcher = QAbstractEventDispatcher::instance(thread()))
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
            if (core_) AppEventsIdle();
        });
}

bool TMainWin::eventFilter(QObject* watched, QEvent* e) {
    if (watched == SrcEdit) {
        if (e->type() == QEvent::MouseButtonRelease) {
            auto* me = static_cast<QMouseEvent*>(e);
            if (me->button() == Qt::LeftButton &&
                SrcEdit->rect().contains(me->position().toPoint()))
                SrcEditClick();
        } else if (e->type() == QEvent::FocusIn) {
            // The folder text is not selected as a whole when the field gets the focus.
            QMetaObject::invokeMethod(SrcEdit, &QLineEdit::deselect, Qt::QueuedConnection);
        }
    }
    return QWidget::eventFilter(watched, e);
}

bool TMainWin::event(QEvent* e) {
    if (core_ && brelka::DeliverWaveEvent(e, core_->AuditionListener())) return true;
    return QWidget::event(e);
}

QString TMainWin::ChosenFolder() const {
    return DisplayPath(core_->ChosenFolder());
}

QWidget* TMainWin::ControlOf(brelka::Control control) const {
    using brelka::Control;
    switch (control) {
    case Control::SrcEdit:
        return SrcEdit;
    case Control::SampleList:
        return SampleList;
    case Control::AudBtn:
        return AudBtn;
    case Control::LenLabel:
        return LenLabel;
    case Control::ImportRadio:
        return ImportRadio;
    case Control::RateConvCheck:
        return RateConvCheck;
    case Control::ConvGroup:
        return ConvGroup;
    case Control::RsSimple:
        return RsSimple;
    case Control::RsLight:
        return RsLight;
    case Control::RsMedium:
        return RsMedium;
    case Control::RsHeavy:
        return RsHeavy;
    case Control::RsUHeavy:
        return RsUHeavy;
    case Control::InfoText:
        return InfoText;
    case Control::ToExecBtn:
        return ToExecBtn;
    case Control::FromExecBtn:
        return FromExecBtn;
    case Control::AbortBtn:
        return AbortBtn;
    }
    return nullptr;
}

void TMainWin::SetEnabled(brelka::Control control, bool on) {
    ControlOf(control)->setEnabled(on);
}

bool TMainWin::IsChecked(brelka::Control control) const {
    auto* button = qobject_cast<QAbstractButton*>(ControlOf(control));
    return button != nullptr && button->isChecked();
}

void TMainWin::SetChecked(brelka::Control control, bool on) {
    // setChecked raises toggled, not clicked: the handlers see only the user's clicks.
    if (auto* button = qobject_cast<QAbstractButton*>(ControlOf(control))) button->setChecked(on);
}

std::string TMainWin::Text(brelka::Control control) const {
    switch (control) {
    case brelka::Control::SrcEdit:
        return LocalPath(SrcEdit->text());
    case brelka::Control::SampleList:
        return SampleList->currentText().toStdString();
    case brelka::Control::LenLabel:
        return LenLabel->text().toStdString();
    case brelka::Control::InfoText:
        return InfoText->text().toStdString();
    default:
        return std::string();
    }
}

void TMainWin::SetText(brelka::Control control, const std::string& text) {
    switch (control) {
    case brelka::Control::SrcEdit:
        SrcEdit->setText(DisplayPath(text));
        SrcEdit->setCursorPosition(0);
        break;
    case brelka::Control::SampleList: {
        const QSignalBlocker quiet(SampleList);
        SampleList->setEditText(QString::fromStdString(text));
        break;
    }
    case brelka::Control::LenLabel:
        LenLabel->setText(QString::fromStdString(text));
        break;
    case brelka::Control::InfoText:
        InfoText->setText(QString::fromStdString(text));
        break;
    default:
        break;
    }
}

int TMainWin::ImportRadioIndex() const {
    return ImportRadioItems->checkedId();
}

void TMainWin::SetGauge(int percent) {
    // The audition counts on past 100 while its last buffers play.
    Gauge->setValue(std::clamp(percent, Gauge->minimum(), Gauge->maximum()));
    emit GaugeSet(percent);
}

void TMainWin::FocusControl(brelka::Control control) {
    ControlOf(control)->setFocus(Qt::OtherFocusReason);
}

void TMainWin::ClearSlotItems() {
    const QSignalBlocker quiet(SampleList);
    SampleList->clear();
    SampleList->clearEditText();
}

void TMainWin::AddSlotItem(const std::string& text) {
    const QSignalBlocker quiet(SampleList);
    const bool none = SampleList->currentIndex() < 0;
    const QString edit = SampleList->currentText();
    SampleList->addItem(QString::fromStdString(text));
    // Adding to an empty list would select its first item: the selection stays as it was.
    if (none) {
        SampleList->setCurrentIndex(-1);
        SampleList->setEditText(edit);
    }
}

int TMainWin::SlotItemCount() const {
    return SampleList->count();
}

std::string TMainWin::SlotItem(int index) const {
    return SampleList->itemText(index).toStdString();
}

void TMainWin::SelectSlotItem(int index) {
    const QSignalBlocker quiet(SampleList);
    SampleList->setCurrentIndex(index);
}

bool TMainWin::ChooseFolder(std::string& folder) {
    if (SelFolder->exec() != QDialog::Accepted) return false;
    const QStringList chosen = SelFolder->selectedFiles();
    if (chosen.isEmpty()) return false;
    folder = LocalPath(chosen.first());
    return true;
}

bool TMainWin::ChooseImportFile(std::string& path) {
    AttachPreviewPanel();
    core_->previewPanel = GetWin ? &GetWin->Core() : nullptr;
    const bool accepted = OpenDialog->exec() == QDialog::Accepted;
    core_->previewPanel = nullptr;
    if (!accepted) return false;
    const QStringList chosen = OpenDialog->selectedFiles();
    if (chosen.isEmpty()) return false;
    path = LocalPath(chosen.first());
    return true;
}

bool TMainWin::ChooseExportFile(const std::string& lastName, std::string& path) {
    if (!lastName.empty()) SaveDialog->selectFile(DisplayPath(lastName));
    if (SaveDialog->exec() != QDialog::Accepted) return false;
    const QStringList chosen = SaveDialog->selectedFiles();
    if (chosen.isEmpty()) return false;
    path = LocalPath(chosen.first());
    return true;
}

void TMainWin::ShowMessage(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(),
                    QString::fromStdString(text), QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("JobMessage"));
    box.exec();
}

void TMainWin::SetWaitCursor(bool on) {
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void TMainWin::RunPendingEvents() {
    QCoreApplication::processEvents();
}

void TMainWin::AttachPreviewPanel() {
    if (!GetWin || GetWin->parentWidget() == OpenDialog) return;
    auto* grid = qobject_cast<QGridLayout*>(OpenDialog->layout());
    if (!grid) return;
    // Full width along the bottom, growing with the dialog.
    grid->addWidget(GetWin, grid->rowCount(), 0, 1, grid->columnCount());
    GetWin->show();
}

void TMainWin::closeEvent(QCloseEvent* e) {
    if (core_) core_->WindowClosing();
    QWidget::closeEvent(e);
}

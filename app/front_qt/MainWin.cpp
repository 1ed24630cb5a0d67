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
#include <QFontDatabase>
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

#include "GetWin.h"
#include "Jobs.h"
#include "ReSampler.h"
#include "SampleFile.h"
#include "SlotAudition.h"
#include "TickCount.h"
#include "Version.h"
#include "WindowIcons.h"

TMainWin* MainWin = nullptr;

namespace {

constexpr int kClientWidth = 356;
constexpr int kClientHeight = 278;
constexpr uint32_t kProgressInterval = 500; // ms between two progress updates, at least

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

std::string LocalPath(const QString& path) {
    return QFile::encodeName(QDir::toNativeSeparators(path)).toStdString();
}

QFont WindowFont() {
    static const bool substituted = [] {
        if (!QFontDatabase::hasFamily(QStringLiteral("MS Gothic")))
            QFont::insertSubstitution(QStringLiteral("MS Gothic"), QStringLiteral("IPAGothic"));
        return true;
    }();
    (void)substituted;
    QFont font(QStringLiteral("MS Gothic"));
    font.setPixelSize(12);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

TMainWin::TMainWin(QWidget* parent) : QWidget(parent) {
    Build();
    resampler_ = std::make_unique<CReSampler>();
}

TMainWin::TMainWin(const std::string& engineLibrary, QWidget* parent) : QWidget(parent) {
    Build();
    resampler_ = std::make_unique<CReSampler>(engineLibrary);
}

TMainWin::~TMainWin() {
    // A running audition stops and frees its buffers while the window is still whole.
    audition_.reset();
    // The engine library goes first, then the form. The preview panel outlives the window.
    resampler_.reset();
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
            [this](const QString& path) { OpenDialogSelectionChange(path); });

    SaveDialog = new QFileDialog(this);
    SaveDialog->setObjectName(QStringLiteral("SaveDialog"));
    SaveDialog->setOption(QFileDialog::HideNameFilterDetails, true);
    SaveDialog->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog->setFileMode(QFileDialog::AnyFile);
    SaveDialog->setNameFilters(kSaveFilters);
    SaveDialog->setDefaultSuffix(QStringLiteral("wav"));
    SaveDialog->setOption(QFileDialog::DontConfirmOverwrite, false);
    SaveDialog->setSizeGripEnabled(true);

    audition_ = std::make_unique<brelka::SlotAudition>(
        this, brelka::AuditionView{
                  [this](int percent) { SetGauge(percent); },
                  [this](const QString& text) { SetInfoText(text); },
                  [this] { PutAudBtnUp(); },
                  [this](bool on) { playing = on; },
              });

    // The enable rules run whenever the program has handled its pending events.
    if (auto* dispatcher = QAbstractEventDispatcher::instance(thread()))
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                [this] { AppEventsIdle(); });
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
    const int type = static_cast<int>(e->type());
    if (type == kMsgBufferDone) {
        AudBufferDone(e);
        return true;
    }
    if (type == kMsgStop) {
        AudStop(e);
        return true;
    }
    return QWidget::event(e);
}

void TMainWin::SrcEditClick() {
    if (SelFolder->exec() != QDialog::Accepted) return;
    const QStringList chosen = SelFolder->selectedFiles();
    if (chosen.isEmpty()) return;
    const QString folder = QDir::toNativeSeparators(chosen.first());
    chosenFolder_ = folder;
    SrcEdit->setText(folder);
    SrcEdit->setCursorPosition(0);
    folderChosen = true;
    ScanSampleFolder(folder);
    SampleList->setEnabled(true);
    // Picking the first slot here leaves the length label as it is.
    const QSignalBlocker quiet(SampleList);
    SampleList->setCurrentIndex(SampleList->count() > 0 ? 0 : -1);
}

void TMainWin::ScanSampleFolder(const QString& folder) {
    const QSignalBlocker quiet(SampleList);
    SampleList->clear();
    SampleList->clearEditText();
    for (const std::string& slot : brelka::ScanSampleFolder(LocalPath(folder)))
        SampleList->addItem(QString::fromStdString(slot));
    // Adding to an empty list selects its first item; the list is only filled here.
    SampleList->setCurrentIndex(-1);
    SampleList->clearEditText();
}

void TMainWin::SampleListChange() {
    const int slot = brelka::ParseSlotNumber(SampleList->currentText().toStdString());
    const std::string path = brelka::SlotFileName(LocalPath(SrcEdit->text()), slot);
    LenLabel->setText(QString::fromStdString(brelka::SlotLengthText(path)));
}

void TMainWin::AbortBtnClick() {
    abortRequested = true;
}

void TMainWin::AppEventsIdle() {
    auto apply = [this](bool src, bool list, bool aud, bool jobs, bool channel, bool conv,
                        bool abortOn) {
        SrcEdit->setEnabled(src);
        SampleList->setEnabled(list);
        AudBtn->setEnabled(aud);
        ToExecBtn->setEnabled(jobs);
        FromExecBtn->setEnabled(jobs);
        ImportRadio->setEnabled(channel);
        RateConvCheck->setEnabled(conv);
        ConvGroup->setEnabled(conv);
        AbortBtn->setEnabled(abortOn);
    };
    if (playing) {
        apply(false, false, true, false, false, false, false);
        return;
    }
    if (busy) {
        apply(false, false, false, false, false, false, true);
        return;
    }
    apply(true, true, folderChosen && SampleList->count() > 0, folderChosen, true, true, false);

    // The quality buttons follow the check box and the engine library.
    const bool conversion = RateConvCheck->isChecked();
    const bool engine = resampler_ && resampler_->available();
    if (conversion && !engine) RsSimple->setChecked(true);
    RsSimple->setEnabled(conversion);
    for (QRadioButton* rb : {RsLight, RsMedium, RsHeavy, RsUHeavy})
        rb->setEnabled(conversion && engine);
}

bool TMainWin::UpdateJobProgress(int k, int n, uint32_t start, uint32_t& last) {
    const uint32_t now = platform::TickCount();
    if (static_cast<uint32_t>(now - last) <= kProgressInterval || k == 0) return false;
    const uint64_t elapsed = static_cast<uint32_t>(now - start);
    const uint64_t left =
        n > k ? elapsed * static_cast<uint64_t>(n - k) / static_cast<uint64_t>(k) : 0;
    SetInfoText(QString::asprintf(
        "Passing %u:%02u  ETR %u:%02u", static_cast<unsigned>(elapsed / 1000 / 60),
        static_cast<unsigned>(elapsed / 1000 % 60), static_cast<unsigned>(left / 1000 / 60),
        static_cast<unsigned>(left / 1000 % 60)));
    if (n > 0) SetGauge(static_cast<int>(int64_t{k} * 100 / n));
    QCoreApplication::processEvents();
    if (abortRequested) return true;
    last = now;
    return false;
}

int TMainWin::ImportChannel() const {
    const int id = ImportRadioItems->checkedId();
    return id < 0 ? brelka::kChannelMix : id;
}

int TMainWin::QualityCode() const {
    if (!RateConvCheck->isChecked()) return kQualityOff;
    if (RsUHeavy->isChecked()) return kQualityUltraHeavy;
    if (RsHeavy->isChecked()) return kQualityHeavy;
    if (RsMedium->isChecked()) return kQualityMedium;
    if (RsLight->isChecked()) return kQualityLight;
    return kQualitySimple;
}

void TMainWin::SetGauge(int percent) {
    // The audition counts on past 100 while its last buffers play.
    Gauge->setValue(std::clamp(percent, Gauge->minimum(), Gauge->maximum()));
    emit GaugeSet(percent);
}

void TMainWin::SetInfoText(const QString& text) {
    InfoText->setText(text);
}

void TMainWin::PutAudBtnUp() {
    AudBtn->setChecked(false);
}

void TMainWin::OpenDialogSelectionChange(const QString& path) {
    if (!GetWin) return;
    GetWin->selectedPath = path;
    GetWin->ShowFileInfo();
}

void TMainWin::AttachPreviewPanel() {
    if (!GetWin || GetWin->parentWidget() == OpenDialog) return;
    auto* grid = qobject_cast<QGridLayout*>(OpenDialog->layout());
    if (!grid) return;
    // Full width along the bottom, growing with the dialog.
    grid->addWidget(GetWin, grid->rowCount(), 0, 1, grid->columnCount());
    GetWin->show();
}

void TMainWin::BeginJob() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    busy = true;
    abortRequested = false;
    QCoreApplication::processEvents();
    AppEventsIdle();
}

void TMainWin::EndJob(bool clearProgress) {
    QApplication::restoreOverrideCursor();
    abortRequested = false;
    busy = false;
    if (clearProgress) {
        SetInfoText(QString());
        SetGauge(0);
    }
}

void TMainWin::ShowMessage(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("JobMessage"));
    box.exec();
}

brelka::JobProgress TMainWin::JobCallbacks(uint32_t& start, uint32_t& last, bool& prepared) {
    brelka::JobProgress progress;
    progress.preparing = [this, &prepared] {
        prepared = true;
        SetInfoText(QStringLiteral("Preparing..."));
    };
    progress.started = [&start, &last](int) { start = last = platform::TickCount(); };
    progress.block = [this, &start, &last](int k, int n) {
        return UpdateJobProgress(k, n, start, last);
    };
    progress.closing = [this] {
        SetGauge(100);
        SetInfoText(QStringLiteral("Closing the file..."));
    };
    return progress;
}

void TMainWin::SelectSlot(int slot) {
    // The last item that names the slot; none when no item does. The length label stays.
    const QSignalBlocker quiet(SampleList);
    int found = -1;
    for (int i = SampleList->count() - 1; i >= 0; --i) {
        if (SampleList->itemText(i).toInt() == slot) {
            found = i;
            break;
        }
    }
    SampleList->setCurrentIndex(found);
}

void TMainWin::FromExecBtnClick() {
    AttachPreviewPanel();
    if (OpenDialog->exec() != QDialog::Accepted) return;
    const QStringList chosen = OpenDialog->selectedFiles();
    if (chosen.isEmpty()) return;

    BeginJob();
    brelka::ImportRequest request;
    request.sourcePath = LocalPath(chosen.first());
    request.folder = LocalPath(chosenFolder_);
    request.slotText = SampleList->currentText().toStdString();
    request.channel = ImportChannel();
    request.quality = QualityCode();
    uint32_t start = platform::TickCount(), last = start;
    bool prepared = false;
    const brelka::ImportOutcome outcome =
        brelka::RunImport(request, *resampler_, JobCallbacks(start, last, prepared));
    EndJob(prepared);
    if (brelka::JobFailed(outcome.status)) {
        ShowMessage(QString::fromUtf8(brelka::JobMessage(outcome.status)));
        return;
    }
    ScanSampleFolder(chosenFolder_);
    SelectSlot(outcome.slot);
}

void TMainWin::ToExecBtnClick() {
    if (!lastSaveName_.isEmpty()) SaveDialog->selectFile(lastSaveName_);
    if (SaveDialog->exec() != QDialog::Accepted) return;
    const QStringList chosen = SaveDialog->selectedFiles();
    if (chosen.isEmpty()) return;
    lastSaveName_ = chosen.first();

    BeginJob();
    brelka::ExportRequest request;
    request.folder = LocalPath(chosenFolder_);
    request.slotText = SampleList->currentText().toStdString();
    request.destPath = LocalPath(lastSaveName_);
    request.quality = QualityCode();
    uint32_t start = platform::TickCount(), last = start;
    bool prepared = false;
    const brelka::ExportOutcome outcome =
        brelka::RunExport(request, *resampler_, JobCallbacks(start, last, prepared));
    EndJob(prepared);
    if (brelka::JobFailed(outcome.status))
        ShowMessage(QString::fromUtf8(brelka::JobMessage(outcome.status)));
}

// The slot audition: the click on AudBtn (start when it is down, stop when it is up), a buffer
// handed back by the wave output device, and the stop message.
void TMainWin::AudBtnClick(bool down) {
    audition_->AudBtnClick(down, SrcEdit->text(), SampleList->currentText());
}

void TMainWin::AudBufferDone(QEvent* e) {
    audition_->handleEvent(e);
}

void TMainWin::AudStop(QEvent* e) {
    audition_->handleEvent(e);
}

void TMainWin::closeEvent(QCloseEvent* e) {
    if (audition_) audition_->Stop();
    QWidget::closeEvent(e);
}

#include "MainWin.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

#include "CardView.h"
#include "FrontDialogs.h"
#include "FrontText.h"
#include "GetWin.h"
#include "ImportOptionsDialog.h"
#include "Jobs.h"
#include "PreviewPanelCore.h"
#include "Version.h"
#include "WindowIcons.h"
#include "WindowLayout.h"

using brelka::layout::Kind;
using brelka::layout::MainControl;
using brelka::layout::Part;
using brelka::layout::PartIndex;

namespace {

QString Caption(const MainControl& spec) {
    return QString::fromUtf8(spec.caption);
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
    // The card view goes first, then the behaviour (its audition, then the engine library),
    // then the form. The preview panel outlives the window.
    cardView_.reset();
    core_.reset();
    if (panel_ && OpenDialog && OpenDialog->isAncestorOf(panel_)) {
        panel_->hide();
        panel_->setParent(nullptr);
    }
}

void TMainWin::SetPreviewPanel(TGetWin* panel) {
    panel_ = panel;
    core_->SetPreviewPanel(panel ? &panel->Core() : nullptr);
}

void TMainWin::Build() {
    BuildFrame();
    for (const MainControl& spec : brelka::layout::MainControls())
        AddControl(spec);
    NameControls();
    SetTabOrder();
    ConnectControls();
    BuildDialogs();
    // The enable rules run whenever the program has handled its pending events.
    if (auto* dispatcher = QAbstractEventDispatcher::instance(thread()))
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
            if (core_) AppEventsIdle();
        });
}

void TMainWin::BuildFrame() {
    setObjectName(QStringLiteral("MainWin"));
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFont(WindowFont());
    // The menu bar above the client area, which keeps the form's size; the window is as large
    // as the two.
    cardMenu_ = new TCardMenu(this, [this](brelka::CardMenuItem item) {
        if (core_) core_->CardMenuCommand(item);
    });
    MenuBar = cardMenu_->Bar();
    ClientArea = new QWidget(this);
    ClientArea->setObjectName(QStringLiteral("ClientArea"));
    ClientArea->setFixedSize(brelka::layout::kWindowSize.width, brelka::layout::kWindowSize.height);
    auto* frame = new QVBoxLayout(this);
    frame->setContentsMargins(0, 0, 0, 0);
    frame->setSpacing(0);
    frame->setMenuBar(MenuBar);
    frame->addWidget(ClientArea);
    frame->setSizeConstraint(QLayout::SetFixedSize);
    setAcceptDrops(true);
    setWindowIcon(ProgramIcon());
    setWindowTitle(QString::fromStdString(brelka::layout::WindowCaption(
        platform::VersionString("ProductName"), platform::VersionString("FileVersion"))));
}

void TMainWin::AddControl(const MainControl& spec) {
    QWidget* parent = spec.parent == Part::Window ? ClientArea : parts_[PartIndex(spec.parent)];
    QWidget* w = nullptr;
    switch (spec.kind) {
    case Kind::Picture:
        w = CreatePicture(parent);
        break;
    case Kind::FolderEdit:
        w = CreateFolderEdit(parent, spec);
        break;
    case Kind::SlotCombo:
        w = CreateSlotCombo(parent, spec);
        break;
    case Kind::ToggleSpeaker:
    case Kind::HoldSpeaker:
        w = CreateSpeakerButton(parent, spec);
        break;
    case Kind::Label:
    case Kind::SunkenLabel:
        w = CreateLabel(parent, spec);
        break;
    case Kind::GroupBox:
        w = new QGroupBox(Caption(spec), parent);
        break;
    case Kind::RadioButton:
        w = CreateRadioButton(parent, spec);
        break;
    case Kind::CheckBox:
        w = CreateCheckBox(parent, spec);
        break;
    case Kind::PushButton:
        w = CreatePushButton(parent, spec);
        break;
    case Kind::Gauge:
        w = CreateGauge(parent);
        break;
    case Kind::Bevel:
        break; // the panel's only
    }
    if (!w) return;
    w->setObjectName(QString::fromLatin1(spec.name));
    const brelka::layout::Rect& r = spec.place;
    w->setGeometry(r.left, r.top, r.width, r.height);
    parts_[PartIndex(spec.part)] = w;
}

QWidget* TMainWin::CreatePicture(QWidget* parent) {
    auto* picture = new QLabel(parent);
    picture->setPixmap(FolderPixmap());
    picture->setAttribute(Qt::WA_TranslucentBackground);
    picture->setFocusPolicy(Qt::NoFocus);
    return picture;
}

QWidget* TMainWin::CreateFolderEdit(QWidget* parent, const MainControl& spec) {
    auto* edit = new QLineEdit(parent);
    edit->setReadOnly(true);
    edit->setText(Caption(spec));
    edit->setCursorPosition(0);
    edit->installEventFilter(this);
    return edit;
}

QWidget* TMainWin::CreateSlotCombo(QWidget* parent, const MainControl& spec) {
    auto* combo = new QComboBox(parent);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setCompleter(nullptr); // typed text stays as typed
    combo->setEditText(Caption(spec));
    return combo;
}

QWidget* TMainWin::CreateSpeakerButton(QWidget* parent, const MainControl& spec) {
    auto* button = new QToolButton(parent);
    button->setCheckable(spec.kind == Kind::ToggleSpeaker);
    button->setIcon(SpeakerIcon());
    button->setIconSize(
        QSize(brelka::layout::kSpeakerIconSize.width, brelka::layout::kSpeakerIconSize.height));
    if (spec.toolTip) button->setToolTip(QString::fromUtf8(spec.toolTip));
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QWidget* TMainWin::CreateLabel(QWidget* parent, const MainControl& spec) {
    auto* label = new QLabel(Caption(spec), parent);
    if (spec.kind == Kind::SunkenLabel) label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setFocusPolicy(Qt::NoFocus);
    return label;
}

QWidget* TMainWin::CreateRadioButton(QWidget* parent, const MainControl& spec) {
    auto* button = new QRadioButton(Caption(spec), parent);
    button->setChecked(spec.checked);
    return button;
}

QWidget* TMainWin::CreateCheckBox(QWidget* parent, const MainControl& spec) {
    auto* box = new QCheckBox(Caption(spec), parent);
    box->setChecked(spec.checked);
    // Drawn over what lies beneath it (the conversion group's edge).
    box->setAutoFillBackground(true);
    return box;
}

QWidget* TMainWin::CreatePushButton(QWidget* parent, const MainControl& spec) {
    auto* button = new QPushButton(Caption(spec), parent);
    if (spec.font == brelka::layout::Font::JobButton) {
        const brelka::layout::FontSpec look = brelka::layout::FontOf(spec.font);
        QFont font = parent->font();
        font.setPixelSize(look.pixels);
        font.setBold(look.bold);
        font.setItalic(look.italic);
        button->setFont(font);
    }
    button->setAutoDefault(false);
    return button;
}

QWidget* TMainWin::CreateGauge(QWidget* parent) {
    auto* gauge = new QProgressBar(parent);
    gauge->setOrientation(Qt::Horizontal);
    gauge->setRange(0, 100);
    gauge->setValue(0);
    gauge->setTextVisible(true);
    gauge->setFormat(QStringLiteral("%p%"));
    gauge->setAlignment(Qt::AlignCenter);
    QPalette palette = gauge->palette();
    palette.setColor(QPalette::Highlight, QColor(0, 0, 255));
    gauge->setPalette(palette);
    gauge->setFocusPolicy(Qt::NoFocus);
    return gauge;
}

template <typename W> W* TMainWin::PartAs(Part part) const {
    return static_cast<W*>(parts_[PartIndex(part)]);
}

void TMainWin::NameControls() {
    Image = PartAs<QLabel>(Part::Image);
    SrcEdit = PartAs<QLineEdit>(Part::SrcEdit);
    Label1 = PartAs<QLabel>(Part::Label1);
    SampleList = PartAs<QComboBox>(Part::SampleList);
    AudBtn = PartAs<QToolButton>(Part::AudBtn);
    LenLabel = PartAs<QLabel>(Part::LenLabel);
    ImportRadio = PartAs<QGroupBox>(Part::ImportRadio);
    ConvGroup = PartAs<QGroupBox>(Part::ConvGroup);
    RateConvCheck = PartAs<QCheckBox>(Part::RateConvCheck);
    RsSimple = PartAs<QRadioButton>(Part::RsSimple);
    RsLight = PartAs<QRadioButton>(Part::RsLight);
    RsMedium = PartAs<QRadioButton>(Part::RsMedium);
    RsHeavy = PartAs<QRadioButton>(Part::RsHeavy);
    RsUHeavy = PartAs<QRadioButton>(Part::RsUHeavy);
    InfoText = PartAs<QLabel>(Part::InfoText);
    Gauge = PartAs<QProgressBar>(Part::Gauge);
    ToExecBtn = PartAs<QPushButton>(Part::ToExecBtn);
    FromExecBtn = PartAs<QPushButton>(Part::FromExecBtn);
    AbortBtn = PartAs<QPushButton>(Part::AbortBtn);

    ImportRadioItems = new QButtonGroup(ImportRadio);
    ImportRadioItems->setObjectName(QStringLiteral("ImportRadioItems"));
    const Part items[] = {Part::ImportL, Part::ImportR, Part::ImportMix};
    for (int i = 0; i < 3; ++i)
        ImportRadioItems->addButton(PartAs<QRadioButton>(items[i]), i);
    // The captions fit the design's widths with a narrow gap after the indicator.
    ConvGroup->setStyleSheet(QStringLiteral("QRadioButton { spacing: 3px; }"));
}

void TMainWin::SetTabOrder() {
    QList<QWidget*> chain;
    for (const MainControl& spec : brelka::layout::MainControls())
        if (spec.inTabOrder) chain << parts_[PartIndex(spec.part)];
    // Qt orders only widgets that take the focus; the group boxes and the information line
    // take their places in the chain all the same, and Tab passes over them.
    QList<Qt::FocusPolicy> policies;
    for (QWidget* w : chain) {
        policies << w->focusPolicy();
        if (w->focusPolicy() == Qt::NoFocus) w->setFocusPolicy(Qt::TabFocus);
    }
    for (int i = 1; i < chain.size(); ++i)
        setTabOrder(chain[i - 1], chain[i]);
    for (int i = 0; i < chain.size(); ++i)
        chain[i]->setFocusPolicy(policies[i]);
}

void TMainWin::ConnectControls() {
    cardMenu_->LeaveShortcutsToMenu(SampleList);
    cardMenu_->LeaveShortcutsToMenu(SampleList->lineEdit());
    // Typing changes the text; picking an item from the list is a change too, also when the
    // item is the one already shown (its text then stays as it is).
    connect(SampleList, &QComboBox::editTextChanged, this, [this] { SampleListChange(); });
    connect(SampleList, &QComboBox::activated, this, [this] { SampleListChange(); });
    // clicked comes from the user only; putting the button up does not raise it.
    connect(AudBtn, &QToolButton::clicked, this, [this](bool down) { AudBtnClick(down); });
    connect(ToExecBtn, &QPushButton::clicked, this, [this] { ToExecBtnClick(); });
    connect(FromExecBtn, &QPushButton::clicked, this, [this] { FromExecBtnClick(); });
    connect(AbortBtn, &QPushButton::clicked, this, [this] { AbortBtnClick(); });
}

void TMainWin::BuildDialogs() {
    SelFolder = new QFileDialog(this);
    SelFolder->setObjectName(QStringLiteral("SelFolder"));
    SelFolder->setFileMode(QFileDialog::Directory);
    SelFolder->setOption(QFileDialog::ShowDirsOnly, true);
    SelFolder->setAcceptMode(QFileDialog::AcceptOpen);

    const QString suffix = QString::fromUtf8(brelka::layout::kDefaultExtension);
    OpenDialog = new QFileDialog(this);
    OpenDialog->setObjectName(QStringLiteral("OpenDialog"));
    // Qt's own dialog, so that the preview panel can live in it.
    OpenDialog->setOption(QFileDialog::DontUseNativeDialog, true);
    OpenDialog->setOption(QFileDialog::HideNameFilterDetails, true);
    OpenDialog->setAcceptMode(QFileDialog::AcceptOpen);
    OpenDialog->setFileMode(QFileDialog::ExistingFile);
    OpenDialog->setNameFilters(NameFilters(brelka::layout::OpenFilters()));
    OpenDialog->setDefaultSuffix(suffix);
    OpenDialog->setSizeGripEnabled(true);
    connect(OpenDialog, &QFileDialog::currentChanged, this,
            [this](const QString& path) { core_->OpenDialogSelectionChange(LocalPath(path)); });

    SaveDialog = MakeSaveDialog(this);
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
    return parts_[PartIndex(brelka::layout::PartOf(control))];
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
    Q_EMIT GaugeSet(percent);
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
    return RunFileDialog(SelFolder, folder);
}

bool TMainWin::ChooseImportFile(std::string& path) {
    AttachPreviewPanel();
    return RunFileDialog(OpenDialog, path);
}

bool TMainWin::ChooseExportFile(const std::string& lastName, std::string& path) {
    if (!lastName.empty()) SaveDialog->selectFile(DisplayPath(lastName));
    return RunFileDialog(SaveDialog, path);
}

void TMainWin::ShowMessage(const std::string& text) {
    ShowMessageBox(this, text);
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
    if (!panel_ || panel_->parentWidget() == OpenDialog) return;
    auto* grid = qobject_cast<QGridLayout*>(OpenDialog->layout());
    if (!grid) return;
    // Full width along the bottom, growing with the dialog.
    grid->addWidget(panel_, grid->rowCount(), 0, 1, grid->columnCount());
    panel_->show();
}

void TMainWin::CloseWindow() {
    close();
}

void TMainWin::closeEvent(QCloseEvent* e) {
    if (core_ && !core_->CloseRequest()) {
        e->ignore();
        return;
    }
    // The card view goes with the window.
    if (cardView_) cardView_->hide();
    QWidget::closeEvent(e);
}

void TMainWin::SetMenuItem(brelka::CardMenuItem item, const std::string& text, bool enabled) {
    cardMenu_->SetItem(item, text, enabled);
}

void TMainWin::ShowCardView() {
    if (!cardView_) cardView_ = std::make_unique<TCardView>(*core_, this);
    cardView_->Raise();
}

bool TMainWin::EditImportOptions(brelka::ImportOptionsForm& form) {
    TImportOptionsDialog dialog(DialogParent());
    dialog.SetForm(form);
    if (dialog.exec() != QDialog::Accepted) return false;
    form = dialog.Form();
    return true;
}

bool TMainWin::ChooseOtherFolder(const std::string& title, std::string& folder) {
    return ChooseFolderIn(DialogParent(), title, folder);
}

bool TMainWin::AskYesNo(const std::string& text) {
    return AskYesNoBox(DialogParent(), text);
}

QWidget* TMainWin::DialogParent() {
    // Over the window the command came from: the card view when it is the active one.
    QWidget* active = QApplication::activeWindow();
    return cardView_ && active == cardView_.get() ? active : this;
}

void TMainWin::dragEnterEvent(QDragEnterEvent* e) {
    AcceptFilesAsCopy(e);
}

void TMainWin::dropEvent(QDropEvent* e) {
    if (!AcceptFilesAsCopy(e)) return;
    const std::vector<std::string> paths = DroppedPaths(e->mimeData());
    if (!paths.empty()) core_->DropFiles(paths);
}

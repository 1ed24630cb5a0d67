#include "CardView.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>

#include "FrontDialogs.h"
#include "FrontText.h"
#include "MainWindowCore.h"
#include "WindowIcons.h"
#include "WindowLayout.h"

using brelka::CardRow;
using brelka::RowCommand;

namespace {

constexpr int kSlots = 60;
constexpr int kNumberColumn = 0, kNameColumn = 1, kLengthColumn = 2, kNoteColumn = 4;

// The Sound column: the slot's min/max envelope, its columns spread over the cell's width.
class ThumbnailDelegate : public QStyledItemDelegate {
  public:
    ThumbnailDelegate(const std::vector<CardRow>& rows, QObject* parent)
        : QStyledItemDelegate(parent), rows_(rows) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index); // the background, the selection
        const auto r = static_cast<size_t>(index.row());
        if (r >= rows_.size()) return;
        const CardRow& row = rows_[r];
        const size_t n = std::min(row.low.size(), row.high.size());
        const QRect box = option.rect.adjusted(2, 2, -2, -2);
        if (!row.used || n == 0 || box.width() <= 0 || box.height() <= 0) return;
        const bool selected = (option.state & QStyle::State_Selected) != 0;
        painter->save();
        painter->setPen(
            option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        const int w = box.width(), h = box.height() - 1;
        auto y = [&](int v) { return box.top() + (32767 - v) * h / 65535; };
        for (int x = 0; x < w; ++x) {
            const size_t first = static_cast<size_t>(x) * n / static_cast<size_t>(w);
            const size_t last =
                std::max(first + 1, static_cast<size_t>(x + 1) * n / static_cast<size_t>(w));
            int low = row.low[first], high = row.high[first];
            for (size_t c = first + 1; c < last && c < n; ++c) {
                low = std::min<int>(low, row.low[c]);
                high = std::max<int>(high, row.high[c]);
            }
            painter->drawLine(box.left() + x, y(high), box.left() + x, y(low));
        }
        painter->restore();
    }

  private:
    const std::vector<CardRow>& rows_;
};

// The Name column's in-place edit: what the user confirms goes to the behaviour, which
// renames the slot and sets the rows again.
class NameDelegate : public QStyledItemDelegate {
  public:
    NameDelegate(std::function<void(int slot, const QString& typed)> done, QObject* parent)
        : QStyledItemDelegate(parent), done_(std::move(done)) {}

    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        (void)model;
        if (auto* edit = qobject_cast<QLineEdit*>(editor)) done_(index.row() + 1, edit->text());
    }

  private:
    std::function<void(int, const QString&)> done_;
};

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

const char* const TCardTable::kSlotMimeType = "application/x-brelka-slot";

TCardTable::TCardTable(QWidget* parent) : QTableWidget(0, 0, parent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    setDropIndicatorShown(true);
    setDragDropOverwriteMode(true); // onto a row, never between two
    setWordWrap(false);
    setContextMenuPolicy(Qt::DefaultContextMenu);
}

int TCardTable::SlotAt(const QPoint& pos) const {
    const int row = rowAt(pos.y());
    return row < 0 ? 0 : row + 1;
}

QStringList TCardTable::mimeTypes() const {
    // A row of this view, or files from a file manager.
    return {QString::fromLatin1(kSlotMimeType), QStringLiteral("text/uri-list")};
}

// A dragged row carries this view's identity with its slot: a row of another window (or of
// another copy of the program, on another card) is no row of this card.
QByteArray TCardTable::Identity() const {
    return QByteArray::number(QCoreApplication::applicationPid()) + ':' +
           QByteArray::number(reinterpret_cast<quintptr>(this)) + ':';
}

int TCardTable::DraggedSlot(const QMimeData* dragged) const {
    if (!dragged || !dragged->hasFormat(QString::fromLatin1(kSlotMimeType))) return 0;
    const QByteArray payload = dragged->data(QString::fromLatin1(kSlotMimeType));
    const QByteArray identity = Identity();
    if (!payload.startsWith(identity)) return 0;
    const int slot = payload.mid(identity.size()).toInt();
    return slot >= 1 && slot <= rowCount() ? slot : 0;
}

QMimeData* TCardTable::mimeData(const QList<QTableWidgetItem*>& items) const {
    if (items.isEmpty()) return nullptr;
    // The row the drag started from: the current one when it is among them.
    int row = items.first()->row();
    for (const QTableWidgetItem* item : items)
        if (item->row() == currentRow()) row = currentRow();
    auto* dragged = new QMimeData;
    dragged->setData(QString::fromLatin1(kSlotMimeType), Identity() + QByteArray::number(row + 1));
    return dragged;
}

void TCardTable::startDrag(Qt::DropActions supportedActions) {
    (void)supportedActions;
    if (!inputOn) return;
    QMimeData* dragged = mimeData(selectedItems());
    if (!dragged) return;
    // The drop does all there is to do: the rows are set again from the card, nothing is
    // taken out of the table here.
    auto* drag = new QDrag(this);
    drag->setMimeData(dragged);
    drag->exec(Qt::MoveAction, Qt::MoveAction);
}

bool TCardTable::Takes(QDropEvent* e) const {
    if (!inputOn) return false;
    if (DraggedSlot(e->mimeData()) != 0) {
        e->acceptProposedAction(); // a row of this view
        return true;
    }
    return AcceptFilesAsCopy(e);
}

// The view's own handling shows the row a drop would land on and scrolls near the edges;
// what it takes is decided here.
void TCardTable::dragEnterEvent(QDragEnterEvent* e) {
    QTableWidget::dragEnterEvent(e);
    if (!Takes(e)) e->ignore();
}

void TCardTable::dragMoveEvent(QDragMoveEvent* e) {
    QTableWidget::dragMoveEvent(e);
    if (SlotAt(e->position().toPoint()) == 0 || !Takes(e)) e->ignore();
}

void TCardTable::dropEvent(QDropEvent* e) {
    // The row shown as the target and the scrolling go, as when the drag leaves.
    QDragLeaveEvent leave;
    QTableWidget::dragLeaveEvent(&leave);
    const int slot = SlotAt(e->position().toPoint());
    if (slot == 0 || !Takes(e)) {
        e->ignore();
        return;
    }
    const QMimeData* dropped = e->mimeData();
    if (const int from = DraggedSlot(dropped)) {
        if (onRowDragged) onRowDragged(from, slot);
        return;
    }
    const std::vector<std::string> paths = DroppedPaths(dropped);
    if (onDropFiles && !paths.empty()) onDropFiles(slot, paths);
}

void TCardTable::keyPressEvent(QKeyEvent* e) {
    if (e->modifiers() == Qt::NoModifier || e->modifiers() == Qt::KeypadModifier) {
        switch (e->key()) {
        case Qt::Key_Delete:
            if (inputOn && onCommand) onCommand(RowCommand::Clear);
            return;
        case Qt::Key_F2:
            if (inputOn && onCommand) onCommand(RowCommand::Rename);
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (inputOn && onCommand) onCommand(RowCommand::Listen);
            return;
        case Qt::Key_Escape:
            if (onEscape) onEscape();
            return;
        default:
            break;
        }
    }
    QTableWidget::keyPressEvent(e);
}

void TCardTable::contextMenuEvent(QContextMenuEvent* e) {
    if (!inputOn || !onCommand) return;
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("RowMenu"));
    for (const brelka::layout::RowCommandEntry& entry : brelka::layout::RowCommands()) {
        QString caption = QString::fromUtf8(entry.caption);
        if (entry.key) caption += QLatin1Char('\t') + QString::fromLatin1(entry.key);
        const RowCommand command = entry.command;
        connect(menu.addAction(caption), &QAction::triggered, this,
                [this, command] { onCommand(command); });
    }
    menu.exec(e->globalPos());
}

TCardView::TCardView(brelka::MainWindowCore& main, QWidget* parent) : QWidget(parent) {
    setWindowFlag(Qt::Window);
    Build();
    core_ = std::make_unique<brelka::CardViewCore>(*this, main);
    ConnectControls();
}

TCardView::~TCardView() {
    // The behaviour leaves the main window's first.
    core_.reset();
}

void TCardView::Build() {
    setObjectName(QStringLiteral("CardView"));
    setWindowTitle(QString::fromUtf8(brelka::layout::kCardViewCaption));
    setWindowIcon(ProgramIcon());
    setFont(WindowFont());
    resize(brelka::layout::kCardViewSize.width, brelka::layout::kCardViewSize.height);
    setMinimumSize(brelka::layout::kCardViewMinSize.width, brelka::layout::kCardViewMinSize.height);

    cardMenu_ = new TCardMenu(this, [this](brelka::CardMenuItem item) {
        if (core_) core_->MenuCommand(item);
    });
    MenuBar = cardMenu_->Bar();

    BuildTable();

    auto label = [this](const char* name) {
        auto* l = new QLabel(this);
        l->setObjectName(QString::fromLatin1(name));
        l->setTextFormat(Qt::PlainText);
        return l;
    };
    StatusLine = label("StatusLine");
    FolderLine = label("FolderLine");
    FolderLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
    FolderBtn = new QPushButton(QString::fromUtf8(brelka::layout::kFolderButtonCaption), this);
    FolderBtn->setObjectName(QStringLiteral("FolderBtn"));
    FolderBtn->setAutoDefault(false);
    ProgressText = label("ProgressText");
    Progress = new QProgressBar(this);
    Progress->setObjectName(QStringLiteral("Progress"));
    Progress->setRange(0, 100);
    Progress->setTextVisible(true);
    Progress->setFormat(QStringLiteral("%p%"));
    AbortBtn = new QPushButton(QStringLiteral("Abort"), this);
    AbortBtn->setObjectName(QStringLiteral("AbortBtn"));
    AbortBtn->setAutoDefault(false);
    AbortBtn->setEnabled(false);
    // The progress line keeps its place while no job runs.
    for (QWidget* w : std::initializer_list<QWidget*>{ProgressText, Progress}) {
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
        w->hide();
    }

    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(FolderLine, 1);
    folderRow->addWidget(FolderBtn);
    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(ProgressText, 1);
    progressRow->addWidget(Progress, 1);
    progressRow->addWidget(AbortBtn);
    auto* frame = new QVBoxLayout(this);
    frame->setMenuBar(MenuBar);
    frame->addWidget(Table, 1);
    frame->addWidget(StatusLine);
    frame->addLayout(folderRow);
    frame->addLayout(progressRow);
}

void TCardView::BuildTable() {
    Table = new TCardTable(this);
    Table->setObjectName(QStringLiteral("Rows"));
    QStringList captions;
    for (const brelka::layout::Column& c : brelka::layout::CardViewColumns())
        captions << QString::fromUtf8(c.caption);
    Table->setColumnCount(static_cast<int>(captions.size()));
    Table->setHorizontalHeaderLabels(captions);
    QHeaderView* header = Table->horizontalHeader();
    // A column without a width takes what is left, however little.
    header->setMinimumSectionSize(24);
    int column = 0;
    for (const brelka::layout::Column& c : brelka::layout::CardViewColumns()) {
        if (c.width > 0)
            header->resizeSection(column, c.width);
        else
            header->setSectionResizeMode(column, QHeaderView::Stretch);
        ++column;
    }
    header->setHighlightSections(false);
    Table->verticalHeader()->hide();
    Table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Table->verticalHeader()->setDefaultSectionSize(brelka::layout::kCardRowHeight);
    Table->setItemDelegateForColumn(brelka::layout::kSoundColumn,
                                    new ThumbnailDelegate(rows_, Table));
    Table->setItemDelegateForColumn(kNameColumn, new NameDelegate(
                                                     [this](int slot, const QString& typed) {
                                                         // After the editor has closed: the rows
                                                         // are set again.
                                                         QMetaObject::invokeMethod(
                                                             this,
                                                             [this, slot, typed] {
                                                                 if (core_)
                                                                     core_->RenameDone(
                                                                         slot, typed.toStdString());
                                                             },
                                                             Qt::QueuedConnection);
                                                     },
                                                     Table));
}

void TCardView::AddRowItems(int row) {
    for (int c = 0; c < Table->columnCount(); ++c) {
        auto* item = new QTableWidgetItem;
        Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled |
                              Qt::ItemIsDropEnabled;
        if (c == kNameColumn) flags |= Qt::ItemIsEditable;
        item->setFlags(flags);
        if (c == kNumberColumn || c == kLengthColumn)
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        Table->setItem(row, c, item);
    }
}

void TCardView::ConnectControls() {
    Table->onDropFiles = [this](int slot, const std::vector<std::string>& paths) {
        core_->DropFiles(slot, paths);
    };
    Table->onRowDragged = [this](int from, int to) { core_->RowDragged(from, to); };
    Table->onCommand = [this](RowCommand command) { core_->Command(command); };
    Table->onEscape = [this] { core_->EscapeKey(); };
    connect(Table, &QTableWidget::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid() && Table->inputOn) core_->Command(RowCommand::Listen);
    });
    connect(Table->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!quiet_) core_->SelectionChange();
    });
    connect(FolderBtn, &QPushButton::clicked, this, [this] { core_->FolderButtonClick(); });
    connect(AbortBtn, &QPushButton::clicked, this, [this] { core_->AbortClick(); });
    if (auto* dispatcher = QAbstractEventDispatcher::instance(thread()))
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
            if (core_ && isVisible()) core_->AppEventsIdle();
        });
}

void TCardView::SetMenuItem(brelka::CardMenuItem item, const std::string& text, bool enabled) {
    cardMenu_->SetItem(item, text, enabled);
}

void TCardView::SetRows(const std::vector<CardRow>& rows) {
    // The items stay while the number of rows does; their texts change, and with them nothing
    // of the selection or the scroll position.
    const int count = static_cast<int>(std::min(rows.size(), static_cast<size_t>(kSlots)));
    if (Table->rowCount() != count) {
        const QSignalBlocker quiet(Table);
        const int had = Table->rowCount();
        Table->setRowCount(count);
        for (int r = had; r < count; ++r)
            AddRowItems(r);
    }
    rows_.assign(rows.begin(), rows.begin() + count);
    const QPalette& palette = Table->palette();
    for (size_t i = 0; i < rows_.size(); ++i) {
        const CardRow& row = rows_[i];
        const int r = static_cast<int>(i);
        Table->item(r, kNumberColumn)->setText(Text(row.number));
        QTableWidgetItem* name = Table->item(r, kNameColumn);
        name->setText(Text(row.name));
        const bool grey = row.stale || !row.used;
        name->setForeground(
            palette.brush(grey ? QPalette::Disabled : QPalette::Active, QPalette::Text));
        Table->item(r, kLengthColumn)->setText(Text(row.length));
        QTableWidgetItem* note = Table->item(r, kNoteColumn);
        note->setText(Text(row.note));
        note->setToolTip(Text(row.note)); // the whole of it, where the column is narrow
        for (int c = 0; c < Table->columnCount(); ++c) {
            QTableWidgetItem* item = Table->item(r, c);
            QFont font = item->font();
            font.setBold(row.playing);
            item->setFont(font);
        }
    }
    Table->viewport()->update();
}

std::vector<int> TCardView::SelectedSlots() const {
    std::vector<int> slots;
    for (const QModelIndex& index : Table->selectionModel()->selectedRows())
        slots.push_back(index.row() + 1);
    std::sort(slots.begin(), slots.end());
    const int current = Table->currentRow() + 1;
    const auto it = std::find(slots.begin(), slots.end(), current);
    if (it != slots.end()) std::rotate(slots.begin(), it, it + 1);
    return slots;
}

void TCardView::SelectSlots(const std::vector<int>& slots) {
    quiet_ = true;
    QItemSelectionModel* model = Table->selectionModel();
    QItemSelection selection;
    for (int slot : slots) {
        if (slot < 1 || slot > Table->rowCount()) continue;
        const QModelIndex left = Table->model()->index(slot - 1, 0);
        const QModelIndex right = Table->model()->index(slot - 1, Table->columnCount() - 1);
        selection.select(left, right);
    }
    model->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!slots.empty() && slots.front() >= 1 && slots.front() <= Table->rowCount()) {
        const QModelIndex current = Table->model()->index(slots.front() - 1, 0);
        model->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
        Table->scrollTo(current);
    }
    quiet_ = false;
}

void TCardView::SetStatus(const std::string& summary, const std::string& folder) {
    StatusLine->setText(Text(summary));
    FolderLine->setText(DisplayPath(folder));
}

void TCardView::ShowFolderButton(bool on) {
    FolderBtn->setVisible(on);
}

void TCardView::SetProgress(bool on, int percent, const std::string& text) {
    ProgressText->setVisible(on);
    Progress->setVisible(on);
    ProgressText->setText(on ? Text(text) : QString());
    Progress->setValue(on ? std::clamp(percent, 0, 100) : 0);
}

void TCardView::SetInputEnabled(bool on, bool abortOn) {
    Table->inputOn = on;
    Table->setDragEnabled(on);
    FolderBtn->setEnabled(on);
    AbortBtn->setEnabled(abortOn);
}

void TCardView::StartRename(int slot, const std::string& name) {
    if (slot < 1 || slot > Table->rowCount()) return;
    QTableWidgetItem* item = Table->item(slot - 1, kNameColumn);
    {
        const QSignalBlocker quiet(Table);
        item->setText(Text(name)); // the editor starts from the name itself
    }
    Table->scrollToItem(item);
    Table->editItem(item);
}

bool TCardView::ChooseExportFile(const std::string& suggested, std::string& path) {
    if (!saveDialog_) saveDialog_ = MakeSaveDialog(this);
    saveDialog_->selectFile(DisplayPath(suggested));
    return RunFileDialog(saveDialog_, path);
}

bool TCardView::ChooseExportFolder(std::string& folder) {
    return ChooseFolderIn(this, "Export the Slots to", folder);
}

void TCardView::ShowMessage(const std::string& text) {
    ShowMessageBox(this, text);
}

bool TCardView::AskYesNo(const std::string& text) {
    return AskYesNoBox(this, text);
}

void TCardView::Raise() {
    show();
    raise();
    activateWindow();
}

void TCardView::closeEvent(QCloseEvent* e) {
    // During a job of its own the view stays: the job stops as Abort stops it.
    if (core_ && !core_->CloseRequest()) {
        e->ignore();
        return;
    }
    QWidget::closeEvent(e);
}

// The card view on Qt Widgets: the 60 rows of the card in a table (number, name, length, the
// sound's envelope, a note), the status and folder lines, the folder button, the progress line
// with Abort, and the "Card" menu. It forwards the user's drops, drags, keys and commands to
// the card view's behaviour (CardViewCore) and gives it what it asks of a toolkit.
#pragma once

#include <QTableWidget>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CardViewCore.h"
#include "WindowToolkit.h"

class QFileDialog;
class QLabel;
class QMenuBar;
class QProgressBar;
class QPushButton;
class TCardMenu;

namespace brelka {
class MainWindowCore;
}

// The rows: takes files dropped from the file manager onto a row, and a row dragged onto
// another, and passes on the row commands' keys.
class TCardTable : public QTableWidget {
  public:
    explicit TCardTable(QWidget* parent);

    // The type of a dragged row's data: this view's identity and the row's slot number.
    static const char* const kSlotMimeType;
    // The slot under a point of the viewport; 0: none.
    int SlotAt(const QPoint& pos) const;

    bool inputOn = true; // drops, drags and commands are taken
    std::function<void(int slot, const std::vector<std::string>& paths)> onDropFiles;
    std::function<void(int from, int to)> onRowDragged;
    std::function<void(brelka::RowCommand)> onCommand;
    std::function<void()> onEscape;

  protected:
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QList<QTableWidgetItem*>& items) const override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

  private:
    QByteArray Identity() const;
    // The slot of a row of this view that the data carries; 0: none.
    int DraggedSlot(const QMimeData* dragged) const;
    // Accepts a drag or drop that the rows take now: a row of this view, or files as a copy.
    bool Takes(QDropEvent* e) const;
};

class TCardView : public QWidget, public brelka::CardViewToolkit {
  public:
    // Attaches a card view's behaviour to the main window's; the view is a window of its own
    // that goes with `parent`.
    TCardView(brelka::MainWindowCore& main, QWidget* parent);
    ~TCardView() override;

    brelka::CardViewCore& Core() { return *core_; }
    TCardMenu* CardMenu() const { return cardMenu_; }
    // The row that shows a slot (its envelope included, as last set).
    const brelka::CardRow& Row(int slot) const { return rows_.at(static_cast<size_t>(slot - 1)); }
    int RowCount() const { return static_cast<int>(rows_.size()); }

    // Controls, by their names (each also carries its name as objectName).
    QMenuBar* MenuBar = nullptr;
    TCardTable* Table = nullptr;
    QLabel* StatusLine = nullptr;
    QLabel* FolderLine = nullptr;
    QPushButton* FolderBtn = nullptr;
    QLabel* ProgressText = nullptr;
    QProgressBar* Progress = nullptr;
    QPushButton* AbortBtn = nullptr;

    // The toolkit's side.
    void SetMenuItem(brelka::CardMenuItem item, const std::string& text, bool enabled) override;
    void SetRows(const std::vector<brelka::CardRow>& rows) override;
    std::vector<int> SelectedSlots() const override;
    void SelectSlots(const std::vector<int>& slots) override;
    void SetStatus(const std::string& summary, const std::string& folder) override;
    void ShowFolderButton(bool on) override;
    void SetProgress(bool on, int percent, const std::string& text) override;
    void SetInputEnabled(bool on, bool abortOn) override;
    void StartRename(int slot, const std::string& name) override;
    bool ChooseExportFile(const std::string& suggested, std::string& path) override;
    bool ChooseExportFolder(std::string& folder) override;
    void ShowMessage(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    void Raise() override;

  protected:
    void closeEvent(QCloseEvent* e) override;

  private:
    void Build();
    void BuildTable();
    void AddRowItems(int row);
    void ConnectControls();

    std::vector<brelka::CardRow> rows_;
    TCardMenu* cardMenu_ = nullptr;
    QFileDialog* saveDialog_ = nullptr;
    bool quiet_ = false; // the selection changes by the program's own hand
    std::unique_ptr<brelka::CardViewCore> core_;
};

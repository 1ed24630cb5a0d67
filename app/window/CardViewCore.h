// The card view's behaviour, whatever toolkit draws it: the 60 rows of the card with their
// names, lengths and thumbnails, the status line, drops of files onto a row, a row dragged onto
// another (a move, or a swap), and the row commands (listen, rename, export, clear). It works
// over the main window's behaviour, which holds what both windows share: the folder, the
// engine, the audition, the jobs' exclusion, the card's history and the import options.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "Card.h"
#include "WindowToolkit.h"

namespace brelka {

class MainWindowCore;

class CardViewCore {
  public:
    // Attaches itself to the main window's behaviour, which keeps the view up to date, and
    // fills the rows.
    CardViewCore(CardViewToolkit& toolkit, MainWindowCore& main);
    ~CardViewCore();
    CardViewCore(const CardViewCore&) = delete;
    CardViewCore& operator=(const CardViewCore&) = delete;

    // Handlers.
    void FolderButtonClick();
    // Files or folders dropped onto a row's slot.
    void DropFiles(int slot, const std::vector<std::string>& paths);
    // A row dragged onto another: into an empty slot it moves, onto a used one the two swap.
    void RowDragged(int from, int to);
    // A row command on the selected rows (the context menu's items and the keys).
    void Command(RowCommand command);
    // The in-place name edit that StartRename began has been confirmed.
    void RenameDone(int slot, const std::string& typed);
    // The selection has changed (a click): a running audition stops.
    void SelectionChange();
    void EscapeKey();
    void AbortClick();
    void MenuCommand(CardMenuItem item);
    // The front calls it whenever its message queue has run empty (the enable rules of both
    // windows).
    void AppEventsIdle();
    // The user closes the view. True when it may go now (it is hidden, and comes back with
    // "Card View..."); during a job of the view, false: the job stops as Abort stops it.
    bool CloseRequest();

    // Called by the main window's behaviour.
    void Refresh();                            // the folder or the card has changed
    void ApplyStates(bool busy, bool playing); // the enable rules
    void ShowProgress(bool on, int percent, const std::string& text);
    void Raise() { toolkit_.Raise(); }
    CardViewToolkit& Toolkit() { return toolkit_; }

    const CardScan& Scan() const { return scan_; }

  private:
    void Listen();
    void Rename();
    void Export();
    void Clear();
    std::vector<CardRow> Rows() const;
    std::vector<int> UsedSelection() const; // the selected slots that hold a sound, ascending
    bool Ready();                           // a folder is chosen and no job runs; stops an audition

    CardViewToolkit& toolkit_;
    MainWindowCore& main_;
    CardScan scan_;
    std::string leftoversNotice_; // what the scan removed from the card of noticeFolder_
    std::string noticeFolder_;
};

} // namespace brelka

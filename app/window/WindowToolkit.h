// What the window's behaviour needs from a window toolkit. Each front (Qt, Win32) builds the
// controls, forwards their events to the behaviour's handlers and implements these.
//
// Strings are UTF-8. Paths are in the encoding the file functions of platform/ take (UTF-8
// on Windows, the system's own elsewhere).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brelka {

// The main window's controls, by role.
enum class Control {
    SrcEdit,       // the folder field (read-only text; a click chooses the folder)
    SampleList,    // the slot number: an editable list of the slots found
    AudBtn,        // "Hear the Sound": stays down while the slot plays
    LenLabel,      // the slot's length
    ImportRadio,   // "Import Channel": L, R, MIX
    RateConvCheck, // "SamplingRate Conversion"
    ConvGroup,     // the frame around the five qualities
    RsSimple,
    RsLight,
    RsMedium,
    RsHeavy,
    RsUHeavy,
    InfoText, // the information line
    ToExecBtn,
    FromExecBtn,
    AbortBtn,
};

// The items of the "Card" menu, which both windows have in their menu bar.
enum class CardMenuItem {
    CardView,      // "Card View..." (Ctrl+K)
    ImportOptions, // "Import Options..." or "Import Options (trim, normalize −0.3 dB)..."
    Undo,          // "Undo Import into 05" (Ctrl+Z)
    Redo,          // "Redo Swap 03 and 17" (Ctrl+Y, Ctrl+Shift+Z)
    BackUp,        // "Back Up Card..."
    Restore,       // "Restore Card..."
};
constexpr int kCardMenuItems = 6;

// The settings of the "Import Options..." dialog as its controls hold them: check boxes and
// the texts typed into its fields.
struct ImportOptionsForm {
    std::string trimDb = "-60";
    std::string normalizeDb = "-0.3";
    std::string fadeInMs = "5";
    std::string fadeOutMs = "20";
    int normalize = 0; // 0 off, 1 each sound, 2 the kit as one
    bool trim = false;
    bool fadeIn = false;
    bool fadeOut = false;
    bool dither = false;
};

// What both windows share: the "Card" menu of their menu bar.
class CardMenuToolkit {
  public:
    virtual ~CardMenuToolkit() = default;
    // An item's caption (without its shortcut, which the front shows beside it) and whether it
    // can be chosen.
    virtual void SetMenuItem(CardMenuItem item, const std::string& text, bool enabled) = 0;
};

class MainWindowToolkit : public CardMenuToolkit {
  public:
    // Controls.
    virtual void SetEnabled(Control control, bool on) = 0;
    // Check boxes, radio buttons and AudBtn. Setting the state raises no click.
    virtual bool IsChecked(Control control) const = 0;
    virtual void SetChecked(Control control, bool on) = 0;
    // SrcEdit (a path), SampleList (its edit text), LenLabel, InfoText. Setting a text raises
    // no change.
    virtual std::string Text(Control control) const = 0;
    virtual void SetText(Control control, const std::string& text) = 0;
    // The checked item of ImportRadio: 0 "L", 1 "R", 2 "MIX"; -1 when none is.
    virtual int ImportRadioIndex() const = 0;
    // The gauge, 0 to 100.
    virtual void SetGauge(int percent) = 0;
    // Gives the keyboard focus to the control.
    virtual void FocusControl(Control control) = 0;

    // The items of SampleList. None of these raises a change.
    virtual void ClearSlotItems() = 0; // the items and the edit text
    virtual void AddSlotItem(const std::string& text) = 0;
    virtual int SlotItemCount() const = 0;
    virtual std::string SlotItem(int index) const = 0;
    // Selects an item, showing its text; -1 selects none and leaves the edit text.
    virtual void SelectSlotItem(int index) = 0;

    // The three dialogs: true, with the path chosen, when the user confirms.
    // The folder dialog offers folders only.
    virtual bool ChooseFolder(std::string& folder) = 0;
    // The open dialog with the preview panel inside it; its selection changes go to
    // MainWindowCore::OpenDialogSelectionChange.
    virtual bool ChooseImportFile(std::string& path) = 0;
    // The save dialog, starting at the name last chosen (empty at first); it asks before an
    // existing file is replaced.
    virtual bool ChooseExportFile(const std::string& lastName, std::string& path) = 0;

    // A message box with the program's name as its caption and an OK button.
    virtual void ShowMessage(const std::string& text) = 0;
    // The wait cursor over the whole program, on or off.
    virtual void SetWaitCursor(bool on) = 0;
    // Handles the input and messages waiting now, and returns.
    virtual void RunPendingEvents() = 0;
    // Closes the window as the user's own close does: the behaviour asks for it once a job
    // that a close had to stop has ended.
    virtual void CloseWindow() = 0;

    // Shows the card view (made the first time, with a CardViewCore over the window's
    // behaviour), raised and active.
    virtual void ShowCardView() = 0;
    // The "Import Options..." dialog, modal, over the active window: true when confirmed, with
    // the form as the user left it.
    virtual bool EditImportOptions(ImportOptionsForm& form) = 0;
    // A folder dialog with this title, starting at `folder`, that can make a new folder: true
    // with the folder chosen.
    virtual bool ChooseOtherFolder(const std::string& title, std::string& folder) = 0;
    // A question with Yes and No (No the default): true for Yes.
    virtual bool AskYesNo(const std::string& text) = 0;
};

// One row of the card view: a slot, as the view shows it.
struct CardRow {
    int slot = 1;
    std::string number; // "05"
    std::string name;   // the slot's name; "(empty)" for an empty slot
    std::string length; // as LenLabel shows it; empty for an empty slot
    std::string note;   // "name may be stale", "12 samples clipped", ...; usually empty
    bool used = false;
    bool stale = false;   // the name is greyed: the slot changed since it was named
    bool playing = false; // the slot audition plays it
    // The thumbnail: for each column the lowest and highest sample (empty for an empty slot).
    std::vector<int16_t> low, high;
};

// What the card view's row commands are (its context menu, its keys).
enum class RowCommand {
    Listen, // Enter, a double click
    Rename, // F2
    Export, // "Export..."
    Clear,  // Del
};

// The card view's window: a list of the 60 rows, a status line, the folder, a progress bar
// and Abort, and a button that chooses the folder when none is chosen.
class CardViewToolkit : public CardMenuToolkit {
  public:
    // Replaces every row (60 in slot order, or none while no folder is chosen), keeping the
    // selection and the scroll position.
    virtual void SetRows(const std::vector<CardRow>& rows) = 0;
    // The selected slots, ascending; the current one first when several are.
    virtual std::vector<int> SelectedSlots() const = 0;
    virtual void SelectSlots(const std::vector<int>& slots) = 0;
    // The status line and the folder line below the rows.
    virtual void SetStatus(const std::string& summary, const std::string& folder) = 0;
    // The folder button shows only while no folder is chosen.
    virtual void ShowFolderButton(bool on) = 0;
    // The progress line: a text and a percentage, shown while a job runs (`on`).
    virtual void SetProgress(bool on, int percent, const std::string& text) = 0;
    // The rows take drops, drags and commands only while `on`; Abort only while `abortOn`.
    virtual void SetInputEnabled(bool on, bool abortOn) = 0;
    // Starts editing the name of a row in place, or in a small dialog; the front calls
    // CardViewCore::RenameDone when the user confirms.
    virtual void StartRename(int slot, const std::string& name) = 0;
    // The save dialog for one slot (starting at the name given) or a folder for several.
    virtual bool ChooseExportFile(const std::string& suggested, std::string& path) = 0;
    virtual bool ChooseExportFolder(std::string& folder) = 0;
    // Message boxes with the program's name as the caption, over the card view.
    virtual void ShowMessage(const std::string& text) = 0;
    virtual bool AskYesNo(const std::string& text) = 0;
    // The view is raised and activated (so a menu command's progress shows).
    virtual void Raise() = 0;
};

// The preview panel's labels.
enum class PanelLabel { FsLabel, FramesLabel, BitLabel };

class PreviewPanelToolkit {
  public:
    virtual ~PreviewPanelToolkit() = default;
    // The label grows to show its whole text.
    virtual void SetLabel(PanelLabel label, const std::string& text) = 0;
};

} // namespace brelka

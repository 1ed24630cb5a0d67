// What the window's behaviour needs from a window toolkit. Each front (Qt, Win32) builds the
// controls, forwards their events to the behaviour's handlers and implements these.
//
// Strings are UTF-8. Paths are in the encoding the file functions of platform/ take (UTF-8
// on Windows, the system's own elsewhere).
#pragma once

#include <string>

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

class MainWindowToolkit {
  public:
    virtual ~MainWindowToolkit() = default;

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

// What both Qt windows share: the "Card" menu of their menu bar, and the small dialogs they
// open over themselves.
#pragma once

#include <QObject>
#include <QStringList>

#include <array>
#include <functional>
#include <string>

#include "WindowLayout.h"
#include "WindowToolkit.h"

class QAction;
class QEvent;
class QFileDialog;
class QMenuBar;
class QWidget;

// A window's menu bar (drawn in the window, in the system's menu font) with the "Card" menu
// from the menu's table; its commands go to the handler.
class TCardMenu : public QObject {
  public:
    TCardMenu(QWidget* window, const std::function<void(brelka::CardMenuItem)>& handler);

    QMenuBar* Bar() const { return bar_; }

    void SetItem(brelka::CardMenuItem item, const std::string& text, bool enabled);
    QAction* Action(brelka::CardMenuItem item) const;
    // True when the key event is one of the menu's shortcuts.
    bool IsShortcut(const QEvent* e) const;
    // Keeps a text field from taking the menu's shortcuts (Ctrl+Z) for its own editing (a
    // combo box passes the keys on to its field itself: give both).
    void LeaveShortcutsToMenu(QWidget* field);

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    QMenuBar* bar_;
    std::array<QAction*, brelka::kCardMenuItems> actions_{};
};

// A message box with the program's name as its caption and an OK button.
void ShowMessageBox(QWidget* parent, const std::string& text);
// Yes and No, No the default: true for Yes.
bool AskYesNoBox(QWidget* parent, const std::string& text);
// A folder dialog with this title, starting at `folder` (empty: where it was last), that can
// make a new folder.
bool ChooseFolderIn(QWidget* parent, const std::string& title, std::string& folder);
// The save dialog of the slots' export: WAV or AIFF, asking before a file is replaced.
QFileDialog* MakeSaveDialog(QWidget* parent);
// A file dialog's type list; each caption keeps the pattern list the user knows, while Qt
// reads the patterns from the last parentheses.
QStringList NameFilters(brelka::layout::Rows<brelka::layout::FileFilter> filters);
// Runs a file dialog; true with the first file chosen.
bool RunFileDialog(QFileDialog* dialog, std::string& path);

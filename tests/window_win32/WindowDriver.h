// Drives brelka.exe the way a user does, from another process: it starts the program, finds
// its window and dialogs, clicks their buttons, types into their fields and reads what they
// show.
#pragma once

#include <windows.h>

#include <mmsystem.h>

#include <cstdint>

#include <functional>
#include <string>
#include <vector>

#include "Win32Text.h"

namespace windowtest {

using brelka::Utf8;
using brelka::Wide;

// Polls until done() holds, at most ms milliseconds; false when it never did.
bool Eventually(const std::function<bool()>& done, int ms = 20000);

// A control's text, read through the control itself.
std::string Text(HWND hwnd);
bool Checked(HWND hwnd);
// The window's rectangle in its parent's client coordinates.
RECT PlaceInParent(HWND hwnd);

// A user's click on a button (it is pressed and released by the button's own handling).
void Click(HWND button);
// A left click at the middle of a control, as mouse messages.
void MouseClick(HWND hwnd);
// A left click at a point of a control's client area.
void ClickAt(HWND hwnd, int x, int y);
// Replaces an edit field's text by typing it.
void Type(HWND edit, const std::string& text);
// A key pressed and released over a control.
void Key(HWND hwnd, WORD key);

// Keys pressed in order and released in the opposite order through the system's input, as a
// user types them (a shortcut's modifiers held): they go to the window with the keyboard.
void PressKeys(const std::vector<WORD>& keys);

// A list view's cell text and an item's rectangle in the list's client area, read from the
// list's own process.
std::string ListText(HWND list, int item, int subItem);
RECT ListItemRect(HWND list, int item);

// Files dropped at a point of the screen through the system's drag and drop, as the file
// manager drops them (a file list): true when the window there took the drop.
bool DropFiles(POINT screen, const std::vector<std::string>& paths);

// An item of a window's "Card" menu as the window's menu holds it: its text (with the shortcut
// after a tab) and whether it can be chosen.
struct MenuItemState {
    std::string text;
    bool enabled = false;
};
MenuItemState CardMenuItem(HWND window, int item);

// The window with the keyboard focus in the thread of window (another process's too).
HWND FocusOf(HWND window);

// The first child (at any depth) of the class, or with the id; nullptr when none.
HWND FindChild(HWND parent, const wchar_t* cls, int id = -1);
// The visible dialog owned by owner; nullptr when none is shown.
HWND OwnedDialog(HWND owner);
// The tree of windows under hwnd, for a failure's message.
std::string Describe(HWND hwnd);

// A picture as 0xAARRGGBB values, row by row from the top.
struct Pixels {
    int width = 0, height = 0;
    std::vector<uint32_t> bgra;
    uint32_t at(int x, int y) const {
        return bgra[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
};
// The window's pixels as they are on the screen (its frame and caption included).
Pixels WindowPixels(HWND hwnd);
// The same, written as a 24-bit BMP file.
bool CaptureWindow(HWND hwnd, const std::string& bmpPath);
// An icon's own pixels, with their alpha.
Pixels IconPixels(HICON icon);
// True when the opaque pixels of part appear in picture at some place whose left-top corner is
// within (maxX, maxY), each colour within a few steps.
bool ContainsOpaque(const Pixels& picture, const Pixels& part, int maxX, int maxY);

// What the sound device plays, recorded from its monitor (the default recording device of the
// test's sound server), 16-bit mono at 31250 Hz.
class Recorder {
  public:
    explicit Recorder(int seconds);
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;
    bool started() const { return device_ != nullptr; }
    // Stops and returns what was recorded.
    std::vector<int16_t> Stop();

  private:
    HWAVEIN device_ = nullptr;
    std::vector<std::vector<int16_t>> blocks_;
    std::vector<WAVEHDR> headers_;
};

// brelka.exe started for the test, ended (closed, or stopped) at destruction.
class Program {
  public:
    explicit Program(const std::string& exe);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    HWND window() const { return window_; }
    HWND control(int id) const { return GetDlgItem(window_, id); }
    // Closes the window as the user does; true when the program then ended by itself.
    bool Close();

  private:
    PROCESS_INFORMATION process_{};
    HWND window_ = nullptr;
};

} // namespace windowtest

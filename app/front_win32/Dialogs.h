// The system's dialogs both windows open: a folder, a file to save, a message, a question.
#pragma once

#include <windows.h>

#include <string>

#include "WindowLayout.h"

namespace brelka {

// A file dialog's type list as the system takes it.
std::wstring FilterList(layout::Rows<layout::FileFilter> filters);

// The folder picker over owner (it can make a new folder), with a title when one is given,
// starting at start when it is not empty: true with the folder chosen.
bool PickFolder(HWND owner, const std::string& title, const std::string& start,
                std::string& folder);
// The save dialog over owner, starting at the name given; it asks before an existing file is
// replaced.
bool PickSaveFile(HWND owner, const std::string& initial, std::string& path);
// A message box with the program's name as its caption: OK, or Yes and No (No the default,
// true for Yes).
void TellUser(HWND owner, const std::string& text);
bool AskUser(HWND owner, const std::string& text);

} // namespace brelka

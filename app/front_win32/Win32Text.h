// Text between the program's UTF-8 and the wide-character Win32 API.
#pragma once

#include <windows.h>

#include <string>

namespace brelka {

std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);
// The text of a window (a control's caption or edit text) as UTF-8.
std::string WindowTextUtf8(HWND window);
void SetWindowTextUtf8(HWND window, const std::string& text);

} // namespace brelka

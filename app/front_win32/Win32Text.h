// Text between the program's UTF-8 and the wide-character Win32 API.
#pragma once

#include <windows.h>

#include <string>

#include "WideText.h"

namespace brelka {

using platform::Utf8;
using platform::Wide;
// The text of a window (a control's caption or edit text) as UTF-8.
std::string WindowTextUtf8(HWND window);
void SetWindowTextUtf8(HWND window, const std::string& text);

} // namespace brelka

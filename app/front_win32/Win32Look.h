// The windows' fonts and the small pictures of their controls.
#pragma once

#include <windows.h>

#include "WindowLayout.h"

namespace brelka {

// The pixels per inch of the monitor the window is on (96 at 100 %).
int WindowDpi(HWND hwnd);
// Resizes the window's frame around a client area of the given size.
void SizeClientArea(HWND hwnd, layout::Size client);

// A font of the form at dpi: "MS Gothic" (or the first gothic face this system has instead) at
// the table's size, made once for each size and kept for the program's life.
HFONT FormFont(layout::Font font, int dpi);
// The same font, narrowed when needed so that text fits in room pixels: a label of fixed size
// whose longest text is wider than its place in this system's face.
HFONT FittedFont(layout::Font font, int dpi, const wchar_t* text, int room);
// The face the window font uses.
const wchar_t* WindowFontFace();

// Shows text while the mouse rests on control, a child of owner; tip is owner's tool tip
// window, made at its first use.
void AddToolTip(HWND& tip, HWND owner, HWND control, const char* text);

// The folder beside the folder field (20 x 20 at 96 DPI) and the speaker of "Hear the Sound"
// (18 x 18), each on the colour of the window's face, drawn at dpi.
HBITMAP FolderBitmap(int dpi);
HBITMAP SpeakerBitmap(bool enabled, int dpi);

} // namespace brelka

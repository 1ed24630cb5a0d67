// The windows' fonts and the small pictures of their controls.
#pragma once

#include <windows.h>

namespace brelka {

// "MS Gothic" at 12 pixels, or the first gothic face this system has instead.
HFONT WindowFont();
// The job buttons' font: the same face at 16 pixels, bold italic.
HFONT JobButtonFont();
// The face the window font uses.
const wchar_t* WindowFontFace();

// Shows text while the mouse rests on control, a child of owner; tip is owner's tool tip
// window, made at its first use.
void AddToolTip(HWND& tip, HWND owner, HWND control, const char* text);

// The folder beside the folder field (20 x 20) and the speaker of "Hear the Sound" (18 x 18),
// each on the colour of the window's face.
HBITMAP FolderBitmap();
HBITMAP SpeakerBitmap(bool enabled);

} // namespace brelka

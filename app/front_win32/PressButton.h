// A push button that does not take the keyboard focus when it is clicked (the windows' "Hear the
// Sound" buttons): its left-button press and release are handled here, in its subclass,
// instead of by the button itself, which would move the focus to it.
#pragma once

#include <windows.h>

namespace brelka {

enum class Press {
    None,    // not a message of a press (the button's own handling takes it)
    Handled, // a press, a move or a release that ends no click
    Clicked, // the release over the button that ends a click
};

// For the button's subclass procedure: shows the button down while the left button is held on
// it (the mouse is captured), up again when it leaves or is released.
Press PressWithoutFocus(HWND button, UINT msg, LPARAM lParam);

} // namespace brelka

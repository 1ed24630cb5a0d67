// The "Card" menu of both windows' menu bars, its shortcuts and the keys of the card view's
// context menu, made from the form's tables.
#pragma once

#include <windows.h>

#include <string>

#include "WindowToolkit.h"

namespace brelka {

// A menu bar holding the "Card" menu; the window it is given to destroys it.
HMENU MakeCardMenuBar();
// The shortcuts of the "Card" menu, made once for the program's life.
HACCEL CardAccelerators();
// The item of a menu command id; false for another id.
bool CardMenuItemOf(UINT id, CardMenuItem& item);
// An item's caption (its shortcut shown after it) and whether it can be chosen.
void SetCardMenuItem(HMENU bar, CardMenuItem item, const std::string& text, bool enabled);

// The card view's context menu, every item enabled or greyed; the caller destroys it.
HMENU MakeRowMenu(bool enabled);
// The row command of a context menu's command id; false for another id.
bool RowCommandOf(UINT id, RowCommand& command);

// The message of BRELKA_MENU_QUERY, and a window's answer to it for its menu bar.
UINT MenuQueryMessage();
LRESULT AnswerMenuQuery(HMENU bar, WPARAM item);

} // namespace brelka

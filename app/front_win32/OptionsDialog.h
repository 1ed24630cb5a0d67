// The "Import Options" dialog: modal over its owner, at the owner's scale.
#pragma once

#include <windows.h>

#include "WindowToolkit.h"

namespace brelka {

// Shows the form; true when the user confirms, with the form as the user left it.
bool EditImportOptionsDialog(HWND owner, ImportOptionsForm& form);

} // namespace brelka

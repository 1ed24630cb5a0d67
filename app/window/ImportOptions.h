// The "Import Options..." dialog's settings: the form its controls hold, read into the options
// every import of the windows takes, and the menu item that says which are on.
#pragma once

#include <string>

#include "SoundPrep.h"
#include "WindowToolkit.h"

namespace brelka {

ImportOptionsForm FormOf(const PrepOptions& options);
// False, with a message naming the field and what it takes, when a field holds no number in
// its range.
bool ReadImportOptions(const ImportOptionsForm& form, PrepOptions& options, std::string& error);
// "Import Options..." while none is on, else "Import Options (trim, normalize −0.3 dB)...".
std::string ImportOptionsMenuText(const PrepOptions& options);

} // namespace brelka

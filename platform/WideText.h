// Text between the program's UTF-8 and the wide characters (UTF-16) of the Windows API, and
// paths in the form the system's file calls take.
#pragma once

#if defined(_WIN32)

#include <string>

namespace platform {

// UTF-8 to UTF-16 and back (invalid sequences become U+FFFD).
std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);

// A path for the system's file calls: its wide form, and, when it is as long as the system's
// old limit of 260 characters or longer, the same path made absolute in the "\\?\" form (the
// "\\?\UNC\" form for a share), which the file calls take up to 32767 characters long.
std::wstring SystemPath(const std::string& utf8);

} // namespace platform

#endif

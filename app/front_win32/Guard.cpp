#include "Guard.h"

#include <string>

#include "Version.h"
#include "Win32Text.h"

namespace brelka {

void ShowException(HWND owner, const char* what) {
    MessageBoxW(owner, Wide(what ? what : "").c_str(),
                Wide(platform::VersionString("ProductName")).c_str(), MB_OK | MB_ICONERROR);
}

} // namespace brelka

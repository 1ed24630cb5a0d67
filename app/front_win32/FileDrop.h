// Files and folders dropped onto a window from the file manager (the system's drag and drop,
// with the dropped names as a file list). The drop returns to the file manager at once; the
// window is told by a posted message and takes the names from here.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace brelka {

class FileDrop {
  public:
    // Registers window (and its children) as the place to drop onto; each drop posts message
    // to told. The thread has initialized OLE.
    FileDrop(HWND window, HWND told, UINT message);
    ~FileDrop();
    FileDrop(const FileDrop&) = delete;
    FileDrop& operator=(const FileDrop&) = delete;

    // Whether a drop is taken now (the window is busy: the cursor says no).
    void Accept(bool on);
    // Asked at the moment of the drop, with its place on the screen: what the window makes of
    // the place (a row), kept for Place().
    std::function<int(POINT)> where;
    int Place() const;
    // The names of the last drop, where it landed on the screen, and where the drag was last
    // seen over the window before; empty once taken.
    std::vector<std::string> Take(POINT& at, POINT& lastOver);

    class Target;

  private:
    HWND window_;
    Target* target_;
};

} // namespace brelka

// The Windows side of the wave output: the device posts MM_WOM_DONE to the window with the
// system's WAVEHDR, and the stop message is WM_USER. The window procedure hands both to its
// listener through DeliverWaveMessage.
#pragma once

#include <cstdint>

#include "WaveOut.h"

namespace brelka {

constexpr unsigned kWin32WaveDoneMessage = 0x3BD; // MM_WOM_DONE
constexpr unsigned kWin32WaveStopMessage = 0x400; // WM_USER

// For a window procedure: hands the message to the listener when it is one of the two
// (lParam of MM_WOM_DONE is the system's WAVEHDR of one of our buffers), and says whether it
// was.
bool DeliverWaveMessage(unsigned message, intptr_t lParam, WaveListener& listener);

class Win32WaveWindow : public WaveWindow {
  public:
    // window: the HWND that receives the messages.
    explicit Win32WaveWindow(void* window) : window_(window) {}
    void* Handle() const override { return window_; }
    void PostStop() override;
    void DeliverDone() override;
    void DiscardDone() override;
    void DiscardStop() override;

  private:
    void* window_;
};

} // namespace brelka

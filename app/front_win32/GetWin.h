// The preview panel of the open dialog on Win32: the selected file's rate, frames and sample
// size, and "Hear the Sound" while a mouse button is held on it. The panel is one child window
// made once; the open dialog borrows it for as long as it is shown.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "PreviewPanelCore.h"
#include "WaveWindowWin32.h"
#include "WindowLayout.h"
#include "WindowToolkit.h"

class TGetWin : public brelka::PreviewPanelToolkit {
  public:
    // parent holds the panel, hidden, while no dialog shows it.
    explicit TGetWin(HWND parent);
    ~TGetWin() override;
    TGetWin(const TGetWin&) = delete;
    TGetWin& operator=(const TGetWin&) = delete;

    void SetLabel(brelka::PanelLabel label, const std::string& text) override;

    // Into the open dialog's own panel area at place (host's client coordinates), and back to
    // the parent, hidden (a held button stops then).
    void Attach(HWND host, const RECT& place);
    void Detach();
    // At place, as wide as the host allows and never narrower than the design.
    void Fit(const RECT& place);

    HWND Handle() const { return hwnd_; }
    brelka::PreviewPanelCore& Core() { return *core_; }

  private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK AudBtnProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR id, DWORD_PTR self);
    LRESULT AudBtnMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    HWND Label(brelka::PanelLabel label) const;
    void AddControl(const brelka::layout::PanelControl& spec);
    HFONT Font() const;
    void MakePicture();
    void Rescale(int dpi);

    HWND parent_;
    int dpi_; // the pixels per inch of the monitor the panel is shown on
    HWND hwnd_ = nullptr;
    HWND fsLabel_ = nullptr, framesLabel_ = nullptr, bitLabel_ = nullptr, audBtn_ = nullptr;
    HBITMAP speaker_ = nullptr;
    HWND tip_ = nullptr;
    bool held_ = false;
    std::unique_ptr<brelka::Win32WaveWindow> waveWindow_;
    std::unique_ptr<brelka::PreviewPanelCore> core_;
};

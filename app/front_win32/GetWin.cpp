#include "GetWin.h"

#include <commctrl.h>

#include "ControlIds.h"
#include "Guard.h"
#include "Win32Look.h"
#include "Win32Text.h"

TGetWin* GetWin = nullptr;

namespace {

HWND Child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int id, int x, int y,
           int w, int h) {
    HWND hwnd = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                GetModuleHandleW(nullptr), nullptr);
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(brelka::WindowFont()), FALSE);
    return hwnd;
}

void RegisterPanelClass() {
    static const bool registered = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcW; // replaced per window
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = BRELKA_PANEL_CLASS;
        return RegisterClassExW(&wc) != 0;
    }();
    (void)registered;
}

} // namespace

TGetWin::TGetWin(HWND parent) : parent_(parent) {
    RegisterPanelClass();
    hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, BRELKA_PANEL_CLASS, L"GetWin", WS_CHILD, 0, 0,
                            kWidth, kHeight, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TGetWin::WndProc));

    Child(hwnd_, L"STATIC", L"", SS_ETCHEDFRAME, IDC_PANEL_BEVEL1, 8, 4, 393, 41);
    // The captions reserve the width of their values with trailing spaces.
    fsLabel_ = Child(hwnd_, L"STATIC", L"Sampling Rate :                     ", SS_LEFTNOWORDWRAP,
                     IDC_PANEL_FSLABEL, 16, 8, labelWidths_[0], 12);
    framesLabel_ = Child(hwnd_, L"STATIC", L"Sampling Frames :                 ", SS_LEFTNOWORDWRAP,
                         IDC_PANEL_FRAMESLABEL, 16, 24, labelWidths_[1], 12);
    bitLabel_ = Child(hwnd_, L"STATIC", L"Bits / Word :   ", SS_LEFTNOWORDWRAP, IDC_PANEL_BITLABEL,
                      196, 8, labelWidths_[2], 12);
    speaker_ = brelka::SpeakerBitmap(true);
    audBtn_ =
        Child(hwnd_, L"BUTTON", L"", BS_PUSHBUTTON | BS_BITMAP, IDC_PANEL_AUDBTN, 364, 12, 23, 22);
    SendMessageW(audBtn_, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(speaker_));
    SetWindowSubclass(audBtn_, &TGetWin::AudBtnProc, 1, reinterpret_cast<DWORD_PTR>(this));

    HWND tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, TTS_ALWAYSTIP, 0, 0, 0, 0,
                               hwnd_, nullptr, GetModuleHandleW(nullptr), nullptr);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(audBtn_);
    tool.lpszText = const_cast<wchar_t*>(L"Hear the Sound");
    SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));

    waveWindow_ = std::make_unique<brelka::Win32WaveWindow>(hwnd_);
    core_ = std::make_unique<brelka::PreviewPanelCore>(*this, *waveWindow_);
}

TGetWin::~TGetWin() {
    // The audition stops and frees its buffers while the window still takes its messages.
    core_.reset();
    waveWindow_.reset();
    DestroyWindow(hwnd_);
    DeleteObject(speaker_);
}

HWND TGetWin::Label(brelka::PanelLabel label) const {
    switch (label) {
    case brelka::PanelLabel::FsLabel:
        return fsLabel_;
    case brelka::PanelLabel::FramesLabel:
        return framesLabel_;
    case brelka::PanelLabel::BitLabel:
        return bitLabel_;
    }
    return nullptr;
}

void TGetWin::SetLabel(brelka::PanelLabel label, const std::string& text) {
    HWND hwnd = Label(label);
    const std::wstring wide = brelka::Wide(text);
    SetWindowTextW(hwnd, wide.c_str());
    // The label grows to show its whole text and never shrinks below its design width.
    HDC dc = GetDC(hwnd);
    HGDIOBJ old = SelectObject(dc, brelka::WindowFont());
    SIZE extent{};
    GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &extent);
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    const int designWidth = labelWidths_[static_cast<int>(label)];
    RECT r{};
    GetWindowRect(hwnd, &r);
    SetWindowPos(hwnd, nullptr, 0, 0, extent.cx > designWidth ? extent.cx : designWidth,
                 r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void TGetWin::Attach(HWND host, const RECT& place) {
    SetParent(hwnd_, host);
    Fit(place);
    ShowWindow(hwnd_, SW_SHOW);
}

void TGetWin::Fit(const RECT& place) {
    RECT r{};
    GetClientRect(GetParent(hwnd_), &r);
    const int room = r.right - place.left;
    SetWindowPos(hwnd_, HWND_TOP, place.left, place.top, room > kWidth ? room : kWidth, kHeight,
                 SWP_NOACTIVATE);
}

void TGetWin::Detach() {
    if (held_) {
        held_ = false;
        ReleaseCapture();
    }
    core_->Hidden();
    ShowWindow(hwnd_, SW_HIDE);
    SetParent(hwnd_, parent_);
}

LRESULT CALLBACK TGetWin::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TGetWin*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && self->core_ &&
        brelka::Guarded(
            hwnd,
            [&] {
                return brelka::DeliverWaveMessage(msg, static_cast<intptr_t>(lParam),
                                                  self->core_->AuditionListener());
            },
            true))
        return 0;
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// Any mouse button held on the button plays the selected file; its release stops it. The button
// shows itself down meanwhile, and the keyboard stays where it was (in the dialog's file list).
LRESULT CALLBACK TGetWin::AudBtnProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                     DWORD_PTR data) {
    auto* self = reinterpret_cast<TGetWin*>(data);
    return brelka::Guarded(
        hwnd, [&] { return self->AudBtnMessage(hwnd, msg, wParam, lParam); }, LRESULT{0});
}

LRESULT TGetWin::AudBtnMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
        if (!held_) {
            held_ = true;
            SetCapture(hwnd);
            SendMessageW(hwnd, BM_SETSTATE, TRUE, 0);
            core_->AudBtnMouseDown();
        }
        return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        if (held_) {
            held_ = false;
            if (GetCapture() == hwnd) ReleaseCapture();
            SendMessageW(hwnd, BM_SETSTATE, FALSE, 0);
            core_->AudBtnMouseUp();
        }
        return 0;
    case WM_CAPTURECHANGED:
        // Another window took the mouse (a dialog, the system): the button is no longer held.
        if (held_ && reinterpret_cast<HWND>(lParam) != hwnd) {
            held_ = false;
            SendMessageW(hwnd, BM_SETSTATE, FALSE, 0);
            core_->AudBtnMouseUp();
        }
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, &TGetWin::AudBtnProc, 1);
        break;
    default:
        break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

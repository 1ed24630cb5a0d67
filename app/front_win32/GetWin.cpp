#include "GetWin.h"

#include <commctrl.h>

#include "ControlIds.h"
#include "Guard.h"
#include "Win32Look.h"
#include "Win32Text.h"
#include "WindowLayout.h"

using brelka::layout::Kind;
using brelka::layout::PanelControl;
using brelka::layout::PanelPart;

namespace {

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

TGetWin::TGetWin(HWND parent) : parent_(parent), dpi_(brelka::WindowDpi(parent)) {
    RegisterPanelClass();
    const brelka::layout::Size size = brelka::layout::Scaled(brelka::layout::kPanelSize, dpi_);
    hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, BRELKA_PANEL_CLASS, L"GetWin", WS_CHILD, 0, 0,
                            size.width, size.height, parent, nullptr, GetModuleHandleW(nullptr),
                            nullptr);
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TGetWin::WndProc));
    for (const PanelControl& spec : brelka::layout::PanelControls())
        AddControl(spec);
    MakePicture();
    SetWindowSubclass(audBtn_, &TGetWin::AudBtnProc, 1, reinterpret_cast<DWORD_PTR>(this));

    waveWindow_ = std::make_unique<brelka::Win32WaveWindow>(hwnd_);
    core_ = std::make_unique<brelka::PreviewPanelCore>(*this, *waveWindow_);
}

void TGetWin::AddControl(const PanelControl& spec) {
    const wchar_t* cls = L"STATIC";
    DWORD style = 0;
    switch (spec.kind) {
    case Kind::Bevel:
        style = SS_ETCHEDFRAME;
        break;
    case Kind::Label:
        style = SS_LEFTNOWORDWRAP;
        break;
    case Kind::HoldSpeaker:
        cls = L"BUTTON";
        style = BS_PUSHBUTTON | BS_BITMAP;
        break;
    default:
        return; // the main window's kinds
    }
    const brelka::layout::Rect r = brelka::layout::Scaled(spec.place, dpi_);
    HWND c = CreateWindowExW(0, cls, brelka::Wide(spec.caption).c_str(),
                             WS_CHILD | WS_VISIBLE | style, r.left, r.top, r.width, r.height, hwnd_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(
                                 IDC_PANEL_BEVEL1 + static_cast<int>(spec.part))),
                             GetModuleHandleW(nullptr), nullptr);
    SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), FALSE);
    switch (spec.part) {
    case PanelPart::FsLabel:
        fsLabel_ = c;
        break;
    case PanelPart::FramesLabel:
        framesLabel_ = c;
        break;
    case PanelPart::BitLabel:
        bitLabel_ = c;
        break;
    case PanelPart::AudBtn:
        audBtn_ = c;
        break;
    default:
        break;
    }
    if (spec.toolTip) brelka::AddToolTip(tip_, hwnd_, c, spec.toolTip);
}

HFONT TGetWin::Font() const {
    return brelka::FormFont(brelka::layout::Font::Window, dpi_);
}

void TGetWin::MakePicture() {
    HBITMAP old = speaker_;
    speaker_ = brelka::SpeakerBitmap(true, dpi_);
    SendMessageW(audBtn_, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(speaker_));
    if (old) DeleteObject(old);
}

// The controls at dpi; the labels keep their texts and grow again to show them.
void TGetWin::Rescale(int dpi) {
    dpi_ = dpi;
    for (const PanelControl& spec : brelka::layout::PanelControls()) {
        HWND c = GetDlgItem(hwnd_, IDC_PANEL_BEVEL1 + static_cast<int>(spec.part));
        const brelka::layout::Rect r = brelka::layout::Scaled(spec.place, dpi_);
        SetWindowPos(c, nullptr, r.left, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), TRUE);
    }
    for (brelka::PanelLabel label : {brelka::PanelLabel::FsLabel, brelka::PanelLabel::FramesLabel,
                                     brelka::PanelLabel::BitLabel})
        SetLabel(label, brelka::WindowTextUtf8(Label(label)));
    MakePicture();
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
    HGDIOBJ old = SelectObject(dc, Font());
    SIZE extent{};
    GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &extent);
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    const int designWidth =
        brelka::layout::Scaled(brelka::layout::Spec(brelka::layout::PartOf(label)).place, dpi_)
            .width;
    RECT r{};
    GetWindowRect(hwnd, &r);
    SetWindowPos(hwnd, nullptr, 0, 0, extent.cx > designWidth ? extent.cx : designWidth,
                 r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void TGetWin::Attach(HWND host, const RECT& place) {
    SetParent(hwnd_, host);
    // The dialog opens on the window's monitor, which may have changed since.
    if (const int dpi = brelka::WindowDpi(host); dpi != dpi_) Rescale(dpi);
    Fit(place);
    ShowWindow(hwnd_, SW_SHOW);
}

void TGetWin::Fit(const RECT& place) {
    RECT r{};
    GetClientRect(GetParent(hwnd_), &r);
    const int room = r.right - place.left;
    const brelka::layout::Size size = brelka::layout::Scaled(brelka::layout::kPanelSize, dpi_);
    SetWindowPos(hwnd_, HWND_TOP, place.left, place.top, room > size.width ? room : size.width,
                 size.height, SWP_NOACTIVATE);
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

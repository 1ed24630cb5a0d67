#include "PressButton.h"

namespace brelka {

namespace {
bool Over(HWND button, LPARAM lParam) {
    RECT r{};
    GetClientRect(button, &r);
    const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    return PtInRect(&r, at) != FALSE;
}
} // namespace

Press PressWithoutFocus(HWND button, UINT msg, LPARAM lParam) {
    switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        SetCapture(button);
        SendMessageW(button, BM_SETSTATE, TRUE, 0);
        return Press::Handled;
    case WM_MOUSEMOVE:
        if (GetCapture() != button) return Press::None;
        SendMessageW(button, BM_SETSTATE, Over(button, lParam), 0);
        return Press::Handled;
    case WM_LBUTTONUP: {
        if (GetCapture() != button) return Press::Handled;
        const bool over = Over(button, lParam);
        ReleaseCapture();
        SendMessageW(button, BM_SETSTATE, FALSE, 0);
        return over ? Press::Clicked : Press::Handled;
    }
    case WM_CAPTURECHANGED:
        SendMessageW(button, BM_SETSTATE, FALSE, 0);
        return Press::None;
    default:
        return Press::None;
    }
}

} // namespace brelka

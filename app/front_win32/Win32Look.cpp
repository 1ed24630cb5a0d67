#include "Win32Look.h"

#include <commctrl.h>

#include <cwchar>
#include <initializer_list>
#include <string>

#include "Win32Text.h"

namespace brelka {

namespace {

int CALLBACK FaceFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool HasFace(const wchar_t* face) {
    LOGFONTW query{};
    query.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(query.lfFaceName, face, LF_FACESIZE - 1);
    bool found = false;
    HDC dc = GetDC(nullptr);
    EnumFontFamiliesExW(dc, &query, FaceFound, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, dc);
    return found;
}

HFONT MakeFont(int pixels, bool bold, bool italic) {
    return CreateFontW(-pixels, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, italic ? TRUE : FALSE, FALSE,
                       FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, WindowFontFace());
}

// A bitmap of the given size on the face colour, drawn by paint.
template <typename Paint> HBITMAP Picture(int width, int height, Paint paint) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all{0, 0, width, height};
    FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
    paint(dc);
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return bitmap;
}

void Shape(HDC dc, COLORREF edge, COLORREF fill, const POINT* points, int count) {
    HPEN pen = CreatePen(PS_SOLID, 1, edge);
    HBRUSH brush = CreateSolidBrush(fill);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    Polygon(dc, points, count);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(pen);
    DeleteObject(brush);
}

} // namespace

const wchar_t* WindowFontFace() {
    static const wchar_t* face = [] {
        for (const wchar_t* candidate :
             {L"MS Gothic", L"IPAGothic", L"VL Gothic", L"Noto Sans Mono CJK JP", L"Courier New"})
            if (HasFace(candidate)) return candidate;
        return L"MS Gothic"; // the font mapper's nearest
    }();
    return face;
}

HFONT WindowFont() {
    static HFONT font = MakeFont(12, false, false);
    return font;
}

HFONT JobButtonFont() {
    static HFONT font = MakeFont(16, true, true);
    return font;
}

HBITMAP FolderBitmap() {
    return Picture(20, 20, [](HDC dc) {
        const POINT tab[] = {{2, 5}, {7, 5}, {9, 7}, {17, 7}, {17, 16}, {2, 16}};
        Shape(dc, RGB(150, 110, 20), RGB(230, 185, 70), tab, 6);
        const POINT front[] = {{2, 16}, {4, 9}, {19, 9}, {17, 16}};
        Shape(dc, RGB(150, 110, 20), RGB(250, 215, 110), front, 4);
    });
}

HBITMAP SpeakerBitmap(bool enabled) {
    const COLORREF body = enabled ? RGB(32, 32, 32) : RGB(160, 160, 160);
    const COLORREF waves = enabled ? RGB(0, 64, 192) : RGB(176, 176, 176);
    return Picture(18, 18, [&](HDC dc) {
        const POINT box[] = {{2, 6}, {6, 6}, {6, 12}, {2, 12}};
        Shape(dc, body, body, box, 4);
        const POINT cone[] = {{6, 6}, {11, 2}, {11, 16}, {6, 12}};
        Shape(dc, body, body, cone, 4);
        HPEN pen = CreatePen(PS_SOLID, 1, waves);
        HGDIOBJ old = SelectObject(dc, pen);
        Arc(dc, 9, 5, 15, 13, 14, 13, 14, 5);
        Arc(dc, 8, 2, 18, 16, 16, 15, 16, 3);
        SelectObject(dc, old);
        DeleteObject(pen);
    });
}

void AddToolTip(HWND& tip, HWND owner, HWND control, const char* text) {
    if (!tip)
        tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, TTS_ALWAYSTIP, 0, 0, 0, 0,
                              owner, nullptr, GetModuleHandleW(nullptr), nullptr);
    std::wstring wide = Wide(text);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = owner;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = wide.data(); // copied by the tool tip
    SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

} // namespace brelka

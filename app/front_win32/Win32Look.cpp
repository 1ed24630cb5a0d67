#include "Win32Look.h"

#include <commctrl.h>

#include <cwchar>
#include <initializer_list>
#include <map>
#include <string>
#include <tuple>

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

// width 0: the face's own.
HFONT MakeFont(int pixels, bool bold, bool italic, int width = 0) {
    return CreateFontW(-pixels, width, 0, 0, bold ? FW_BOLD : FW_NORMAL, italic ? TRUE : FALSE,
                       FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, WindowFontFace());
}

// The fonts made so far, by size, weight, slant and width (0: the face's own).
HFONT KeptFont(const layout::FontSpec& spec, int width) {
    static std::map<std::tuple<int, bool, bool, int>, HFONT> fonts;
    HFONT& font = fonts[{spec.pixels, spec.bold, spec.italic, width}];
    if (!font) font = MakeFont(spec.pixels, spec.bold, spec.italic, width);
    return font;
}

layout::FontSpec SpecAt(layout::Font font, int dpi) {
    layout::FontSpec spec = layout::FontOf(font);
    spec.pixels = layout::Scaled(spec.pixels, dpi);
    return spec;
}

// The width and the average character width of text in font.
SIZE Extent(HFONT font, const wchar_t* text, int* average) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE extent{};
    GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &extent);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    *average = metrics.tmAveCharWidth;
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return extent;
}

// A bitmap of the design's size scaled to dpi on the face colour, drawn by paint in the
// design's coordinates.
template <typename Paint> HBITMAP Picture(layout::Size design, int dpi, Paint paint) {
    const layout::Size size = layout::Scaled(design, dpi);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, size.width, size.height);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all{0, 0, size.width, size.height};
    FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
    // At the design's scale the shapes are drawn as they are, pixel for pixel.
    if (dpi != layout::kDesignDpi) {
        SetGraphicsMode(dc, GM_ADVANCED);
        const auto factor = static_cast<FLOAT>(dpi) / layout::kDesignDpi;
        const XFORM scale{factor, 0, 0, factor, 0, 0};
        SetWorldTransform(dc, &scale);
    }
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

int WindowDpi(HWND hwnd) {
    using GetDpi = UINT(WINAPI*)(HWND);
    static const auto getDpi = reinterpret_cast<GetDpi>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpi && hwnd) {
        if (const UINT dpi = getDpi(hwnd)) return static_cast<int>(dpi);
    }
    HDC dc = GetDC(nullptr);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return dpi > 0 ? dpi : layout::kDesignDpi;
}

void SizeClientArea(HWND hwnd, layout::Size client) {
    RECT frame{}, inside{};
    GetWindowRect(hwnd, &frame);
    GetClientRect(hwnd, &inside);
    // The frame's edges and caption as the system draws them now.
    const int width = client.width + (frame.right - frame.left) - inside.right;
    const int height = client.height + (frame.bottom - frame.top) - inside.bottom;
    SetWindowPos(hwnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HFONT FormFont(layout::Font font, int dpi) {
    return KeptFont(SpecAt(font, dpi), 0);
}

HFONT FittedFont(layout::Font font, int dpi, const wchar_t* text, int room) {
    const layout::FontSpec spec = SpecAt(font, dpi);
    int average = 0;
    SIZE extent = Extent(KeptFont(spec, 0), text, &average);
    if (extent.cx <= room) return KeptFont(spec, 0);
    // Narrower by the share that is too much, then a pixel at a time until the text fits.
    int width = average * room / extent.cx;
    for (; width > 1; --width) {
        extent = Extent(KeptFont(spec, width), text, &average);
        if (extent.cx <= room) break;
    }
    return KeptFont(spec, width);
}

HBITMAP FolderBitmap(int dpi) {
    return Picture({20, 20}, dpi, [](HDC dc) {
        const POINT tab[] = {{2, 5}, {7, 5}, {9, 7}, {17, 7}, {17, 16}, {2, 16}};
        Shape(dc, RGB(150, 110, 20), RGB(230, 185, 70), tab, 6);
        const POINT front[] = {{2, 16}, {4, 9}, {19, 9}, {17, 16}};
        Shape(dc, RGB(150, 110, 20), RGB(250, 215, 110), front, 4);
    });
}

HBITMAP SpeakerBitmap(bool enabled, int dpi) {
    const COLORREF body = enabled ? RGB(32, 32, 32) : RGB(160, 160, 160);
    const COLORREF waves = enabled ? RGB(0, 64, 192) : RGB(176, 176, 176);
    return Picture(layout::kSpeakerIconSize, dpi, [&](HDC dc) {
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

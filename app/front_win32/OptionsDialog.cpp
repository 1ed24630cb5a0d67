#include "OptionsDialog.h"

#include "ControlIds.h"
#include "Guard.h"
#include "Win32Look.h"
#include "Win32Text.h"
#include "WindowLayout.h"

namespace brelka {

namespace {

struct Dialog {
    ImportOptionsForm* form;
    int dpi;
};

enum class Piece { Check, Radio, FirstRadio, Field, Unit, Note, Button, DefaultButton };

struct Item {
    int id;
    Piece piece;
    layout::Rect place; // 96-DPI pixels in the client area
    const char* caption;
};

// The rows top to bottom: a check box or radio button, its field and the field's unit.
constexpr int kCheckWidth = 210, kFieldLeft = 228, kFieldWidth = 56, kUnitLeft = 290;
constexpr layout::Size kClient{344, 270};

Item Items(int index) {
    const layout::OptionsTexts& t = layout::kOptionsTexts;
    const Item items[] = {
        {IDC_OPT_TRIM, Piece::Check, {12, 12, kCheckWidth, 20}, t.trim},
        {IDC_OPT_TRIMDB, Piece::Field, {kFieldLeft, 12, kFieldWidth, 20}, ""},
        {0, Piece::Unit, {kUnitLeft, 15, 44, 16}, t.dbfs},
        {IDC_OPT_KEEP, Piece::FirstRadio, {12, 44, kCheckWidth, 20}, t.normalizeOff},
        {IDC_OPT_EACH, Piece::Radio, {12, 66, kCheckWidth, 20}, t.normalizeEach},
        {IDC_OPT_KIT, Piece::Radio, {12, 88, kCheckWidth, 20}, t.normalizeKit},
        // One level for both ways of normalizing, between their rows.
        {IDC_OPT_NORMALIZEDB, Piece::Field, {kFieldLeft, 77, kFieldWidth, 20}, ""},
        {0, Piece::Unit, {kUnitLeft, 80, 44, 16}, t.dbfs},
        {IDC_OPT_FADEIN, Piece::Check, {12, 120, kCheckWidth, 20}, t.fadeIn},
        {IDC_OPT_FADEINMS, Piece::Field, {kFieldLeft, 120, kFieldWidth, 20}, ""},
        {0, Piece::Unit, {kUnitLeft, 123, 44, 16}, t.ms},
        {IDC_OPT_FADEOUT, Piece::Check, {12, 146, kCheckWidth, 20}, t.fadeOut},
        {IDC_OPT_FADEOUTMS, Piece::Field, {kFieldLeft, 146, kFieldWidth, 20}, ""},
        {0, Piece::Unit, {kUnitLeft, 149, 44, 16}, t.ms},
        {IDC_OPT_DITHER, Piece::Check, {12, 172, kCheckWidth + 100, 20}, t.dither},
        {IDC_OPT_NOTE, Piece::Note, {12, 202, 320, 28}, t.note},
        {IDOK, Piece::DefaultButton, {176, 236, 76, 24}, "OK"},
        {IDCANCEL, Piece::Button, {256, 236, 76, 24}, "Cancel"},
    };
    constexpr int count = sizeof items / sizeof items[0];
    return index < count ? items[index] : Item{-1, Piece::Note, {}, nullptr};
}

void Make(HWND dlg, const Item& item, int dpi) {
    const wchar_t* cls = L"BUTTON";
    DWORD style = WS_CHILD | WS_VISIBLE, ex = 0;
    switch (item.piece) {
    case Piece::Check:
        style |= BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP;
        break;
    case Piece::FirstRadio:
        style |= BS_AUTORADIOBUTTON | WS_TABSTOP | WS_GROUP;
        break;
    case Piece::Radio:
        style |= BS_AUTORADIOBUTTON;
        break;
    case Piece::Field:
        cls = L"EDIT";
        style |= ES_AUTOHSCROLL | WS_TABSTOP | WS_GROUP;
        ex = WS_EX_CLIENTEDGE;
        break;
    case Piece::Unit:
    case Piece::Note:
        cls = L"STATIC";
        style |= SS_NOPREFIX | WS_GROUP;
        break;
    case Piece::Button:
        style |= BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP;
        break;
    case Piece::DefaultButton:
        style |= BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP;
        break;
    }
    const layout::Rect r = layout::Scaled(item.place, dpi);
    HWND c = CreateWindowExW(
        ex, cls, Wide(item.caption).c_str(), style, r.left, r.top, r.width, r.height, dlg,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(item.id > 0 ? item.id : 0xFFFF)),
        GetModuleHandleW(nullptr), nullptr);
    SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(FormFont(layout::Font::Window, dpi)),
                 FALSE);
}

void SetCheck(HWND dlg, int id, bool on) {
    CheckDlgButton(dlg, id, on ? BST_CHECKED : BST_UNCHECKED);
}

bool IsOn(HWND dlg, int id) {
    return IsDlgButtonChecked(dlg, id) == BST_CHECKED;
}

void Fill(HWND dlg, const ImportOptionsForm& form) {
    SetCheck(dlg, IDC_OPT_TRIM, form.trim);
    SetWindowTextUtf8(GetDlgItem(dlg, IDC_OPT_TRIMDB), form.trimDb);
    SetCheck(dlg, IDC_OPT_KEEP + (form.normalize >= 0 && form.normalize <= 2 ? form.normalize : 0),
             true);
    SetWindowTextUtf8(GetDlgItem(dlg, IDC_OPT_NORMALIZEDB), form.normalizeDb);
    SetCheck(dlg, IDC_OPT_FADEIN, form.fadeIn);
    SetWindowTextUtf8(GetDlgItem(dlg, IDC_OPT_FADEINMS), form.fadeInMs);
    SetCheck(dlg, IDC_OPT_FADEOUT, form.fadeOut);
    SetWindowTextUtf8(GetDlgItem(dlg, IDC_OPT_FADEOUTMS), form.fadeOutMs);
    SetCheck(dlg, IDC_OPT_DITHER, form.dither);
}

void Read(HWND dlg, ImportOptionsForm& form) {
    form.trim = IsOn(dlg, IDC_OPT_TRIM);
    form.trimDb = WindowTextUtf8(GetDlgItem(dlg, IDC_OPT_TRIMDB));
    form.normalize = IsOn(dlg, IDC_OPT_KIT) ? 2 : IsOn(dlg, IDC_OPT_EACH) ? 1 : 0;
    form.normalizeDb = WindowTextUtf8(GetDlgItem(dlg, IDC_OPT_NORMALIZEDB));
    form.fadeIn = IsOn(dlg, IDC_OPT_FADEIN);
    form.fadeInMs = WindowTextUtf8(GetDlgItem(dlg, IDC_OPT_FADEINMS));
    form.fadeOut = IsOn(dlg, IDC_OPT_FADEOUT);
    form.fadeOutMs = WindowTextUtf8(GetDlgItem(dlg, IDC_OPT_FADEOUTMS));
    form.dither = IsOn(dlg, IDC_OPT_DITHER);
}

void Start(HWND dlg, Dialog& d) {
    SetWindowLongPtrW(dlg, DWLP_USER, reinterpret_cast<LONG_PTR>(&d));
    SetWindowTextUtf8(dlg, layout::kImportOptionsCaption);
    for (int i = 0; Items(i).id >= 0; ++i)
        Make(dlg, Items(i), d.dpi);
    Fill(dlg, *d.form);
    // Centred over the owner, its client area the form's.
    SizeClientArea(dlg, layout::Scaled(kClient, d.dpi));
    RECT owner{}, self{};
    GetWindowRect(GetWindow(dlg, GW_OWNER), &owner);
    GetWindowRect(dlg, &self);
    const int w = self.right - self.left, h = self.bottom - self.top;
    SetWindowPos(dlg, nullptr, owner.left + (owner.right - owner.left - w) / 2,
                 owner.top + (owner.bottom - owner.top - h) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR DialogMessage(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* d = reinterpret_cast<Dialog*>(GetWindowLongPtrW(dlg, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG:
        Start(dlg, *reinterpret_cast<Dialog*>(lParam));
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK && d) {
            Read(dlg, *d->form);
            EndDialog(dlg, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dlg, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK DialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    return Guarded(
        dlg, [&] { return DialogMessage(dlg, msg, wParam, lParam); }, INT_PTR{FALSE});
}

} // namespace

bool EditImportOptionsDialog(HWND owner, ImportOptionsForm& form) {
    // A template without controls: they are made at the owner's scale when the dialog starts.
    struct alignas(4) Template {
        DLGTEMPLATE dialog;
        WORD menu, windowClass, title;
    } tpl{};
    tpl.dialog.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    tpl.dialog.cx = 200;
    tpl.dialog.cy = 150;
    Dialog d{&form, WindowDpi(owner)};
    return DialogBoxIndirectParamW(GetModuleHandleW(nullptr), &tpl.dialog, owner, DialogProc,
                                   reinterpret_cast<LPARAM>(&d)) == IDOK;
}

} // namespace brelka

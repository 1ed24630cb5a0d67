#include "MainWin.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <vector>

#include "CardMenu.h"
#include "CardWin.h"
#include "ControlIds.h"
#include "Dialogs.h"
#include "FileDrop.h"
#include "GetWin.h"
#include "Guard.h"
#include "OptionsDialog.h"
#include "PressButton.h"
#include "Version.h"
#include "Win32Look.h"
#include "Win32Text.h"
#include "WindowLayout.h"

using brelka::Control;
using brelka::layout::Kind;
using brelka::layout::MainControl;
using brelka::layout::Part;
using brelka::layout::PartIndex;

namespace {

constexpr UINT kSrcEditClicked = WM_APP + 1; // posted: the folder field was clicked
constexpr UINT kFilesDropped = WM_APP + 2;   // posted: files were dropped onto the window

int Index(Control control) {
    return static_cast<int>(control);
}

// The identifiers follow the parts' order.
int PartId(Part part) {
    return IDC_SRCEDIT + PartIndex(part);
}

// The first row of the form with the same parent among the radio buttons, or among the
// controls outside the tab order.
bool FirstOfItsGroup(const MainControl& spec) {
    for (const MainControl& c : brelka::layout::MainControls()) {
        const bool sameGroup = spec.kind == Kind::RadioButton
                                   ? c.kind == Kind::RadioButton && c.parent == spec.parent
                                   : !c.inTabOrder;
        if (sameGroup) return c.part == spec.part;
    }
    return false;
}

constexpr Part kImportItems[3] = {Part::ImportL, Part::ImportR, Part::ImportMix};

bool IsQuality(Control control) {
    return control >= Control::RsSimple && control <= Control::RsUHeavy;
}

constexpr DWORD kPathChars = 32768;

// Where the open dialog put the panel's place holder, in the template's client coordinates.
RECT PanelPlace(HWND dlg) {
    RECT r{0, 0, 0, 0};
    if (HWND place = GetDlgItem(dlg, IDC_PANEL_PLACE)) {
        GetWindowRect(place, &r);
        MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&r), 2);
    }
    return r;
}

// The program's icon in the caption, the taskbar and Alt+Tab, at the sizes the system shows.
void ShowProgramIcon(HWND window) {
    const struct {
        WPARAM which;
        int metric;
    } icons[] = {{ICON_BIG, SM_CXICON}, {ICON_SMALL, SM_CXSMICON}};
    for (const auto& i : icons) {
        const int size = GetSystemMetrics(i.metric);
        // Shared: the system frees it with the program.
        HANDLE icon = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_BRELKA),
                                 IMAGE_ICON, size, size, LR_SHARED);
        if (icon) SendMessageW(window, WM_SETICON, i.which, reinterpret_cast<LPARAM>(icon));
    }
}

} // namespace

TMainWin::TMainWin() {
    Build();
    ShowProgramIcon(hwnd_);
    // "Hear the Sound" leaves the keyboard where it is when it is clicked.
    SetWindowSubclass(Ctl(Control::AudBtn), &TMainWin::ControlProc, 3,
                      reinterpret_cast<DWORD_PTR>(this));
    waveWindow_ = std::make_unique<brelka::Win32WaveWindow>(hwnd_);
    core_ = std::make_unique<brelka::MainWindowCore>(*this, *waveWindow_);
    drop_ = std::make_unique<brelka::FileDrop>(hwnd_, hwnd_, kFilesDropped);
}

TMainWin::~TMainWin() {
    // The card view goes first: its behaviour works over the window's. The audition stops and
    // the engine is released while the window still takes messages.
    card_.reset();
    drop_.reset();
    core_.reset();
    waveWindow_.reset();
    DestroyWindow(hwnd_);
    for (HBITMAP b : {folder_, speakerOn_, speakerOff_})
        DeleteObject(b);
}

void TMainWin::Build() {
    BuildFrame();
    for (const MainControl& spec : brelka::layout::MainControls())
        AddControl(spec);
    FinishControls();
    TabStopsFollowChecks();
}

void TMainWin::BuildFrame() {
    INITCOMMONCONTROLSEX icc{sizeof(icc),
                             ICC_PROGRESS_CLASS | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &TMainWin::WndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = BRELKA_MAIN_CLASS;
    RegisterClassExW(&wc);

    caption_ = brelka::layout::WindowCaption(platform::VersionString("ProductName"),
                                             platform::VersionString("FileVersion"));
    // Fixed size: no sizing frame, no maximize box.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    const DWORD exStyle = WS_EX_CONTROLPARENT;
    // The menu bar lies above the client area, which keeps the form's size.
    RECT frame{0, 0, brelka::layout::kWindowSize.width, brelka::layout::kWindowSize.height};
    AdjustWindowRectEx(&frame, style, TRUE, exStyle);
    hwnd_ = CreateWindowExW(exStyle, BRELKA_MAIN_CLASS, brelka::Wide(caption_).c_str(), style,
                            CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                            frame.bottom - frame.top, nullptr, brelka::MakeCardMenuBar(), instance,
                            this);
    // The form is made at the scale of the monitor the window opened on; the frame is sized
    // around it as the system draws the frame and the menu bar.
    dpi_ = brelka::WindowDpi(hwnd_);
    brelka::SizeClientArea(hwnd_, brelka::layout::Scaled(brelka::layout::kWindowSize, dpi_));
}

RECT TMainWin::PlaceAtDpi(const MainControl& spec) const {
    const brelka::layout::Rect r = brelka::layout::WindowPlace(spec, dpi_);
    const int height =
        spec.listHeight > 0 ? brelka::layout::Scaled(spec.listHeight, dpi_) : r.height;
    return {r.left, r.top, r.width, height};
}

HFONT TMainWin::FontAtDpi(const MainControl& spec) const {
    // A label of fixed size keeps its place: its font narrows instead when its caption, its
    // longest text, is wider than the place in this system's face.
    if (spec.kind == Kind::Label)
        return brelka::FittedFont(spec.font, dpi_, brelka::Wide(spec.caption).c_str(),
                                  brelka::layout::WindowPlace(spec, dpi_).width);
    return brelka::FormFont(spec.font, dpi_);
}

// Everything of the form that depends on the scale, again at dpi: places, fonts, pictures
// and the frame (at suggested, the system's choice, when it has one).
void TMainWin::Rescale(int dpi, const RECT* suggested) {
    dpi_ = dpi;
    for (const MainControl& spec : brelka::layout::MainControls()) {
        HWND c = Hwnd(spec.part);
        const RECT r = PlaceAtDpi(spec);
        SetWindowPos(c, nullptr, r.left, r.top, r.right, r.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(FontAtDpi(spec)), TRUE);
    }
    MakePictures();
    if (suggested)
        SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    // The frame the system offers may be off by its rounding: the client area is the form's.
    brelka::SizeClientArea(hwnd_, brelka::layout::Scaled(brelka::layout::kWindowSize, dpi_));
    InvalidateRect(hwnd_, nullptr, TRUE);
}

// The folder and speaker pictures at the window's scale, in place of those before.
void TMainWin::MakePictures() {
    HBITMAP old[] = {folder_, speakerOn_, speakerOff_};
    folder_ = brelka::FolderBitmap(dpi_);
    SendMessageW(Hwnd(Part::Image), STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(folder_));
    speakerOn_ = brelka::SpeakerBitmap(true, dpi_);
    speakerOff_ = brelka::SpeakerBitmap(false, dpi_);
    const bool on = enabled_[Index(Control::AudBtn)];
    SendMessageW(Ctl(Control::AudBtn), BM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(on ? speakerOn_ : speakerOff_));
    for (HBITMAP b : old)
        if (b) DeleteObject(b);
}

// The window's class and styles for a control of the form. Every control of the tab order
// starts a group of its own but for the radio buttons after the first of their group box;
// the controls outside the tab order make one group, and only the first button of a radio
// group and the controls that take typing or clicks are tab stops.
void TMainWin::AddControl(const MainControl& spec) {
    const bool firstRadio = spec.kind == Kind::RadioButton && FirstOfItsGroup(spec);
    const bool group =
        spec.inTabOrder ? spec.kind != Kind::RadioButton || firstRadio : FirstOfItsGroup(spec);
    const wchar_t* cls = L"BUTTON";
    DWORD style = 0, ex = 0;
    bool tabStop = spec.inTabOrder;
    switch (spec.kind) {
    case Kind::PushButton:
        style = BS_PUSHBUTTON;
        break;
    case Kind::FolderEdit:
        cls = L"EDIT";
        style = ES_READONLY | ES_AUTOHSCROLL;
        ex = WS_EX_CLIENTEDGE;
        break;
    case Kind::GroupBox:
        style = BS_GROUPBOX;
        tabStop = false;
        break;
    case Kind::RadioButton:
        style = BS_AUTORADIOBUTTON;
        tabStop = firstRadio;
        break;
    case Kind::SunkenLabel:
        cls = L"STATIC";
        style = SS_LEFTNOWORDWRAP | SS_SUNKEN | SS_CENTERIMAGE | SS_NOPREFIX;
        tabStop = false;
        break;
    case Kind::CheckBox:
        style = BS_AUTOCHECKBOX;
        break;
    case Kind::SlotCombo:
        cls = L"COMBOBOX";
        style = WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL;
        break;
    case Kind::Picture:
        cls = L"STATIC";
        style = SS_BITMAP;
        break;
    case Kind::Label:
        cls = L"STATIC";
        style = SS_LEFTNOWORDWRAP;
        break;
    case Kind::ToggleSpeaker:
        style = BS_AUTOCHECKBOX | BS_PUSHLIKE | BS_BITMAP;
        break;
    case Kind::HoldSpeaker:
        style = BS_PUSHBUTTON | BS_BITMAP;
        break;
    case Kind::Gauge:
        cls = PROGRESS_CLASSW;
        break;
    case Kind::Bevel:
        cls = L"STATIC";
        style = SS_ETCHEDFRAME;
        break;
    }
    if (group) style |= WS_GROUP;
    if (tabStop) style |= WS_TABSTOP;

    // The radio buttons are the window's own children, laid over their group box.
    const RECT r = PlaceAtDpi(spec);
    // A combo takes its text once it is made.
    const std::wstring caption = spec.kind == Kind::SlotCombo ? L"" : brelka::Wide(spec.caption);
    HWND c = CreateWindowExW(ex, cls, caption.c_str(), WS_CHILD | WS_VISIBLE | style, r.left, r.top,
                             r.right, r.bottom, hwnd_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(PartId(spec.part))),
                             GetModuleHandleW(nullptr), nullptr);
    SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(FontAtDpi(spec)), FALSE);
    if (spec.kind == Kind::SlotCombo) brelka::SetWindowTextUtf8(c, spec.caption);
    if (spec.checked) SendMessageW(c, BM_SETCHECK, BST_CHECKED, 0);
    if (spec.toolTip) brelka::AddToolTip(tip_, hwnd_, c, spec.toolTip);
    parts_[PartIndex(spec.part)] = c;
}

// The pictures, the gauge's range and painting, the folder field's clicks and focus, and the
// conversion group's caption gap.
void TMainWin::FinishControls() {
    // The controls start enabled; the behaviour sets their states from the form.
    for (bool& on : enabled_)
        on = true;
    MakePictures();
    HWND gauge = Hwnd(Part::Gauge);
    SendMessageW(gauge, PBM_SETRANGE32, 0, 100);
    SendMessageW(gauge, PBM_SETPOS, 0, 0);
    SetWindowSubclass(gauge, &TMainWin::GaugeProc, 1, reinterpret_cast<DWORD_PTR>(this));
    SetWindowSubclass(Ctl(Control::SrcEdit), &TMainWin::ControlProc, 1,
                      reinterpret_cast<DWORD_PTR>(this));
    SetWindowSubclass(Ctl(Control::ConvGroup), &TMainWin::ControlProc, 2,
                      reinterpret_cast<DWORD_PTR>(this));
}

void TMainWin::SetPreviewPanel(TGetWin* panel) {
    panel_ = panel;
    core_->SetPreviewPanel(panel ? &panel->Core() : nullptr);
}

void TMainWin::Show(int how) {
    ShowWindow(hwnd_, how);
    UpdateWindow(hwnd_);
    // The keyboard starts at the first control of the tab order that takes it.
    if (HWND first = GetNextDlgTabItem(hwnd_, nullptr, FALSE)) SetFocus(first);
}

HWND TMainWin::Ctl(Control control) const {
    return parts_[PartIndex(brelka::layout::PartOf(control))];
}

HWND TMainWin::Hwnd(Part part) const {
    return parts_[PartIndex(part)];
}

// A radio button inside a group box is usable only while both it and its group are enabled;
// each keeps its own state for when the group comes back.
void TMainWin::ApplyEnabled(Control control) {
    if (control == Control::ConvGroup) {
        EnableWindow(Ctl(control), enabled_[Index(control)]);
        for (Control q : {Control::RsSimple, Control::RsLight, Control::RsMedium, Control::RsHeavy,
                          Control::RsUHeavy})
            ApplyEnabled(q);
        return;
    }
    if (control == Control::ImportRadio) {
        const bool on = enabled_[Index(control)];
        EnableWindow(Ctl(control), on);
        for (Part item : kImportItems)
            EnableWindow(Hwnd(item), on);
        return;
    }
    bool on = enabled_[Index(control)];
    if (IsQuality(control)) on = on && enabled_[Index(Control::ConvGroup)];
    HWND hwnd = Ctl(control);
    if (!hwnd) return;
    if (!on && GetFocus() == hwnd) SetFocus(hwnd_);
    EnableWindow(hwnd, on);
    if (control == Control::AudBtn)
        SendMessageW(hwnd, BM_SETIMAGE, IMAGE_BITMAP,
                     reinterpret_cast<LPARAM>(on ? speakerOn_ : speakerOff_));
}

void TMainWin::FocusControl(Control control) {
    if (HWND hwnd = Ctl(control)) SetFocus(hwnd);
}

void TMainWin::SetEnabled(Control control, bool on) {
    if (enabled_[Index(control)] == on) return;
    enabled_[Index(control)] = on;
    ApplyEnabled(control);
}

bool TMainWin::IsChecked(Control control) const {
    return SendMessageW(Ctl(control), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TMainWin::SetChecked(Control control, bool on) {
    // The quality buttons are one choice: checking one clears the others.
    if (on && IsQuality(control))
        for (Control q : {Control::RsSimple, Control::RsLight, Control::RsMedium, Control::RsHeavy,
                          Control::RsUHeavy})
            if (q != control) SendMessageW(Ctl(q), BM_SETCHECK, BST_UNCHECKED, 0);
    SendMessageW(Ctl(control), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

std::string TMainWin::Text(Control control) const {
    return brelka::WindowTextUtf8(Ctl(control));
}

void TMainWin::SetText(Control control, const std::string& text) {
    ++quietCombo_;
    brelka::SetWindowTextUtf8(Ctl(control), text);
    --quietCombo_;
    if (control == Control::SrcEdit) SendMessageW(Ctl(control), EM_SETSEL, 0, 0);
}

int TMainWin::ImportRadioIndex() const {
    for (int i = 0; i < 3; ++i)
        if (SendMessageW(Hwnd(kImportItems[i]), BM_GETCHECK, 0, 0) == BST_CHECKED) return i;
    return -1;
}

void TMainWin::SetGauge(int percent) {
    SendMessageW(Hwnd(Part::Gauge), PBM_SETPOS, static_cast<WPARAM>(std::clamp(percent, 0, 100)),
                 0);
}

void TMainWin::ClearSlotItems() {
    ++quietCombo_;
    SendMessageW(Ctl(Control::SampleList), CB_RESETCONTENT, 0, 0);
    SetWindowTextW(Ctl(Control::SampleList), L"");
    --quietCombo_;
}

void TMainWin::AddSlotItem(const std::string& text) {
    ++quietCombo_;
    const std::wstring wide = brelka::Wide(text);
    SendMessageW(Ctl(Control::SampleList), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    --quietCombo_;
}

int TMainWin::SlotItemCount() const {
    return static_cast<int>(SendMessageW(Ctl(Control::SampleList), CB_GETCOUNT, 0, 0));
}

std::string TMainWin::SlotItem(int index) const {
    HWND combo = Ctl(Control::SampleList);
    const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length));
    return brelka::Utf8(text);
}

void TMainWin::SelectSlotItem(int index) {
    HWND combo = Ctl(Control::SampleList);
    ++quietCombo_;
    if (index < 0) {
        // The system empties the edit text with the selection; this keeps it.
        const std::string text = brelka::WindowTextUtf8(combo);
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        brelka::SetWindowTextUtf8(combo, text);
    } else {
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
    --quietCombo_;
}

bool TMainWin::ChooseFolder(std::string& folder) {
    return brelka::PickFolder(hwnd_, "", "", folder);
}

bool TMainWin::ChooseOtherFolder(const std::string& title, std::string& folder) {
    return brelka::PickFolder(ActiveOwner(), title, folder, folder);
}

UINT_PTR CALLBACK TMainWin::OpenDialogHook(HWND dlg, UINT msg, WPARAM, LPARAM lParam) {
    return brelka::Guarded(
        dlg, [&] { return OpenDialogMessage(dlg, msg, lParam); }, UINT_PTR{0});
}

UINT_PTR TMainWin::OpenDialogMessage(HWND dlg, UINT msg, LPARAM lParam) {
    auto* self = reinterpret_cast<TMainWin*>(GetWindowLongPtrW(dlg, GWLP_USERDATA));
    switch (msg) {
    case WM_INITDIALOG:
        self = reinterpret_cast<TMainWin*>(reinterpret_cast<OPENFILENAMEW*>(lParam)->lCustData);
        SetWindowLongPtrW(dlg, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        // FALSE: the dialog puts the keyboard in its "File name" field, as it does without a
        // panel (TRUE would give it to the first control the dialog has below its list).
        return FALSE;
    case WM_SIZE:
        if (self && self->panel_ && GetParent(self->panel_->Handle()) == dlg)
            self->panel_->Fit(PanelPlace(dlg));
        return 0;
    case WM_NOTIFY: {
        const auto* note = reinterpret_cast<const OFNOTIFYW*>(lParam);
        if (!self) return 0;
        if (note->hdr.code == CDN_INITDONE && self->panel_) {
            // The dialog has laid out its controls and the panel's place below them.
            self->panel_->Attach(dlg, PanelPlace(dlg));
        } else if (note->hdr.code == CDN_SELCHANGE) {
            std::vector<wchar_t> path(kPathChars, L'\0');
            const LRESULT n = SendMessageW(GetParent(dlg), CDM_GETFILEPATH, kPathChars,
                                           reinterpret_cast<LPARAM>(path.data()));
            if (n > 0) self->core_->OpenDialogSelectionChange(brelka::Utf8(path.data()));
        }
        return 0;
    }
    case WM_DESTROY:
        // The panel goes back to the window before the dialog takes its children away.
        if (self && self->panel_) self->panel_->Detach();
        return 0;
    default:
        return 0;
    }
}

bool TMainWin::ChooseImportFile(std::string& path) {
    std::vector<wchar_t> file(kPathChars, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = hwnd_;
    ofn.hInstance = GetModuleHandleW(nullptr);
    const std::wstring filter = brelka::FilterList(brelka::layout::OpenFilters());
    const std::wstring extension = brelka::Wide(brelka::layout::kDefaultExtension);
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = kPathChars;
    ofn.lpstrDefExt = extension.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY |
                OFN_ENABLESIZING | OFN_NOCHANGEDIR;
    if (panel_) {
        ofn.Flags |= OFN_ENABLEHOOK | OFN_ENABLETEMPLATE;
        ofn.lpfnHook = &TMainWin::OpenDialogHook;
        ofn.lpTemplateName = MAKEINTRESOURCEW(IDD_OPEN_PANEL);
        ofn.lCustData = reinterpret_cast<LPARAM>(this);
    }
    const bool chosen = GetOpenFileNameW(&ofn) != FALSE;
    if (panel_ && GetParent(panel_->Handle()) != hwnd_) panel_->Detach();
    if (!chosen) return false;
    path = brelka::Utf8(file.data());
    return !path.empty();
}

bool TMainWin::ChooseExportFile(const std::string& lastName, std::string& path) {
    return brelka::PickSaveFile(hwnd_, lastName, path);
}

void TMainWin::ShowMessage(const std::string& text) {
    brelka::TellUser(hwnd_, text);
}

bool TMainWin::AskYesNo(const std::string& text) {
    return brelka::AskUser(ActiveOwner(), text);
}

HWND TMainWin::ActiveOwner() const {
    return card_ && GetActiveWindow() == card_->Handle() ? card_->Handle() : hwnd_;
}

void TMainWin::ShowCardView() {
    if (!card_) card_ = std::make_unique<TCardWin>(hwnd_, *core_);
    card_->Raise();
}

bool TMainWin::EditImportOptions(brelka::ImportOptionsForm& form) {
    return brelka::EditImportOptionsDialog(ActiveOwner(), form);
}

void TMainWin::SetMenuItem(brelka::CardMenuItem item, const std::string& text, bool enabled) {
    brelka::SetCardMenuItem(GetMenu(hwnd_), item, text, enabled);
}

void TMainWin::SetWaitCursor(bool on) {
    waitCursor_ = on;
    SetCursor(LoadCursorW(nullptr, on ? IDC_WAIT : IDC_ARROW));
}

void TMainWin::RunPendingEvents() {
    MSG msg;
    while (!quit_ && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        if (!Dispatch(msg)) break;
}

bool TMainWin::Dispatch(MSG& msg) {
    if (msg.message == WM_QUIT) {
        quit_ = true;
        exitCode_ = static_cast<int>(msg.wParam);
        return false;
    }
    if (card_ && card_->PreTranslate(msg)) return true;
    if ((msg.hwnd == hwnd_ || IsChild(hwnd_, msg.hwnd)) &&
        TranslateAcceleratorW(hwnd_, brelka::CardAccelerators(), &msg))
        return true;
    if (NavigationKey(msg)) return true;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return true;
}

bool TMainWin::NavigationKey(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd))) return false;
    HWND focus = GetFocus();
    // The combo's list, while it is open, keeps its own keys.
    if (SendMessageW(Ctl(Control::SampleList), CB_GETDROPPEDSTATE, 0, 0)) return false;
    if (msg.wParam == VK_TAB) {
        const bool back = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
        HWND from = focus && IsChild(hwnd_, focus) ? focus : nullptr;
        // The combo's edit field stands for the combo.
        if (from && GetParent(from) == Ctl(Control::SampleList)) from = Ctl(Control::SampleList);
        HWND next = GetNextDlgTabItem(hwnd_, from, back);
        if (next) SetFocus(next);
        return true;
    }
    const bool arrow = msg.wParam == VK_LEFT || msg.wParam == VK_RIGHT || msg.wParam == VK_UP ||
                       msg.wParam == VK_DOWN;
    if (arrow && focus && GetParent(focus) == hwnd_ &&
        (GetWindowLongW(focus, GWL_STYLE) & BS_TYPEMASK) == BS_AUTORADIOBUTTON) {
        wchar_t cls[16] = {};
        GetClassNameW(focus, cls, 16);
        if (lstrcmpiW(cls, L"BUTTON") != 0) return false;
        const bool back = msg.wParam == VK_LEFT || msg.wParam == VK_UP;
        HWND next = GetNextDlgGroupItem(hwnd_, focus, back);
        if (next && next != focus) {
            SetFocus(next);
            SendMessageW(next, BM_CLICK, 0, 0);
        }
        return true;
    }
    return false;
}

// Tab enters a group of radio buttons at its checked one: that one alone is the group's tab stop.
void TMainWin::TabStopsFollowChecks() {
    auto follow = [](HWND const* group, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            const LONG style = GetWindowLongW(group[i], GWL_STYLE);
            const bool checked = SendMessageW(group[i], BM_GETCHECK, 0, 0) == BST_CHECKED;
            const LONG wanted = checked ? style | WS_TABSTOP : style & ~WS_TABSTOP;
            if (wanted != style) SetWindowLongW(group[i], GWL_STYLE, wanted);
        }
    };
    const HWND items[3] = {Hwnd(Part::ImportL), Hwnd(Part::ImportR), Hwnd(Part::ImportMix)};
    follow(items, 3);
    const HWND qualities[5] = {Ctl(Control::RsSimple), Ctl(Control::RsLight),
                               Ctl(Control::RsMedium), Ctl(Control::RsHeavy),
                               Ctl(Control::RsUHeavy)};
    follow(qualities, 5);
}

void TMainWin::Idle() {
    core_->AppEventsIdle();
    TabStopsFollowChecks();
}

void TMainWin::CloseWindow() {
    PostMessageW(hwnd_, WM_CLOSE, 0, 0);
}

int TMainWin::RunMessageLoop() {
    MSG msg;
    while (!quit_) {
        // Everything waiting is handled first; the enable rules follow once the queue is empty.
        while (!quit_ && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            Dispatch(msg);
        if (quit_) break;
        Idle();
        if (!quit_ && !PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) WaitMessage();
    }
    return exitCode_;
}

void TMainWin::Command(int id, int code) {
    switch (id) {
    case IDC_SAMPLELIST:
        if (quietCombo_ > 0) return;
        if (code == CBN_EDITCHANGE) {
            core_->SampleListChange();
        } else if (code == CBN_SELCHANGE || code == CBN_SELENDOK) {
            // The edit field shows the picked item before the handler reads it.
            HWND combo = Ctl(Control::SampleList);
            const LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
            if (index == CB_ERR) return;
            const std::string item = SlotItem(static_cast<int>(index));
            ++quietCombo_;
            brelka::SetWindowTextUtf8(combo, item);
            --quietCombo_;
            core_->SampleListChange();
        }
        return;
    case IDC_AUDBTN:
    case IDC_TOEXECBTN:
    case IDC_FROMEXECBTN:
    case IDC_ABORTBTN:
        if (code == BN_CLICKED) Clicked(id);
        return;
    default:
        return;
    }
}

void TMainWin::Clicked(int id) {
    if (id == IDC_AUDBTN)
        core_->AudBtnClick(IsChecked(Control::AudBtn));
    else if (id == IDC_TOEXECBTN)
        core_->ToExecBtnClick();
    else if (id == IDC_FROMEXECBTN)
        core_->FromExecBtnClick();
    else if (id == IDC_ABORTBTN)
        core_->AbortBtnClick();
}

LRESULT CALLBACK TMainWin::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TMainWin*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_NCCREATE) {
        self = static_cast<TMainWin*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->hwnd_ = hwnd;
    }
    if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
    return brelka::Guarded(
        hwnd, [&] { return self->Message(msg, wParam, lParam); }, LRESULT{0});
}

LRESULT TMainWin::Message(UINT msg, WPARAM wParam, LPARAM lParam) {
    // The slot audition's messages: a buffer handed back by the device, and the stop.
    if (core_ &&
        brelka::DeliverWaveMessage(msg, static_cast<intptr_t>(lParam), core_->AuditionListener()))
        return 0;
    if (msg == brelka::MenuQueryMessage()) return brelka::AnswerMenuQuery(GetMenu(hwnd_), wParam);
    switch (msg) {
    case WM_COMMAND: {
        brelka::CardMenuItem item{};
        if (core_ && lParam != 0)
            Command(LOWORD(wParam), HIWORD(wParam));
        else if (core_ && brelka::CardMenuItemOf(LOWORD(wParam), item))
            core_->CardMenuCommand(item);
        return 0;
    }
    case kFilesDropped:
        if (core_) {
            POINT at{}, over{};
            const std::vector<std::string> paths = drop_->Take(at, over);
            if (!paths.empty()) core_->DropFiles(paths);
        }
        return 0;
    case kSrcEditClicked:
        if (core_ && IsWindowEnabled(Ctl(Control::SrcEdit))) core_->SrcEditClick();
        return 0;
    case WM_ACTIVATE:
        // The control that had the keyboard gets it back when the window is active again.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;
        } else {
            HWND to = lastFocus_ && IsWindowEnabled(lastFocus_)
                          ? lastFocus_
                          : GetNextDlgTabItem(hwnd_, nullptr, FALSE);
            if (to) SetFocus(to);
        }
        return 0;
    case WM_DPICHANGED:
        // Moved to a monitor of another scale: the form follows, in the frame the system offers.
        Rescale(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_SETCURSOR:
        if (waitCursor_) {
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        }
        break;
    case WM_CLOSE:
        // During a job the behaviour stops it and closes the window once the job has ended.
        if (core_ && !core_->CloseRequest()) return 0;
        ShowWindow(hwnd_, SW_HIDE);
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

// The folder field: a click chooses the folder (after the click is over), and the text is not
// selected as a whole when the field gets the focus. The conversion group leaves the gap under
// its check box open. "Hear the Sound" is clicked without taking the focus.
LRESULT CALLBACK TMainWin::ControlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR id, DWORD_PTR data) {
    auto* self = reinterpret_cast<TMainWin*>(data);
    if (id == 1) {
        switch (msg) {
        case WM_LBUTTONUP: {
            const LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
            RECT r{};
            GetClientRect(hwnd, &r);
            const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            if (PtInRect(&r, at)) PostMessageW(self->hwnd_, kSrcEditClicked, 0, 0);
            return result;
        }
        case WM_GETDLGCODE:
            return DefSubclassProc(hwnd, msg, wParam, lParam) & ~DLGC_HASSETSEL;
        default:
            break;
        }
    } else if (id == 3) {
        const brelka::Press press = brelka::PressWithoutFocus(hwnd, msg, lParam);
        if (press == brelka::Press::Clicked) {
            // What the button's own click does: it toggles, then tells the window.
            const bool down = SendMessageW(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
            SendMessageW(hwnd, BM_SETCHECK, down ? BST_UNCHECKED : BST_CHECKED, 0);
            SendMessageW(self->hwnd_, WM_COMMAND, MAKEWPARAM(IDC_AUDBTN, BN_CLICKED),
                         reinterpret_cast<LPARAM>(hwnd));
        }
        if (press != brelka::Press::None) return 0;
    } else if (id == 2 && msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        self->PaintGroup(hwnd, dc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, &TMainWin::ControlProc, id);
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

void TMainWin::PaintGroup(HWND group, HDC dc) {
    RECT r{};
    GetClientRect(group, &r);
    r.top += brelka::layout::Scaled(6, dpi_); // the frame runs through the caption's line
    RECT check{};
    GetWindowRect(Ctl(Control::RateConvCheck), &check);
    MapWindowPoints(nullptr, group, reinterpret_cast<POINT*>(&check), 2);
    ExcludeClipRect(dc, check.left, check.top, check.right, check.bottom);
    DrawEdge(dc, &r, EDGE_ETCHED, BF_RECT);
}

// The gauge shows its percentage over a blue bar.
LRESULT CALLBACK TMainWin::GaugeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                     DWORD_PTR data) {
    auto* self = reinterpret_cast<TMainWin*>(data);
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
    case WM_PRINTCLIENT: {
        PAINTSTRUCT ps;
        HDC dc = msg == WM_PAINT ? BeginPaint(hwnd, &ps) : reinterpret_cast<HDC>(wParam);
        self->PaintGauge(hwnd, dc);
        if (msg == WM_PAINT) EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, &TMainWin::GaugeProc, 1);
        break;
    default:
        break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

void TMainWin::PaintGauge(HWND gauge, HDC dc) {
    RECT r{};
    GetClientRect(gauge, &r);
    const int percent = static_cast<int>(SendMessageW(gauge, PBM_GETPOS, 0, 0));
    DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    RECT bar = r;
    bar.right = r.left + (r.right - r.left) * std::clamp(percent, 0, 100) / 100;
    RECT rest = r;
    rest.left = bar.right;
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
    FillRect(dc, &bar, blue);
    FillRect(dc, &rest, GetSysColorBrush(COLOR_BTNFACE));
    DeleteObject(blue);

    wchar_t text[8];
    const int n = wsprintfW(text, L"%d%%", std::clamp(percent, 0, 100));
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ old = SelectObject(dc, brelka::FormFont(brelka::layout::Font::Window, dpi_));
    // White over the bar, black beside it.
    SaveDC(dc);
    IntersectClipRect(dc, bar.left, bar.top, bar.right, bar.bottom);
    SetTextColor(dc, RGB(255, 255, 255));
    DrawTextW(dc, text, n, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    RestoreDC(dc, -1);
    SaveDC(dc);
    IntersectClipRect(dc, rest.left, rest.top, rest.right, rest.bottom);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawTextW(dc, text, n, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    RestoreDC(dc, -1);
    SelectObject(dc, old);
}

#include "MainWin.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <vector>

#include "ControlIds.h"
#include "GetWin.h"
#include "Guard.h"
#include "PressButton.h"
#include "Version.h"
#include "Win32Look.h"
#include "Win32Text.h"

using brelka::Control;

TMainWin* MainWin = nullptr;

namespace {

constexpr UINT kSrcEditClicked = WM_APP + 1; // posted: the folder field was clicked
constexpr int kControlCount = 16;

int Index(Control control) {
    return static_cast<int>(control);
}

int ControlId(Control control) {
    return IDC_SRCEDIT + Index(control);
}

bool IsQuality(Control control) {
    return control >= Control::RsSimple && control <= Control::RsUHeavy;
}

// The open dialog's and the save dialog's filters, as the system takes them.
const wchar_t kOpenFilter[] =
    L"PCM(*.wav;*.aif)\0*.wav;*.aif\0WinPCM(*.wav)\0*.wav\0AIFF(*.aif)\0*.aif\0";
const wchar_t kSaveFilter[] = L"WinPCM(*.wav)\0*.wav\0AIFF(*.aif)\0*.aif\0";
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
}

TMainWin::~TMainWin() {
    // The audition stops and the engine is released while the window still takes messages.
    core_.reset();
    waveWindow_.reset();
    DestroyWindow(hwnd_);
    for (HBITMAP b : {folder_, speakerOn_, speakerOff_})
        DeleteObject(b);
}

void TMainWin::Build() {
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

    caption_ =
        platform::VersionString("ProductName") + " Ver." + platform::VersionString("FileVersion");
    // Fixed size: no sizing frame, no maximize box.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    const DWORD exStyle = WS_EX_CONTROLPARENT;
    RECT frame{0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    hwnd_ = CreateWindowExW(exStyle, BRELKA_MAIN_CLASS, brelka::Wide(caption_).c_str(), style,
                            CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                            frame.bottom - frame.top, nullptr, nullptr, instance, this);

    auto make = [&](const wchar_t* cls, const wchar_t* text, DWORD ctlStyle, DWORD ctlEx, int id,
                    int x, int y, int w, int h) {
        HWND c =
            CreateWindowExW(ctlEx, cls, text, WS_CHILD | WS_VISIBLE | ctlStyle, x, y, w, h, hwnd_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(brelka::WindowFont()), FALSE);
        return c;
    };
    auto& c = controls_;
    // Made in the tab order (ToExecBtn, SrcEdit, ConvGroup with its buttons, InfoText,
    // RateConvCheck, SampleList, FromExecBtn, ImportRadio with its items, AbortBtn); the rest
    // take no focus.
    c[Index(Control::ToExecBtn)] =
        make(L"BUTTON", L"to WAV/AIFF", WS_TABSTOP | WS_GROUP | BS_PUSHBUTTON, 0, IDC_TOEXECBTN, 12,
             238, 140, 25);
    c[Index(Control::SrcEdit)] =
        make(L"EDIT", L"(not specified)", WS_TABSTOP | WS_GROUP | ES_READONLY | ES_AUTOHSCROLL,
             WS_EX_CLIENTEDGE, IDC_SRCEDIT, 36, 12, 305, 20);
    c[Index(Control::ConvGroup)] =
        make(L"BUTTON", L"", WS_GROUP | BS_GROUPBOX, 0, IDC_CONVGROUP, 12, 94, 329, 79);
    struct Quality {
        Control control;
        const wchar_t* text;
        int x, y, w;
    };
    const Quality qualities[] = {{Control::RsSimple, L"Simple", 16, 17, 81},
                                 {Control::RsLight, L"Light", 16, 37, 81},
                                 {Control::RsMedium, L"Medium", 118, 37, 81},
                                 {Control::RsHeavy, L"Heavy", 220, 37, 81},
                                 {Control::RsUHeavy, L"Ultra Heavy", 16, 57, 84}};
    for (const Quality& q : qualities) {
        const bool first = q.control == Control::RsSimple;
        c[Index(q.control)] =
            make(L"BUTTON", q.text, BS_AUTORADIOBUTTON | (first ? WS_GROUP | WS_TABSTOP : 0), 0,
                 ControlId(q.control), 12 + q.x, 94 + q.y, q.w, 17);
    }
    c[Index(Control::InfoText)] = make(
        L"STATIC", L"", WS_GROUP | SS_LEFTNOWORDWRAP | SS_SUNKEN | SS_CENTERIMAGE | SS_NOPREFIX, 0,
        IDC_INFOTEXT, 12, 182, 329, 19);
    // Laid over the group's top edge as its caption.
    c[Index(Control::RateConvCheck)] =
        make(L"BUTTON", L"SamplingRate Conversion", WS_TABSTOP | WS_GROUP | BS_AUTOCHECKBOX, 0,
             IDC_RATECONVCHECK, 28, 91, 161, 17);
    c[Index(Control::SampleList)] =
        make(L"COMBOBOX", L"", WS_TABSTOP | WS_GROUP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL,
             0, IDC_SAMPLELIST, 61, 40, 49, 240);
    c[Index(Control::FromExecBtn)] =
        make(L"BUTTON", L"from WAV/AIFF", WS_TABSTOP | WS_GROUP | BS_PUSHBUTTON, 0, IDC_FROMEXECBTN,
             152, 238, 140, 25);
    c[Index(Control::ImportRadio)] = make(L"BUTTON", L"Import Channel", WS_GROUP | BS_GROUPBOX, 0,
                                          IDC_IMPORTRADIO, 141, 40, 185, 41);
    const wchar_t* items[3] = {L"L", L"R", L"MIX"};
    for (int i = 0; i < 3; ++i)
        importItems_[i] =
            make(L"BUTTON", items[i], BS_AUTORADIOBUTTON | (i == 0 ? WS_GROUP | WS_TABSTOP : 0), 0,
                 IDC_IMPORT_L + i, 141 + 8 + 58 * i, 40 + 18, 56, 17);
    c[Index(Control::AbortBtn)] = make(L"BUTTON", L"Abort", WS_TABSTOP | WS_GROUP | BS_PUSHBUTTON,
                                       0, IDC_ABORTBTN, 292, 238, 48, 25);

    folder_ = brelka::FolderBitmap();
    image_ = make(L"STATIC", L"", WS_GROUP | SS_BITMAP, 0, IDC_IMAGE, 15, 12, 20, 20);
    SendMessageW(image_, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(folder_));
    label1_ = make(L"STATIC", L"Sample", SS_LEFTNOWORDWRAP, 0, IDC_LABEL1, 13, 44, 45, 12);
    speakerOn_ = brelka::SpeakerBitmap(true);
    speakerOff_ = brelka::SpeakerBitmap(false);
    c[Index(Control::AudBtn)] = make(L"BUTTON", L"", BS_AUTOCHECKBOX | BS_PUSHLIKE | BS_BITMAP, 0,
                                     IDC_AUDBTN, 111, 40, 23, 22);
    c[Index(Control::LenLabel)] =
        make(L"STATIC", L"---:--:---", SS_LEFTNOWORDWRAP, 0, IDC_LENLABEL, 60, 64, 50, 12);
    gauge_ = make(PROGRESS_CLASSW, L"", 0, 0, IDC_GAUGE, 12, 208, 329, 20);
    SendMessageW(gauge_, PBM_SETRANGE32, 0, 100);
    SendMessageW(gauge_, PBM_SETPOS, 0, 0);
    SetWindowSubclass(gauge_, &TMainWin::GaugeProc, 1, reinterpret_cast<DWORD_PTR>(this));

    for (Control b : {Control::ToExecBtn, Control::FromExecBtn})
        SendMessageW(c[Index(b)], WM_SETFONT, reinterpret_cast<WPARAM>(brelka::JobButtonFont()),
                     FALSE);
    SendMessageW(c[Index(Control::SampleList)], WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"01"));
    SendMessageW(importItems_[2], BM_SETCHECK, BST_CHECKED, 0);
    SendMessageW(c[Index(Control::RsSimple)], BM_SETCHECK, BST_CHECKED, 0);

    // The folder field's clicks and focus, the group box's caption gap.
    SetWindowSubclass(c[Index(Control::SrcEdit)], &TMainWin::ControlProc, 1,
                      reinterpret_cast<DWORD_PTR>(this));
    SetWindowSubclass(c[Index(Control::ConvGroup)], &TMainWin::ControlProc, 2,
                      reinterpret_cast<DWORD_PTR>(this));

    tip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, TTS_ALWAYSTIP, 0, 0, 0, 0,
                           hwnd_, nullptr, instance, nullptr);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(c[Index(Control::AudBtn)]);
    tool.lpszText = const_cast<wchar_t*>(L"Hear the Sound");
    SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));

    // Enabled at start: the folder field, the slot combo, the channel choice and the check box.
    for (int i = 0; i < kControlCount; ++i)
        enabled_[i] = true;
    for (Control off : {Control::AudBtn, Control::ToExecBtn, Control::FromExecBtn,
                        Control::AbortBtn, Control::RsSimple, Control::RsLight, Control::RsMedium,
                        Control::RsHeavy, Control::RsUHeavy})
        enabled_[Index(off)] = false;
    for (int i = 0; i < kControlCount; ++i)
        ApplyEnabled(static_cast<Control>(i));
    TabStopsFollowChecks();
}

void TMainWin::Show(int how) {
    ShowWindow(hwnd_, how);
    UpdateWindow(hwnd_);
    // The keyboard starts at the first control of the tab order that takes it.
    if (HWND first = GetNextDlgTabItem(hwnd_, nullptr, FALSE)) SetFocus(first);
}

HWND TMainWin::Ctl(Control control) const {
    return controls_[Index(control)];
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
        for (HWND item : importItems_)
            EnableWindow(item, on);
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
        if (SendMessageW(importItems_[i], BM_GETCHECK, 0, 0) == BST_CHECKED) return i;
    return -1;
}

void TMainWin::SetGauge(int percent) {
    SendMessageW(gauge_, PBM_SETPOS, static_cast<WPARAM>(std::clamp(percent, 0, 100)), 0);
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
    // The system's folder picker; the older browse dialog where it is missing.
    IFileOpenDialog* dialog = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IFileOpenDialog, reinterpret_cast<void**>(&dialog)))) {
        bool chosen = false;
        FILEOPENDIALOGOPTIONS options = 0;
        dialog->GetOptions(&options);
        dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST |
                           FOS_NOCHANGEDIR);
        if (SUCCEEDED(dialog->Show(hwnd_))) {
            IShellItem* item = nullptr;
            if (SUCCEEDED(dialog->GetResult(&item))) {
                wchar_t* path = nullptr;
                if (SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &path)) && path) {
                    folder = brelka::Utf8(path);
                    chosen = !folder.empty();
                    CoTaskMemFree(path);
                }
                item->Release();
            }
        }
        dialog->Release();
        return chosen;
    }
    BROWSEINFOW info{};
    info.hwndOwner = hwnd_;
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&info);
    if (!list) return false;
    std::vector<wchar_t> path(kPathChars, L'\0');
    const bool ok = SHGetPathFromIDListEx(list, path.data(), kPathChars, GPFIDL_DEFAULT) != FALSE;
    CoTaskMemFree(list);
    if (!ok || path[0] == L'\0') return false;
    folder = brelka::Utf8(path.data());
    return true;
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
            self->core_->previewPanel = &self->panel_->Core();
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
        if (self && self->panel_) {
            self->core_->previewPanel = nullptr;
            self->panel_->Detach();
        }
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
    ofn.lpstrFilter = kOpenFilter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = kPathChars;
    ofn.lpstrDefExt = L"wav";
    ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY |
                OFN_ENABLESIZING | OFN_NOCHANGEDIR;
    if (panel_) {
        ofn.Flags |= OFN_ENABLEHOOK | OFN_ENABLETEMPLATE;
        ofn.lpfnHook = &TMainWin::OpenDialogHook;
        ofn.lpTemplateName = MAKEINTRESOURCEW(IDD_OPEN_PANEL);
        ofn.lCustData = reinterpret_cast<LPARAM>(this);
    }
    const bool chosen = GetOpenFileNameW(&ofn) != FALSE;
    if (panel_ && GetParent(panel_->Handle()) != hwnd_) {
        core_->previewPanel = nullptr;
        panel_->Detach();
    }
    if (!chosen) return false;
    path = brelka::Utf8(file.data());
    return !path.empty();
}

bool TMainWin::ChooseExportFile(const std::string& lastName, std::string& path) {
    std::vector<wchar_t> file(kPathChars, L'\0');
    const std::wstring last = brelka::Wide(lastName);
    std::copy_n(last.begin(), std::min<size_t>(last.size(), kPathChars - 1), file.begin());
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = hwnd_;
    ofn.lpstrFilter = kSaveFilter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = kPathChars;
    ofn.lpstrDefExt = L"wav";
    ofn.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY |
                OFN_ENABLESIZING | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameW(&ofn)) return false;
    path = brelka::Utf8(file.data());
    return !path.empty();
}

void TMainWin::ShowMessage(const std::string& text) {
    MessageBoxW(hwnd_, brelka::Wide(text).c_str(),
                brelka::Wide(platform::VersionString("ProductName")).c_str(), MB_OK);
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
    follow(importItems_, 3);
    const HWND qualities[5] = {Ctl(Control::RsSimple), Ctl(Control::RsLight),
                               Ctl(Control::RsMedium), Ctl(Control::RsHeavy),
                               Ctl(Control::RsUHeavy)};
    follow(qualities, 5);
}

void TMainWin::Idle() {
    core_->AppEventsIdle();
    TabStopsFollowChecks();
    if (closeAfterJob_ && !core_->busy) {
        closeAfterJob_ = false;
        PostMessageW(hwnd_, WM_CLOSE, 0, 0);
    }
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
    switch (msg) {
    case WM_COMMAND:
        if (core_ && lParam != 0) Command(LOWORD(wParam), HIWORD(wParam));
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
    case WM_SETCURSOR:
        if (waitCursor_) {
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        }
        break;
    case WM_CLOSE:
        if (core_ && core_->busy) {
            // A job runs inside a handler further up: it stops at its next step and the window
            // closes once it has.
            core_->AbortBtnClick();
            closeAfterJob_ = true;
            return 0;
        }
        if (core_) core_->WindowClosing();
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
    r.top += 6; // the frame runs through the middle of the caption's line
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
    HGDIOBJ old = SelectObject(dc, brelka::WindowFont());
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

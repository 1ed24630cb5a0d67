#include "CardWin.h"

#include <algorithm>

#include "CardMenu.h"
#include "ControlIds.h"
#include "Dialogs.h"
#include "Guard.h"
#include "MainWindowCore.h"
#include "SampleFile.h"
#include "Win32Look.h"
#include "Win32Text.h"
#include "WindowLayout.h"

namespace layout = brelka::layout;

namespace {

constexpr UINT kFilesDropped = WM_APP + 2; // posted: files were dropped onto the rows

// The lines below the rows, in 96-DPI pixels.
constexpr int kMargin = 8;
constexpr int kLine = 18;         // the status and folder lines
constexpr int kButtonHeight = 24; // the folder button, the progress line and Abort
constexpr int kFolderButtonWidth = 132;
constexpr int kProgressWidth = 180;
constexpr int kAbortWidth = 64;
constexpr int kBelowRows = 6 + kLine + 4 + kButtonHeight + 4 + kButtonHeight + kMargin;

// Sizes to the frame of a window with a menu bar around a client area.
SIZE FrameAround(layout::Size client, DWORD style, DWORD exStyle) {
    RECT r{0, 0, client.width, client.height};
    AdjustWindowRectEx(&r, style, TRUE, exStyle);
    return {r.right - r.left, r.bottom - r.top};
}

constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;

} // namespace

TCardWin::TCardWin(HWND owner, brelka::MainWindowCore& main) {
    Build(owner);
    drop_ = std::make_unique<brelka::FileDrop>(list_, hwnd_, kFilesDropped);
    drop_->where = [this](POINT screen) {
        ScreenToClient(list_, &screen);
        return SlotAt(screen);
    };
    core_ = std::make_unique<brelka::CardViewCore>(*this, main);
}

TCardWin::~TCardWin() {
    core_.reset();
    drop_.reset();
    DestroyWindow(hwnd_);
    if (rowHeight_) ImageList_Destroy(rowHeight_);
}

void TCardWin::Build(HWND owner) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &TCardWin::WndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = BRELKA_CARD_CLASS;
    RegisterClassExW(&wc);

    // At first beside the main window, on its right where the screen has room.
    const SIZE frame = FrameAround(layout::kCardViewSize, kStyle, 0);
    RECT main{};
    GetWindowRect(owner, &main);
    MONITORINFO screen{};
    screen.cbSize = sizeof(screen);
    GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &screen);
    const int gap = GetSystemMetrics(SM_CXFRAME);
    int left = main.right + gap;
    if (left + frame.cx > screen.rcWork.right)
        left = std::max<int>(screen.rcWork.left, screen.rcWork.right - frame.cx);
    // Whole on the screen from the start (a window manager would otherwise move it a moment
    // after it shows, under the user's pointer).
    const int top =
        std::max<int>(screen.rcWork.top, std::min<int>(main.top, screen.rcWork.bottom - frame.cy));
    hwnd_ = CreateWindowExW(0, BRELKA_CARD_CLASS, brelka::Wide(layout::kCardViewCaption).c_str(),
                            kStyle, left, top, frame.cx, frame.cy, owner, brelka::MakeCardMenuBar(),
                            instance, this);
    if (HICON icon = reinterpret_cast<HICON>(SendMessageW(owner, WM_GETICON, ICON_SMALL, 0)))
        SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    dpi_ = brelka::WindowDpi(hwnd_);

    list_ = MakeChild(WC_LISTVIEWW, IDC_CARD_LIST,
                      WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS,
                      "");
    ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    SetWindowSubclass(list_, &TCardWin::ListProc, 1, reinterpret_cast<DWORD_PTR>(this));
    AddColumns();
    status_ = MakeChild(L"STATIC", IDC_CARD_STATUS, SS_LEFTNOWORDWRAP | SS_NOPREFIX, "");
    folder_ = MakeChild(L"STATIC", IDC_CARD_FOLDER,
                        SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_PATHELLIPSIS, "");
    folderButton_ = MakeChild(L"BUTTON", IDC_CARD_FOLDERBTN, BS_PUSHBUTTON | WS_TABSTOP,
                              layout::kFolderButtonCaption);
    progressText_ =
        MakeChild(L"STATIC", IDC_CARD_PROGRESSTEXT, SS_LEFTNOWORDWRAP | SS_NOPREFIX, "");
    progress_ = MakeChild(PROGRESS_CLASSW, IDC_CARD_PROGRESS, 0, "");
    SendMessageW(progress_, PBM_SETRANGE32, 0, 100);
    abort_ = MakeChild(L"BUTTON", IDC_CARD_ABORT, BS_PUSHBUTTON | WS_TABSTOP, "Abort");
    for (HWND hidden : {folderButton_, progressText_, progress_, abort_})
        ShowWindow(hidden, SW_HIDE);
    Rescale(dpi_);
    // The client area is the form's at the window's scale.
    brelka::SizeClientArea(hwnd_, layout::Scaled(layout::kCardViewSize, dpi_));
}

HWND TCardWin::MakeChild(const wchar_t* cls, int id, DWORD style, const std::string& caption) {
    return CreateWindowExW(0, cls, brelka::Wide(caption).c_str(), WS_CHILD | WS_VISIBLE | style, 0,
                           0, 10, 10, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleW(nullptr), nullptr);
}

void TCardWin::AddColumns() {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    int i = 0;
    for (const layout::Column& c : layout::CardViewColumns()) {
        const std::wstring caption = brelka::Wide(c.caption);
        column.pszText = const_cast<wchar_t*>(caption.c_str());
        column.cx = layout::Scaled(c.width > 0 ? c.width : 60, dpi_);
        column.iSubItem = i;
        SendMessageW(list_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(&column));
        ++i;
    }
}

// Fonts, the rows' height, the columns' widths and the places, at dpi.
void TCardWin::Rescale(int dpi) {
    const int before = dpi_;
    dpi_ = dpi;
    HFONT font = brelka::FormFont(layout::Font::Window, dpi_);
    for (HWND c : {list_, status_, folder_, folderButton_, progressText_, abort_})
        SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    // The list's rows are as high as its small images.
    HIMAGELIST old = rowHeight_;
    rowHeight_ = ImageList_Create(1, layout::Scaled(layout::kCardRowHeight, dpi_), ILC_COLOR, 1, 0);
    ListView_SetImageList(list_, rowHeight_, LVSIL_SMALL);
    if (old) ImageList_Destroy(old);
    int i = 0;
    for (const layout::Column& c : layout::CardViewColumns()) {
        if (c.width > 0)
            ListView_SetColumnWidth(list_, i, layout::Scaled(c.width, dpi_));
        else if (before != dpi_)
            ListView_SetColumnWidth(list_, i,
                                    ListView_GetColumnWidth(list_, i) * dpi_ / std::max(before, 1));
        ++i;
    }
    Layout();
}

void TCardWin::Layout() {
    RECT client{};
    GetClientRect(hwnd_, &client);
    auto px = [this](int pixels) { return layout::Scaled(pixels, dpi_); };
    const int width = client.right, height = client.bottom;
    const int rowsBottom = std::max(height - px(kBelowRows), px(40));
    auto place = [](HWND c, int x, int y, int w, int h) {
        SetWindowPos(c, nullptr, x, y, std::max(w, 0), std::max(h, 0),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    };
    place(list_, 0, 0, width, rowsBottom);
    int y = rowsBottom + px(6);
    place(status_, px(kMargin), y, width - 2 * px(kMargin), px(kLine));
    y += px(kLine) + px(4);
    const int buttonRoom = folderButtonOn_ ? px(kFolderButtonWidth) + px(kMargin) : 0;
    place(folder_, px(kMargin), y + (px(kButtonHeight) - px(kLine)) / 2,
          width - 2 * px(kMargin) - buttonRoom, px(kLine));
    place(folderButton_, width - px(kMargin) - px(kFolderButtonWidth), y, px(kFolderButtonWidth),
          px(kButtonHeight));
    y += px(kButtonHeight) + px(4);
    const int abortLeft = width - px(kMargin) - px(kAbortWidth);
    const int barLeft = abortLeft - px(kMargin) - px(kProgressWidth);
    place(progressText_, px(kMargin), y + (px(kButtonHeight) - px(kLine)) / 2,
          barLeft - 2 * px(kMargin), px(kLine));
    place(progress_, barLeft, y + px(3), px(kProgressWidth), px(kButtonHeight) - px(6));
    place(abort_, abortLeft, y, px(kAbortWidth), px(kButtonHeight));
    // The last column takes what the others leave.
    ListView_SetColumnWidth(list_, static_cast<int>(layout::CardViewColumns().count) - 1,
                            LVSCW_AUTOSIZE_USEHEADER);
}

// ---- The toolkit.

void TCardWin::SetMenuItem(brelka::CardMenuItem item, const std::string& text, bool enabled) {
    brelka::SetCardMenuItem(GetMenu(hwnd_), item, text, enabled);
}

void TCardWin::SetRows(const std::vector<brelka::CardRow>& rows) {
    rows_ = rows;
    // The items that stay keep their selection and the scroll; each asks for its texts when
    // it is drawn again.
    const int want = static_cast<int>(rows_.size());
    ++quietSelection_;
    for (int have = ListView_GetItemCount(list_); have > want; --have)
        ListView_DeleteItem(list_, have - 1);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.pszText = LPSTR_TEXTCALLBACKW;
    for (int have = ListView_GetItemCount(list_); have < want; ++have) {
        item.iItem = have;
        SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    --quietSelection_;
    InvalidateRect(list_, nullptr, TRUE);
}

std::vector<int> TCardWin::SelectedSlots() const {
    std::vector<int> slots;
    for (int i = ListView_GetNextItem(list_, -1, LVNI_SELECTED); i >= 0;
         i = ListView_GetNextItem(list_, i, LVNI_SELECTED))
        slots.push_back(i + 1);
    const int current = ListView_GetNextItem(list_, -1, LVNI_FOCUSED);
    if (slots.size() > 1 && current >= 0) {
        const auto at = std::find(slots.begin(), slots.end(), current + 1);
        if (at != slots.end()) std::rotate(slots.begin(), at, at + 1);
    }
    return slots;
}

void TCardWin::SelectSlots(const std::vector<int>& slots) {
    ++quietSelection_;
    ListView_SetItemState(list_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (int slot : slots)
        if (slot >= 1 && slot <= brelka::kSlotCount)
            ListView_SetItemState(list_, slot - 1, LVIS_SELECTED, LVIS_SELECTED);
    if (!slots.empty()) {
        const int first = slots.front() - 1;
        ListView_SetItemState(list_, first, LVIS_FOCUSED, LVIS_FOCUSED);
        ListView_EnsureVisible(list_, first, FALSE);
    }
    --quietSelection_;
}

void TCardWin::SetStatus(const std::string& summary, const std::string& folder) {
    brelka::SetWindowTextUtf8(status_, summary);
    brelka::SetWindowTextUtf8(folder_, folder);
}

void TCardWin::ShowFolderButton(bool on) {
    if (folderButtonOn_ == on) return;
    folderButtonOn_ = on;
    ShowWindow(folderButton_, on ? SW_SHOW : SW_HIDE);
    Layout();
}

void TCardWin::SetProgress(bool on, int percent, const std::string& text) {
    SendMessageW(progress_, PBM_SETPOS, static_cast<WPARAM>(std::clamp(percent, 0, 100)), 0);
    brelka::SetWindowTextUtf8(progressText_, text);
    if (progressOn_ != on) {
        progressOn_ = on;
        for (HWND c : {progressText_, progress_, abort_})
            ShowWindow(c, on ? SW_SHOW : SW_HIDE);
    }
    UpdateWindow(hwnd_);
}

void TCardWin::SetInputEnabled(bool on, bool abortOn) {
    EnableWindow(abort_, abortOn);
    drop_->Accept(on);
    if (inputOn_ == on) return;
    inputOn_ = on;
    EndRename(false);
    EnableWindow(list_, on);
    EnableWindow(folderButton_, on);
    // The rows have the keyboard again when they come back in the active view.
    if (on && GetActiveWindow() == hwnd_ && !GetFocus()) SetFocus(list_);
}

void TCardWin::StartRename(int slot, const std::string& name) {
    EndRename(false);
    RECT cell{};
    cell.top = 1; // the Name column
    cell.left = LVIR_LABEL;
    if (!SendMessageW(list_, LVM_GETSUBITEMRECT, static_cast<WPARAM>(slot - 1),
                      reinterpret_cast<LPARAM>(&cell)))
        return;
    ListView_EnsureVisible(list_, slot - 1, FALSE);
    renameSlot_ = slot;
    edit_ = CreateWindowExW(0, L"EDIT", brelka::Wide(name).c_str(),
                            WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, cell.left, cell.top,
                            cell.right - cell.left, cell.bottom - cell.top, list_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_CARD_RENAME)),
                            GetModuleHandleW(nullptr), nullptr);
    SendMessageW(edit_, WM_SETFONT,
                 reinterpret_cast<WPARAM>(brelka::FormFont(layout::Font::Window, dpi_)), FALSE);
    SendMessageW(edit_, EM_SETSEL, 0, -1);
    SetFocus(edit_);
}

void TCardWin::EndRename(bool confirm) {
    if (!edit_) return;
    HWND edit = edit_;
    edit_ = nullptr; // the focus leaving the field ends nothing more
    const std::string typed = brelka::WindowTextUtf8(edit);
    const int slot = renameSlot_;
    renameSlot_ = 0;
    if (GetFocus() == edit) SetFocus(list_);
    DestroyWindow(edit);
    if (confirm) core_->RenameDone(slot, typed);
}

bool TCardWin::ChooseExportFile(const std::string& suggested, std::string& path) {
    return brelka::PickSaveFile(hwnd_, suggested, path);
}

bool TCardWin::ChooseExportFolder(std::string& folder) {
    return brelka::PickFolder(hwnd_, "Export to Folder", "", folder);
}

void TCardWin::ShowMessage(const std::string& text) {
    brelka::TellUser(hwnd_, text);
}

bool TCardWin::AskYesNo(const std::string& text) {
    return brelka::AskUser(hwnd_, text);
}

void TCardWin::Raise() {
    ShowWindow(hwnd_, IsIconic(hwnd_) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(hwnd_);
    SetActiveWindow(hwnd_);
    if (!edit_ && IsWindowEnabled(list_)) SetFocus(list_);
}

// ---- Events.

bool TCardWin::PreTranslate(MSG& msg) {
    if (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd)) return false;
    if (edit_ && msg.hwnd == edit_) {
        // The name field keeps its own keys, but for the two that end it.
        if (msg.message == WM_KEYDOWN && (msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE)) {
            EndRename(msg.wParam == VK_RETURN);
            return true;
        }
        return false;
    }
    if (TranslateAcceleratorW(hwnd_, brelka::CardAccelerators(), &msg)) return true;
    if (msg.message != WM_KEYDOWN || msg.hwnd != list_) return false;
    switch (msg.wParam) {
    case VK_DELETE:
        core_->Command(brelka::RowCommand::Clear);
        return true;
    case VK_F2:
        core_->Command(brelka::RowCommand::Rename);
        return true;
    case VK_RETURN:
        core_->Command(brelka::RowCommand::Listen);
        return true;
    case VK_ESCAPE:
        core_->EscapeKey();
        return true;
    default:
        return false;
    }
}

LRESULT CALLBACK TCardWin::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TCardWin*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_NCCREATE) {
        self = static_cast<TCardWin*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->hwnd_ = hwnd;
    }
    if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
    return brelka::Guarded(
        hwnd, [&] { return self->Message(msg, wParam, lParam); }, LRESULT{0});
}

LRESULT TCardWin::Message(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == brelka::MenuQueryMessage()) return brelka::AnswerMenuQuery(GetMenu(hwnd_), wParam);
    switch (msg) {
    case WM_COMMAND:
        if (core_) Command(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_NOTIFY:
        if (core_) return Notify(*reinterpret_cast<const NMHDR*>(lParam));
        return 0;
    case WM_CONTEXTMENU:
        if (core_ && reinterpret_cast<HWND>(wParam) == list_)
            ContextMenu({static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        return 0;
    case kFilesDropped:
        if (core_) DropArrived();
        return 0;
    case WM_SIZE:
        if (list_) Layout();
        return 0;
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        const SIZE least = FrameAround(layout::Scaled(layout::kCardViewMinSize, dpi_), kStyle, 0);
        info->ptMinTrackSize = {least.cx, least.cy};
        return 0;
    }
    case WM_DPICHANGED: {
        const auto* r = reinterpret_cast<const RECT*>(lParam);
        if (r)
            SetWindowPos(hwnd_, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        Rescale(HIWORD(wParam));
        return 0;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && !edit_ && IsWindowEnabled(list_)) SetFocus(list_);
        return 0;
    case WM_CLOSE:
        // During a job of the view the job stops first; the view is hidden, not destroyed.
        if (core_ && core_->CloseRequest()) ShowWindow(hwnd_, SW_HIDE);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

void TCardWin::Command(int id, int code, HWND from) {
    brelka::CardMenuItem item{};
    brelka::RowCommand command{};
    if (!from && brelka::CardMenuItemOf(static_cast<UINT>(id), item)) {
        core_->MenuCommand(item);
    } else if (!from && brelka::RowCommandOf(static_cast<UINT>(id), command)) {
        core_->Command(command);
    } else if (id == IDC_CARD_FOLDERBTN && code == BN_CLICKED) {
        core_->FolderButtonClick();
    } else if (id == IDC_CARD_ABORT && code == BN_CLICKED) {
        core_->AbortClick();
    }
}

LRESULT TCardWin::Notify(const NMHDR& note) {
    if (note.hwndFrom != list_) return 0;
    switch (note.code) {
    case LVN_GETDISPINFOW: {
        auto& info = const_cast<NMLVDISPINFOW&>(reinterpret_cast<const NMLVDISPINFOW&>(note));
        if (!(info.item.mask & LVIF_TEXT) || info.item.cchTextMax <= 0) return 0;
        const auto row = static_cast<size_t>(info.item.iItem);
        std::string text;
        if (row < rows_.size()) {
            const brelka::CardRow& r = rows_[row];
            switch (info.item.iSubItem) {
            case 0:
                text = r.number;
                break;
            case 1:
                text = r.name;
                break;
            case 2:
                text = r.length;
                break;
            case 4:
                text = r.note;
                break;
            default:
                break;
            }
        }
        shownText_ = brelka::Wide(text);
        lstrcpynW(info.item.pszText, shownText_.c_str(), info.item.cchTextMax);
        return 0;
    }
    case NM_CUSTOMDRAW:
        return CustomDraw(
            const_cast<NMLVCUSTOMDRAW&>(reinterpret_cast<const NMLVCUSTOMDRAW&>(note)));
    case LVN_ITEMCHANGED: {
        const auto& change = reinterpret_cast<const NMLISTVIEW&>(note);
        const bool selection = (change.uChanged & LVIF_STATE) &&
                               ((change.uNewState ^ change.uOldState) & LVIS_SELECTED);
        // At once, before the keys that follow the click (Enter starts what the click stops).
        if (selection && quietSelection_ == 0) core_->SelectionChange();
        return 0;
    }
    case LVN_BEGINDRAG: {
        const auto& drag = reinterpret_cast<const NMLISTVIEW&>(note);
        if (!inputOn_ || drag.iItem < 0) return 0;
        dragFrom_ = drag.iItem + 1;
        SetCapture(list_);
        return 0;
    }
    case NM_DBLCLK:
        if (reinterpret_cast<const NMITEMACTIVATE&>(note).iItem >= 0)
            core_->Command(brelka::RowCommand::Listen);
        return 0;
    default:
        return 0;
    }
}

LRESULT TCardWin::CustomDraw(NMLVCUSTOMDRAW& draw) {
    switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
    case CDDS_ITEMPREPAINT:
        // Each row, then each of its cells, comes here before it is drawn (the answer for the
        // rows, CDRF_NOTIFYSUBITEMDRAW, is the same value).
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
        const int item = static_cast<int>(draw.nmcd.dwItemSpec);
        const auto row = static_cast<size_t>(item);
        if (draw.iSubItem == layout::kSoundColumn) {
            RECT cell{};
            cell.top = draw.iSubItem;
            cell.left = LVIR_BOUNDS;
            SendMessageW(list_, LVM_GETSUBITEMRECT, static_cast<WPARAM>(item),
                         reinterpret_cast<LPARAM>(&cell));
            DrawThumbnail(draw.nmcd.hdc, item, cell);
            return CDRF_SKIPDEFAULT;
        }
        // A name given before the slot changed is greyed.
        const bool stale = draw.iSubItem == 1 && row < rows_.size() && rows_[row].stale;
        draw.clrText = stale ? GetSysColor(COLOR_GRAYTEXT) : CLR_DEFAULT;
        return CDRF_NEWFONT;
    }
    default:
        return CDRF_DODEFAULT;
    }
}

// The slot's envelope, its lowest and highest sample of each column spread over the cell.
void TCardWin::DrawThumbnail(HDC dc, int item, const RECT& cell) {
    const bool selected = ListView_GetItemState(list_, item, LVIS_SELECTED) != 0;
    const bool focused = GetFocus() == list_;
    const int back = selected ? (focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE) : COLOR_WINDOW;
    FillRect(dc, &cell, GetSysColorBrush(back));
    const auto row = static_cast<size_t>(item);
    if (row >= rows_.size() || rows_[row].low.empty()) return; // an empty slot is blank
    const brelka::CardRow& r = rows_[row];
    const int pad = layout::Scaled(2, dpi_);
    const int left = cell.left + pad, width = cell.right - cell.left - 2 * pad;
    const int top = cell.top + pad, height = cell.bottom - cell.top - 2 * pad;
    if (width <= 0 || height <= 0) return;
    const int middle = top + height / 2;
    const int columns = static_cast<int>(std::min(r.low.size(), r.high.size()));
    HPEN pen = CreatePen(PS_SOLID, 1,
                         selected && focused ? GetSysColor(COLOR_HIGHLIGHTTEXT) : RGB(0, 0, 160));
    HGDIOBJ old = SelectObject(dc, pen);
    for (int x = 0; x < width; ++x) {
        // The columns of the envelope that fall on this pixel.
        const int from = x * columns / width;
        const int to = std::max(from + 1, (x + 1) * columns / width);
        int low = 0, high = 0;
        for (int c = from; c < to && c < columns; ++c) {
            low = std::min<int>(low, r.low[static_cast<size_t>(c)]);
            high = std::max<int>(high, r.high[static_cast<size_t>(c)]);
        }
        const int y1 = middle - high * (height / 2) / 32768;
        const int y2 = middle - low * (height / 2) / 32768;
        MoveToEx(dc, left + x, y1, nullptr);
        LineTo(dc, left + x, y2 + 1);
    }
    SelectObject(dc, old);
    DeleteObject(pen);
}

void TCardWin::ContextMenu(POINT screen) {
    if (screen.x == -1 && screen.y == -1) {
        // From the keyboard: at the current row.
        RECT r{};
        const int current = std::max(ListView_GetNextItem(list_, -1, LVNI_FOCUSED), 0);
        ListView_GetItemRect(list_, current, &r, LVIR_LABEL);
        screen = {r.left, r.bottom};
        ClientToScreen(list_, &screen);
    }
    HMENU menu = brelka::MakeRowMenu(inputOn_);
    const UINT id = static_cast<UINT>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON,
                                                     screen.x, screen.y, 0, hwnd_, nullptr));
    DestroyMenu(menu);
    brelka::RowCommand command{};
    if (brelka::RowCommandOf(id, command)) core_->Command(command);
}

int TCardWin::SlotAt(POINT listPoint) const {
    LVHITTESTINFO hit{};
    hit.pt = listPoint;
    const int item =
        static_cast<int>(SendMessageW(list_, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    return item >= 0 && item < brelka::kSlotCount ? item + 1 : 0;
}

void TCardWin::DropArrived() {
    POINT at{}, over{};
    const std::vector<std::string> paths = drop_->Take(at, over);
    ScreenToClient(list_, &at);
    ScreenToClient(list_, &over);
    // The row the drag was last seen over is the one the user let go on (and the one the
    // cursor showed as the target); some systems hand the drop itself a pointer position from
    // before the last move.
    int slot = drop_->Place(); // the row under the drop as the rows lay at that moment
    if (slot == 0) slot = SlotAt(over);
    if (slot == 0) slot = SlotAt(at);
    if (paths.empty() || slot == 0) return;
    Raise();
    core_->DropFiles(slot, paths);
}

void TCardWin::EndDrag(POINT listPoint) {
    const int from = dragFrom_;
    dragFrom_ = 0;
    if (GetCapture() == list_) ReleaseCapture();
    const int to = SlotAt(listPoint);
    if (from > 0 && to > 0) core_->RowDragged(from, to);
}

// The rows' list: a row dragged onto another, and the end of an edit of a name when the field
// loses the keyboard or the rows scroll away under it.
LRESULT CALLBACK TCardWin::ListProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR data) {
    auto* self = reinterpret_cast<TCardWin*>(data);
    if (msg == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, &TCardWin::ListProc, 1);
        return DefSubclassProc(hwnd, msg, wParam, lParam);
    }
    return brelka::Guarded(
        self->hwnd_, [&] { return self->ListMessage(msg, wParam, lParam); }, LRESULT{0});
}

LRESULT TCardWin::ListMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    switch (msg) {
    case WM_MOUSEMOVE:
        if (dragFrom_ > 0) {
            SetCursor(LoadCursorW(nullptr, SlotAt(at) > 0 ? IDC_ARROW : IDC_NO));
            return 0;
        }
        break;
    case WM_LBUTTONUP:
        if (dragFrom_ > 0) {
            EndDrag(at);
            return 0;
        }
        break;
    case WM_CAPTURECHANGED:
        dragFrom_ = 0;
        break;
    case WM_COMMAND:
        if (edit_ && reinterpret_cast<HWND>(lParam) == edit_ && HIWORD(wParam) == EN_KILLFOCUS) {
            EndRename(true);
            return 0;
        }
        break;
    case WM_VSCROLL:
    case WM_HSCROLL:
    case WM_MOUSEWHEEL:
        EndRename(true);
        break;
    default:
        break;
    }
    return DefSubclassProc(list_, msg, wParam, lParam);
}

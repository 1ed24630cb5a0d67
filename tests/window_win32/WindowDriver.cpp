#include "WindowDriver.h"

#include <commctrl.h>
#include <ole2.h>
#include <shlobj.h>
#include <windowsx.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ComObject.h"
#include "ControlIds.h"

namespace windowtest {

bool Eventually(const std::function<bool()>& done, int ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (done()) return true;
        if (static_cast<int>(GetTickCount() - start) > ms) return false;
        Sleep(30);
    }
}

std::string Text(HWND hwnd) {
    wchar_t buffer[4096] = {};
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL,
                             10000, &got))
        return "<no answer>";
    return Utf8(std::wstring(buffer, got));
}

bool Checked(HWND hwnd) {
    DWORD_PTR state = 0;
    SendMessageTimeoutW(hwnd, BM_GETCHECK, 0, 0, SMTO_NORMAL, 10000, &state);
    return state == BST_CHECKED;
}

RECT PlaceInParent(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void Click(HWND button) {
    PostMessageW(button, BM_CLICK, 0, 0);
}

void MouseClick(HWND hwnd) {
    RECT r{};
    GetClientRect(hwnd, &r);
    const LPARAM at = MAKELPARAM(r.right / 2, r.bottom / 2);
    PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(hwnd, WM_LBUTTONUP, 0, at);
}

void ClickAt(HWND hwnd, int x, int y) {
    const LPARAM at = MAKELPARAM(x, y);
    PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(hwnd, WM_LBUTTONUP, 0, at);
}

void Type(HWND edit, const std::string& text) {
    SendMessageTimeoutW(edit, EM_SETSEL, 0, -1, SMTO_NORMAL, 10000, nullptr);
    for (wchar_t c : Wide(text))
        PostMessageW(edit, WM_CHAR, c, 1);
}

void Key(HWND hwnd, WORD key) {
    PostMessageW(hwnd, WM_KEYDOWN, key, 1);
    PostMessageW(hwnd, WM_KEYUP, key, 0xC0000001);
}

void PressKeys(const std::vector<WORD>& keys) {
    std::vector<INPUT> inputs;
    for (WORD key : keys) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = key;
        inputs.push_back(in);
    }
    for (auto k = keys.rbegin(); k != keys.rend(); ++k) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = *k;
        in.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(in);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

namespace {

// Memory in the process of a window, for the messages whose answers go through a pointer.
class Remote {
  public:
    Remote(HWND window, size_t size) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        process_ =
            OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (process_)
            at_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~Remote() {
        if (at_) VirtualFreeEx(process_, at_, 0, MEM_RELEASE);
        if (process_) CloseHandle(process_);
    }
    Remote(const Remote&) = delete;
    Remote& operator=(const Remote&) = delete;
    void* at() const { return at_; }
    void Write(const void* data, size_t size, size_t offset = 0) const {
        WriteProcessMemory(process_, static_cast<char*>(at_) + offset, data, size, nullptr);
    }
    void Read(void* data, size_t size, size_t offset = 0) const {
        ReadProcessMemory(process_, static_cast<char*>(at_) + offset, data, size, nullptr);
    }

  private:
    HANDLE process_ = nullptr;
    void* at_ = nullptr;
};

} // namespace

std::string ListText(HWND list, int item, int subItem) {
    constexpr size_t kChars = 512;
    const Remote remote(list, sizeof(LVITEMW) + kChars * sizeof(wchar_t));
    if (!remote.at()) return "<no memory>";
    LVITEMW lv{};
    lv.iSubItem = subItem;
    lv.cchTextMax = kChars;
    lv.pszText = reinterpret_cast<wchar_t*>(static_cast<char*>(remote.at()) + sizeof(LVITEMW));
    remote.Write(&lv, sizeof lv);
    DWORD_PTR length = 0;
    SendMessageTimeoutW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(item),
                        reinterpret_cast<LPARAM>(remote.at()), SMTO_NORMAL, 10000, &length);
    std::wstring text(std::min<size_t>(length, kChars - 1), L'\0');
    remote.Read(text.data(), text.size() * sizeof(wchar_t), sizeof(LVITEMW));
    return Utf8(text);
}

RECT ListItemRect(HWND list, int item) {
    const Remote remote(list, sizeof(RECT));
    RECT r{};
    r.left = LVIR_BOUNDS;
    remote.Write(&r, sizeof r);
    SendMessageTimeoutW(list, LVM_GETITEMRECT, static_cast<WPARAM>(item),
                        reinterpret_cast<LPARAM>(remote.at()), SMTO_NORMAL, 10000, nullptr);
    remote.Read(&r, sizeof r);
    return r;
}

namespace {

// What the file manager hands over in a drop: the names as a file list.
class FileListData final : public brelka::ComObject<IDataObject, IID_IDataObject> {
  public:
    explicit FileListData(const std::vector<std::string>& paths) {
        std::wstring list;
        for (const std::string& p : paths) {
            list += Wide(p);
            list += L'\0';
        }
        list += L'\0';
        bytes_.resize(sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
        DROPFILES head{};
        head.pFiles = sizeof(DROPFILES);
        head.fWide = TRUE;
        std::memcpy(bytes_.data(), &head, sizeof head);
        std::memcpy(bytes_.data() + sizeof head, list.data(), list.size() * sizeof(wchar_t));
    }
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (QueryGetData(format) != S_OK) return DV_E_FORMATETC;
        HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, bytes_.size());
        std::memcpy(GlobalLock(copy), bytes_.data(), bytes_.size());
        GlobalUnlock(copy);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = copy;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
        return format && format->cfFormat == CF_HDROP && (format->tymed & TYMED_HGLOBAL)
                   ? S_OK
                   : DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        out->ptd = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
        if (direction != DATADIR_GET) return E_NOTIMPL;
        FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        return SHCreateStdEnumFmtEtc(1, &format, out);
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }

  private:
    std::vector<char> bytes_;
};

// The hand that drags: it holds still over the place for half a second, then lets go. It
// keeps the pointer there while it holds (under wine the display can report the pointer where
// it was before the test moved it, a moment later). The drop goes where the last message the
// drag loop took says the pointer was, which can differ from where the pointer is now: both
// must be the place.
class StillHand final : public brelka::ComObject<IDropSource, IID_IDropSource> {
  public:
    explicit StillHand(POINT at) : at_(at) {}
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL, DWORD) override {
        POINT now{};
        GetCursorPos(&now);
        const DWORD seen = GetMessagePos();
        const bool there = now.x == at_.x && now.y == at_.y && GET_X_LPARAM(seen) == at_.x &&
                           GET_Y_LPARAM(seen) == at_.y;
        if (!there) {
            SetCursorPos(at_.x, at_.y);
            still_ = 0;
            return S_OK;
        }
        if (still_++ == 0) since_ = GetTickCount();
        return still_ < 4 || GetTickCount() - since_ < 500 ? S_OK : DRAGDROP_S_DROP;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

  private:
    POINT at_;
    int still_ = 0;
    DWORD since_ = 0;
};

} // namespace

bool DropFiles(POINT screen, const std::vector<std::string>& paths) {
    // OLE stays for the test's life: the window may hold on to what it was handed a moment.
    OleInitialize(nullptr);
    // The mouse is moved to the place as a user moves it and rests there before the drag
    // starts (under wine a first move of the pointer can be undone by the display's own
    // report of where the pointer was, a moment later).
    int still = 0;
    Eventually(
        [&] {
            POINT now{};
            GetCursorPos(&now);
            if (now.x == screen.x && now.y == screen.y) return ++still >= 4;
            still = 0;
            INPUT move{};
            move.type = INPUT_MOUSE;
            move.mi.dx = MulDiv(screen.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
            move.mi.dy = MulDiv(screen.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
            move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
            SendInput(1, &move, sizeof move);
            SetCursorPos(screen.x, screen.y);
            Sleep(100);
            return false;
        },
        5000);
    auto* data = new FileListData(paths);
    auto* hand = new StillHand(screen);
    DWORD effect = DROPEFFECT_NONE;
    const HRESULT done = DoDragDrop(data, hand, DROPEFFECT_COPY, &effect);
    data->Release();
    hand->Release();
    return done == DRAGDROP_S_DROP && effect == DROPEFFECT_COPY;
}

MenuItemState CardMenuItem(HWND window, int item) {
    static const UINT query = RegisterWindowMessageW(BRELKA_MENU_QUERY);
    DWORD_PTR answer = 0;
    MenuItemState state;
    if (!SendMessageTimeoutW(window, query, static_cast<WPARAM>(item), 0, SMTO_NORMAL, 10000,
                             &answer))
        return {"<no answer>", false};
    const auto atom = static_cast<ATOM>(LOWORD(answer));
    wchar_t text[256] = {};
    GlobalGetAtomNameW(atom, text, 256);
    GlobalDeleteAtom(atom);
    state.text = Utf8(text);
    state.enabled = HIWORD(answer) != 0;
    return state;
}

HWND FocusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    return info.hwndFocus;
}

namespace {

struct Search {
    const wchar_t* cls;
    int id;
    HWND found;
};

BOOL CALLBACK MatchChild(HWND hwnd, LPARAM data) {
    auto* s = reinterpret_cast<Search*>(data);
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    if ((!s->cls || lstrcmpiW(cls, s->cls) == 0) && (s->id < 0 || GetDlgCtrlID(hwnd) == s->id)) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

struct Owned {
    HWND owner;
    HWND found;
};

BOOL CALLBACK MatchOwned(HWND hwnd, LPARAM data) {
    auto* s = reinterpret_cast<Owned*>(data);
    wchar_t cls[16] = {};
    GetClassNameW(hwnd, cls, 16);
    if (IsWindowVisible(hwnd) && GetWindow(hwnd, GW_OWNER) == s->owner &&
        lstrcmpW(cls, L"#32770") == 0) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

void DescribeInto(HWND hwnd, int depth, std::string& out) {
    for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        wchar_t cls[64] = {};
        GetClassNameW(c, cls, 64);
        wchar_t text[128] = {};
        GetWindowTextW(c, text, 128);
        const RECT r = PlaceInParent(c);
        char line[512];
        std::snprintf(line, sizeof line, "%*s%s id=%d \"%s\" %ld,%ld %ldx%ld%s\n", depth * 2, "",
                      Utf8(cls).c_str(), GetDlgCtrlID(c), Utf8(text).c_str(), r.left, r.top,
                      r.right - r.left, r.bottom - r.top, IsWindowVisible(c) ? "" : " hidden");
        out += line;
        DescribeInto(c, depth + 1, out);
    }
}

} // namespace

HWND FindChild(HWND parent, const wchar_t* cls, int id) {
    Search s{cls, id, nullptr};
    EnumChildWindows(parent, MatchChild, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND OwnedDialog(HWND owner) {
    Owned s{owner, nullptr};
    EnumWindows(MatchOwned, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

std::string Describe(HWND hwnd) {
    std::string out;
    DescribeInto(hwnd, 0, out);
    return out;
}

Pixels WindowPixels(HWND hwnd) {
    Pixels out;
    RECT r{};
    GetWindowRect(hwnd, &r);
    out.width = r.right - r.left;
    out.height = r.bottom - r.top;
    if (out.width <= 0 || out.height <= 0) return {};
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = out.width;
    info.bmiHeader.biHeight = -out.height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    BitBlt(dc, 0, 0, out.width, out.height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    const auto* p = static_cast<const uint32_t*>(bits);
    out.bgra.assign(p, p + static_cast<size_t>(out.width) * static_cast<size_t>(out.height));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return out;
}

bool CaptureWindow(HWND hwnd, const std::string& bmpPath) {
    const Pixels shot = WindowPixels(hwnd);
    if (shot.bgra.empty()) return false;
    const int w = shot.width, h = shot.height;
    const DWORD stride = (static_cast<DWORD>(w) * 3 + 3) & ~3u;
    std::vector<uint8_t> rows(stride * static_cast<DWORD>(h), 0);
    for (int y = 0; y < h; ++y) // bottom-up, 24-bit
        for (int x = 0; x < w; ++x) {
            const uint32_t v = shot.at(x, h - 1 - y);
            uint8_t* d = &rows[stride * static_cast<DWORD>(y) + static_cast<DWORD>(x) * 3];
            d[0] = static_cast<uint8_t>(v);
            d[1] = static_cast<uint8_t>(v >> 8);
            d[2] = static_cast<uint8_t>(v >> 16);
        }
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = w;
    header.biHeight = h;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(header);
    file.bfSize = file.bfOffBits + static_cast<DWORD>(rows.size());
    bool ok = false;
    if (FILE* f = _wfopen(Wide(bmpPath).c_str(), L"wb")) {
        ok = fwrite(&file, sizeof file, 1, f) == 1 && fwrite(&header, sizeof header, 1, f) == 1 &&
             fwrite(rows.data(), rows.size(), 1, f) == 1;
        ok = fclose(f) == 0 && ok;
    }
    return ok;
}

Pixels IconPixels(HICON icon) {
    Pixels out;
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info)) return out;
    BITMAP bm{};
    GetObjectW(info.hbmColor, sizeof bm, &bm);
    out.width = bm.bmWidth;
    out.height = bm.bmHeight;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = out.width;
    bi.bmiHeader.biHeight = -out.height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    out.bgra.resize(static_cast<size_t>(out.width) * static_cast<size_t>(out.height));
    HDC dc = GetDC(nullptr);
    GetDIBits(dc, info.hbmColor, 0, static_cast<UINT>(out.height), out.bgra.data(), &bi,
              DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return out;
}

bool ContainsOpaque(const Pixels& picture, const Pixels& part, int maxX, int maxY) {
    for (int oy = 0; oy <= maxY && oy + part.height <= picture.height; ++oy)
        for (int ox = 0; ox <= maxX && ox + part.width <= picture.width; ++ox) {
            bool same = true;
            int opaque = 0;
            for (int y = 0; same && y < part.height; ++y)
                for (int x = 0; same && x < part.width; ++x) {
                    const uint32_t want = part.at(x, y);
                    if ((want >> 24) != 0xFF) continue;
                    ++opaque;
                    const uint32_t got = picture.at(ox + x, oy + y);
                    for (int c = 0; c < 24; c += 8)
                        if (std::abs(static_cast<int>((want >> c) & 0xFF) -
                                     static_cast<int>((got >> c) & 0xFF)) > 8)
                            same = false;
                }
            if (same && opaque > 0) return true;
        }
    return false;
}

Recorder::Recorder(int seconds) {
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = 31250;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 2;
    format.nAvgBytesPerSec = 62500;
    if (waveInOpen(&device_, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
        device_ = nullptr;
        return;
    }
    // Blocks of 100 ms.
    const size_t count = static_cast<size_t>(seconds) * 10;
    blocks_.assign(count, std::vector<int16_t>(3125));
    headers_.assign(count, WAVEHDR{});
    for (size_t i = 0; i < count; ++i) {
        headers_[i].lpData = reinterpret_cast<char*>(blocks_[i].data());
        headers_[i].dwBufferLength = static_cast<DWORD>(blocks_[i].size() * 2);
        waveInPrepareHeader(device_, &headers_[i], sizeof(WAVEHDR));
        waveInAddBuffer(device_, &headers_[i], sizeof(WAVEHDR));
    }
    waveInStart(device_);
}

std::vector<int16_t> Recorder::Stop() {
    std::vector<int16_t> out;
    if (!device_) return out;
    waveInStop(device_);
    waveInReset(device_);
    for (size_t i = 0; i < headers_.size(); ++i) {
        const size_t n = headers_[i].dwBytesRecorded / 2;
        out.insert(out.end(), blocks_[i].begin(), blocks_[i].begin() + static_cast<long>(n));
        waveInUnprepareHeader(device_, &headers_[i], sizeof(WAVEHDR));
    }
    waveInClose(device_);
    device_ = nullptr;
    return out;
}

Recorder::~Recorder() {
    Stop();
}

Program::Program(const std::string& exe) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    std::wstring command = L"\"" + Wide(exe) + L"\"";
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process_))
        return;
    WaitForInputIdle(process_.hProcess, 20000);
    Eventually([this] {
        window_ = FindWindowW(L"TMainWin", nullptr);
        return window_ != nullptr && IsWindowVisible(window_);
    });
}

bool Program::Close() {
    if (!process_.hProcess) return true;
    PostMessageW(window_, WM_CLOSE, 0, 0);
    const bool ended = WaitForSingleObject(process_.hProcess, 20000) == WAIT_OBJECT_0;
    return ended;
}

Program::~Program() {
    if (!process_.hProcess) return;
    if (!Close()) TerminateProcess(process_.hProcess, 1);
    WaitForSingleObject(process_.hProcess, 5000);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

} // namespace windowtest

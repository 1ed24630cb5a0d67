#include "Dialogs.h"

#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <vector>

#include "Version.h"
#include "Win32Text.h"
#include "WindowLayout.h"

namespace brelka {

namespace {

constexpr DWORD kPathChars = 32768;

std::wstring ProgramName() {
    return Wide(platform::VersionString("ProductName"));
}

} // namespace

// Caption and patterns of each entry, each ended by a null character, and one more after the
// last.
std::wstring FilterList(layout::Rows<layout::FileFilter> filters) {
    std::wstring list;
    for (const layout::FileFilter& f : filters) {
        list += Wide(f.caption);
        list += L'\0';
        list += Wide(f.patterns);
        list += L'\0';
    }
    list += L'\0';
    return list;
}

bool PickFolder(HWND owner, const std::string& title, const std::string& start,
                std::string& folder) {
    // The system's folder picker; the older browse dialog where it is missing.
    IFileOpenDialog* dialog = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IFileOpenDialog, reinterpret_cast<void**>(&dialog)))) {
        bool chosen = false;
        FILEOPENDIALOGOPTIONS options = 0;
        dialog->GetOptions(&options);
        dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST |
                           FOS_NOCHANGEDIR);
        if (!title.empty()) dialog->SetTitle(Wide(title).c_str());
        IShellItem* at = nullptr;
        if (!start.empty() &&
            SUCCEEDED(SHCreateItemFromParsingName(Wide(start).c_str(), nullptr, IID_IShellItem,
                                                  reinterpret_cast<void**>(&at)))) {
            dialog->SetFolder(at);
            at->Release();
        }
        if (SUCCEEDED(dialog->Show(owner))) {
            IShellItem* item = nullptr;
            if (SUCCEEDED(dialog->GetResult(&item))) {
                wchar_t* path = nullptr;
                if (SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &path)) && path) {
                    folder = Utf8(path);
                    chosen = !folder.empty();
                    CoTaskMemFree(path);
                }
                item->Release();
            }
        }
        dialog->Release();
        return chosen;
    }
    const std::wstring wideTitle = Wide(title);
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.lpszTitle = wideTitle.empty() ? nullptr : wideTitle.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&info);
    if (!list) return false;
    std::vector<wchar_t> path(kPathChars, L'\0');
    const bool ok = SHGetPathFromIDListEx(list, path.data(), kPathChars, GPFIDL_DEFAULT) != FALSE;
    CoTaskMemFree(list);
    if (!ok || path[0] == L'\0') return false;
    folder = Utf8(path.data());
    return true;
}

bool PickSaveFile(HWND owner, const std::string& initial, std::string& path) {
    std::vector<wchar_t> file(kPathChars, L'\0');
    const std::wstring last = Wide(initial);
    std::copy_n(last.begin(), std::min<size_t>(last.size(), kPathChars - 1), file.begin());
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = owner;
    const std::wstring filter = FilterList(layout::SaveFilters());
    const std::wstring extension = Wide(layout::kDefaultExtension);
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = kPathChars;
    ofn.lpstrDefExt = extension.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY |
                OFN_ENABLESIZING | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameW(&ofn)) return false;
    path = Utf8(file.data());
    return !path.empty();
}

void TellUser(HWND owner, const std::string& text) {
    MessageBoxW(owner, Wide(text).c_str(), ProgramName().c_str(), MB_OK);
}

bool AskUser(HWND owner, const std::string& text) {
    return MessageBoxW(owner, Wide(text).c_str(), ProgramName().c_str(),
                       MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION) == IDYES;
}

} // namespace brelka

// The card view on the Win32 API: a window of its own beside the main window, with the "Card"
// menu, the 60 rows of the card in a list (the slot's envelope drawn in its Sound column), the
// status and folder lines, the folder button, and a progress line with Abort. It implements the
// toolkit that the card view's behaviour (CardViewCore) drives and forwards each event to it.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "CardViewCore.h"
#include "FileDrop.h"
#include "WindowToolkit.h"

namespace brelka {
class MainWindowCore;
}

class TCardWin : public brelka::CardViewToolkit {
  public:
    // Made hidden, owned by the main window (it is minimized and closed with it).
    TCardWin(HWND owner, brelka::MainWindowCore& main);
    ~TCardWin() override;
    TCardWin(const TCardWin&) = delete;
    TCardWin& operator=(const TCardWin&) = delete;

    HWND Handle() const { return hwnd_; }
    brelka::CardViewCore& Core() { return *core_; }
    // A message of the loop before it is dispatched: the menu's shortcuts and the keys of the
    // rows and of the name being edited. True when it was handled here.
    bool PreTranslate(MSG& msg);

    // CardMenuToolkit.
    void SetMenuItem(brelka::CardMenuItem item, const std::string& text, bool enabled) override;
    // CardViewToolkit.
    void SetRows(const std::vector<brelka::CardRow>& rows) override;
    std::vector<int> SelectedSlots() const override;
    void SelectSlots(const std::vector<int>& slots) override;
    void SetStatus(const std::string& summary, const std::string& folder) override;
    void ShowFolderButton(bool on) override;
    void SetProgress(bool on, int percent, const std::string& text) override;
    void SetInputEnabled(bool on, bool abortOn) override;
    void StartRename(int slot, const std::string& name) override;
    bool ChooseExportFile(const std::string& suggested, std::string& path) override;
    bool ChooseExportFolder(std::string& folder) override;
    void ShowMessage(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    void Raise() override;

  private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ListProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                     DWORD_PTR self);
    LRESULT Message(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT ListMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT Notify(const NMHDR& note);
    LRESULT CustomDraw(NMLVCUSTOMDRAW& draw);
    void DrawThumbnail(HDC dc, int item, const RECT& cell);
    void Build(HWND owner);
    void AddColumns();
    void Rescale(int dpi);
    void Layout();
    void Command(int id, int code, HWND from);
    void ContextMenu(POINT screen);
    void DropArrived();
    void EndRename(bool confirm);
    void EndDrag(POINT listPoint);
    // The slot of the row at a point of the list's client area; 0 for none.
    int SlotAt(POINT listPoint) const;
    HWND MakeChild(const wchar_t* cls, int id, DWORD style, const std::string& caption);

    HWND hwnd_ = nullptr;
    HWND list_ = nullptr, status_ = nullptr, folder_ = nullptr, folderButton_ = nullptr;
    HWND progressText_ = nullptr, progress_ = nullptr, abort_ = nullptr;
    HWND edit_ = nullptr; // the name being edited in place
    HIMAGELIST rowHeight_ = nullptr;
    int dpi_ = 96;
    std::vector<brelka::CardRow> rows_;
    std::wstring shownText_; // the last text the list asked for
    int quietSelection_ = 0; // > 0 while the program itself selects rows
    bool folderButtonOn_ = false;
    bool progressOn_ = false;
    bool inputOn_ = true;
    int renameSlot_ = 0;
    int dragFrom_ = 0; // the slot whose row is dragged; 0 while none is
    std::unique_ptr<brelka::FileDrop> drop_;
    std::unique_ptr<brelka::CardViewCore> core_;
};

// The main window on the Win32 API: it builds the controls, implements the toolkit that the
// window's behaviour (MainWindowCore) drives, forwards each control's event to the handler of
// the same name and runs the program's message loop.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "MainWindowCore.h"
#include "WaveWindowWin32.h"
#include "WindowLayout.h"
#include "WindowToolkit.h"

class TCardWin;
class TGetWin;

namespace brelka {
class FileDrop;
}

class TMainWin : public brelka::MainWindowToolkit {
  public:
    // Binds the engine library by its usual name.
    TMainWin();
    ~TMainWin() override;
    TMainWin(const TMainWin&) = delete;
    TMainWin& operator=(const TMainWin&) = delete;

    // The panel the open dialog shows; made after the window, with the window as its parent.
    void SetPreviewPanel(TGetWin* panel);
    HWND Handle() const { return hwnd_; }
    brelka::MainWindowCore& Core() { return *core_; }

    void Show(int how);
    // Runs the messages until the window is closed; returns the exit code.
    int RunMessageLoop();

    // MainWindowToolkit.
    void SetEnabled(brelka::Control control, bool on) override;
    bool IsChecked(brelka::Control control) const override;
    void SetChecked(brelka::Control control, bool on) override;
    std::string Text(brelka::Control control) const override;
    void SetText(brelka::Control control, const std::string& text) override;
    int ImportRadioIndex() const override;
    void SetGauge(int percent) override;
    void FocusControl(brelka::Control control) override;
    void ClearSlotItems() override;
    void AddSlotItem(const std::string& text) override;
    int SlotItemCount() const override;
    std::string SlotItem(int index) const override;
    void SelectSlotItem(int index) override;
    bool ChooseFolder(std::string& folder) override;
    bool ChooseImportFile(std::string& path) override;
    bool ChooseExportFile(const std::string& lastName, std::string& path) override;
    void ShowMessage(const std::string& text) override;
    void SetWaitCursor(bool on) override;
    void RunPendingEvents() override;
    void CloseWindow() override;
    void ShowCardView() override;
    bool EditImportOptions(brelka::ImportOptionsForm& form) override;
    bool ChooseOtherFolder(const std::string& title, std::string& folder) override;
    bool AskYesNo(const std::string& text) override;
    // CardMenuToolkit.
    void SetMenuItem(brelka::CardMenuItem item, const std::string& text, bool enabled) override;

  private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ControlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR id, DWORD_PTR self);
    static LRESULT CALLBACK GaugeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR id, DWORD_PTR self);
    static UINT_PTR CALLBACK OpenDialogHook(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
    static UINT_PTR OpenDialogMessage(HWND dlg, UINT msg, LPARAM lParam);
    LRESULT Message(UINT msg, WPARAM wParam, LPARAM lParam);
    void Build();
    void BuildFrame();
    void AddControl(const brelka::layout::MainControl& spec);
    // A control's place at the window's scale, as left, top, width and height (a combo's with
    // its list open).
    RECT PlaceAtDpi(const brelka::layout::MainControl& spec) const;
    HFONT FontAtDpi(const brelka::layout::MainControl& spec) const;
    void Rescale(int dpi, const RECT* suggested);
    void MakePictures();
    void FinishControls();
    void Command(int id, int code);
    // A button's click, to the handler of the same name.
    void Clicked(int id);
    // Keyboard moves between the controls (Tab, and the arrows inside a radio group).
    bool NavigationKey(const MSG& msg);
    // One message taken from the queue: false when it was the quit message.
    bool Dispatch(MSG& msg);
    void Idle();
    // The window a dialog of the "Card" menu goes over: the card view while it is active.
    HWND ActiveOwner() const;
    void TabStopsFollowChecks();
    HWND Ctl(brelka::Control control) const;
    HWND Hwnd(brelka::layout::Part part) const;
    void ApplyEnabled(brelka::Control control);
    void PaintGroup(HWND group, HDC dc);
    void PaintGauge(HWND gauge, HDC dc);

    HWND hwnd_ = nullptr;
    int dpi_ = brelka::layout::kDesignDpi; // the window's pixels per inch
    HWND parts_[brelka::layout::PartIndex(brelka::layout::Part::Window)] = {};
    bool enabled_[brelka::layout::kControlParts] = {};
    HWND tip_ = nullptr;
    HBITMAP folder_ = nullptr, speakerOn_ = nullptr, speakerOff_ = nullptr;
    int quietCombo_ = 0;       // > 0 while the program itself changes the slot combo
    HWND lastFocus_ = nullptr; // the control with the keyboard when the window went inactive
    bool waitCursor_ = false;
    bool quit_ = false;
    int exitCode_ = 0;
    std::string caption_;
    TGetWin* panel_ = nullptr;
    std::unique_ptr<brelka::Win32WaveWindow> waveWindow_;
    std::unique_ptr<brelka::MainWindowCore> core_;
    std::unique_ptr<brelka::FileDrop> drop_;
    std::unique_ptr<TCardWin> card_; // made by the first "Card View..."
};

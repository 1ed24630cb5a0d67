// The main window's behaviour, whatever toolkit draws it: the controls' initial enable states,
// folder and slot choice, the slot's length, the enable rules, the import and export jobs with
// their progress and abort, closing the window, the preview panel of the open dialog and the
// slot audition. The front builds the controls from WindowLayout, implements
// MainWindowToolkit, and forwards each event to the handler of the same name.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "WindowToolkit.h"

class CReSampler;

namespace brelka {

struct JobProgress;
class PreviewPanelCore;
class SlotAudition;
class WaveListener;
class WaveWindow;

class MainWindowCore {
  public:
    // window receives the slot audition's messages; the front passes them to
    // AuditionListener(). engineLibrary: the engine to bind ("" binds none). The controls
    // take their initial enable states from the form.
    MainWindowCore(MainWindowToolkit& toolkit, WaveWindow& window,
                   const std::string& engineLibrary);
    // Binds the engine library by its usual name.
    MainWindowCore(MainWindowToolkit& toolkit, WaveWindow& window);
    // Stops a running audition first, then unloads the engine.
    virtual ~MainWindowCore();
    MainWindowCore(const MainWindowCore&) = delete;
    MainWindowCore& operator=(const MainWindowCore&) = delete;

    // Flags.
    bool abortRequested = false; // set by "Abort", polled by the running job
    bool folderChosen = false;   // a folder has been chosen at least once
    bool busy = false;           // an import or export job runs
    bool playing = false;        // a slot audition runs (mirrors the audition's own state)

    // The preview panel that the open dialog shows (none: the dialog shows no panel). The
    // panel outlives the window's use of it.
    void SetPreviewPanel(PreviewPanelCore* panel) { previewPanel_ = panel; }
    PreviewPanelCore* PreviewPanel() const { return previewPanel_; }

    // Handlers.
    void SrcEditClick();
    void SampleListChange();
    void AbortBtnClick();
    // The enable rules; the front calls it whenever its message queue has run empty.
    void AppEventsIdle();
    void OpenDialogSelectionChange(const std::string& path);
    void FromExecBtnClick();
    void ToExecBtnClick();
    // AudBtn has just been put down or up by the user.
    void AudBtnClick(bool down);
    // The user asks to close the window. True when it may close now (a running audition
    // ends). During a job, false: the job stops as Abort stops it (what it has done stays)
    // and, once its handler has returned, the behaviour closes the window through the toolkit.
    bool CloseRequest();

    // Empties the slot list and lists the slots found in the folder.
    void ScanSampleFolder(const std::string& folder);

    // The jobs' progress and abort step after block k of n; start and last are tick counts
    // (last is updated). True when the job must stop.
    virtual bool UpdateJobProgress(int k, int n, uint32_t start, uint32_t& last);

    // The import channel (0 "L", 1 "R", 2 "MIX") and the quality code (0 none ... 5).
    int ImportChannel() const;
    int QualityCode() const;

    // The folder the last folder choice returned; empty before the first.
    const std::string& ChosenFolder() const { return chosenFolder_; }
    CReSampler& Resampler() { return *resampler_; }
    SlotAudition& Audition() { return *audition_; }
    WaveListener& AuditionListener();

  private:
    void CreateAudition(WaveWindow& window);
    // starter: the button that started the job, which has the keyboard again when it ends.
    void BeginJob(Control starter);
    void EndJob(bool clearProgress);
    JobProgress JobCallbacks(uint32_t& start, uint32_t& last, bool& prepared);
    void SelectSlot(int slot);
    void ApplyInitialStates();

    MainWindowToolkit& toolkit_;
    std::unique_ptr<CReSampler> resampler_;
    std::unique_ptr<SlotAudition> audition_;
    std::string chosenFolder_;
    std::string lastSaveName_;
    PreviewPanelCore* previewPanel_ = nullptr;
    bool closeAfterJob_ = false; // a close came during the job
    int jobHandlers_ = 0;        // job handlers running (their message boxes included)
    Control jobStarter_ = Control::FromExecBtn;
};

} // namespace brelka

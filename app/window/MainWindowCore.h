// The main window's behaviour, whatever toolkit draws it: the controls' initial enable states,
// folder and slot choice, the slot's length, the enable rules, the import and export jobs with
// their progress and abort, closing the window, the preview panel of the open dialog and the
// slot audition. The front builds the controls from WindowLayout, implements
// MainWindowToolkit, and forwards each event to the handler of the same name.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "CardNames.h"
#include "SoundPrep.h"

#include "WindowToolkit.h"

class CReSampler;

namespace brelka {

class CardHistory;
struct CardJobProgress;
class CardViewCore;
struct DropItem;
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

    // Files or folders dropped onto the window: into the slot shown and the slots after it.
    void DropFiles(const std::vector<std::string>& paths);
    // A command of the "Card" menu, from the main window or (fromCardView) the card view.
    void CardMenuCommand(CardMenuItem item, bool fromCardView = false);

    // What the card view shares with the window.
    void AttachCardView(CardViewCore* view) {
        cardView_ = view;
        viewMenu_ = {};
    }
    void DetachCardView(const CardViewCore* view) {
        if (cardView_ == view) cardView_ = nullptr;
    }
    CardViewCore* CardView() const { return cardView_; }
    // Runs the imports of a drop (or of a menu command) as one step of the card's history,
    // with its progress in the window it came from, and says what failed.
    void ImportIntoCard(const std::vector<DropItem>& items, bool inCardView, bool keepAborted);
    // Plans a drop onto `firstSlot` and imports it, or says why it cannot.
    void DropOntoSlot(const std::vector<std::string>& paths, int firstSlot, bool inCardView);
    // Starts and ends a job of the card view (its own progress; both windows greyed).
    void BeginCardViewJob();
    void EndCardViewJob();
    // A step of such a job: shows its progress now and then and lets the user's input in.
    // True when the job must stop.
    bool CardViewJobStep(int percent, const std::string& text);
    // The card has changed: the slot list (keeping the slot shown), the length label and the
    // card view follow.
    void CardChanged();
    // A message box over the window a command came from.
    void Tell(bool inCardView, const std::string& text);
    // Says once per folder that the card's names could not be written.
    void TellNamesNotSaved(bool inCardView);
    CardHistory& History() { return *history_; }
    const PrepOptions& ImportOptions() const { return importOptions_; }
    void SetImportOptions(const PrepOptions& options) { importOptions_ = options; }
    // Samples the last import into the slot of the chosen folder clipped (0: none, or the
    // slot changed since).
    int64_t ClippedIn(int slot) const;
    void ForgetClipped(const std::vector<int>& slots);
    // The slot audition of a slot of the chosen folder, started from the card view.
    void ListenToSlot(int slot);
    void StopListening();

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
    void UpdateCardMenus();
    void EditImportOptions();
    void UndoOrRedo(bool undo, bool fromCardView);
    // Both run in the card view, whichever window asked: their progress and messages show there.
    void BackUpCard();
    void RestoreCard();
    void ShowJobProgress(int percent, const std::string& text);
    CardJobProgress CardJobCallbacks(const char* doing);

    MainWindowToolkit& toolkit_;
    std::unique_ptr<CReSampler> resampler_;
    std::unique_ptr<SlotAudition> audition_;
    std::string chosenFolder_;
    std::string lastSaveName_;
    std::string lastBackupFolder_;
    PreviewPanelCore* previewPanel_ = nullptr;
    bool closeAfterJob_ = false; // a close came during the job
    int jobHandlers_ = 0;        // job handlers running (their message boxes included)
    Control jobStarter_ = Control::FromExecBtn;
    bool jobInCardView_ = false; // the running job shows its progress in the card view
    uint32_t lastStep_ = 0;      // when CardViewJobStep last showed progress
    std::string jobPrefix_;      // "2 of 12: kick.wav  " before the progress text of a drop
    CardViewCore* cardView_ = nullptr;
    std::unique_ptr<CardHistory> history_;
    PrepOptions importOptions_;
    std::map<int, int64_t> clipped_; // of the chosen folder
    NamesNotice namesNotice_;
    struct MenuState {
        std::string text;
        bool enabled = false;
        bool set = false;
    };
    std::array<MenuState, kCardMenuItems> mainMenu_, viewMenu_;
};

} // namespace brelka

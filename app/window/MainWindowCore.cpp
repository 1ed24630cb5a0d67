#include "MainWindowCore.h"

#include <algorithm>
#include <cstdio>

#include "CardBackup.h"
#include "CardHistory.h"
#include "CardSteps.h"
#include "CardViewCore.h"
#include "DropPlan.h"
#include "ImportOptions.h"
#include "Jobs.h"
#include "PreviewPanelCore.h"
#include "ReSampler.h"
#include "SampleFile.h"
#include "SlotAudition.h"
#include "TickCount.h"
#include "WindowLayout.h"

namespace brelka {

namespace {

constexpr uint32_t kProgressInterval = 500; // ms between two progress updates, at least

std::string ProgressText(uint64_t elapsedMs, uint64_t leftMs) {
    char text[64];
    std::snprintf(
        text, sizeof text, "Passing %u:%02u  ETR %u:%02u",
        static_cast<unsigned>(elapsedMs / 1000 / 60), static_cast<unsigned>(elapsedMs / 1000 % 60),
        static_cast<unsigned>(leftMs / 1000 / 60), static_cast<unsigned>(leftMs / 1000 % 60));
    return text;
}

// Counts a job handler from its start to its return.
class JobHandler {
  public:
    explicit JobHandler(int& count) : count_(count) { ++count_; }
    ~JobHandler() { --count_; }
    JobHandler(const JobHandler&) = delete;
    JobHandler& operator=(const JobHandler&) = delete;

  private:
    int& count_;
};

} // namespace

MainWindowCore::MainWindowCore(MainWindowToolkit& toolkit, WaveWindow& window,
                               const std::string& engineLibrary)
    : toolkit_(toolkit), resampler_(std::make_unique<CReSampler>(engineLibrary)),
      history_(std::make_unique<CardHistory>()) {
    CreateAudition(window);
    ApplyInitialStates();
}

MainWindowCore::MainWindowCore(MainWindowToolkit& toolkit, WaveWindow& window)
    : toolkit_(toolkit), resampler_(std::make_unique<CReSampler>()),
      history_(std::make_unique<CardHistory>()) {
    CreateAudition(window);
    ApplyInitialStates();
}

void MainWindowCore::ApplyInitialStates() {
    for (const layout::MainControl& c : layout::MainControls())
        if (layout::IsControl(c.part)) toolkit_.SetEnabled(layout::ControlOf(c.part), c.enabled);
}

void MainWindowCore::CreateAudition(WaveWindow& window) {
    audition_ = std::make_unique<SlotAudition>(
        window, AuditionView{
                    [this](int percent) { toolkit_.SetGauge(percent); },
                    [this](const std::string& text) { toolkit_.SetText(Control::InfoText, text); },
                    [this] { toolkit_.SetChecked(Control::AudBtn, false); },
                    [this](bool on) { playing = on; },
                });
}

MainWindowCore::~MainWindowCore() {
    // A running audition stops and frees its buffers while the window is still whole; the
    // engine library goes next.
    audition_.reset();
    resampler_.reset();
}

WaveListener& MainWindowCore::AuditionListener() {
    return *audition_;
}

void MainWindowCore::SrcEditClick() {
    std::string folder;
    if (!toolkit_.ChooseFolder(folder)) return;
    chosenFolder_ = folder;
    toolkit_.SetText(Control::SrcEdit, folder);
    folderChosen = true;
    clipped_.clear();
    ScanSampleFolder(folder);
    toolkit_.SetEnabled(Control::SampleList, true);
    // Picking the first slot here leaves the length label as it is.
    toolkit_.SelectSlotItem(toolkit_.SlotItemCount() > 0 ? 0 : -1);
    if (cardView_) cardView_->Refresh();
}

void MainWindowCore::ScanSampleFolder(const std::string& folder) {
    toolkit_.ClearSlotItems();
    for (const std::string& slot : brelka::ScanSampleFolder(folder))
        toolkit_.AddSlotItem(slot);
}

void MainWindowCore::SampleListChange() {
    const int slot = ParseSlotNumber(toolkit_.Text(Control::SampleList));
    const std::string path = SlotFileName(toolkit_.Text(Control::SrcEdit), slot);
    toolkit_.SetText(Control::LenLabel, SlotLengthText(path));
}

void MainWindowCore::AbortBtnClick() {
    abortRequested = true;
}

void MainWindowCore::AppEventsIdle() {
    if (closeAfterJob_ && jobHandlers_ == 0) {
        // The job that a close stopped is over, its message read: the window goes.
        closeAfterJob_ = false;
        toolkit_.CloseWindow();
        return;
    }
    auto apply = [this](bool src, bool list, bool aud, bool jobs, bool channel, bool conv,
                        bool abortOn) {
        toolkit_.SetEnabled(Control::SrcEdit, src);
        toolkit_.SetEnabled(Control::SampleList, list);
        toolkit_.SetEnabled(Control::AudBtn, aud);
        toolkit_.SetEnabled(Control::ToExecBtn, jobs);
        toolkit_.SetEnabled(Control::FromExecBtn, jobs);
        toolkit_.SetEnabled(Control::ImportRadio, channel);
        toolkit_.SetEnabled(Control::RateConvCheck, conv);
        toolkit_.SetEnabled(Control::ConvGroup, conv);
        toolkit_.SetEnabled(Control::AbortBtn, abortOn);
    };
    if (cardView_) cardView_->ApplyStates(busy, playing);
    UpdateCardMenus();
    if (playing) {
        apply(false, false, true, false, false, false, false);
        return;
    }
    if (busy) {
        apply(false, false, false, false, false, false, true);
        return;
    }
    apply(true, true, folderChosen && toolkit_.SlotItemCount() > 0, folderChosen, true, true,
          false);

    // The quality buttons follow the check box and the engine library.
    const bool conversion = toolkit_.IsChecked(Control::RateConvCheck);
    const bool engine = resampler_ && resampler_->available();
    if (conversion && !engine && !toolkit_.IsChecked(Control::RsSimple))
        toolkit_.SetChecked(Control::RsSimple, true);
    toolkit_.SetEnabled(Control::RsSimple, conversion);
    for (Control rb : {Control::RsLight, Control::RsMedium, Control::RsHeavy, Control::RsUHeavy})
        toolkit_.SetEnabled(rb, conversion && engine);
}

bool MainWindowCore::UpdateJobProgress(int k, int n, uint32_t start, uint32_t& last) {
    const uint32_t now = platform::TickCount();
    if (static_cast<uint32_t>(now - last) <= kProgressInterval || k == 0) return false;
    const uint64_t elapsed = static_cast<uint32_t>(now - start);
    const uint64_t left =
        n > k ? elapsed * static_cast<uint64_t>(n - k) / static_cast<uint64_t>(k) : 0;
    ShowJobProgress(n > 0 ? static_cast<int>(int64_t{k} * 100 / n) : -1,
                    jobPrefix_ + ProgressText(elapsed, left));
    toolkit_.RunPendingEvents();
    if (abortRequested) return true;
    last = now;
    return false;
}

int MainWindowCore::ImportChannel() const {
    const int id = toolkit_.ImportRadioIndex();
    return id < 0 ? kChannelMix : id;
}

int MainWindowCore::QualityCode() const {
    if (!toolkit_.IsChecked(Control::RateConvCheck)) return kQualityOff;
    if (toolkit_.IsChecked(Control::RsUHeavy)) return kQualityUltraHeavy;
    if (toolkit_.IsChecked(Control::RsHeavy)) return kQualityHeavy;
    if (toolkit_.IsChecked(Control::RsMedium)) return kQualityMedium;
    if (toolkit_.IsChecked(Control::RsLight)) return kQualityLight;
    return kQualitySimple;
}

void MainWindowCore::OpenDialogSelectionChange(const std::string& path) {
    if (previewPanel_ != nullptr) previewPanel_->SelectionChange(path);
}

void MainWindowCore::BeginJob(Control starter) {
    jobStarter_ = starter;
    toolkit_.SetWaitCursor(true);
    busy = true;
    abortRequested = false;
    toolkit_.RunPendingEvents();
    AppEventsIdle();
}

void MainWindowCore::ShowJobProgress(int percent, const std::string& text) {
    if (jobInCardView_ && cardView_) {
        cardView_->ShowProgress(true, std::max(percent, 0), text);
        return;
    }
    toolkit_.SetText(Control::InfoText, text);
    if (percent >= 0) toolkit_.SetGauge(percent);
}

void MainWindowCore::EndJob(bool clearProgress) {
    toolkit_.SetWaitCursor(false);
    abortRequested = false;
    busy = false;
    if (jobInCardView_) {
        if (cardView_) cardView_->ShowProgress(false, 0, std::string());
    } else if (clearProgress) {
        toolkit_.SetText(Control::InfoText, std::string());
        toolkit_.SetGauge(0);
    }
    // The controls come back now, and the keyboard with them to the button that started the
    // job (the window took it away when that button was disabled).
    AppEventsIdle();
    if (!jobInCardView_) toolkit_.FocusControl(jobStarter_);
}

JobProgress MainWindowCore::JobCallbacks(uint32_t& start, uint32_t& last, bool& prepared) {
    JobProgress progress;
    progress.preparing = [this, &prepared] {
        prepared = true;
        ShowJobProgress(-1, jobPrefix_ + "Preparing...");
    };
    progress.started = [&start, &last](int) { start = last = platform::TickCount(); };
    progress.block = [this, &start, &last](int k, int n) {
        return UpdateJobProgress(k, n, start, last);
    };
    progress.closing = [this] { ShowJobProgress(100, jobPrefix_ + "Closing the file..."); };
    return progress;
}

void MainWindowCore::SelectSlot(int slot) {
    // The last item that names the slot; none when no item does. The length label stays.
    int found = -1;
    for (int i = toolkit_.SlotItemCount() - 1; i >= 0; --i) {
        if (ParseSlotNumber(toolkit_.SlotItem(i)) == slot) {
            found = i;
            break;
        }
    }
    toolkit_.SelectSlotItem(found);
}

void MainWindowCore::FromExecBtnClick() {
    std::string source;
    if (!toolkit_.ChooseImportFile(source)) return;
    const int slot = ParseSlotNumber(toolkit_.Text(Control::SampleList));
    // The window's own import keeps what an Abort leaves, as it always has.
    ImportIntoCard({DropItem{source, slot}}, false, true);
}

void MainWindowCore::ImportIntoCard(const std::vector<DropItem>& items, bool inCardView,
                                    bool keepAborted) {
    const JobHandler running(jobHandlers_);
    jobInCardView_ = inCardView && cardView_;
    BeginJob(jobInCardView_ ? jobStarter_ : Control::FromExecBtn);
    ImportSettings settings;
    settings.channel = ImportChannel();
    settings.quality = QualityCode();
    settings.prep = importOptions_;
    uint32_t start = platform::TickCount(), last = start;
    bool prepared = false;
    const size_t count = items.size();
    auto progressFor = [&](int i, int n) {
        jobPrefix_.clear();
        if (n > 1)
            jobPrefix_ = std::to_string(i + 1) + " of " + std::to_string(n) + ": " +
                         NameFromSourcePath(items[static_cast<size_t>(i)].source) + "  ";
        return JobCallbacks(start, last, prepared);
    };
    ImportStepOutcome outcome;
    try {
        outcome = RunImportStep(*history_, chosenFolder_, items, settings, *resampler_, progressFor,
                                keepAborted);
    } catch (...) {
        jobPrefix_.clear();
        EndJob(prepared); // the window is usable again; the front shows what went wrong
        jobInCardView_ = false;
        throw;
    }
    jobPrefix_.clear();
    EndJob(prepared || count > 1);
    const bool shownInView = jobInCardView_;
    jobInCardView_ = false;
    for (size_t i = 0; i < outcome.slots.size(); ++i) {
        if (outcome.clipped[i] > 0)
            clipped_[outcome.slots[i]] = outcome.clipped[i];
        else
            clipped_.erase(outcome.slots[i]);
    }
    if (!outcome.error.empty()) {
        std::string text = outcome.error;
        if (count > 1)
            text += "\n" + outcome.file + "\nNothing was written: the card is as it was.";
        Tell(shownInView, text);
    } else if (!outcome.namesSaved) {
        TellNamesNotSaved(shownInView);
    }
    if (outcome.rolledBack || outcome.slots.empty()) return; // the card is as it was
    ScanSampleFolder(chosenFolder_);
    if (!outcome.slots.empty()) SelectSlot(outcome.slots.front());
    if (cardView_) cardView_->Refresh();
}

void MainWindowCore::ToExecBtnClick() {
    std::string dest;
    if (!toolkit_.ChooseExportFile(lastSaveName_, dest)) return;
    lastSaveName_ = dest;
    const JobHandler running(jobHandlers_);

    BeginJob(Control::ToExecBtn);
    ExportRequest request;
    request.folder = chosenFolder_;
    request.slotText = toolkit_.Text(Control::SampleList);
    request.destPath = dest;
    request.quality = QualityCode();
    uint32_t start = platform::TickCount(), last = start;
    bool prepared = false;
    ExportOutcome outcome;
    try {
        outcome = RunExport(request, *resampler_, JobCallbacks(start, last, prepared));
    } catch (...) {
        EndJob(prepared);
        throw;
    }
    EndJob(prepared);
    if (JobFailed(outcome.status)) toolkit_.ShowMessage(JobMessage(outcome.status));
}

// The slot audition: start when AudBtn is down, stop when it is up.
void MainWindowCore::AudBtnClick(bool down) {
    if (down)
        audition_->Start(toolkit_.Text(Control::SrcEdit), toolkit_.Text(Control::SampleList));
    else
        audition_->Release();
}

bool MainWindowCore::CloseRequest() {
    if (busy) {
        abortRequested = true;
        closeAfterJob_ = true;
        return false;
    }
    if (audition_) audition_->Stop();
    return true;
}

void MainWindowCore::DropFiles(const std::vector<std::string>& paths) {
    if (busy || playing) return;
    if (!folderChosen) {
        Tell(false, "Choose the card's sample folder first, then drop the files again.");
        return;
    }
    DropOntoSlot(paths, ParseSlotNumber(toolkit_.Text(Control::SampleList)), false);
}

void MainWindowCore::DropOntoSlot(const std::vector<std::string>& paths, int firstSlot,
                                  bool inCardView) {
    const DropPlan plan = PlanDrop(paths, firstSlot);
    if (!plan.ok) {
        Tell(inCardView, plan.error);
        return;
    }
    if (plan.items.empty()) return;
    // A drop of many files is one step: all of it or, on a failure or Abort, none.
    ImportIntoCard(plan.items, inCardView, plan.items.size() == 1);
}

void MainWindowCore::BeginCardViewJob() {
    jobInCardView_ = cardView_ != nullptr;
    ++jobHandlers_;
    BeginJob(jobStarter_);
}

bool MainWindowCore::CardViewJobStep(int percent, const std::string& text) {
    const uint32_t now = platform::TickCount();
    if (static_cast<uint32_t>(now - lastStep_) >= 100) {
        lastStep_ = now;
        ShowJobProgress(percent, text);
        toolkit_.RunPendingEvents();
    }
    return abortRequested;
}

void MainWindowCore::EndCardViewJob() {
    EndJob(false);
    jobInCardView_ = false;
    --jobHandlers_;
}

void MainWindowCore::CardChanged() {
    if (!folderChosen) return;
    const std::string shown = toolkit_.Text(Control::SampleList);
    ScanSampleFolder(chosenFolder_);
    SelectSlot(ParseSlotNumber(shown));
    if (toolkit_.Text(Control::SampleList).empty()) toolkit_.SetText(Control::SampleList, shown);
    SampleListChange();
    if (cardView_) cardView_->Refresh();
}

void MainWindowCore::Tell(bool inCardView, const std::string& text) {
    if (inCardView && cardView_)
        cardView_->Toolkit().ShowMessage(text);
    else
        toolkit_.ShowMessage(text);
}

void MainWindowCore::TellNamesNotSaved(bool inCardView) {
    const std::string message = namesNotice_.Take(chosenFolder_);
    if (!message.empty()) Tell(inCardView, message);
}

int64_t MainWindowCore::ClippedIn(int slot) const {
    const auto it = clipped_.find(slot);
    return it == clipped_.end() ? 0 : it->second;
}

void MainWindowCore::ForgetClipped(const std::vector<int>& slots) {
    for (int slot : slots)
        clipped_.erase(slot);
}

void MainWindowCore::ListenToSlot(int slot) {
    if (busy || !folderChosen) return;
    if (playing) audition_->Stop();
    toolkit_.SetChecked(Control::AudBtn, true);
    audition_->Start(chosenFolder_, SlotText(slot));
}

void MainWindowCore::StopListening() {
    if (!playing) return;
    audition_->Stop();
    toolkit_.SetChecked(Control::AudBtn, false);
}

void MainWindowCore::CardMenuCommand(CardMenuItem item, bool fromCardView) {
    switch (item) {
    case CardMenuItem::CardView:
        toolkit_.ShowCardView();
        return;
    case CardMenuItem::ImportOptions:
        if (!busy) EditImportOptions();
        return;
    case CardMenuItem::Undo:
    case CardMenuItem::Redo:
        UndoOrRedo(item == CardMenuItem::Undo, fromCardView);
        return;
    case CardMenuItem::BackUp:
        BackUpCard();
        return;
    case CardMenuItem::Restore:
        RestoreCard();
        return;
    }
}

void MainWindowCore::EditImportOptions() {
    ImportOptionsForm form = FormOf(importOptions_);
    while (toolkit_.EditImportOptions(form)) {
        std::string error;
        if (ReadImportOptions(form, importOptions_, error)) break;
        toolkit_.ShowMessage(error);
    }
    UpdateCardMenus();
    if (cardView_) cardView_->Refresh();
}

void MainWindowCore::UndoOrRedo(bool undo, bool fromCardView) {
    if (busy || playing || !folderChosen) return;
    const HistoryResult r = undo ? history_->Undo(chosenFolder_) : history_->Redo(chosenFolder_);
    // Marks of clipping belong to the imports that made them; a turned step drops them all.
    clipped_.clear();
    CardChanged();
    if (!r.ok) Tell(fromCardView, r.message);
}

namespace {

std::string CountText(size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

CardJobProgress MainWindowCore::CardJobCallbacks(const char* doing) {
    CardJobProgress progress;
    progress.file = [this, doing](int done, int total, const std::string& file) {
        std::string text = doing;
        if (done < total)
            text += " " + std::to_string(done + 1) + " of " + std::to_string(total) + ": " +
                    NameFromSourcePath(file);
        return CardViewJobStep(total > 0 ? done * 100 / total : 0, text);
    };
    progress.cancel = [this] { return abortRequested; };
    return progress;
}

void MainWindowCore::BackUpCard() {
    if (busy || playing || !folderChosen) return;
    toolkit_.ShowCardView(); // the backup's progress and Abort show there
    std::string dest = lastBackupFolder_;
    if (!toolkit_.ChooseOtherFolder("Back Up Card", dest)) return;
    lastBackupFolder_ = dest;
    BeginCardViewJob();
    CardJobResult r;
    try {
        r = BackupCard(chosenFolder_, dest, CardJobCallbacks("Backing up"));
    } catch (...) {
        EndCardViewJob();
        throw;
    }
    EndCardViewJob();
    if (r.aborted) return;
    if (!r.ok) {
        Tell(true, r.error);
        return;
    }
    Tell(true, CountText(r.slots.size(), "slot", "slots") + " backed up to " + dest + ".");
}

void MainWindowCore::RestoreCard() {
    if (busy || playing || !folderChosen) return;
    toolkit_.ShowCardView();
    std::string src = lastBackupFolder_;
    if (!toolkit_.ChooseOtherFolder("Restore Card", src)) return;
    lastBackupFolder_ = src;
    const RestorePlan plan = PlanRestore(src);
    if (!plan.ok) {
        Tell(true, plan.error + "\nNothing was written: the card is as it was.");
        return;
    }
    const std::string question = "Restore " + CountText(plan.items.size(), "slot", "slots") +
                                 " from " + src +
                                 "? They replace what those slots hold now (Undo brings it back).";
    if (!(cardView_ ? cardView_->Toolkit().AskYesNo(question) : toolkit_.AskYesNo(question)))
        return;
    RestoreOptions options;
    options.quality = QualityCode();
    options.channel = ImportChannel();
    options.prep = importOptions_;
    BeginCardViewJob();
    CardJobResult r;
    try {
        r = brelka::RestoreCard(plan, chosenFolder_, options, *resampler_,
                                CardJobCallbacks("Restoring"), history_.get());
    } catch (...) {
        EndCardViewJob();
        CardChanged();
        throw;
    }
    EndCardViewJob();
    ForgetClipped(r.slots);
    CardChanged();
    if (r.aborted) return;
    if (!r.ok) {
        Tell(true, r.error);
        return;
    }
    if (!r.namesSaved) TellNamesNotSaved(true);
    if (r.clipped > 0)
        Tell(true, CountText(static_cast<size_t>(r.clipped), "sample", "samples") +
                       " clipped in the restore.");
}

void MainWindowCore::UpdateCardMenus() {
    const bool free = !busy && !playing && folderChosen;
    auto stateOf = [&](CardMenuItem item) {
        MenuState m;
        m.set = true;
        m.text = layout::MenuSpec(item).caption;
        m.enabled = true;
        switch (item) {
        case CardMenuItem::CardView:
            break;
        case CardMenuItem::ImportOptions:
            m.text = ImportOptionsMenuText(importOptions_);
            m.enabled = !busy;
            break;
        case CardMenuItem::Undo: {
            const std::string label = folderChosen ? history_->UndoLabel(chosenFolder_) : "";
            if (!label.empty()) m.text += " " + label;
            m.enabled = free && !label.empty();
            break;
        }
        case CardMenuItem::Redo: {
            const std::string label = folderChosen ? history_->RedoLabel(chosenFolder_) : "";
            if (!label.empty()) m.text += " " + label;
            m.enabled = free && !label.empty();
            break;
        }
        case CardMenuItem::BackUp:
        case CardMenuItem::Restore:
            m.enabled = free;
            break;
        }
        return m;
    };
    for (const layout::MenuEntry& entry : layout::CardMenu()) {
        const MenuState m = stateOf(entry.item);
        const auto i = static_cast<size_t>(entry.item);
        auto push = [&](std::array<MenuState, kCardMenuItems>& last, CardMenuToolkit& to) {
            if (last[i].set && last[i].text == m.text && last[i].enabled == m.enabled) return;
            last[i] = m;
            to.SetMenuItem(entry.item, m.text, m.enabled);
        };
        push(mainMenu_, toolkit_);
        if (cardView_) push(viewMenu_, cardView_->Toolkit());
    }
}

} // namespace brelka

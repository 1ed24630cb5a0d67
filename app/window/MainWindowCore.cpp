#include "MainWindowCore.h"

#include <algorithm>
#include <cstdio>

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
    : toolkit_(toolkit), resampler_(std::make_unique<CReSampler>(engineLibrary)) {
    CreateAudition(window);
    ApplyInitialStates();
}

MainWindowCore::MainWindowCore(MainWindowToolkit& toolkit, WaveWindow& window)
    : toolkit_(toolkit), resampler_(std::make_unique<CReSampler>()) {
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
    ScanSampleFolder(folder);
    toolkit_.SetEnabled(Control::SampleList, true);
    // Picking the first slot here leaves the length label as it is.
    toolkit_.SelectSlotItem(toolkit_.SlotItemCount() > 0 ? 0 : -1);
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
    toolkit_.SetText(Control::InfoText, ProgressText(elapsed, left));
    if (n > 0) toolkit_.SetGauge(static_cast<int>(int64_t{k} * 100 / n));
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

void MainWindowCore::EndJob(bool clearProgress) {
    toolkit_.SetWaitCursor(false);
    abortRequested = false;
    busy = false;
    if (clearProgress) {
        toolkit_.SetText(Control::InfoText, std::string());
        toolkit_.SetGauge(0);
    }
    // The controls come back now, and the keyboard with them to the button that started the
    // job (the window took it away when that button was disabled).
    AppEventsIdle();
    toolkit_.FocusControl(jobStarter_);
}

JobProgress MainWindowCore::JobCallbacks(uint32_t& start, uint32_t& last, bool& prepared) {
    JobProgress progress;
    progress.preparing = [this, &prepared] {
        prepared = true;
        toolkit_.SetText(Control::InfoText, "Preparing...");
    };
    progress.started = [&start, &last](int) { start = last = platform::TickCount(); };
    progress.block = [this, &start, &last](int k, int n) {
        return UpdateJobProgress(k, n, start, last);
    };
    progress.closing = [this] {
        toolkit_.SetGauge(100);
        toolkit_.SetText(Control::InfoText, "Closing the file...");
    };
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
    const JobHandler running(jobHandlers_);

    BeginJob(Control::FromExecBtn);
    ImportRequest request;
    request.sourcePath = source;
    request.folder = chosenFolder_;
    request.slotText = toolkit_.Text(Control::SampleList);
    request.channel = ImportChannel();
    request.quality = QualityCode();
    uint32_t start = platform::TickCount(), last = start;
    bool prepared = false;
    ImportOutcome outcome;
    try {
        outcome = RunImport(request, *resampler_, JobCallbacks(start, last, prepared));
    } catch (...) {
        EndJob(prepared); // the window is usable again; the front shows what went wrong
        throw;
    }
    EndJob(prepared);
    if (JobFailed(outcome.status)) {
        toolkit_.ShowMessage(JobMessage(outcome.status));
        return;
    }
    ScanSampleFolder(chosenFolder_);
    SelectSlot(outcome.slot);
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

} // namespace brelka

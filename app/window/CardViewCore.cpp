#include "CardViewCore.h"

#include <algorithm>

#include "CardSteps.h"
#include "ImportOptions.h"
#include "Jobs.h"
#include "MainWindowCore.h"
#include "Path.h"
#include "SampleFile.h"
#include "WindowLayout.h"

namespace brelka {

CardViewCore::CardViewCore(CardViewToolkit& toolkit, MainWindowCore& main)
    : toolkit_(toolkit), main_(main) {
    main_.AttachCardView(this);
    Refresh();
    main_.AppEventsIdle();
}

CardViewCore::~CardViewCore() {
    main_.DetachCardView(this);
}

void CardViewCore::Refresh() {
    if (main_.folderChosen) {
        scan_ = ScanCard(main_.ChosenFolder(), layout::kThumbnailColumns);
        // What the scan removed is said until the folder changes.
        if (scan_.folder != noticeFolder_) leftoversNotice_.clear();
        noticeFolder_ = scan_.folder;
        if (!scan_.leftovers.empty()) leftoversNotice_ = LeftoversNotice(scan_.leftovers);
    } else {
        scan_ = CardScan{};
    }
    toolkit_.SetRows(Rows());
    toolkit_.ShowFolderButton(!main_.folderChosen);
    std::string summary = main_.folderChosen ? scan_.Summary() : layout::kNoFolderText;
    const PrepOptions& options = main_.ImportOptions();
    if (options.Any()) summary += "   Imports: " + options.Summary();
    if (!leftoversNotice_.empty()) summary += "   " + leftoversNotice_;
    toolkit_.SetStatus(summary, main_.folderChosen ? main_.ChosenFolder() : std::string());
}

std::vector<CardRow> CardViewCore::Rows() const {
    std::vector<CardRow> rows;
    if (!main_.folderChosen) return rows; // no card: no rows
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        CardRow row;
        row.slot = slot;
        row.number = SlotText(slot);
        row.name = "(empty)";
        if (static_cast<size_t>(slot) <= scan_.slots.size()) {
            const CardSlot& s = scan_.slots[static_cast<size_t>(slot - 1)];
            row.used = s.used;
            if (s.used) {
                row.name = s.name;
                row.length = s.length;
                row.stale = s.stale;
                row.low = s.low;
                row.high = s.high;
                if (s.stale) row.note = "changed since it was named";
                const int64_t clipped = main_.ClippedIn(slot);
                if (clipped > 0)
                    row.note = std::to_string(clipped) +
                               (clipped == 1 ? " sample clipped" : " samples clipped");
            }
        }
        row.playing = false;
        rows.push_back(std::move(row));
    }
    return rows;
}

void CardViewCore::ApplyStates(bool busy, bool playing) {
    (void)playing;
    toolkit_.SetInputEnabled(!busy, busy);
}

void CardViewCore::ShowProgress(bool on, int percent, const std::string& text) {
    toolkit_.SetProgress(on, percent, text);
}

bool CardViewCore::Ready() {
    if (main_.busy || !main_.folderChosen) return false;
    main_.StopListening();
    return true;
}

void CardViewCore::FolderButtonClick() {
    if (main_.busy) return;
    main_.SrcEditClick();
}

void CardViewCore::DropFiles(int slot, const std::vector<std::string>& paths) {
    if (main_.busy) return;
    if (!main_.folderChosen) {
        toolkit_.ShowMessage("Choose the card's sample folder first, then drop the files again.");
        return;
    }
    main_.StopListening();
    main_.DropOntoSlot(paths, slot, true);
    toolkit_.SelectSlots({slot});
}

void CardViewCore::RowDragged(int from, int to) {
    if (from == to || !Ready()) return;
    const bool toUsed = HasSampleHeader(SlotFileName(main_.ChosenFolder(), to));
    const bool fromUsed = HasSampleHeader(SlotFileName(main_.ChosenFolder(), from));
    if (!fromUsed) return; // an empty row carries nothing
    const CardActionResult r = toUsed ? SwapStep(main_.History(), main_.ChosenFolder(), from, to)
                                      : MoveStep(main_.History(), main_.ChosenFolder(), from, to);
    main_.ForgetClipped({from, to});
    main_.CardChanged();
    if (!r.ok) {
        toolkit_.ShowMessage(r.error);
        return;
    }
    toolkit_.SelectSlots({to});
}

void CardViewCore::Command(RowCommand command) {
    switch (command) {
    case RowCommand::Listen:
        Listen();
        return;
    case RowCommand::Rename:
        Rename();
        return;
    case RowCommand::Export:
        Export();
        return;
    case RowCommand::Clear:
        Clear();
        return;
    }
}

void CardViewCore::Listen() {
    const std::vector<int> selected = toolkit_.SelectedSlots();
    if (selected.empty() || main_.busy || !main_.folderChosen) return;
    if (!HasSampleHeader(SlotFileName(main_.ChosenFolder(), selected.front()))) return;
    main_.ListenToSlot(selected.front());
}

void CardViewCore::SelectionChange() {
    main_.StopListening();
}

void CardViewCore::EscapeKey() {
    main_.StopListening();
}

void CardViewCore::AbortClick() {
    main_.AbortBtnClick();
}

void CardViewCore::Rename() {
    const std::vector<int> selected = toolkit_.SelectedSlots();
    if (selected.empty() || !Ready()) return;
    const int slot = selected.front();
    if (!HasSampleHeader(SlotFileName(main_.ChosenFolder(), slot))) return; // an empty slot
    const CardSlot& s = scan_.slots.at(static_cast<size_t>(slot - 1));
    toolkit_.StartRename(slot, s.name);
}

void CardViewCore::RenameDone(int slot, const std::string& typed) {
    if (!Ready()) return;
    const std::string name = CleanSlotName(typed);
    if (slot < 1 || slot > kSlotCount) return;
    if (name == scan_.slots.at(static_cast<size_t>(slot - 1)).name &&
        !scan_.slots.at(static_cast<size_t>(slot - 1)).stale)
        return;
    const CardActionResult r = RenameStep(main_.History(), main_.ChosenFolder(), slot, name);
    main_.CardChanged();
    if (!r.ok) toolkit_.ShowMessage(r.error);
}

std::vector<int> CardViewCore::UsedSelection() const {
    std::vector<int> used;
    for (int slot : toolkit_.SelectedSlots())
        if (HasSampleHeader(SlotFileName(main_.ChosenFolder(), slot))) used.push_back(slot);
    std::sort(used.begin(), used.end());
    return used;
}

void CardViewCore::Clear() {
    const std::vector<int> used = UsedSelection();
    if (used.empty() || !Ready()) return;
    std::string which = SlotText(used.front());
    if (used.size() > 1) which = std::to_string(used.size()) + " slots";
    const std::string question =
        used.size() == 1
            ? "Clear slot " + which + "? Its sound and name leave the card (Undo brings them back)."
            : "Clear " + which + "? Their sounds and names leave the card (Undo brings them back).";
    if (!toolkit_.AskYesNo(question)) return;
    const CardActionResult r = ClearStep(main_.History(), main_.ChosenFolder(), used);
    main_.ForgetClipped(used);
    main_.CardChanged();
    if (!r.ok) toolkit_.ShowMessage(r.error);
}

void CardViewCore::Export() {
    const std::vector<int> used = UsedSelection();
    if (used.empty() || !Ready()) return;
    std::vector<std::pair<int, std::string>> targets; // slot, destination
    if (used.size() == 1) {
        const CardSlot& s = scan_.slots.at(static_cast<size_t>(used.front() - 1));
        std::string path;
        if (!toolkit_.ChooseExportFile(SlotExportFileName(used.front(), s.name), path)) return;
        targets.emplace_back(used.front(), path);
    } else {
        std::string folder;
        if (!toolkit_.ChooseExportFolder(folder)) return;
        for (int slot : used) {
            const CardSlot& s = scan_.slots.at(static_cast<size_t>(slot - 1));
            targets.emplace_back(slot, platform::WithTrailingSeparator(folder) +
                                           SlotExportFileName(slot, s.name));
        }
    }
    std::string failure;
    main_.BeginCardViewJob();
    try {
        for (const auto& target : targets) {
            const int slot = target.first;
            const std::string& path = target.second;
            ExportRequest request;
            request.folder = main_.ChosenFolder();
            request.slotText = SlotText(slot);
            request.destPath = path;
            request.quality = main_.QualityCode();
            JobProgress progress;
            const std::string prefix = targets.size() > 1 ? SlotText(slot) + ": " : "";
            progress.block = [this, &prefix, &path](int k, int n) {
                return main_.CardViewJobStep(n > 0 ? static_cast<int>(int64_t{k} * 100 / n) : 0,
                                             prefix + NameFromSourcePath(path));
            };
            const ExportOutcome outcome = RunExport(request, main_.Resampler(), progress);
            if (JobFailed(outcome.status)) {
                failure = std::string(JobMessage(outcome.status)) + "\n" + path;
                break;
            }
            if (outcome.status == JobStatus::Aborted) break;
        }
    } catch (...) {
        main_.EndCardViewJob();
        throw;
    }
    main_.EndCardViewJob();
    if (!failure.empty()) toolkit_.ShowMessage(failure);
}

void CardViewCore::MenuCommand(CardMenuItem item) {
    if (item == CardMenuItem::CardView) {
        toolkit_.Raise();
        return;
    }
    main_.CardMenuCommand(item, true);
}

void CardViewCore::AppEventsIdle() {
    main_.AppEventsIdle();
}

bool CardViewCore::CloseRequest() {
    if (main_.busy) {
        main_.AbortBtnClick();
        return false;
    }
    main_.StopListening();
    return true;
}

} // namespace brelka

#include "CardSteps.h"

#include <algorithm>

#include "CardNames.h"
#include "SampleFile.h"

namespace brelka {

namespace {

// Runs an action as a step on the files it may change; the step is kept when the action
// changed a file, and taken back when it failed.
CardActionResult RunStep(CardHistory& history, const std::string& folder,
                         const std::vector<int>& slots, const std::string& label,
                         const std::function<CardActionResult()>& action) {
    HistoryResult why;
    auto step = history.Begin(folder, StepFiles(folder, slots), label, &why);
    if (!step) {
        CardActionResult refused;
        refused.ok = false;
        refused.error = why.message;
        refused.file = why.file;
        return refused;
    }
    CardActionResult result = action();
    if (!result.ok) {
        // The actions put back what they changed; the step makes sure of it.
        history.Rollback(std::move(step));
        return result;
    }
    bool changed = false;
    for (const auto& file : step->files())
        changed = changed || StateOfFile(file.path) != file.before;
    if (changed)
        history.Commit(std::move(step));
    else
        history.Rollback(std::move(step));
    return result;
}

std::string SlotRange(const std::vector<int>& slots) {
    if (slots.empty()) return {};
    const auto [lo, hi] = std::minmax_element(slots.begin(), slots.end());
    if (*lo == *hi) return SlotText(*lo);
    if (static_cast<size_t>(*hi - *lo + 1) == slots.size())
        return SlotText(*lo) + "-" + SlotText(*hi);
    return std::to_string(slots.size()) + " slots";
}

} // namespace

std::vector<std::string> StepFiles(const std::string& folder, const std::vector<int>& slots) {
    std::vector<std::string> files;
    files.reserve(slots.size() + 1);
    for (int slot : slots)
        files.push_back(SlotFileName(folder, slot));
    files.push_back(NamesFilePath(folder));
    return files;
}

std::string ImportLabel(const std::vector<DropItem>& items) {
    std::vector<int> slots;
    slots.reserve(items.size());
    for (const auto& item : items)
        slots.push_back(item.slot);
    return "Import into " + SlotRange(slots);
}

std::string ClearLabel(const std::vector<int>& slots) {
    const std::string range = SlotRange(slots);
    return "Clear " +
           (slots.size() == 2 ? SlotText(slots[0]) + " and " + SlotText(slots[1]) : range);
}

ImportStepOutcome RunImportStep(CardHistory& history, const std::string& folder,
                                const std::vector<DropItem>& items, const ImportSettings& settings,
                                CReSampler& resampler,
                                const std::function<JobProgress(int, int)>& progressFor,
                                bool keepAborted) {
    ImportStepOutcome outcome;
    std::vector<int> slots;
    slots.reserve(items.size());
    for (const auto& item : items)
        slots.push_back(item.slot);
    HistoryResult why;
    auto step = history.Begin(folder, StepFiles(folder, slots), ImportLabel(items), &why);
    if (!step) {
        outcome.status = JobStatus::CreateError;
        outcome.file = why.file;
        outcome.error = why.message;
        return outcome;
    }
    double kitPeak = 0.0; // one gain for the kit: from its loudest sound
    if (settings.prep.kit && settings.prep.normalizeDb)
        for (const auto& item : items)
            kitPeak = std::max(kitPeak, SourcePeak(item.source, settings.channel, settings.prep));

    const int n = static_cast<int>(items.size());
    for (int i = 0; i < n; ++i) {
        ImportRequest request;
        request.sourcePath = items[static_cast<size_t>(i)].source;
        request.folder = folder;
        request.slotText = SlotText(items[static_cast<size_t>(i)].slot);
        request.channel = settings.channel;
        request.quality = settings.quality;
        request.prep = settings.prep;
        request.kitPeak = kitPeak;
        ImportOutcome one;
        try {
            one = RunImport(request, resampler, progressFor ? progressFor(i, n) : JobProgress{});
        } catch (...) {
            history.Rollback(std::move(step));
            throw;
        }
        outcome.status = one.status;
        outcome.convertCode = one.convertCode;
        if (JobFailed(one.status) || (one.status == JobStatus::Aborted && !keepAborted)) {
            outcome.file = request.sourcePath;
            if (JobFailed(one.status)) outcome.error = JobMessage(one.status);
            history.Rollback(std::move(step));
            outcome.rolledBack = true;
            outcome.slots.clear();
            outcome.clipped.clear();
            return outcome;
        }
        outcome.slots.push_back(one.slot);
        outcome.clipped.push_back(one.clipped);
        if (!NameSlotAfterImport(folder, one.slot, request.sourcePath)) outcome.namesSaved = false;
        if (one.status == JobStatus::Aborted) break;
    }
    history.Commit(std::move(step));
    return outcome;
}

CardActionResult MoveStep(CardHistory& history, const std::string& folder, int from, int to) {
    return RunStep(history, folder, {from, to}, "Move " + SlotText(from) + " to " + SlotText(to),
                   [&] { return MoveSlot(folder, from, to); });
}

CardActionResult SwapStep(CardHistory& history, const std::string& folder, int a, int b) {
    return RunStep(history, folder, {a, b}, "Swap " + SlotText(a) + " and " + SlotText(b),
                   [&] { return SwapSlots(folder, a, b); });
}

CardActionResult ClearStep(CardHistory& history, const std::string& folder,
                           const std::vector<int>& slots) {
    return RunStep(history, folder, slots, ClearLabel(slots),
                   [&] { return ClearSlots(folder, slots); });
}

CardActionResult RenameStep(CardHistory& history, const std::string& folder, int slot,
                            const std::string& name) {
    return RunStep(history, folder, {}, "Rename " + SlotText(slot),
                   [&] { return RenameSlot(folder, slot, name); });
}

} // namespace brelka

#include "CardBackup.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>
#include <system_error>

#include "AudioFile.h"
#include "Card.h"
#include "CardHistory.h"
#include "CardNames.h"
#include "DropPlan.h"
#include "Files.h"
#include "JobCommon.h"
#include "Path.h"
#include "ReSampler.h"
#include "SampleFile.h"

namespace brelka {

const char kRestoreStepLabel[] = "Restore Card";

namespace {

std::string Stem(const std::string& fileName) {
    const size_t dot = fileName.rfind('.');
    return dot == std::string::npos ? fileName : fileName.substr(0, dot);
}

CardJobResult Failed(const std::string& error, const std::string& file) {
    CardJobResult r;
    r.ok = false;
    r.error = error;
    r.file = file;
    return r;
}

CardJobResult Stopped(const std::string& error) {
    CardJobResult r = Failed(error, "");
    r.aborted = true;
    return r;
}

bool Asked(const CardJobProgress& progress, int done, int total, const std::string& file) {
    return progress.file && progress.file(done, total, file);
}

// A file's job reports its blocks and asks for a stop; it is never aborted halfway (that
// would keep part of it).
JobProgress FileJob(const CardJobProgress& progress) {
    JobProgress job;
    if (progress.block)
        job.block = [&progress](int k, int n) {
            progress.block(k, n);
            return false;
        };
    job.cancel = progress.cancel;
    return job;
}

// The slot number a backup file's name begins with (0 when none, 1000 for one far too large),
// and what follows it.
int LeadingNumber(const std::string& stem, std::string* rest) {
    size_t digits = 0;
    while (digits < stem.size() && std::isdigit(static_cast<unsigned char>(stem[digits])))
        ++digits;
    *rest = stem.substr(digits);
    if (digits == 0) return 0;
    if (digits > 3) return 1000;
    return std::stoi(stem.substr(0, digits));
}

// What the restore says about a failed import of `item`.
std::string ImportFailure(const ImportOutcome& r, const RestoreItem& item, std::string* file) {
    const bool source = r.status == JobStatus::SourceError;
    *file = source ? item.source : r.slotPath;
    std::string what =
        r.status == JobStatus::ConvertError
            ? std::string("Rate conversion error (") + ConversionErrorText(r.convertCode) + ")."
            : JobMessage(r.status);
    return what + " " + *file + ": the restore stopped at " + platform::FileNameOf(item.source) +
           ".";
}

// A mono 16-bit file at the device rate exactly: its samples can go into the slot as they are.
bool GoesInUntouched(const std::string& path, const RestoreOptions& options, bool* deviceRate) {
    AudioFile file;
    if (OpenSource(file, path) != kAudioFileOk) return false;
    const AudioInfo& info = file.info();
    *deviceRate = info.sampleRate.TruncToUInt32() == static_cast<uint32_t>(kDeviceRate);
    return *deviceRate && info.sampleRate.ToDouble() == kDeviceRate && info.channels == 1 &&
           info.bitsPerSample == 16 && info.encoding == kEncodingPcm && !options.prep.Any();
}

} // namespace

std::string BackupFileName(int slot, const std::string& name) {
    const std::string file = SlotExportFileName(slot, name);
    return file == SlotText(slot) + ".wav" ? SlotText(slot) + " slot.wav" : file;
}

CardJobResult BackupCard(const std::string& folder, const std::string& dest,
                         const CardJobProgress& progress) {
    if (!platform::IsDirectory(folder)) return Failed("No such folder: " + folder, folder);
    std::error_code ec;
    if (std::filesystem::equivalent(platform::FsPath(folder), platform::FsPath(dest), ec))
        return Failed(dest + " is the card itself; back the card up into a folder elsewhere.",
                      dest);
    if (!platform::IsDirectory(dest) &&
        !std::filesystem::create_directories(platform::FsPath(dest), ec))
        return Failed("The folder " + dest + " could not be made; nothing was backed up.", dest);
    const std::vector<std::string> there = SoundFilesIn(dest);
    const std::string namesCopy = NamesFilePath(dest);
    if (!there.empty() || platform::IsRegularFile(namesCopy)) {
        const std::string file = there.empty() ? namesCopy : there.front();
        return Failed(dest + " already holds a backup or sounds (" + platform::FileNameOf(file) +
                          "); back the card up into an empty folder.",
                      file);
    }

    const CardScan card = ScanCard(folder, 0);
    std::vector<const CardSlot*> used;
    for (const CardSlot& slot : card.slots)
        if (slot.used) used.push_back(&slot);
    const auto total = static_cast<int>(used.size());
    if (total == 0) return Failed("The card in " + folder + " has no sound to back up.", folder);
    CardJobResult result;
    // On a failure or a stop the backup takes back what it wrote.
    auto undo = [&](CardJobResult r) {
        for (const std::string& written : result.files)
            RemoveQuietly(written);
        return r;
    };
    CReSampler none(""); // the slots are written at their own rate
    const JobProgress job = FileJob(progress);
    for (int k = 0; k < total; ++k) {
        const CardSlot& slot = *used[static_cast<size_t>(k)];
        ExportRequest request;
        request.folder = folder;
        request.slotText = SlotText(slot.slot);
        request.destPath = platform::WithTrailingSeparator(dest) +
                           BackupFileName(slot.slot, slot.stale ? "" : slot.name);
        if (Asked(progress, k, total, request.destPath))
            return undo(Stopped("The backup was stopped; nothing was kept of it."));
        const ExportOutcome r = RunExport(request, none, job);
        if (r.status == JobStatus::Cancelled)
            return undo(Stopped("The backup was stopped; nothing was kept of it."));
        if (r.status == JobStatus::SampleError)
            return undo(
                Failed(slot.path + " could not be read; the backup was not made.", slot.path));
        if (JobFailed(r.status))
            return undo(Failed(request.destPath +
                                   " could not be written (the folder is full or write-protected); "
                                   "the backup was not made.",
                               request.destPath));
        result.files.push_back(request.destPath);
        result.slots.push_back(slot.slot);
    }
    const std::string names = NamesFilePath(folder);
    if (platform::IsRegularFile(names)) {
        if (!CopyFileBytes(names, namesCopy))
            return undo(
                Failed(namesCopy + " could not be written; the backup was not made.", namesCopy));
        result.files.push_back(namesCopy);
    }
    Asked(progress, total, total, "");
    return result;
}

RestorePlan PlanRestore(const std::string& src) {
    RestorePlan plan;
    plan.folder = src;
    auto refuse = [&](const std::string& error, const std::string& file) {
        plan.ok = false;
        plan.error = error + " Nothing was restored.";
        plan.file = file;
        plan.items.clear();
        return plan;
    };
    if (!platform::IsDirectory(src)) return refuse("No such folder: " + src + ".", src);
    const CardNames backedUp = LoadCardNames(src);
    std::vector<std::string> files = SoundFilesIn(src);
    std::sort(files.begin(), files.end(), [](const std::string& a, const std::string& b) {
        return NameOrderLess(platform::FileNameOf(a), platform::FileNameOf(b));
    });
    std::vector<const std::string*> bySlot(kSlotCount + 1, nullptr);
    for (const std::string& path : files) {
        const std::string file = platform::FileNameOf(path);
        if (file[0] == '.') continue; // hidden: "._05 Kick.wav", which macOS leaves beside it
        const std::string stem = Stem(file);
        std::string rest;
        const int slot = LeadingNumber(stem, &rest);
        if (slot == 0 && (stem.empty() || !std::isdigit(static_cast<unsigned char>(stem[0]))))
            return refuse(file + " does not begin with a slot number: a file is restored into the "
                                 "slot its name begins with (05 Kick.wav into slot 05).",
                          path);
        if (slot < 1 || slot > kSlotCount)
            return refuse(file + " is for slot " + stem.substr(0, stem.size() - rest.size()) +
                              ", but the slots are 01 to 60.",
                          path);
        if (bySlot[static_cast<size_t>(slot)])
            return refuse(platform::FileNameOf(*bySlot[static_cast<size_t>(slot)]) + " and " +
                              file + " are both for slot " + SlotText(slot) + ".",
                          path);
        bySlot[static_cast<size_t>(slot)] = &path;
        if (!IsUsableSource(path))
            return refuse(file + " cannot be read as a sound (not a WAV or AIFF file the "
                                 "program takes).",
                          path);
        RestoreItem item;
        item.source = path;
        item.slot = slot;
        item.name = CleanSlotName(rest);
        if (item.name == "slot") item.name.clear(); // a slot backed up without a name
        // The names file has the name as it was, where the file name had to change it.
        const SlotName* entry = backedUp.Find(slot);
        if (entry && Stem(BackupFileName(slot, entry->name)) == stem) item.name = entry->name;
        plan.items.push_back(item);
    }
    if (plan.items.empty())
        return refuse(src + " holds no backed-up slots (files such as 05 Kick.wav).", src);
    std::sort(plan.items.begin(), plan.items.end(),
              [](const RestoreItem& a, const RestoreItem& b) { return a.slot < b.slot; });
    return plan;
}

CardJobResult RestoreCard(const RestorePlan& plan, const std::string& folder,
                          const RestoreOptions& options, CReSampler& resampler,
                          const CardJobProgress& progress, CardHistory* history) {
    if (!plan.ok) return Failed(plan.error, plan.file);
    if (!platform::IsDirectory(folder)) return Failed("No such folder: " + folder, folder);
    std::unique_ptr<CardHistory> own; // for the rollback when the caller keeps no history
    if (!history) own = std::make_unique<CardHistory>();
    CardHistory& steps = history ? *history : *own;
    std::vector<bool> restored(kSlotCount + 1, false);
    for (const RestoreItem& item : plan.items)
        restored[static_cast<size_t>(item.slot)] = true;
    // The files the restore may change: its slots, with --exact the used slots it clears, and
    // the names.
    std::vector<int> clear;
    std::vector<std::string> files;
    for (int s = 1; s <= kSlotCount; ++s) {
        const std::string path = SlotFileName(folder, s);
        const bool cleared =
            options.exact && !restored[static_cast<size_t>(s)] && HasSampleHeader(path);
        if (cleared) clear.push_back(s);
        if (cleared || restored[static_cast<size_t>(s)]) files.push_back(path);
    }
    files.push_back(NamesFilePath(folder));
    HistoryResult why;
    auto step = steps.Begin(folder, files, kRestoreStepLabel, &why);
    if (!step) return Failed(why.message, why.file);
    // A failure or a stop takes every file back to what it was at Begin.
    auto back = [&](CardJobResult r) {
        const HistoryResult put = steps.Rollback(std::move(step));
        if (put.ok) {
            r.error += " The card is as it was before the restore.";
        } else {
            r.error += " " + put.message;
            r.file = put.file;
        }
        return r;
    };
    const std::string stopped = "The restore was stopped.";

    CardJobResult result;
    if (!clear.empty()) {
        const CardActionResult cleared = ClearSlots(folder, clear);
        if (!cleared.ok) return back(Failed(cleared.error, cleared.file));
        result.slots = cleared.slots;
    }

    double kitPeak = 0.0;
    if (options.prep.kit)
        for (const RestoreItem& item : plan.items)
            kitPeak = std::max(kitPeak, SourcePeak(item.source, options.channel, options.prep));
    const JobProgress job = FileJob(progress);
    const auto total = static_cast<int>(plan.items.size());
    for (int k = 0; k < total; ++k) {
        const RestoreItem& item = plan.items[static_cast<size_t>(k)];
        if (Asked(progress, k, total, item.source)) return back(Stopped(stopped));
        ImportRequest request;
        request.sourcePath = item.source;
        request.folder = folder;
        request.slotText = SlotText(item.slot);
        request.channel = options.channel;
        request.prep = options.prep;
        request.kitPeak = kitPeak;
        bool deviceRate = false;
        request.pad = !GoesInUntouched(item.source, options, &deviceRate);
        request.quality = deviceRate ? 0 : options.quality;
        const ImportOutcome r = RunImport(request, resampler, job);
        if (r.status == JobStatus::Cancelled) return back(Stopped(stopped));
        if (JobFailed(r.status)) {
            std::string file;
            const std::string error = ImportFailure(r, item, &file);
            return back(Failed(error, file));
        }
        result.clipped += r.clipped;
        result.slots.push_back(item.slot);
    }

    CardNames names = LoadCardNames(folder);
    for (const RestoreItem& item : plan.items)
        names.Set(item.slot, item.name, FingerprintOf(SlotFileName(folder, item.slot)));
    if (!SaveCardNames(folder, names)) {
        result.namesSaved = false;
        result.namesWarning = NamesNotSavedMessage(folder);
    }
    std::sort(result.slots.begin(), result.slots.end());
    steps.Commit(std::move(step));
    Asked(progress, total, total, "");
    return result;
}

} // namespace brelka

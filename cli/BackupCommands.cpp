#include "BackupCommands.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <iostream>
#include <iterator>

#include "Card.h"
#include "CardBackup.h"
#include "Interrupt.h"
#include "Progress.h"
#include "ReSampler.h"
#include "SampleFile.h"

namespace {

constexpr int kExitOk = 0, kExitFailed = 1, kExitInterrupted = 130;

// The quality names in code order: off (0) ... ultra (5).
const char* const kQualityNames[] = {"off", "simple", "light", "medium", "heavy", "ultra"};

std::string BaseName(const std::string& path) {
    const size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// The progress bar over the files of a backup or restore, and Ctrl-C as its stop.
struct FileBar {
    ProgressBar bar;
    brelka::JobProgress steps;
    FileBar(const std::string& label, bool quiet) : bar(label, quiet), steps(bar.Callbacks()) {}
    brelka::CardJobProgress Callbacks() {
        brelka::CardJobProgress p;
        p.file = [this](int done, int total, const std::string&) {
            if (done == 0) steps.started(total);
            if (done > 0) steps.block(done - 1, total);
            if (done == total) steps.closing();
            return platform::InterruptRequested();
        };
        p.cancel = platform::InterruptRequested;
        return p;
    }
};

// A failed or stopped backup or restore: the message, and the report with --json.
int Refused(const brelka::CardJobResult& r, nlohmann::json report, bool json) {
    std::string message = r.error;
    if (r.aborted && !message.empty()) {
        message[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(message[0])));
        message = "Interrupted; " + message;
    }
    std::cerr << message << "\n";
    if (json) {
        report["ok"] = false;
        report["interrupted"] = r.aborted;
        report["error"] = r.error;
        report["file"] = r.file;
        std::cout << report.dump(2) << "\n";
    }
    return r.aborted ? kExitInterrupted : kExitFailed;
}

} // namespace

BackupCommands::BackupCommands(CLI::App& app) {
    backup_ = app.add_subcommand(
        "backup", "Write every used slot of a card into a folder as \"NN name.wav\" (31250 Hz, "
                  "every sample as it is), with a copy of the names file");
    backup_->add_option("folder", folder_, "The sample folder")->required();
    backup_->add_option("dest", other_, "The folder to write into (new or empty)")->required();

    restore_ = app.add_subcommand(
        "restore", "Put a backup folder back: each \"NN name.wav\" or \".aif\" into slot NN, "
                   "named after the file; the whole card as it was when anything fails");
    restore_->add_option("folder", folder_, "The sample folder")->required();
    restore_->add_option("src", other_, "The backup folder")->required();
    restore_->add_flag("--exact", exact_, "Also clear the slots the backup has no file for");
    restore_
        ->add_option("--quality", quality_,
                     "Conversion of files at other rates than 31250 Hz: off, simple, light, "
                     "medium, heavy (default), ultra")
        ->check(CLI::IsMember({"off", "simple", "light", "medium", "heavy", "ultra"}));
    restore_->add_option("--channel", channel_, "Channel of a stereo file: L, R or MIX (default)")
        ->transform([](std::string s) {
            std::transform(s.begin(), s.end(), s.begin(),
                           [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
            return s;
        })
        ->check(CLI::IsMember({"L", "R", "MIX"}));
    for (auto* command : {backup_, restore_})
        command->add_flag("--json", json_, "Machine-readable output");
}

bool BackupCommands::Parsed() const {
    return backup_->parsed() || restore_->parsed();
}

int BackupCommands::Run(bool quiet, const brelka::PrepOptions& prep) const {
    return backup_->parsed() ? Backup(quiet) : Restore(quiet, prep);
}

int BackupCommands::Backup(bool quiet) const {
    const platform::InterruptGuard interrupts;
    FileBar bar("backup " + folder_, quiet || json_);
    const brelka::CardJobResult r = brelka::BackupCard(folder_, other_, bar.Callbacks());
    nlohmann::json report = {{"action", "backup"}, {"folder", folder_}, {"dest", other_}};
    if (!r.ok) return Refused(r, report, json_);
    report["ok"] = true;
    report["files"] = nlohmann::json::array();
    for (size_t i = 0; i < r.files.size(); ++i) {
        nlohmann::json file = {{"file", BaseName(r.files[i])}, {"path", r.files[i]}};
        if (i < r.slots.size()) file["slot"] = r.slots[i];
        report["files"].push_back(file);
    }
    if (json_) {
        std::cout << report.dump(2) << "\n";
        return kExitOk;
    }
    for (size_t i = 0; i < r.slots.size(); ++i)
        std::cout << brelka::SlotText(r.slots[i]) << " -> " << r.files[i] << "\n";
    std::cout << "backed up " << r.slots.size() << " slot" << (r.slots.size() == 1 ? "" : "s")
              << " to " << other_ << "\n";
    return kExitOk;
}

int BackupCommands::Restore(bool quiet, const brelka::PrepOptions& prep) const {
    const platform::InterruptGuard interrupts;
    nlohmann::json report = {
        {"action", "restore"}, {"folder", folder_}, {"src", other_}, {"exact", exact_}};
    const brelka::RestorePlan plan = brelka::PlanRestore(other_);
    if (!plan.ok) {
        brelka::CardJobResult refused;
        refused.ok = false;
        refused.error = plan.error;
        refused.file = plan.file;
        return Refused(refused, report, json_);
    }
    brelka::RestoreOptions options;
    options.quality =
        static_cast<int>(std::find(std::begin(kQualityNames), std::end(kQualityNames), quality_) -
                         std::begin(kQualityNames));
    options.channel = channel_ == "L"   ? brelka::kChannelL
                      : channel_ == "R" ? brelka::kChannelR
                                        : brelka::kChannelMix;
    options.prep = prep;
    options.exact = exact_;
    CReSampler resampler;
    FileBar bar("restore " + other_, quiet || json_);
    const brelka::CardJobResult r =
        brelka::RestoreCard(plan, folder_, options, resampler, bar.Callbacks());
    if (!r.ok) return Refused(r, report, json_);
    if (!r.namesSaved && !quiet) std::cerr << "warning: " << r.namesWarning << "\n";
    if (r.clipped > 0 && !quiet) std::cerr << "warning: " << r.clipped << " samples clipped\n";
    nlohmann::json restored = nlohmann::json::array(), cleared = nlohmann::json::array();
    std::string clearedText;
    for (int slot : r.slots) {
        const auto item =
            std::find_if(plan.items.begin(), plan.items.end(),
                         [&](const brelka::RestoreItem& i) { return i.slot == slot; });
        if (item == plan.items.end()) {
            cleared.push_back(slot);
            clearedText += " " + brelka::SlotText(slot);
            continue;
        }
        restored.push_back(
            {{"slot", slot},
             {"source", item->source},
             {"name", item->name},
             {"length", brelka::SlotLengthText(brelka::SlotFileName(folder_, slot))}});
        if (!json_)
            std::cout << brelka::SlotText(slot) << " <- " << BaseName(item->source)
                      << (item->name.empty() ? "" : "  " + item->name) << "\n";
    }
    report["ok"] = true;
    report["restored"] = restored;
    report["cleared"] = cleared;
    report["clipped"] = r.clipped;
    report["names_saved"] = r.namesSaved;
    if (json_) {
        std::cout << report.dump(2) << "\n";
        return kExitOk;
    }
    if (!clearedText.empty()) std::cout << "cleared" << clearedText << "\n";
    std::cout << "restored " << restored.size() << " slot" << (restored.size() == 1 ? "" : "s")
              << " from " << other_ << "\n";
    return kExitOk;
}

#include "CardCommands.h"

#include <iostream>

#include "Card.h"
#include "SampleFile.h"

namespace {

constexpr int kExitOk = 0, kExitFailed = 1, kExitUsage = 2;

// A slot as given on the command line: a number from 1 to 60 and nothing else; 0 otherwise
// (the card commands change the card, so text that is no slot is refused, not read as 01).
int StrictSlot(const std::string& text) {
    if (text.empty() || text.size() > 3 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    const int n = std::stoi(text);
    return n >= 1 && n <= brelka::kSlotCount ? n : 0;
}

nlohmann::json SlotState(const std::string& folder, int slot) {
    const std::string path = brelka::SlotFileName(folder, slot);
    const bool used = brelka::HasSampleHeader(path);
    bool stale = false;
    const std::string name =
        used ? brelka::LoadCardNames(folder).Shown(slot, brelka::FingerprintOf(path), &stale) : "";
    return {{"slot", slot},
            {"used", used},
            {"length", used ? brelka::SlotLengthText(path) : ""},
            {"name", name},
            {"stale", stale}};
}

void WarnNamesNotSaved(const std::string& folder, bool quiet) {
    static brelka::NamesNotice notice;
    const std::string message = notice.Take(folder);
    if (!quiet && !message.empty()) std::cerr << "warning: " << message << "\n";
}

} // namespace

CardCommands::CardCommands(CLI::App& app) {
    rename_ = app.add_subcommand("rename", "Name a slot (an empty name removes its name)");
    rename_->add_option("folder", folder_, "The sample folder")->required();
    rename_->add_option("slot", first_, "The slot, 01 ... 60")->required();
    rename_->add_option("name", name_, "The name")->required();

    move_ = app.add_subcommand("move", "Move a slot's sound and name into an empty slot");
    move_->add_option("folder", folder_, "The sample folder")->required();
    move_->add_option("from", first_, "The used slot, 01 ... 60")->required();
    move_->add_option("to", second_, "The empty slot, 01 ... 60")->required();

    swap_ = app.add_subcommand("swap", "Let two slots change sounds and names");
    swap_->add_option("folder", folder_, "The sample folder")->required();
    swap_->add_option("a", first_, "One slot, 01 ... 60")->required();
    swap_->add_option("b", second_, "The other slot, 01 ... 60")->required();

    clear_ = app.add_subcommand("clear", "Empty slots and drop their names");
    clear_->add_option("folder", folder_, "The sample folder")->required();
    clear_->add_option("slots", slots_, "The slots, 01 ... 60")->required();

    for (auto* command : {rename_, move_, swap_, clear_})
        command->add_flag("--json", json_, "Machine-readable output");
}

bool CardCommands::Parsed() const {
    return rename_->parsed() || move_->parsed() || swap_->parsed() || clear_->parsed();
}

int CardCommands::Run(bool quiet) const {
    std::vector<std::string> given = slots_;
    if (!clear_->parsed()) given = {first_, second_};
    if (rename_->parsed()) given.pop_back();
    std::vector<int> slots;
    for (const auto& text : given) {
        const int slot = StrictSlot(text);
        if (slot == 0) {
            std::cerr << "Not a slot: \"" << text
                      << "\" (slots are 1 ... 60). Nothing was changed.\n";
            return kExitUsage;
        }
        slots.push_back(slot);
    }
    brelka::CardActionResult r;
    nlohmann::json report;
    std::string done;
    if (rename_->parsed()) {
        r = brelka::RenameSlot(folder_, slots[0], name_);
        report = {{"action", "rename"}, {"slot", slots[0]}};
        done = "renamed " + brelka::SlotText(slots[0]);
    } else if (move_->parsed()) {
        r = brelka::MoveSlot(folder_, slots[0], slots[1]);
        report = {{"action", "move"}, {"from", slots[0]}, {"to", slots[1]}};
        done = "moved " + brelka::SlotText(slots[0]) + " to " + brelka::SlotText(slots[1]);
    } else if (swap_->parsed()) {
        r = brelka::SwapSlots(folder_, slots[0], slots[1]);
        report = {{"action", "swap"}, {"a", slots[0]}, {"b", slots[1]}};
        done = "swapped " + brelka::SlotText(slots[0]) + " and " + brelka::SlotText(slots[1]);
    } else {
        r = brelka::ClearSlots(folder_, slots);
        report = {{"action", "clear"}, {"cleared", r.slots}};
        done = "cleared";
        for (int s : r.slots)
            done += " " + brelka::SlotText(s);
        if (r.slots.empty()) done = "nothing to clear: the slots are empty";
    }
    report["folder"] = folder_;
    report["ok"] = r.ok;
    if (!r.ok) {
        std::cerr << r.error << "\n";
        if (json_) {
            report["error"] = r.error;
            report["file"] = r.file;
            std::cout << report.dump(2) << "\n";
        }
        return kExitFailed;
    }
    if (!r.namesSaved) WarnNamesNotSaved(folder_, quiet);
    report["names_saved"] = r.namesSaved;
    report["slots"] = nlohmann::json::array();
    for (int s : r.slots)
        report["slots"].push_back(SlotState(folder_, s));
    if (json_) {
        std::cout << report.dump(2) << "\n";
        return kExitOk;
    }
    std::cout << done << "\n";
    for (const auto& s : report["slots"]) {
        std::cout << brelka::SlotText(s["slot"].get<int>()) << " "
                  << (s["used"].get<bool>() ? s["length"].get<std::string>() : "(empty)");
        const auto name = s["name"].get<std::string>();
        if (!name.empty()) std::cout << "  " << name << (s["stale"].get<bool>() ? " (stale)" : "");
        std::cout << "\n";
    }
    return kExitOk;
}

ListedNames::ListedNames(const std::string& folder)
    : folder_(folder), names_(brelka::LoadCardNames(folder)) {}

std::string ListedNames::Suffix(int slot) const {
    nlohmann::json o;
    AddTo(slot, o);
    const auto name = o["name"].get<std::string>();
    if (name.empty()) return {};
    return "  " + name + (o["stale"].get<bool>() ? " (stale)" : "");
}

void ListedNames::AddTo(int slot, nlohmann::json& object) const {
    bool stale = false;
    const brelka::SlotFingerprint now =
        names_.Find(slot) ? brelka::FingerprintOf(brelka::SlotFileName(folder_, slot))
                          : brelka::SlotFingerprint{};
    object["name"] = names_.Shown(slot, now, &stale);
    object["stale"] = stale;
}

void NameImportedSlot(const std::string& folder, int slot, const std::string& source, bool quiet) {
    if (!brelka::NameSlotAfterImport(folder, slot, source)) WarnNamesNotSaved(folder, quiet);
}

// The commands that rearrange a card (rename, move, swap, clear) and the slot names that list
// and import show and write.
#pragma once

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "CardNames.h"

class CardCommands {
  public:
    // Adds rename, move, swap and clear to the tool.
    explicit CardCommands(CLI::App& app);
    // True when one of them was given.
    bool Parsed() const;
    // Runs the one that was given: 0 done, 1 refused or failed (the card as it was), 2 usage.
    int Run(bool quiet) const;

  private:
    CLI::App *rename_, *move_, *swap_, *clear_;
    std::string folder_, name_, first_, second_;
    std::vector<std::string> slots_; // of clear
    bool json_ = false;
};

// The names of a folder's slots as list shows them.
class ListedNames {
  public:
    explicit ListedNames(const std::string& folder);
    // "  name", "  name (stale)", or nothing for a slot without a name.
    std::string Suffix(int slot) const;
    // Adds "name" and "stale" to a slot's object.
    void AddTo(int slot, nlohmann::json& object) const;

  private:
    std::string folder_;
    brelka::CardNames names_;
};

// After a successful import: names the slot after its source, and warns (once per run, not
// with quiet) when the names file could not be written.
void NameImportedSlot(const std::string& folder, int slot, const std::string& source, bool quiet);

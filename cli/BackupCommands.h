// The commands that back a whole card up into a folder and restore it from one.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

#include "SoundPrep.h"

class BackupCommands {
  public:
    // Adds backup and restore to the tool; the restore's preparation flags are the import's,
    // which the caller adds to restore() and hands to Run.
    explicit BackupCommands(CLI::App& app);
    bool Parsed() const;
    CLI::App* restore() const { return restore_; }
    // Runs the one that was given: 0 done, 1 refused or failed (the card as it was), 130
    // interrupted.
    int Run(bool quiet, const brelka::PrepOptions& prep) const;

  private:
    int Backup(bool quiet) const;
    int Restore(bool quiet, const brelka::PrepOptions& prep) const;

    CLI::App *backup_, *restore_;
    std::string folder_, other_;
    std::string quality_ = "heavy", channel_ = "MIX";
    bool exact_ = false, json_ = false;
};

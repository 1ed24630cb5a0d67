// The whole card: its 60 slots at a glance, and the actions that rearrange them (move, swap,
// clear, rename) with their names. Every change of a slot file is a rename within the card's
// folder, so each slot is at any moment either as it was or as it should be; a swap that fails
// halfway puts back what it had changed.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "CardNames.h"

namespace brelka {

struct CardSlot {
    int slot = 1;
    std::string path;  // the slot's file
    bool used = false; // a sample file is there
    int64_t samples = 0;
    std::string length; // as the main window's length label shows it; empty for an empty slot
    std::string name;   // empty when it has none or is empty
    bool stale = false; // the slot file changed since it was named
    // The thumbnail: for each of its columns the lowest and highest sample (empty when unused).
    std::vector<int16_t> low, high;
};

struct CardScan {
    std::string folder;
    std::vector<CardSlot> slots; // 01 ... 60
    int used = 0;
    int64_t totalSamples = 0;
    NamesFileState names = NamesFileState::Missing;
    // What an interrupted write of the program had left on the card, removed by the scan
    // ("SAMPLE07.BIN.tmp"); see RemoveWriteLeftovers.
    std::vector<std::string> leftovers;
    // "N of 60 slots used, total m:ss.mmm"
    std::string Summary() const;
};

// Reads each slot file of the folder once: what it holds, its name and a min/max envelope of
// `columns` columns (0: none). Removes the leftovers of interrupted writes first.
CardScan ScanCard(const std::string& folder, int columns);

// Removes the temporary files the program's own writes leave when they are interrupted (power
// lost, card pulled, program killed): a slot's "SAMPLEnn.BIN.tmp" that begins with a sample
// file's header, and the names file's "BRELKA.TXT.tmp"; nothing else, and none that was written
// in the last kLeftoverAgeSeconds (another copy of the program may be writing it). Returns the
// names of the files removed.
constexpr int kLeftoverAgeSeconds = 30;
std::vector<std::string> RemoveWriteLeftovers(const std::string& folder);

// "Removed what an interrupted write left: SAMPLE07.BIN.tmp, BRELKA.TXT.tmp"; empty for none.
std::string LeftoversNotice(const std::vector<std::string>& removed);

// "m:ss.mmm" of a number of samples at the device rate (minutes without limit).
std::string TotalLengthText(int64_t samples);

struct CardActionResult {
    std::string error;      // what failed, which file, and what to do about it
    std::string file;       // the file the failure concerns
    std::vector<int> slots; // the slots whose content changed
    std::string namesWarning;
    bool ok = true;
    bool namesSaved = true; // false: the card's names file could not be written
};

// Called once between the steps of a swap (the first slot is put aside); any may be empty.
struct CardActionHooks {
    std::function<void()> midSwap;
};

// The sound of `from` into the empty slot `to`, with its name.
CardActionResult MoveSlot(const std::string& folder, int from, int to);
// The sounds of two slots change places, with their names; one of them may be empty, then it
// is a move.
CardActionResult SwapSlots(const std::string& folder, int a, int b,
                           const CardActionHooks& hooks = {});
// Empties the slots and drops their names; slots already empty are left out. All or nothing:
// when one of them cannot be cleared, none is.
CardActionResult ClearSlots(const std::string& folder, const std::vector<int>& slots);
// Names a used slot (an empty name removes its name). Fails when the names file cannot be
// written.
CardActionResult RenameSlot(const std::string& folder, int slot, const std::string& name);

// "05": the slot as the window and the tool write it.
std::string SlotText(int slot);

// The file a slot is exported to among several in one folder: "05 Kick 808.wav", or "05.wav"
// for a slot without a name; characters no Windows or card file name may hold become '_', and
// trailing dots and blanks go.
std::string SlotExportFileName(int slot, const std::string& name);

} // namespace brelka

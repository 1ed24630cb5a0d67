// The whole card to a folder and back. A backup writes every used slot as a WAV file of its
// exact samples ("05 Kick 808.wav", "05 slot.wav" for a slot without a name) beside a copy of
// the names file; a restore puts such a folder back, each "NN ...wav" or ".aif" into slot NN. A
// restore is checked as a whole before anything is written and is one step of the card's
// history: when it fails or is stopped, every slot file and the names file go back to what
// they were.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Jobs.h"
#include "SoundPrep.h"

class CReSampler;

namespace brelka {

class CardHistory;

// Callbacks of a backup or restore; any may be empty.
struct CardJobProgress {
    // Before file `done` of `total` (0-based; `file` is its path), and once more with done ==
    // total at the end. True asks to stop: the backup or restore is then taken back.
    std::function<bool(int done, int total, const std::string& file)> file;
    // Block k of n of the current file is written (for a gauge within a long file).
    std::function<void(int k, int n)> block;
    // Asked after each block of a file; true stops the same way (a window asks its Abort
    // button here, after letting its events run).
    std::function<bool()> cancel;
};

struct CardJobResult {
    bool ok = true;
    bool aborted = false;   // stopped through the progress callbacks; nothing was changed
    std::string error;      // what failed, naming the file, and what to do; empty when ok
    std::string file;       // the file the failure concerns
    std::vector<int> slots; // backup: the slots written; restore: the slots written or cleared
    std::vector<std::string> files; // backup: the files written, in slot order
    int64_t clipped = 0;            // restore: samples limited to 16 bits (the clip report)
    bool namesSaved = true;         // restore: false when the card's names file could not be
    std::string namesWarning;       // written (the slots are restored)
};

// The file a slot is backed up to: "05 Kick 808.wav", or "05 slot.wav" without a name.
std::string BackupFileName(int slot, const std::string& name);

// Writes every used slot of the card in `folder` into `dest` (made when missing) as 31250 Hz
// mono 16-bit WAV holding every sample of the slot file, and copies the names file. A name the
// card shows as stale is left out of the file name. Refused when the card has no sound, when
// `dest` is the card's own folder, and when it already holds files a restore would take (an
// earlier backup). On a failure or a stop, the files written are removed again.
CardJobResult BackupCard(const std::string& folder, const std::string& dest,
                         const CardJobProgress& progress = {});

struct RestoreItem {
    std::string source; // the file in the backup folder
    int slot = 1;
    std::string name; // the slot's name after the restore (empty: none)
};

struct RestorePlan {
    bool ok = true;
    std::string error; // the refusal, naming the file
    std::string file;  // the file it names
    std::string folder;
    std::vector<RestoreItem> items; // in slot order
};

// Checks the backup folder `src` as a whole: every WAV/AIFF file in it (not in sub-folders, nor
// hidden ones whose name begins with a dot) must begin with a slot number from 01 to 60 (the
// rest of its name, after a blank, is the slot's name; "slot" alone is none), one file a slot,
// each one a sound the import can read.
// The folder's names file gives a name the file name could not hold exactly ("a:b" is
// "05 a_b.wav") where the two agree. Refused, naming the file, when any of that fails, and
// when the folder holds no such file.
RestorePlan PlanRestore(const std::string& src);

struct RestoreOptions {
    int quality = kQualityDefault; // for files at any other rate than 31250 Hz
    int channel = kChannelMix;     // for files of two or more channels
    PrepOptions prep;              // as an import takes it; kit: one gain over all the files
    bool exact = false;            // clear the used slots the backup has no file for
};

// Restores a checked plan into the card in `folder`. A mono 16-bit file at 31250 Hz goes in
// untouched (a backup restored gives back every slot file byte for byte); other files are
// imported as the options say. The whole restore is one step of `history` ("Restore Card"),
// or of a history of its own when none is given, over every file it may change (its slots, the
// slots it clears, the names file): on a failure or a stop each goes back to what it was. A names
// file that cannot be written leaves the restore standing (namesSaved false).
CardJobResult RestoreCard(const RestorePlan& plan, const std::string& folder,
                          const RestoreOptions& options, CReSampler& resampler,
                          const CardJobProgress& progress = {}, CardHistory* history = nullptr);

// The label of a restore's history step.
extern const char kRestoreStepLabel[]; // "Restore Card"

} // namespace brelka

// Files dropped onto a slot of the card: which file goes into which slot, decided before
// anything is written.
#pragma once

#include <string>
#include <vector>

namespace brelka {

struct DropItem {
    std::string source;
    int slot = 1;
};

struct DropPlan {
    bool ok = true;
    std::string error; // the refusal, naming the file
    std::string file;  // the file it names
    std::vector<DropItem> items;
};

// True when the import can read the file as a sound.
bool IsUsableSource(const std::string& path);

// The WAV and AIFF files of a folder (not those of its sub-folders), in the order the file
// system gives them.
std::vector<std::string> SoundFilesIn(const std::string& folder);

// The dropped paths (files, and folders, which bring their WAV and AIFF files but not their
// sub-folders) into `firstSlot` and the slots after it, in name order. Refused as a whole
// when a file cannot be read or the files would run past slot 60.
DropPlan PlanDrop(const std::vector<std::string>& paths, int firstSlot);

// File names as a file manager orders them: letter case aside, and runs of digits by their
// value ("kick2" before "kick10").
bool NameOrderLess(const std::string& a, const std::string& b);

} // namespace brelka

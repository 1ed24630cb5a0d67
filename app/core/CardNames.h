// The names of a card's slots, kept beside the slot files in one small text file that Notepad
// can read and edit: one line per named slot, "05 20480 1f3a...c2 Kick 808" (slot, size of the
// slot file in bytes, 16 hex digits of a hash of its bytes, name). The size and hash tell
// whether the slot still holds the sound that was named: a slot changed by the machine or by
// another program shows its name as stale. Lines of any other form are kept as they are when the
// file is written again. The machine ignores the file; deleting it loses only the names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace brelka {

extern const char kNamesFileName[]; // "BRELKA.TXT": 8.3, and no name the machine uses

// The file's path in a card folder (with or without its trailing separator).
std::string NamesFilePath(const std::string& folder);

// A 64-bit hash of bytes fed in any number of pieces: the FNV-1a step over little-endian 64-bit
// words, each followed by a shift that carries its high bits down, then the last bytes one by
// one. The same bytes give the same value however they are split.
class ByteHash {
  public:
    void Add(const unsigned char* bytes, size_t count);
    uint64_t value() const;

  private:
    static uint64_t Mix(uint64_t h, uint64_t word) {
        h = (h ^ word) * 1099511628211ULL;
        return h ^ (h >> 29);
    }
    uint64_t value_ = 14695981039346656037ULL;
    unsigned char pending_[8] = {};
    size_t pendingCount_ = 0;
};

struct SlotFingerprint {
    int64_t size = -1; // -1: no file
    uint64_t hash = 0;
    bool operator==(const SlotFingerprint& o) const { return size == o.size && hash == o.hash; }
    bool operator!=(const SlotFingerprint& o) const { return !(*this == o); }
};

// Reads the file once; size -1 when it cannot be opened as a plain file.
SlotFingerprint FingerprintOf(const std::string& path);

struct SlotName {
    std::string name;
    SlotFingerprint fingerprint; // of the slot file when it was named
};

class CardNames {
  public:
    // The text of a names file (LF or CRLF lines, an optional UTF-8 byte order mark).
    static CardNames Parse(const std::string& text);
    // The file's text: the kept lines, then one line per name in slot order, CRLF line ends.
    // A file that had no lines of its own begins with two comment lines that explain it.
    std::string Text() const;

    const SlotName* Find(int slot) const;
    // The name shown for a slot whose file now has `current`; empty when it has none. stale is
    // set when the slot file is no longer the one that was named.
    std::string Shown(int slot, const SlotFingerprint& current, bool* stale) const;
    void Set(int slot, const std::string& name, const SlotFingerprint& fingerprint);
    void Remove(int slot);
    void Move(int from, int to); // to's own name, if any, goes
    void Swap(int a, int b);
    bool empty() const { return names_.empty(); }

  private:
    std::map<int, SlotName> names_;
    std::vector<std::string> kept_; // lines that are no name, in their order
};

enum class NamesFileState {
    Missing, // no file: no names yet
    Read,    // read (lines it did not understand are kept)
    Garbled, // unreadable, not text or far too large: no names, and written anew when saved
};

// The card's names; never fails (a file that cannot be used gives no names).
CardNames LoadCardNames(const std::string& folder, NamesFileState* state = nullptr);

// Writes the names through a temporary file that then replaces the old file. False when the
// card refused (read-only, full, removed); the old file is then as it was and no temporary file
// stays behind.
bool SaveCardNames(const std::string& folder, const CardNames& names);

// What the window and the tool say when the names could not be written.
std::string NamesNotSavedMessage(const std::string& folder);

// Says that a card's names could not be written once per card folder, not at every action.
class NamesNotice {
  public:
    // The message the first time for the folder, empty after that.
    std::string Take(const std::string& folder);

  private:
    std::vector<std::string> told_;
};

// A name as typed: one line of valid UTF-8 (control characters become spaces, invalid bytes
// U+FFFD), trimmed, at most kMaxNameBytes bytes (cut at a character boundary).
constexpr size_t kMaxNameBytes = 120;
std::string CleanSlotName(const std::string& typed);

// The file name of a path without its folder and its extension.
std::string NameFromSourcePath(const std::string& path);

// After a successful import of `sourcePath` into the slot: names the slot after its source.
// False when the names file could not be written (the import stands; the slot has no name).
bool NameSlotAfterImport(const std::string& folder, int slot, const std::string& sourcePath);

} // namespace brelka

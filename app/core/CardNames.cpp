#include "CardNames.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "Files.h"
#include "JobCommon.h"
#include "Path.h"
#include "SampleFile.h"

namespace brelka {

const char kNamesFileName[] = "BRELKA.TXT";

namespace {

// A names file is a few kilobytes; anything much larger is no names file of ours.
constexpr int64_t kMaxNamesFileBytes = 1 << 20;
constexpr size_t kReadChunk = 1 << 16;

const char* const kExplanation[] = {
    "; brelka: the names of the slots on this card, one line each: slot, size of the slot file,",
    "; its fingerprint, name. The machine ignores this file; deleting it loses only the names.",
};

// Length of the UTF-8 sequence at s[i], or 0 when it is not a valid one.
size_t Utf8SequenceAt(const std::string& s, size_t i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) return 1;
    size_t n = 0;
    uint32_t cp = 0;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k) {
        const auto t = static_cast<unsigned char>(s[i + k]);
        if ((t & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (t & 0x3F);
    }
    // Overlong forms, surrogates and code points beyond U+10FFFF.
    if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return n;
}

bool IsValidUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const size_t n = Utf8SequenceAt(s, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

std::string Trimmed(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const size_t last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

bool AllOf(const std::string& s, const char* set) {
    return !s.empty() && s.find_first_not_of(set) == std::string::npos;
}

// "NN size hash name" with a slot of two digits, a decimal size, 16 hex digits and a name
// that is valid UTF-8 and not empty.
bool ParseNameLine(const std::string& line, int* slot, SlotName* entry) {
    const size_t a = line.find(' ');
    const size_t b = a == std::string::npos ? a : line.find(' ', a + 1);
    const size_t c = b == std::string::npos ? b : line.find(' ', b + 1);
    if (c == std::string::npos) return false;
    const std::string slotText = line.substr(0, a);
    const std::string sizeText = line.substr(a + 1, b - a - 1);
    const std::string hashText = line.substr(b + 1, c - b - 1);
    const std::string name = Trimmed(line.substr(c + 1));
    if (slotText.size() != 2 || !AllOf(slotText, "0123456789")) return false;
    if (sizeText.size() > 18 || !AllOf(sizeText, "0123456789")) return false;
    if (hashText.size() != 16 || !AllOf(hashText, "0123456789abcdefABCDEF")) return false;
    if (name.empty() || !IsValidUtf8(name)) return false;
    const int n = (slotText[0] - '0') * 10 + (slotText[1] - '0');
    if (n < 1 || n > kSlotCount) return false;
    *slot = n;
    entry->name = name;
    entry->fingerprint.size = std::stoll(sizeText);
    entry->fingerprint.hash = std::stoull(hashText, nullptr, 16);
    return true;
}

// The whole file, or false when it is missing (*missing), unreadable or too large.
bool ReadSmallFile(const std::string& path, std::string* text, bool* missing) {
    std::error_code ec;
    *missing =
        !std::filesystem::exists(std::filesystem::symlink_status(platform::FsPath(path), ec));
    if (*missing) return false;
    // A folder, a pipe or a device at the name is read as nothing.
    std::FILE* f = platform::IsRegularFile(path) ? platform::OpenFile(path, "rb") : nullptr;
    if (!f) return false;
    char chunk[4096];
    size_t got = 0;
    bool ok = true;
    while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
        text->append(chunk, got);
        if (static_cast<int64_t>(text->size()) > kMaxNamesFileBytes) {
            ok = false;
            break;
        }
    }
    if (std::ferror(f)) ok = false;
    std::fclose(f);
    return ok;
}

} // namespace

std::string NamesFilePath(const std::string& folder) {
    return platform::WithTrailingSeparator(folder) + kNamesFileName;
}

namespace {

uint64_t LittleEndianWord(const unsigned char* b) {
    uint64_t w = 0;
    for (int k = 7; k >= 0; --k)
        w = (w << 8) | b[k];
    return w;
}

} // namespace

void ByteHash::Add(const unsigned char* bytes, size_t count) {
    while (pendingCount_ > 0 && count > 0) {
        pending_[pendingCount_++] = *bytes++;
        --count;
        if (pendingCount_ == 8) {
            value_ = Mix(value_, LittleEndianWord(pending_));
            pendingCount_ = 0;
        }
    }
    uint64_t h = value_;
    for (; count >= 8; bytes += 8, count -= 8)
        h = Mix(h, LittleEndianWord(bytes));
    value_ = h;
    std::memcpy(pending_ + pendingCount_, bytes, count);
    pendingCount_ += count;
}

uint64_t ByteHash::value() const {
    uint64_t h = value_;
    for (size_t i = 0; i < pendingCount_; ++i)
        h = (h ^ pending_[i]) * 1099511628211ULL;
    return h;
}

SlotFingerprint FingerprintOf(const std::string& path) {
    SlotFingerprint f;
    std::FILE* in = OpenSlotForReading(path);
    if (!in) return f;
    std::vector<unsigned char> chunk(kReadChunk);
    ByteHash hash;
    int64_t size = 0;
    size_t got = 0;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), in)) > 0) {
        hash.Add(chunk.data(), got);
        size += static_cast<int64_t>(got);
    }
    const bool failed = std::ferror(in) != 0;
    std::fclose(in);
    if (failed) return f;
    f.size = size;
    f.hash = hash.value();
    return f;
}

CardNames CardNames::Parse(const std::string& text) {
    CardNames names;
    size_t start = 0;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) start = 3;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        start = end + 1;
        int slot = 0;
        SlotName entry;
        if (ParseNameLine(line, &slot, &entry))
            names.names_[slot] = entry; // a later line for the same slot wins
        else
            names.kept_.push_back(line);
    }
    return names;
}

std::string CardNames::Text() const {
    std::string text;
    if (kept_.empty())
        for (const char* line : kExplanation)
            text += std::string(line) + "\r\n";
    for (const auto& line : kept_)
        text += line + "\r\n";
    for (const auto& [slot, entry] : names_) {
        char head[64];
        std::snprintf(head, sizeof head, "%02d %lld %016llx ", slot,
                      static_cast<long long>(entry.fingerprint.size),
                      static_cast<unsigned long long>(entry.fingerprint.hash));
        text += head + entry.name + "\r\n";
    }
    return text;
}

const SlotName* CardNames::Find(int slot) const {
    const auto it = names_.find(slot);
    return it == names_.end() ? nullptr : &it->second;
}

std::string CardNames::Shown(int slot, const SlotFingerprint& current, bool* stale) const {
    const SlotName* entry = Find(slot);
    *stale = entry && entry->fingerprint != current;
    return entry ? entry->name : std::string();
}

void CardNames::Set(int slot, const std::string& name, const SlotFingerprint& fingerprint) {
    if (name.empty()) {
        Remove(slot);
        return;
    }
    names_[slot] = SlotName{name, fingerprint};
}

void CardNames::Remove(int slot) {
    names_.erase(slot);
}

void CardNames::Move(int from, int to) {
    const auto it = names_.find(from);
    names_.erase(to);
    if (it == names_.end()) return;
    names_[to] = it->second;
    names_.erase(from);
}

void CardNames::Swap(int a, int b) {
    const auto ia = names_.find(a);
    const auto ib = names_.find(b);
    if (ia != names_.end() && ib != names_.end()) {
        std::swap(ia->second, ib->second);
    } else if (ia != names_.end()) {
        Move(a, b);
    } else if (ib != names_.end()) {
        Move(b, a);
    }
}

CardNames LoadCardNames(const std::string& folder, NamesFileState* state) {
    std::string text;
    bool missing = false;
    NamesFileState s = NamesFileState::Read;
    CardNames names;
    if (!ReadSmallFile(NamesFilePath(folder), &text, &missing))
        s = missing ? NamesFileState::Missing : NamesFileState::Garbled;
    else if (text.find('\0') != std::string::npos)
        s = NamesFileState::Garbled; // not text
    else
        names = CardNames::Parse(text);
    if (state) *state = s;
    return names;
}

bool SaveCardNames(const std::string& folder, const CardNames& names) {
    const std::string path = NamesFilePath(folder);
    const std::string temporary = TemporaryNameFor(path);
    std::FILE* out = platform::OpenFile(temporary, "wb");
    if (!out) return false;
    const std::string text = names.Text();
    bool ok = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    if (std::fclose(out) != 0) ok = false;
    if (ok) ok = ReplaceWith(temporary, path);
    if (!ok) RemoveQuietly(temporary);
    return ok;
}

std::string NamesNotSavedMessage(const std::string& folder) {
    return "The slot names could not be written to " + NamesFilePath(folder) +
           " (the card is read-only or full). The slots themselves are right; only their names "
           "are not kept. Free some space or unlock the card to keep names.";
}

std::string NamesNotice::Take(const std::string& folder) {
    const std::string key = platform::WithTrailingSeparator(folder);
    for (const auto& f : told_)
        if (f == key) return {};
    told_.push_back(key);
    return NamesNotSavedMessage(folder);
}

std::string CleanSlotName(const std::string& typed) {
    std::string out;
    for (size_t i = 0; i < typed.size();) {
        const size_t n = Utf8SequenceAt(typed, i);
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        const auto c = static_cast<unsigned char>(typed[i]);
        if (n == 1 && (c < 0x20 || c == 0x7F))
            out += ' ';
        else
            out.append(typed, i, n);
        i += n;
    }
    out = Trimmed(out);
    if (out.size() > kMaxNameBytes) {
        size_t cut = kMaxNameBytes;
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80)
            --cut;
        out = Trimmed(out.substr(0, cut));
    }
    return out;
}

std::string NameFromSourcePath(const std::string& path) {
    size_t start = 0;
    for (size_t i = 0; i < path.size(); ++i)
        if (platform::IsPathSeparator(path[i])) start = i + 1;
    std::string name = path.substr(start);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
}

bool NameSlotAfterImport(const std::string& folder, int slot, const std::string& sourcePath) {
    CardNames names = LoadCardNames(folder);
    names.Set(slot, CleanSlotName(NameFromSourcePath(sourcePath)),
              FingerprintOf(SlotFileName(folder, slot)));
    return SaveCardNames(folder, names);
}

} // namespace brelka

#include "Card.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "Files.h"
#include "JobCommon.h"
#include "SampleFile.h"

namespace brelka {

namespace {

constexpr size_t kReadChunk = 1 << 16;

std::string BaseName(const std::string& path) {
    const size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// Something (a file, a folder, a link) is at the path.
bool PathTaken(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(platform::FsPath(path), ec));
}

// Spreads the samples of a slot over the columns of its thumbnail as they are read: sample i
// goes into column i * columns / samples.
class Envelope {
  public:
    Envelope(int columns, int64_t samples)
        : columns_(columns), samples_(samples), low_(static_cast<size_t>(columns), INT16_MAX),
          high_(static_cast<size_t>(columns), INT16_MIN) {
        end_ = StartOf(1);
    }
    // `count` big-endian samples.
    void Add(const unsigned char* bytes, int64_t count) {
        while (count > 0 && column_ < columns_) {
            while (index_ >= end_ && column_ + 1 < columns_) {
                ++column_;
                end_ = StartOf(column_ + 1);
            }
            const int64_t run = std::min(count, std::max<int64_t>(end_ - index_, 1));
            int16_t lo = low_[static_cast<size_t>(column_)];
            int16_t hi = high_[static_cast<size_t>(column_)];
            for (int64_t k = 0; k < run; ++k) {
                const auto v = static_cast<int16_t>((bytes[2 * k] << 8) | bytes[2 * k + 1]);
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
            low_[static_cast<size_t>(column_)] = lo;
            high_[static_cast<size_t>(column_)] = hi;
            bytes += 2 * run;
            count -= run;
            index_ += run;
        }
    }
    // Columns no sample fell into (a slot shorter than the thumbnail) repeat the one before.
    void Finish(std::vector<int16_t>* low, std::vector<int16_t>* high) {
        for (size_t c = 0; c < low_.size(); ++c) {
            if (low_[c] <= high_[c]) continue;
            low_[c] = c > 0 ? low_[c - 1] : int16_t{0};
            high_[c] = c > 0 ? high_[c - 1] : int16_t{0};
        }
        *low = std::move(low_);
        *high = std::move(high_);
    }

  private:
    // The first sample of column c: the smallest i with i * columns >= c * samples.
    int64_t StartOf(int c) const {
        if (c >= columns_) return samples_;
        return (static_cast<int64_t>(c) * samples_ + columns_ - 1) / columns_;
    }
    int columns_;
    int64_t samples_;
    int column_ = 0;
    int64_t index_ = 0; // samples taken
    int64_t end_ = 0;   // the first sample after the current column
    std::vector<int16_t> low_, high_;
};

// One pass over a slot file: whether it is a sample file, its fingerprint and its envelope.
void ReadSlot(CardSlot& slot, int columns, SlotFingerprint* fingerprint,
              std::vector<unsigned char>& chunk) {
    std::FILE* f = OpenSlotForReading(slot.path);
    if (!f) return;
    int64_t size = -1;
    if (platform::SeekFile(f, 0, SEEK_END)) size = platform::TellFile(f);
    if (size < kHeaderArea || !platform::SeekFile(f, 0, SEEK_SET)) {
        std::fclose(f);
        return;
    }
    const int64_t samples = (size - kHeaderArea) / 2;
    Envelope envelope(columns, std::max<int64_t>(samples, 1));
    ByteHash hash;
    int64_t offset = 0;
    int64_t taken = 0;
    int carry = -1; // the first byte of a sample split between two reads
    bool header = false;
    size_t got = 0;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), f)) > 0) {
        if (offset == 0) {
            header = got >= 44 && std::memcmp(chunk.data(), kHeaderText, 44) == 0;
            if (!header) break;
        }
        hash.Add(chunk.data(), got);
        size_t i = offset >= kHeaderArea ? 0 : static_cast<size_t>(kHeaderArea - offset);
        offset += static_cast<int64_t>(got);
        if (columns <= 0) continue;
        if (carry >= 0 && i < got) {
            const unsigned char pair[2] = {static_cast<unsigned char>(carry), chunk[i]};
            envelope.Add(pair, 1);
            ++taken;
            ++i;
            carry = -1;
        }
        const int64_t whole = std::min<int64_t>((got - i) / 2, samples - taken);
        envelope.Add(chunk.data() + i, whole);
        taken += whole;
        i += static_cast<size_t>(whole) * 2;
        if (i < got && taken < samples) carry = chunk[i];
    }
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (!header || failed) return;
    slot.used = true;
    slot.samples = samples;
    slot.length = SlotLengthTextOfSize(size);
    fingerprint->size = offset;
    fingerprint->hash = hash.value();
    if (columns > 0) envelope.Finish(&slot.low, &slot.high);
}

CardActionResult Failure(const std::string& error, const std::string& file = "") {
    CardActionResult r;
    r.ok = false;
    r.error = error;
    r.file = file;
    return r;
}

bool ValidSlot(int slot) {
    return slot >= 1 && slot <= kSlotCount;
}

// The checks every action makes first; empty when it may go on.
std::string Refusal(const std::string& folder, std::initializer_list<int> slots) {
    for (int s : slots)
        if (!ValidSlot(s)) return "There is no slot " + std::to_string(s) + "; slots are 01 to 60.";
    if (!platform::IsDirectory(folder)) return "No such folder: " + folder;
    return {};
}

std::string CardIsAsItWas(const std::string& folder) {
    return " The card in " + folder +
           " is as it was; check that it is still in its reader and not write-protected.";
}

// Applies a change to the names and writes them when it touched any of the slots.
void UpdateNames(const std::string& folder, std::initializer_list<int> slots,
                 const std::function<void(CardNames&)>& change, CardActionResult& result) {
    CardNames names = LoadCardNames(folder);
    const bool named =
        std::any_of(slots.begin(), slots.end(), [&](int s) { return names.Find(s) != nullptr; });
    if (!named) return;
    change(names);
    if (SaveCardNames(folder, names)) return;
    result.namesSaved = false;
    result.namesWarning = NamesNotSavedMessage(folder);
}

} // namespace

std::string SlotText(int slot) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", slot);
    return text;
}

std::string SlotExportFileName(int slot, const std::string& name) {
    std::string safe;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        safe += (u < 0x20 || std::strchr("<>:\"/\\|?*", c) != nullptr) ? '_' : c;
    }
    while (!safe.empty() && (safe.back() == '.' || safe.back() == ' '))
        safe.pop_back();
    return SlotText(slot) + (safe.empty() ? "" : " " + safe) + ".wav";
}

std::string TotalLengthText(int64_t samples) {
    const int64_t ms = samples / kDeviceRate * 1000 + samples % kDeviceRate * 1000 / kDeviceRate;
    char text[48];
    std::snprintf(text, sizeof text, "%lld:%02d.%03d", static_cast<long long>(ms / 60000),
                  static_cast<int>(ms % 60000 / 1000), static_cast<int>(ms % 1000));
    return text;
}

std::string CardScan::Summary() const {
    return std::to_string(used) + " of " + std::to_string(kSlotCount) + " slots used, total " +
           TotalLengthText(totalSamples);
}

std::vector<std::string> RemoveWriteLeftovers(const std::string& folder) {
    std::vector<std::string> candidates;
    for (int s = 1; s <= kSlotCount; ++s) {
        const std::string temporary = TemporaryNameFor(SlotFileName(folder, s));
        if (HasSampleHeader(temporary)) candidates.push_back(temporary);
    }
    const std::string names = TemporaryNameFor(NamesFilePath(folder));
    if (platform::IsRegularFile(names)) candidates.push_back(names);
    std::vector<std::string> removed;
    const auto now = std::filesystem::file_time_type::clock::now();
    for (const std::string& path : candidates) {
        std::error_code ec;
        const auto written = std::filesystem::last_write_time(platform::FsPath(path), ec);
        if (ec || now - written < std::chrono::seconds(kLeftoverAgeSeconds)) continue;
        if (platform::RemoveFile(path)) removed.push_back(BaseName(path));
    }
    return removed;
}

std::string LeftoversNotice(const std::vector<std::string>& removed) {
    std::string text;
    for (const std::string& name : removed)
        text += (text.empty() ? "Removed what an interrupted write left: " : ", ") + name;
    return text;
}

CardScan ScanCard(const std::string& folder, int columns) {
    CardScan card;
    card.folder = folder;
    if (platform::IsDirectory(folder)) card.leftovers = RemoveWriteLeftovers(folder);
    const CardNames names = LoadCardNames(folder, &card.names);
    std::vector<unsigned char> chunk(kReadChunk);
    card.slots.resize(kSlotCount);
    for (int s = 1; s <= kSlotCount; ++s) {
        CardSlot& slot = card.slots[static_cast<size_t>(s - 1)];
        slot.slot = s;
        slot.path = SlotFileName(folder, s);
        SlotFingerprint fingerprint;
        ReadSlot(slot, columns, &fingerprint, chunk);
        if (!slot.used) continue; // an empty slot shows no name, even one left for it
        slot.name = names.Shown(s, fingerprint, &slot.stale);
        ++card.used;
        card.totalSamples += slot.samples;
    }
    return card;
}

CardActionResult MoveSlot(const std::string& folder, int from, int to) {
    if (auto refusal = Refusal(folder, {from, to}); !refusal.empty()) return Failure(refusal);
    const std::string source = SlotFileName(folder, from);
    const std::string dest = SlotFileName(folder, to);
    if (from == to) return Failure("Slot " + SlotText(from) + " cannot move onto itself.");
    if (!HasSampleHeader(source))
        return Failure("Slot " + SlotText(from) + " is empty: there is nothing to move.", source);
    if (HasSampleHeader(dest))
        return Failure("Slot " + SlotText(to) +
                           " is not empty; swap the two slots, or clear slot " + SlotText(to) +
                           " first.",
                       dest);
    if (PathTaken(dest))
        return Failure(BaseName(dest) + " is in the way of slot " + SlotText(to) +
                           " but holds no sample; move or delete that file first.",
                       dest);
    if (!platform::MoveFileOver(source, dest))
        return Failure(BaseName(source) + " could not be renamed to " + BaseName(dest) + "." +
                           CardIsAsItWas(folder),
                       source);
    CardActionResult result;
    result.slots = {from, to};
    UpdateNames(
        folder, {from, to}, [&](CardNames& n) { n.Move(from, to); }, result);
    return result;
}

CardActionResult SwapSlots(const std::string& folder, int a, int b, const CardActionHooks& hooks) {
    if (auto refusal = Refusal(folder, {a, b}); !refusal.empty()) return Failure(refusal);
    if (a == b) return Failure("Slot " + SlotText(a) + " cannot swap with itself.");
    const std::string pathA = SlotFileName(folder, a);
    const std::string pathB = SlotFileName(folder, b);
    const bool usedA = HasSampleHeader(pathA);
    const bool usedB = HasSampleHeader(pathB);
    if (!usedA && !usedB)
        return Failure("Slots " + SlotText(a) + " and " + SlotText(b) +
                       " are both empty: there is nothing to swap.");
    if (!usedB) return MoveSlot(folder, a, b);
    if (!usedA) return MoveSlot(folder, b, a);

    // A goes aside, B takes its place, A takes B's; each failure undoes the steps before it.
    const std::string aside = AsideNameFor(pathA);
    if (!platform::MoveFileOver(pathA, aside))
        return Failure(BaseName(pathA) + " could not be renamed." + CardIsAsItWas(folder), pathA);
    if (hooks.midSwap) hooks.midSwap();
    std::string failed;
    if (!platform::MoveFileOver(pathB, pathA)) {
        failed = pathB;
    } else if (!platform::MoveFileOver(aside, pathB)) {
        failed = aside;
        if (!platform::MoveFileOver(pathA, pathB))
            return Failure("The swap stopped halfway: " + BaseName(pathB) + " is now " +
                               BaseName(pathA) + " and " + BaseName(pathA) + " is " +
                               BaseName(aside) + ". Rename them back by hand.",
                           aside);
    }
    if (!failed.empty()) {
        if (!platform::MoveFileOver(aside, pathA))
            return Failure("The swap stopped halfway: " + BaseName(pathA) + " is now " +
                               BaseName(aside) + "; rename it back by hand.",
                           aside);
        return Failure(BaseName(failed) + " could not be renamed; the two slots were put back." +
                           CardIsAsItWas(folder),
                       failed);
    }
    CardActionResult result;
    result.slots = {a, b};
    UpdateNames(
        folder, {a, b}, [&](CardNames& n) { n.Swap(a, b); }, result);
    return result;
}

CardActionResult ClearSlots(const std::string& folder, const std::vector<int>& slots) {
    for (int s : slots)
        if (auto refusal = Refusal(folder, {s}); !refusal.empty()) return Failure(refusal);
    std::vector<int> used;
    for (int s : slots)
        if (HasSampleHeader(SlotFileName(folder, s)) &&
            std::find(used.begin(), used.end(), s) == used.end())
            used.push_back(s);
    std::sort(used.begin(), used.end());

    // Every slot is put aside first, so that a refusal can still put them all back.
    for (size_t k = 0; k < used.size(); ++k) {
        const std::string path = SlotFileName(folder, used[k]);
        if (platform::MoveFileOver(path, AsideNameFor(path))) continue;
        for (size_t j = 0; j < k; ++j) {
            const std::string back = SlotFileName(folder, used[j]);
            platform::MoveFileOver(AsideNameFor(back), back);
        }
        return Failure(BaseName(path) + " could not be removed; no slot was cleared." +
                           CardIsAsItWas(folder),
                       path);
    }
    for (int s : used)
        RemoveQuietly(AsideNameFor(SlotFileName(folder, s)));
    CardActionResult result;
    result.slots = used;
    CardNames names = LoadCardNames(folder);
    bool named = false;
    for (int s : slots) {
        named = named || names.Find(s) != nullptr;
        names.Remove(s);
    }
    if (named && !SaveCardNames(folder, names)) {
        result.namesSaved = false;
        result.namesWarning = NamesNotSavedMessage(folder);
    }
    return result;
}

CardActionResult RenameSlot(const std::string& folder, int slot, const std::string& name) {
    if (auto refusal = Refusal(folder, {slot}); !refusal.empty()) return Failure(refusal);
    const std::string path = SlotFileName(folder, slot);
    if (!HasSampleHeader(path))
        return Failure("Slot " + SlotText(slot) + " is empty: only a slot with a sound has a name.",
                       path);
    CardNames names = LoadCardNames(folder);
    names.Set(slot, CleanSlotName(name), FingerprintOf(path));
    if (!SaveCardNames(folder, names))
        return Failure("The name could not be written to " + NamesFilePath(folder) +
                           " (the card is read-only or full); nothing was changed.",
                       NamesFilePath(folder));
    CardActionResult result;
    result.slots = {slot};
    return result;
}

} // namespace brelka

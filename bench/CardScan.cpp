#include "CardScan.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "Card.h"
#include "CardBackup.h"
#include "Files.h"
#include "SampleFile.h"
#include "Signal.h"

namespace bench {

namespace {

bool WriteSlotFile(const std::string& path, const std::vector<int16_t>& samples) {
    std::FILE* f = platform::OpenFile(path, "wb");
    if (!f) return false;
    std::vector<unsigned char> bytes(samples.size() * 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        const auto v = static_cast<uint16_t>(samples[i]);
        bytes[2 * i] = static_cast<unsigned char>(v >> 8);
        bytes[2 * i + 1] = static_cast<unsigned char>(v & 0xFF);
    }
    bool ok = brelka::WriteSampleHeader(f) &&
              std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0) ok = false;
    return ok;
}

// 60 slots of `seconds` of seeded signal, named; false (and t.error) when the folder refused.
bool FillCard(const std::string& folder, double seconds, uint32_t seed, CardScanTiming& t) {
    const auto frames = static_cast<size_t>(seconds * brelka::kDeviceRate);
    for (int s = 1; s <= brelka::kSlotCount; ++s) {
        const auto signal =
            MakeSignal(brelka::kDeviceRate, frames, 1, seed + static_cast<uint32_t>(s));
        const std::string path = brelka::SlotFileName(folder, s);
        if (!WriteSlotFile(path, signal)) {
            t.error = "cannot write " + path;
            return false;
        }
        t.bytes += brelka::kHeaderArea + static_cast<int64_t>(frames) * 2;
        if (!brelka::RenameSlot(folder, s, "sound " + brelka::SlotText(s)).ok) {
            t.error = "cannot name slot " + brelka::SlotText(s);
            return false;
        }
    }
    return true;
}

} // namespace

CardScanTiming TimeCardScan(const std::string& folder, double seconds, int columns, int runs,
                            uint32_t seed) {
    CardScanTiming t;
    if (!FillCard(folder, seconds, seed, t)) return t;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        const brelka::CardScan scan = brelka::ScanCard(folder, columns);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        t.slots = scan.used;
        if (run == 0 || took.count() < t.seconds) t.seconds = took.count();
    }
    if (t.slots != brelka::kSlotCount)
        t.error = "the scan found " + std::to_string(t.slots) + " slots";
    return t;
}

CardScanTiming TimeCardBackup(const std::string& folder, double seconds, int runs, uint32_t seed) {
    CardScanTiming t;
    const std::string card = folder + "/card";
    std::error_code ec;
    std::filesystem::create_directories(platform::FsPath(card), ec);
    if (!FillCard(card, seconds, seed, t)) return t;
    for (int run = 0; run < runs; ++run) {
        const std::string dest = folder + "/backup" + std::to_string(run);
        const auto start = std::chrono::steady_clock::now();
        const brelka::CardJobResult r = brelka::BackupCard(card, dest);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        std::filesystem::remove_all(platform::FsPath(dest), ec);
        if (!r.ok) {
            t.error = r.error;
            return t;
        }
        t.slots = static_cast<int>(r.slots.size());
        if (run == 0 || took.count() < t.seconds) t.seconds = took.count();
    }
    if (t.slots != brelka::kSlotCount)
        t.error = "the backup wrote " + std::to_string(t.slots) + " slots";
    return t;
}

} // namespace bench

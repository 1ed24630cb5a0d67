// The scan of a whole card as the card view makes it (60 slots read once each for their
// lengths, names, fingerprints and thumbnails), and the backup of such a card into a folder.
#pragma once

#include <cstdint>
#include <string>

namespace bench {

struct CardScanTiming {
    int slots = 0;        // used slots the scan found
    int64_t bytes = 0;    // bytes of slot files on the card
    double seconds = 0.0; // the fastest scan
    std::string error;    // empty on success
};

// Fills `folder` (which must exist and be empty) with 60 slots of `seconds` of seeded signal,
// names them, and times the scan with thumbnails of `columns` columns, best of `runs`.
CardScanTiming TimeCardScan(const std::string& folder, double seconds, int columns, int runs,
                            uint32_t seed);

// The same card in `folder`/card, backed up into a new folder beside it, best of `runs`.
CardScanTiming TimeCardBackup(const std::string& folder, double seconds, int runs, uint32_t seed);

} // namespace bench

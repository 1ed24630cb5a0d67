// What the hostile-file and storage tests share: the largest single allocation made while a
// piece of code runs, and the import job run into a folder that already holds a slot.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Jobs.h"

namespace hostile {

// Runs fn and returns the size of the largest block it asked operator new for.
size_t LargestAllocation(const std::function<void()>& fn);

// A valid slot file of 512 samples, as a job must leave it when it fails.
std::vector<uint8_t> OldSlotBytes();

// The outcome of importing `source` into slot 01 of `folder`, which holds OldSlotBytes() in
// SAMPLE00.BIN beforehand.
brelka::ImportOutcome ImportOver(const std::string& source, const std::string& folder,
                                 int quality = 0, const brelka::JobProgress& progress = {});

} // namespace hostile

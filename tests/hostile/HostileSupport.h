// What the hostile-file and storage tests share: the largest single allocation made while a
// piece of code runs, and the import job run into a folder that already holds a slot.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Jobs.h"
#include "TestSupport.h"

namespace hostile {

// Runs fn and returns the size of the largest block it asked operator new for.
size_t LargestAllocation(const std::function<void()>& fn);

// A valid slot file of 512 samples, as a job must leave it when it fails.
std::vector<uint8_t> OldSlotBytes();

// The outcome of importing `source` into slot 01 of `folder`, which holds OldSlotBytes() in
// SAMPLE00.BIN beforehand.
brelka::ImportOutcome ImportOver(const std::string& source, const std::string& folder,
                                 int quality = 0, const brelka::JobProgress& progress = {});

#if !defined(_WIN32)
// A small tmpfs mounted on a fresh folder, unmounted at the end; ok() is false (the test skips)
// when mounting is not allowed here.
class Mounted {
  public:
    explicit Mounted(const std::string& options);
    ~Mounted();
    Mounted(const Mounted&) = delete;
    Mounted& operator=(const Mounted&) = delete;
    bool ok() const { return mounted_; }
    const std::string& error() const { return error_; }
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    bool RemountReadOnly();
    // Writes a file that takes up all the space left.
    void Fill(const std::string& name);

  private:
    testsupport::TempDir dir_;
    std::string path_;
    bool mounted_ = false;
    std::string error_;
};
#endif

} // namespace hostile

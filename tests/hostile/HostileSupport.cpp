#include "HostileSupport.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#if !defined(_WIN32)
#include <sys/mount.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#endif

#include "ReSampler.h"
#include "SampleFile.h"
#include "TestSupport.h"

namespace {
std::atomic<bool> tracking{false};
std::atomic<size_t> largest{0};
} // namespace

// Every allocation of the test program passes here, so a test can see how large the largest was.
void* operator new(size_t size) {
    if (tracking.load(std::memory_order_relaxed)) {
        size_t seen = largest.load(std::memory_order_relaxed);
        while (size > seen && !largest.compare_exchange_weak(seen, size)) {
        }
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size) {
    return operator new(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, size_t) noexcept {
    std::free(p);
}

namespace hostile {

size_t LargestAllocation(const std::function<void()>& fn) {
    largest = 0;
    tracking = true;
    fn();
    tracking = false;
    return largest;
}

std::vector<uint8_t> OldSlotBytes() {
    std::vector<uint8_t> b(brelka::kHeaderArea, 0);
    std::memcpy(b.data(), brelka::kHeaderText, 44);
    b[44] = 0x1D;
    b[45] = 0x2E;
    b[46] = 0xF6;
    for (int i = 0; i < brelka::kPaddingUnit; ++i) {
        b.push_back(static_cast<uint8_t>(i));
        b.push_back(0x40);
    }
    return b;
}

brelka::ImportOutcome ImportOver(const std::string& source, const std::string& folder, int quality,
                                 const brelka::JobProgress& progress) {
    testsupport::WriteBytes(folder + "/SAMPLE00.BIN", OldSlotBytes());
    CReSampler resampler;
    brelka::ImportRequest r;
    r.sourcePath = source;
    r.folder = folder;
    r.slotText = "1";
    r.channel = brelka::kChannelMix;
    r.quality = quality;
    return brelka::RunImport(r, resampler, progress);
}

} // namespace hostile

#if !defined(_WIN32)
namespace hostile {

Mounted::Mounted(const std::string& options) {
    path_ = dir_.file("mnt");
    std::filesystem::create_directory(path_);
    if (mount("tmpfs", path_.c_str(), "tmpfs", 0, options.c_str()) == 0)
        mounted_ = true;
    else
        error_ = std::strerror(errno);
}

Mounted::~Mounted() {
    if (mounted_) umount2(path_.c_str(), MNT_DETACH);
}

bool Mounted::RemountReadOnly() {
    return mount("tmpfs", path_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

void Mounted::Fill(const std::string& name) {
    std::FILE* f = std::fopen(file(name).c_str(), "wb");
    if (!f) return;
    std::setvbuf(f, nullptr, _IONBF, 0);
    char page[4096];
    std::memset(page, 'x', sizeof page);
    while (std::fwrite(page, 1, sizeof page, f) == sizeof page) {
    }
    while (std::fwrite(page, 1, 1, f) == 1) {
    }
    std::fclose(f);
}

} // namespace hostile
#endif

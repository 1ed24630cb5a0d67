// The import job end to end on arbitrary source bytes, into a slot that already holds a file:
// the job refuses the source and leaves the old slot as it was, or writes a valid slot file.
// Nothing else is left in the folder.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "AudioFile.h"
#include "FuzzSupport.h"
#include "Jobs.h"
#include "ReSampler.h"
#include "SampleFile.h"

using namespace brelka;

namespace {

// A slot file that the job must replace whole or not at all.
std::vector<uint8_t> OldSlot() {
    std::vector<uint8_t> b(kHeaderArea + 2 * kPaddingUnit, 0x5A);
    std::memset(b.data(), 0, kHeaderArea);
    std::memcpy(b.data(), kHeaderText, 44);
    return b;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::vector<uint8_t> b;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return b;
    uint8_t chunk[65536];
    size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        b.insert(b.end(), chunk, chunk + n);
    std::fclose(f);
    return b;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    static CReSampler resampler; // the engine beside the target, when it is there
    int quality = data[0] % 6;
    const int channel = data[0] / 6 % 3;
    const std::vector<uint8_t> source = fuzz::WithPrefix(data[1], data + 2, size - 2);

    const std::string folder = fuzz::ScratchFile("import");
    const std::string sourcePath = fuzz::ScratchFile("source.bin");
    std::error_code ec;
    std::filesystem::create_directory(folder, ec);
    fuzz::WriteFile(sourcePath, source.data(), source.size());
    static const std::vector<uint8_t> old = OldSlot();
    const std::string slotPath = folder + "/SAMPLE00.BIN";
    fuzz::WriteFile(slotPath, old.data(), old.size());

    if (quality != 0) {
        AudioFile probe;
        const double rate =
            probe.openRead(sourcePath) == 0 ? probe.info().sampleRate.ToDouble() : 0;
        // Rate pairs whose conversion would take long are imported without it.
        if (probe.isOpen() &&
            fuzz::ConversionCost(quality, std::trunc(std::min(rate, 2147483647.0)), kDeviceRate,
                                 probe.info().frames) > fuzz::kWorkBudget)
            quality = 0;
    }

    ImportRequest request;
    request.sourcePath = sourcePath;
    request.folder = folder;
    request.slotText = "1";
    request.channel = channel;
    request.quality = quality;
    const ImportOutcome out = RunImport(request, resampler);

    FUZZ_CHECK(out.status == JobStatus::Done || out.status == JobStatus::SourceError ||
               out.status == JobStatus::ConvertError);
    FUZZ_CHECK(fuzz::Names(folder) == std::vector<std::string>{"SAMPLE00.BIN"});
    const std::vector<uint8_t> slot = ReadAll(slotPath);
    if (out.status == JobStatus::Done) {
        FUZZ_CHECK(slot.size() >= static_cast<size_t>(kHeaderArea));
        FUZZ_CHECK((slot.size() - kHeaderArea) % (2 * kPaddingUnit) == 0);
        FUZZ_CHECK(static_cast<int64_t>(slot.size()) == kHeaderArea + 2 * out.samplesWritten);
        FUZZ_CHECK(HasSampleHeader(slotPath));
        if (quality == 0) {
            AudioFile check;
            FUZZ_CHECK(OpenSource(check, sourcePath) == 0);
            const int64_t frames = check.info().frames;
            FUZZ_CHECK(out.framesRead == frames);
            FUZZ_CHECK(out.samplesWritten ==
                       (frames + kPaddingUnit - 1) / kPaddingUnit * kPaddingUnit);
        }
    } else {
        FUZZ_CHECK(slot == old);
    }
    return 0;
}

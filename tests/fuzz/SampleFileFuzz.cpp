// The device sample file code on arbitrary files: the header test, the length text, the folder
// scan, and the export job reading the file back into a WAV or AIFF.
#include <cstring>
#include <filesystem>

#include "AudioFile.h"
#include "FuzzSupport.h"
#include "Jobs.h"
#include "ReSampler.h"
#include "SampleFile.h"

using namespace brelka;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    // Byte 0: the file number (0 ... 63, so some are no slot), bit 6 conversion (Simple), bit 7
    // AIFF rather than WAV for the export.
    const int number = data[0] & 0x3F;
    const bool convert = (data[0] & 0x40) != 0;
    const bool aiff = (data[0] & 0x80) != 0;
    const std::string folder = fuzz::ScratchFile("card");
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    std::filesystem::create_directory(folder, ec);
    char name[32];
    std::snprintf(name, sizeof name, "SAMPLE%02d.BIN", number);
    const std::string path = folder + "/" + name;
    const uint8_t* body = data + 1;
    const size_t bodySize = size - 1;
    fuzz::WriteFile(path, body, bodySize);

    const bool header = bodySize >= 44 && std::memcmp(body, kHeaderText, 44) == 0;
    FUZZ_CHECK(HasSampleHeader(path) == header);

    const std::string length = SlotLengthText(path);
    if (bodySize < static_cast<size_t>(kHeaderArea)) {
        FUZZ_CHECK(length == "---:--:---");
    } else {
        const uint64_t ms = (bodySize - kHeaderArea) / 2 * 1000 / kDeviceRate;
        char want[32];
        std::snprintf(want, sizeof want, "%3u:%02u:%03u", static_cast<unsigned>(ms / 60000),
                      static_cast<unsigned>(ms % 60000 / 1000), static_cast<unsigned>(ms % 1000));
        FUZZ_CHECK(length == want);
    }

    const auto slots = ScanSampleFolder(folder);
    if (header && number < kSlotCount) {
        char slot[8];
        std::snprintf(slot, sizeof slot, "%02d", number + 1);
        FUZZ_CHECK(slots.size() == 1 && slots[0] == slot);
    } else {
        FUZZ_CHECK(slots.empty());
    }

    if (number < kSlotCount) {
        static CReSampler simpleOnly(""); // the built-in converter; no library
        ExportRequest request;
        request.folder = folder;
        request.slotText = std::to_string(number + 1);
        request.destPath = folder + (aiff ? "/out.aif" : "/out.wav");
        request.quality = convert ? kQualitySimple : kQualityOff;
        const ExportOutcome out = RunExport(request, simpleOnly);
        FUZZ_CHECK(out.status == JobStatus::Done);
        const int64_t samples =
            bodySize > static_cast<size_t>(kHeaderArea) ? (int64_t(bodySize) - kHeaderArea) / 2 : 0;
        if (!convert) FUZZ_CHECK(out.framesWritten == samples);
        AudioFile back;
        FUZZ_CHECK(back.openRead(request.destPath) == 0);
        FUZZ_CHECK(back.info().type == (aiff ? kAudioFileAiff : kAudioFileWav));
        FUZZ_CHECK(int64_t{back.info().frames} == out.framesWritten);
        FUZZ_CHECK(!fuzz::Exists(request.destPath + ".tmp"));
    }
    return 0;
}

// brelka-cli: the import and export jobs of the window, from a terminal or a script.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>
#include <map>
#include <string>

#include "AudioFile.h"
#include "DynamicLibrary.h"
#include "FileInfo.h"
#include "Jobs.h"
#include "ReSampler.h"
#include "SampleFile.h"
#include "Version.h"

namespace {

enum ExitCode { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

const std::map<std::string, int> kQualities = {
    {"off", kQualityOff},       {"simple", kQualitySimple}, {"light", kQualityLight},
    {"medium", kQualityMedium}, {"heavy", kQualityHeavy},   {"ultra", kQualityUltraHeavy},
};
const std::map<std::string, int> kChannels = {
    {"L", brelka::kChannelL}, {"R", brelka::kChannelR}, {"MIX", brelka::kChannelMix}};

int Fail(const std::string& message, const std::string& path) {
    std::cerr << message << " " << path << "\n";
    return kExitFailed;
}

// Engine qualities cannot run without the engine library.
bool NeedsEngine(int quality) {
    return quality >= kQualityLight;
}

int EngineMissing(const std::string& quality) {
    std::cerr << "Quality \"" << quality << "\" needs the engine library "
              << platform::EngineLibraryFileName() << ", which was not found.\n";
    return kExitFailed;
}

int ListCommand(const std::string& folder) {
    for (const auto& slot : brelka::ScanSampleFolder(folder)) {
        const int number = brelka::ParseSlotNumber(slot);
        std::cout << slot << " " << brelka::SlotLengthText(brelka::SlotFileName(folder, number))
                  << "\n";
    }
    return kExitOk;
}

int InfoCommand(const std::string& path) {
    const brelka::FileInfoLines lines = brelka::DescribeAudioPath(path);
    if (!lines.known) return Fail(brelka::JobMessage(brelka::JobStatus::SourceError), path);
    std::cout << lines.rate << "\n" << lines.frames << "\n" << lines.bits << "\n";
    return kExitOk;
}

int ImportCommand(const std::string& folder, const std::string& slot, const std::string& file,
                  const std::string& channel, const std::string& qualityName) {
    CReSampler resampler;
    int quality = kQualityOff;
    if (qualityName == "auto") {
        auto* probe = new AudioFile();
        probe->open(file, false);
        const uint32_t rate = probe->sampleRate.TruncToUInt32();
        const bool known = probe->fileType != kAudioFileNone;
        probe->close(1);
        if (known && rate != brelka::kDeviceRate) {
            if (resampler.available()) {
                quality = kQualityHeavy;
            } else {
                quality = kQualitySimple;
                std::cerr << "warning: the engine library " << platform::EngineLibraryFileName()
                          << " was not found; converting at quality \"simple\".\n";
            }
        }
    } else {
        quality = kQualities.at(qualityName);
        if (NeedsEngine(quality) && !resampler.available()) return EngineMissing(qualityName);
    }

    brelka::ImportRequest request;
    request.sourcePath = file;
    request.folder = folder;
    request.slotText = slot;
    request.channel = kChannels.at(channel);
    request.quality = quality;
    const brelka::ImportOutcome outcome = brelka::RunImport(request, resampler);
    switch (outcome.status) {
    case brelka::JobStatus::SourceError:
        return Fail(brelka::JobMessage(outcome.status), file);
    case brelka::JobStatus::Done:
    case brelka::JobStatus::Aborted:
        break;
    default:
        return Fail(brelka::JobMessage(outcome.status), outcome.slotPath);
    }
    std::printf("%02d %s %lld samples\n", outcome.slot, outcome.slotPath.c_str(),
                static_cast<long long>(outcome.samplesWritten));
    return kExitOk;
}

int ExportCommand(const std::string& folder, const std::string& slot, const std::string& file,
                  const std::string& qualityName) {
    CReSampler resampler;
    const int quality = kQualities.at(qualityName);
    if (NeedsEngine(quality) && !resampler.available()) return EngineMissing(qualityName);
    brelka::ExportRequest request;
    request.folder = folder;
    request.slotText = slot;
    request.destPath = file;
    request.quality = quality;
    const brelka::ExportOutcome outcome = brelka::RunExport(request, resampler);
    switch (outcome.status) {
    case brelka::JobStatus::SampleError:
        return Fail(brelka::JobMessage(outcome.status), outcome.slotPath);
    case brelka::JobStatus::Done:
    case brelka::JobStatus::Aborted:
        break;
    default:
        return Fail(brelka::JobMessage(outcome.status), file);
    }
    std::printf("%s %lld frames at %d Hz\n", file.c_str(),
                static_cast<long long>(outcome.framesWritten), outcome.outputRate);
    return kExitOk;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"brelka-cli: moves sound between WAV/AIFF files and the drum machine's sample "
                 "files (SAMPLE00.BIN ... SAMPLE59.BIN, slots 01 ... 60)."};
    app.set_version_flag("--version", platform::VersionString("ProductName") + " " +
                                          platform::VersionString("FileVersion"));
    app.require_subcommand(1);
    app.footer("Exit codes: 0 success, 1 a file refused or failed, 2 usage.");

    std::string folder, slot, file, channel = "MIX", quality;

    auto* list = app.add_subcommand("list", "List the slots of a sample folder with their lengths");
    list->add_option("folder", folder, "The sample folder")->required();

    auto* info = app.add_subcommand("info", "Show a WAV/AIFF file's rate, frames and sample size");
    info->add_option("file", file, "The WAV or AIFF file")->required();

    auto* import = app.add_subcommand("import", "Import a WAV/AIFF file into a slot");
    import->add_option("folder", folder, "The sample folder")->required();
    import->add_option("slot", slot, "The slot number, 01 ... 60")->required();
    import->add_option("file", file, "The WAV or AIFF file")->required();
    import->add_option("--channel", channel, "Channel of a stereo source: L, R or MIX")
        ->check(CLI::IsMember({"L", "R", "MIX"}, CLI::ignore_case))
        ->transform([](std::string s) {
            for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
});
std::string importQuality = "auto";
import
    ->add_option("--quality", importQuality,
                 "Rate conversion to 31250 Hz: off, simple, light, medium, heavy, ultra; "
                 "default: off for a 31250 Hz source, else heavy (simple without the engine)")
    ->check(CLI::IsMember({"auto", "off", "simple", "light", "medium", "heavy", "ultra"}));

auto* exportCmd = app.add_subcommand("export", "Export a slot to a WAV/AIFF file");
exportCmd->add_option("folder", folder, "The sample folder")->required();
exportCmd->add_option("slot", slot, "The slot number, 01 ... 60")->required();
exportCmd->add_option("file", file, "The WAV or AIFF file to write (.aif: AIFF, else WAV)")
    ->required();
std::string exportQuality = "off";
exportCmd
    ->add_option("--quality", exportQuality,
                 "off: 31250 Hz as stored; simple ... ultra: converted to 44100 Hz")
    ->check(CLI::IsMember({"off", "simple", "light", "medium", "heavy", "ultra"}));

try {
    app.parse(argc, argv);
} catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? kExitOk : kExitUsage;
}

if (list->parsed()) return ListCommand(folder);
if (info->parsed()) return InfoCommand(file);
if (import->parsed()) return ImportCommand(folder, slot, file, channel, importQuality);
if (exportCmd->parsed()) return ExportCommand(folder, slot, file, exportQuality);
return kExitUsage;
}

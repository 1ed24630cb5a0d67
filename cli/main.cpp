// brelka-cli: the jobs of the window, from a terminal or a script.
#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "AudioFile.h"
#include "BackupCommands.h"
#include "CardCommands.h"
#include "DynamicLibrary.h"
#include "FileInfo.h"
#include "Files.h"
#include "Interrupt.h"
#include "Jobs.h"
#include "Play.h"
#include "Progress.h"
#include "ReSampler.h"
#include "SampleFile.h"
#include "Terminal.h"
#include "Version.h"

namespace {

enum ExitCode { kExitOk = 0, kExitFailed = 1, kExitUsage = 2, kExitInterrupted = 130 };

const std::map<std::string, int> kQualities = {
    {"off", kQualityOff},       {"simple", kQualitySimple}, {"light", kQualityLight},
    {"medium", kQualityMedium}, {"heavy", kQualityHeavy},   {"ultra", kQualityUltraHeavy},
};
const std::map<std::string, int> kChannels = {{"L", brelka::kChannelL},
                                              {"R", brelka::kChannelR},
                                              {"MIX", brelka::kChannelMix},
                                              {"KEEP", brelka::kChannelKeep}};

struct Options {
    bool quiet = false;
    bool json = false;
    bool keepGoing = false;
    std::string folder, slot, file, out, channel = "MIX", quality = "auto";
    std::vector<std::string> files;
    int32_t rate = 0;
    // Getting the sounds ready: NaN where not asked for.
    double trimDb = std::nan(""), normalizeDb = std::nan(""), kitNormalizeDb = std::nan("");
    std::string trimText, normalizeText, kitNormalizeText; // as given: "=DB", or "" alone
    double fadeInMs = 0, fadeOutMs = 0;
    bool dither = false;
};

// The preparation the options ask for.
brelka::PrepOptions PrepFrom(const Options& o) {
    brelka::PrepOptions prep;
    if (!std::isnan(o.trimDb)) prep.trimDb = o.trimDb;
    if (!std::isnan(o.normalizeDb)) prep.normalizeDb = o.normalizeDb;
    if (!std::isnan(o.kitNormalizeDb)) {
        prep.normalizeDb = o.kitNormalizeDb;
        prep.kit = true;
    }
    prep.fadeInMs = o.fadeInMs;
    prep.fadeOutMs = o.fadeOutMs;
    prep.dither = o.dither;
    return prep;
}

std::string BaseName(const std::string& path) {
    const size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

int Fail(const std::string& message, const std::string& path) {
    std::cerr << message << " " << path << "\n";
    return kExitFailed;
}

// The quality for a source: named, or "auto": none when the source already has the target
// rate, else Heavy, or Simple (with a warning) without the engine.
int ChooseQuality(const std::string& name, const std::string& source, uint32_t targetRate,
                  const CReSampler& resampler, bool quiet) {
    if (name != "auto") return kQualities.at(name);
    AudioFile probe;
    // A file that is no source fails in the job: nothing to choose for it.
    if (OpenSource(probe, source) != kAudioFileOk) return kQualityOff;
    if (probe.info().sampleRate.TruncToUInt32() == targetRate) return kQualityOff;
    if (resampler.available()) return kQualityHeavy;
    if (!quiet) {
        std::cerr << "warning: the engine library " << platform::EngineLibraryFileName()
                  << " was not found; converting at quality \"simple\".\n";
    }
    return kQualitySimple;
}

// What ended a job that failed, as the job reports it.
struct JobFailure {
    brelka::JobStatus status;
    int32_t convertCode;     // ConvertError: the converter's code
    std::string qualityName; // the quality asked for, as named on the command line
};

// A job that ends with a failure: the message and the path it concerns.
int ReportFailure(const JobFailure& failure, const std::string& sourceSide,
                  const std::string& destSide) {
    const brelka::JobStatus status = failure.status;
    if (status == brelka::JobStatus::Cancelled) {
        std::cerr << "Interrupted; " << destSide << " was left as it was.\n";
        return kExitInterrupted;
    }
    if (status == brelka::JobStatus::ConvertError && failure.convertCode == QMX_NOT_LOADED) {
        std::cerr << "Quality \"" << failure.qualityName << "\" needs the engine library "
                  << platform::EngineLibraryFileName() << ", which was not found.\n";
        return kExitFailed;
    }
    if (status == brelka::JobStatus::ConvertError) {
        std::cerr << "Rate conversion error: " << ConversionErrorText(failure.convertCode) << ". "
                  << destSide << "\n";
        return kExitFailed;
    }
    const bool source =
        status == brelka::JobStatus::SourceError || status == brelka::JobStatus::SampleError;
    return Fail(brelka::JobMessage(status), source ? sourceSide : destSide);
}

nlohmann::json SlotJson(const std::string& folder, const std::string& text) {
    const int slot = brelka::ParseSlotNumber(text);
    const std::string path = brelka::SlotFileName(folder, slot);
    const int64_t size = brelka::FileSizeOf(path);
    const int64_t samples = size >= brelka::kHeaderArea ? (size - brelka::kHeaderArea) / 2 : 0;
    return {{"slot", slot},
            {"text", text},
            {"file", BaseName(path)},
            {"path", path},
            {"samples", samples},
            {"rate", brelka::kDeviceRate},
            {"duration_ms", samples * 1000 / brelka::kDeviceRate},
            {"length", brelka::SlotLengthText(path)}};
}

int ListCommand(const Options& o) {
    if (!platform::IsDirectory(o.folder)) return Fail("No such folder:", o.folder);
    const auto slots = brelka::ScanSampleFolder(o.folder);
    const ListedNames names(o.folder);
    if (o.json) {
        nlohmann::json list = nlohmann::json::array();
        for (const auto& s : slots) {
            list.push_back(SlotJson(o.folder, s));
            names.AddTo(brelka::ParseSlotNumber(s), list.back());
        }
        std::cout << nlohmann::json{{"folder", o.folder}, {"slots", list}}.dump(2) << "\n";
        return kExitOk;
    }
    for (const auto& s : slots) {
        const auto path = brelka::SlotFileName(o.folder, brelka::ParseSlotNumber(s));
        std::cout << s << " " << brelka::SlotLengthText(path)
                  << names.Suffix(brelka::ParseSlotNumber(s)) << "\n";
    }
    return kExitOk;
}

nlohmann::json InfoJson(const std::string& path, const AudioInfo& info) {
    const double millis = static_cast<double>(info.frames) * 1000.0 /
                          static_cast<double>(info.sampleRate.TruncToUInt32());
    return {{"file", path},
            {"type", info.type == kAudioFileAiff ? "AIFF" : "WAV"},
            {"rate", info.sampleRate.ToDouble()},
            {"channels", info.channels},
            {"frames", info.frames},
            {"bits", info.bitsPerSample},
            {"encoding", info.encoding == kEncodingFloat ? "float" : "pcm"},
            {"duration_ms", static_cast<int64_t>(millis)}};
}

int InfoCommand(const Options& o) {
    AudioFile file;
    if (OpenSource(file, o.file) != kAudioFileOk)
        return Fail(brelka::JobMessage(brelka::JobStatus::SourceError), o.file);
    if (o.json) {
        std::cout << InfoJson(o.file, file.info()).dump(2) << "\n";
        return kExitOk;
    }
    const brelka::FileInfoLines lines = brelka::DescribeAudioFile(file);
    const bool isFloat = file.info().encoding == kEncodingFloat;
    std::cout << lines.rate << "\n"
              << lines.frames << "\n"
              << lines.bits << (isFloat ? " float" : "") << "\n";
    return kExitOk;
}

// The bar's callbacks, and Ctrl-C as the job's cancel: the destination is then left as it was.
brelka::JobProgress JobCallbacks(ProgressBar& bar) {
    brelka::JobProgress p = bar.Callbacks();
    p.cancel = platform::InterruptRequested;
    return p;
}

int ImportCommand(const Options& o) {
    const platform::InterruptGuard interrupts; // the first Ctrl-C stops the job at its next block
    const int first = brelka::ParseSlotNumber(o.slot);
    const auto count = static_cast<int>(o.files.size());
    if (first + count - 1 > brelka::kSlotCount) {
        std::cerr << count << " files from slot " << first << " would run past slot "
                  << brelka::kSlotCount << "; nothing was imported.\n";
        return kExitUsage;
    }
    CReSampler resampler;
    int result = kExitOk;
    const brelka::PrepOptions prep = PrepFrom(o);
    const int channel = kChannels.at(o.channel == "KEEP" ? "MIX" : o.channel);
    double kitPeak = 0.0; // one gain for the kit: from its loudest sound
    if (prep.kit)
        for (const std::string& file : o.files)
            kitPeak = std::max(kitPeak, brelka::SourcePeak(file, channel, prep));
    for (int i = 0; i < count; ++i) {
        const std::string& file = o.files[static_cast<size_t>(i)];
        const int quality = ChooseQuality(o.quality, file, brelka::kDeviceRate, resampler, o.quiet);
        brelka::ImportRequest request;
        request.sourcePath = file;
        request.folder = o.folder;
        request.slotText = std::to_string(first + i);
        request.channel = channel;
        request.quality = quality;
        request.prep = prep;
        request.kitPeak = kitPeak;
        ProgressBar bar("import " + BaseName(file), o.quiet);
        const brelka::ImportOutcome r = brelka::RunImport(request, resampler, JobCallbacks(bar));
        if (brelka::JobFailed(r.status)) {
            result = ReportFailure({r.status, r.convertCode, o.quality}, file, r.slotPath);
            // Without the engine every further file would fail the same way.
            const bool noEngine = r.convertCode == QMX_NOT_LOADED;
            if (!o.keepGoing || result == kExitInterrupted || noEngine) return result;
            continue;
        }
        NameImportedSlot(o.folder, r.slot, file, o.quiet);
        if (r.clipped > 0 && !o.quiet)
            std::cerr << "warning: " << r.clipped << " samples clipped: " << file << "\n";
        char slot[8];
        std::snprintf(slot, sizeof slot, "%02d", r.slot);
        std::cout << slot << " " << BaseName(r.slotPath) << " <- " << file << ": "
                  << r.samplesWritten << " samples (" << brelka::SlotLengthText(r.slotPath)
                  << ")\n";
    }
    return result;
}

int ExportCommand(const Options& o) {
    const platform::InterruptGuard interrupts;
    CReSampler resampler;
    const std::string name = o.quality == "auto" ? "off" : o.quality;
    brelka::ExportRequest request;
    request.folder = o.folder;
    request.slotText = o.slot;
    request.destPath = o.file;
    request.quality = kQualities.at(name);
    ProgressBar bar("export " + BaseName(o.file), o.quiet);
    const brelka::ExportOutcome r = brelka::RunExport(request, resampler, JobCallbacks(bar));
    if (brelka::JobFailed(r.status))
        return ReportFailure({r.status, r.convertCode, name}, r.slotPath, o.file);
    char slot[8];
    std::snprintf(slot, sizeof slot, "%02d", r.slot);
    std::cout << slot << " " << BaseName(r.slotPath) << " -> " << o.file << ": " << r.framesWritten
              << " frames at " << r.outputRate << " Hz\n";
    return kExitOk;
}

int ConvertCommand(const Options& o) {
    const platform::InterruptGuard interrupts;
    CReSampler resampler;
    const int quality =
        ChooseQuality(o.quality, o.file, static_cast<uint32_t>(o.rate), resampler, o.quiet);
    brelka::ConvertRequest request;
    request.sourcePath = o.file;
    request.destPath = o.out;
    request.rate = o.rate;
    request.channel = kChannels.at(o.channel);
    request.quality = quality;
    ProgressBar bar("convert " + BaseName(o.file), o.quiet);
    const brelka::ConvertOutcome r = brelka::RunConvert(request, resampler, JobCallbacks(bar));
    if (brelka::JobFailed(r.status))
        return ReportFailure({r.status, r.convertCode, o.quality}, o.file, o.out);
    std::cout << o.file << " -> " << o.out << ": " << r.framesWritten << " frames, " << r.channels
              << " channel" << (r.channels == 1 ? "" : "s") << " at " << o.rate << " Hz\n";
    return kExitOk;
}

// play <folder> <slot>, or play <file>.
int PlayCommand(const std::vector<std::string>& what, bool quiet) {
    return what.size() == 2 ? PlaySlot(what[0], what[1], quiet) : PlayFile(what[0], quiet);
}

std::string Upper(std::string s) {
    for (auto& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

const char* kQualityHelp = "off, simple, light, medium, heavy, ultra";

CLI::Validator QualityCheck() {
    return CLI::IsMember({"auto", "off", "simple", "light", "medium", "heavy", "ultra"});
}

// The command line: the commands and their options, bound to the fields they fill.
struct CommandLine {
    CLI::App app{
        "brelka-cli: moves sound between WAV/AIFF files and the drum machine's sample "
        "files (SAMPLE00.BIN ... SAMPLE59.BIN for slots 01 ... 60; mono 16-bit, 31250 Hz)."};
    Options o;
    std::string convertChannel = "KEEP";
    std::vector<std::string> playArgs;
    CLI::App* list = nullptr;
    CLI::App* info = nullptr;
    CLI::App* import = nullptr;
    CLI::App* exportCmd = nullptr;
    CLI::App* convert = nullptr;
    CLI::App* play = nullptr;
    std::unique_ptr<CardCommands> cards; // rename, move, swap, clear
    std::unique_ptr<BackupCommands> backups;

    CommandLine();
    void AddListAndInfo();
    void AddImport();
    // The preparation flags of import and convert; kit: with --kit-normalize.
    void AddPrep(CLI::App* command, bool kit);
    void AddExport();
    void AddConvert();
    void AddPlay();
    // The levels of the preparation flags: off when not given, the default when given alone.
    // kExitUsage when a level is no number.
    int TakePrep(CLI::App* command);
    // The command parsed, run.
    int Run();
};

CommandLine::CommandLine() {
    app.set_version_flag("--version", platform::VersionString("ProductName") + " " +
                                          platform::VersionString("FileVersion"));
    app.require_subcommand(1);
    app.allow_windows_style_options(false); // "/x" is a path on every system
    app.fallthrough();                      // -q also after the command
    app.footer("Exit codes: 0 success, 1 a file refused or failed, 2 usage.\n"
               "Run 'brelka-cli <command> --help' for the options of a command.");
    app.add_flag("-q,--quiet", o.quiet, "No progress bar and no warnings");
    AddListAndInfo();
    AddImport();
    AddExport();
    AddConvert();
    AddPlay();
    cards = std::make_unique<CardCommands>(app);
    backups = std::make_unique<BackupCommands>(app);
    AddPrep(backups->restore(), true);
}

void CommandLine::AddListAndInfo() {
    list = app.add_subcommand("list",
                              "List the slots of a sample folder with their lengths and names");
    list->add_option("folder", o.folder, "The sample folder")->required();
    list->add_flag("--json", o.json, "Machine-readable output");

    info = app.add_subcommand("info", "Show a WAV/AIFF file's rate, frames and sample size");
    info->add_option("file", o.file, "The WAV or AIFF file")->required();
    info->add_flag("--json", o.json, "Machine-readable output");
}

void CommandLine::AddImport() {
    import = app.add_subcommand(
        "import", "Import WAV/AIFF files into consecutive slots, starting at the slot given");
    import->add_option("folder", o.folder, "The sample folder")->required();
    import->add_option("slot", o.slot, "The first slot, 01 ... 60")->required();
    import->add_option("files", o.files, "The WAV or AIFF files, in slot order")->required();
    import->add_option("--channel", o.channel, "Channel of a stereo source: L, R or MIX (default)")
        ->transform(Upper)
        ->check(CLI::IsMember({"L", "R", "MIX"}));
    import
        ->add_option("--quality", o.quality,
                     std::string("Conversion to 31250 Hz: ") + kQualityHelp +
                         "; default: off for a 31250 Hz source, else heavy (simple without the "
                         "engine library)")
        ->check(QualityCheck());
    import->add_flag("--keep-going", o.keepGoing, "Go on with the next file after a failure");
    AddPrep(import, true);
}

void CommandLine::AddPrep(CLI::App* command, bool kit) {
    command->add_flag("--trim{}", o.trimText,
                      "Trim the silence at both ends below DB dBFS (--trim=DB; default -60), "
                      "keeping 1 ms before the attack");
    CLI::Option* normalize =
        command->add_flag("--normalize{}", o.normalizeText,
                          "Bring each sound's peak to DB dBFS (--normalize=DB; default -0.3)");
    if (kit) {
        CLI::Option* together = command->add_flag(
            "--kit-normalize{}", o.kitNormalizeText,
            "One gain for all the files: the loudest peak at DB dBFS (--kit-normalize=DB; "
            "default -0.3), the others as far below it as before");
        normalize->excludes(together);
    }
    command->add_option("--fade-in", o.fadeInMs, "A raised-cosine fade-in of MS milliseconds")
        ->check(CLI::NonNegativeNumber);
    command->add_option("--fade-out", o.fadeOutMs, "A raised-cosine fade-out of MS milliseconds")
        ->check(CLI::NonNegativeNumber);
    command->add_flag("--dither", o.dither,
                      "TPDF dither where the sound is rounded to 16 bits from more (24-bit, "
                      "32-bit or float sources, a gain, a fade)");
}

void CommandLine::AddExport() {
    exportCmd = app.add_subcommand("export", "Export a slot to a WAV/AIFF file");
    exportCmd->add_option("folder", o.folder, "The sample folder")->required();
    exportCmd->add_option("slot", o.slot, "The slot, 01 ... 60")->required();
    exportCmd->add_option("file", o.file, "The file to write (.aif: AIFF, anything else: WAV)")
        ->required();
    exportCmd
        ->add_option("--quality", o.quality,
                     std::string(kQualityHelp) +
                         "; off (default): 31250 Hz as stored, else converted to 44100 Hz")
        ->check(QualityCheck());
}

void CommandLine::AddConvert() {
    convert =
        app.add_subcommand("convert", "Convert a WAV/AIFF file to another rate (16-bit output)");
    convert->add_option("in", o.file, "The WAV or AIFF file to read")->required();
    convert->add_option("out", o.out, "The file to write (.aif: AIFF, anything else: WAV)")
        ->required();
    convert->add_option("--rate", o.rate, "The output rate in Hz")
        ->required()
        ->check(CLI::Range(1, 2147483647));
    convert
        ->add_option("--quality", o.quality,
                     std::string(kQualityHelp) +
                         "; default: off when the rate is already right, else heavy (simple "
                         "without the engine library); off keeps the samples and relabels them")
        ->check(QualityCheck());
    convert
        ->add_option(
            "--channel", convertChannel,
            "L, R, MIX (one channel out) or keep (default: one or two channels as they are)")
        ->transform(Upper)
        ->check(CLI::IsMember({"L", "R", "MIX", "KEEP"}));
}

void CommandLine::AddPlay() {
    play = app.add_subcommand(
        "play", "Play a slot (play <folder> <slot>) or a WAV/AIFF file (play <file>) to its end "
                "or until Ctrl-C");
    play->add_option("what", playArgs, "<folder> <slot>, or <file>")->required()->expected(1, 2);
}

int CommandLine::TakePrep(CLI::App* command) {
    struct Level {
        const char* name;
        const std::string& text;
        double fallback;
        double& value;
    };
    for (const Level& l :
         {Level{"--trim", o.trimText, brelka::kDefaultTrimDb, o.trimDb},
          Level{"--normalize", o.normalizeText, brelka::kDefaultNormalizeDb, o.normalizeDb},
          Level{"--kit-normalize", o.kitNormalizeText, brelka::kDefaultNormalizeDb,
                o.kitNormalizeDb}}) {
        l.value = std::nan("");
        if (command->get_option(l.name)->count() == 0) continue;
        if (l.text.empty()) {
            l.value = l.fallback;
            continue;
        }
        char* end = nullptr;
        l.value = std::strtod(l.text.c_str(), &end);
        if (end == l.text.c_str() || *end != '\0' || !(l.value <= 0.0)) {
            std::cerr << l.name << " takes a level in dBFS, 0 or below: " << l.text << "\n";
            return kExitUsage;
        }
    }
    return kExitOk;
}

int CommandLine::Run() {
    if (list->parsed()) return ListCommand(o);
    if (cards->Parsed()) return cards->Run(o.quiet);
    if (backups->Parsed()) {
        const int prep = backups->restore()->parsed() ? TakePrep(backups->restore()) : kExitOk;
        return prep != kExitOk ? prep : backups->Run(o.quiet, PrepFrom(o));
    }
    if (info->parsed()) return InfoCommand(o);
    if (import->parsed()) {
        const int prep = TakePrep(import);
        return prep != kExitOk ? prep : ImportCommand(o);
    }
    if (exportCmd->parsed()) return ExportCommand(o);
    if (play->parsed()) return PlayCommand(playArgs, o.quiet);
    if (convert->parsed()) {
        o.channel = convertChannel;
        return ConvertCommand(o);
    }
    return kExitUsage;
}

} // namespace

int main(int argc, char** argv) {
    platform::UseUtf8Console();
    // Paths stay in one encoding from here to every file call: UTF-8.
    const std::vector<std::string> args = platform::Utf8Arguments(argc, argv);
    std::vector<const char*> argp;
    argp.reserve(args.size());
    for (const auto& a : args)
        argp.push_back(a.c_str());
    CommandLine line;
    try {
        line.app.parse(static_cast<int>(argp.size()), argp.data());
    } catch (const CLI::ParseError& e) {
        const int code = line.app.exit(e);
        return code == 0 ? kExitOk : kExitUsage;
    }
    return line.Run();
}

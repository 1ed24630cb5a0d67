// brelka-bench: input samples per second of each conversion quality through the resampler
// client, of the plain reference converters, of libsoxr and of libsamplerate, on one seeded
// signal fed in the same blocks; and the wall time and peak memory of `brelka-cli import` of a
// long stereo file next to sox converting the same file; and the scan and the backup of a full
// card.
//
//   brelka-bench [--seconds N] [--budget S] [--block N] [--only TEXT,...] [--no-cli] [--json] ...
//   (--help lists the options of the command-line timing)
#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "CardScan.h"
#include "ChildProcess.h"
#include "DynamicLibrary.h"
#include "Environment.h"
#include "ReSampler.h"
#include "Runners.h"
#include "SampleFile.h"
#include "Signal.h"
#include "Terminal.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

const char* const kQualityNames[] = {"Off", "Simple", "Light", "Medium", "Heavy", "Ultra Heavy"};
const char* const kCliQualities[] = {"off", "simple", "light", "medium", "heavy", "ultra"};
const uint32_t kSeed = 20240531;

struct Options {
    double seconds = 60.0;
    double budget = 2.0;
    int block = 4096;
    std::string only;
    bool json = false;
    bool noCli = false;
    double cliSeconds = 180.0;
    double cliBudget = 60.0;
    int cliRuns = 3;
    double cardSeconds = 10.0;
};

struct Row {
    std::string kind;    // brelka, reference, soxr, libsamplerate
    std::string variant; // quality name, or HQ / VHQ / SINC_FASTEST / SINC_BEST
    int quality = 0;     // 1 ... 5 for brelka and reference
    int32_t inRate = 0;
    int32_t outRate = 0;
    int threads = 1;
    double target = 0.0; // input samples per second the product aims at; 0 for none
    bench::Timing timing;

    std::string Pair() const { return std::to_string(inRate) + "->" + std::to_string(outRate); }
    std::string Name() const {
        return kind + " " + variant + " " + Pair() + (threads == 2 ? " 2 threads" : "");
    }
    double Rate() const {
        return timing.seconds > 0.0 ? static_cast<double>(timing.frames) / timing.seconds : 0.0;
    }
    bool Ok() const { return timing.error.empty() && timing.skipped.empty() && timing.frames > 0; }
};

struct CliRow {
    std::string name;         // "brelka-cli heavy", "sox command"
    std::string quality;      // the brelka-cli quality; empty for sox
    double fileSeconds = 0.0; // length of the file actually converted
    double seconds = 0.0;     // wall time, scaled to the full length when a shorter file was used
    uint64_t peakBytes = 0;
    int exitCode = -1;
    bool scaled = false;
    bool memoryOnly = false; // a shorter file run for its peak memory only
    std::string note;
};

// The speed aimed at for a row, or 0: each quality at 44100 -> 31250, and Ultra Heavy also at
// the coprime pair 44101 -> 31250.
double TargetOf(const Row& r) {
    if (r.kind != "brelka") return 0.0;
    const bool coprime = r.inRate == 44101;
    if (!coprime && (r.inRate != 44100 || r.outRate != 31250)) return 0.0;
    switch (r.quality) {
    case kQualitySimple:
        return 150e6;
    case kQualityLight:
        return 40e6;
    case kQualityMedium:
        return 20e6;
    case kQualityHeavy:
        return r.threads == 2 ? 18e6 : 10e6;
    case kQualityUltraHeavy:
        return coprime ? 5e6 : 40e6;
    default:
        return 0.0;
    }
}

std::vector<Row> PlanRows() {
    const std::pair<int32_t, int32_t> pairs[] = {
        {44100, 31250}, {48000, 31250}, {96000, 31250}, {31250, 44100}};
    const std::pair<int32_t, int32_t> coprime = {44101, 31250};
    std::vector<Row> rows;
    auto add = [&](const std::string& kind, const std::string& variant, int quality,
                   std::pair<int32_t, int32_t> pair, int threads) {
        Row r;
        r.kind = kind;
        r.variant = variant;
        r.quality = quality;
        r.inRate = pair.first;
        r.outRate = pair.second;
        r.threads = threads;
        r.target = TargetOf(r);
        rows.push_back(r);
    };
    for (int q = kQualitySimple; q <= kQualityUltraHeavy; ++q) {
        for (const auto& p : pairs)
            add("brelka", kQualityNames[q], q, p, 1);
        if (q == kQualityUltraHeavy) add("brelka", kQualityNames[q], q, coprime, 1);
    }
    // The engine with both cores: Heavy at every pair, the others at the first.
    for (const auto& p : pairs)
        add("brelka", kQualityNames[kQualityHeavy], kQualityHeavy, p, 2);
    for (int q : {kQualityLight, kQualityMedium, kQualityUltraHeavy})
        add("brelka", kQualityNames[q], q, pairs[0], 2);
    for (int q = kQualitySimple; q <= kQualityUltraHeavy; ++q) {
        for (const auto& p : pairs)
            add("reference", kQualityNames[q], q, p, 1);
        if (q == kQualityUltraHeavy) add("reference", kQualityNames[q], q, coprime, 1);
    }
    for (const char* v : {"HQ", "VHQ"}) {
        for (const auto& p : pairs)
            add("soxr", v, 0, p, 1);
        add("soxr", v, 0, coprime, 1);
    }
    for (const char* v : {"SINC_FASTEST", "SINC_BEST"}) {
        for (const auto& p : pairs)
            add("libsamplerate", v, 0, p, 1);
        add("libsamplerate", v, 0, coprime, 1);
    }
    return rows;
}

const Row* Find(const std::vector<Row>& rows, const std::string& kind, const std::string& variant,
                int32_t inRate, int32_t outRate, int threads) {
    for (const auto& r : rows)
        if (r.kind == kind && r.variant == variant && r.inRate == inRate && r.outRate == outRate &&
            r.threads == threads && r.Ok())
            return &r;
    return nullptr;
}

std::optional<double> VsSoxr(const std::vector<Row>& rows, const Row& r) {
    const Row* s = Find(rows, "soxr", "HQ", r.inRate, r.outRate, 1);
    if (!s || !r.Ok() || s->Rate() <= 0.0) return std::nullopt;
    return r.Rate() / s->Rate();
}

std::optional<double> VsReference(const std::vector<Row>& rows, const Row& r) {
    if (r.kind != "brelka") return std::nullopt;
    const Row* s = Find(rows, "reference", r.variant, r.inRate, r.outRate, 1);
    if (!s || !r.Ok() || s->Rate() <= 0.0) return std::nullopt;
    return r.Rate() / s->Rate();
}

// True when --only is empty or one of its comma-separated texts is part of the name.
bool Selected(const Options& o, const std::string& name) {
    if (o.only.empty()) return true;
    size_t from = 0;
    for (;;) {
        const size_t comma = o.only.find(',', from);
        const std::string part =
            o.only.substr(from, comma == std::string::npos ? comma : comma - from);
        if (!part.empty() && name.find(part) != std::string::npos) return true;
        if (comma == std::string::npos) return false;
        from = comma + 1;
    }
}

void Progress(const Options& o, const std::string& what) {
    if (!o.json && platform::StderrIsTerminal()) std::cerr << "\r\033[K" << what << std::flush;
}

void EndProgress(const Options& o) {
    if (!o.json && platform::StderrIsTerminal()) std::cerr << "\r\033[K" << std::flush;
}

// The reference block converter takes time in the square of its block length, so one block at
// a coprime pair can take many seconds: such a row is skipped when a block would far overrun the
// budget, judged by the cost per squared length seen on the earlier rows (ultraCost).
bench::Timing TimeReferenceRow(const Options& o, const Row& r, const bench::Job& job,
                               const std::vector<int16_t>& signal, double& ultraCost) {
    if (r.quality != kQualityUltraHeavy) return bench::TimeReference(r.quality, job, signal);
    const auto hop = static_cast<double>(bench::ReferenceHop(r.quality, job));
    const double weight = 4.0 * hop * hop;
    const double predicted = ultraCost * weight;
    if (predicted > std::max(1.0, 20.0 * o.budget)) {
        bench::Timing t;
        t.skipped = "skipped: one block would take about " +
                    std::to_string(std::lround(predicted)) + " s, over twenty times the budget";
        return t;
    }
    auto t = bench::TimeReference(r.quality, job, signal);
    const double blocks = std::floor(static_cast<double>(t.frames) / hop);
    if (t.error.empty() && blocks > 0)
        ultraCost = std::max(ultraCost, t.seconds / (blocks * weight));
    return t;
}

void MeasureRows(const Options& o, std::vector<Row>& rows) {
    CReSampler resampler;
    std::map<int32_t, std::vector<int16_t>> signals;
    double ultraCost = 0.0;
    bench::Job job;
    job.block = static_cast<size_t>(o.block);
    job.budget = o.budget;
    for (auto& r : rows) {
        Progress(o, "measuring " + r.Name());
        auto& signal = signals[r.inRate];
        if (signal.empty()) {
            const auto frames = static_cast<size_t>(std::llround(o.seconds * r.inRate));
            signal = bench::MakeSignal(r.inRate, std::max<size_t>(frames, 1), 1, kSeed);
        }
        job.inRate = r.inRate;
        job.outRate = r.outRate;
        if (r.kind == "brelka")
            r.timing = bench::TimeClient(resampler, r.quality, r.threads, job, signal);
        else if (r.kind == "reference")
            r.timing = TimeReferenceRow(o, r, job, signal, ultraCost);
        else if (r.kind == "soxr")
            r.timing = bench::TimeSoxr(r.variant, job, signal);
        else
            r.timing = bench::TimeSamplerate(r.variant, job, signal);
    }
    platform::UnsetEnv("QMX_THREADS");
    EndProgress(o);
}

// ------------------------------------------------------------------ the command-line timing

std::string TempFolder() {
    std::random_device rd;
    char suffix[17];
    std::snprintf(suffix, sizeof suffix, "%08x%08x", rd(), rd());
    const fs::path p = fs::temp_directory_path() / (std::string("brelka-bench-") + suffix);
    fs::create_directories(p);
    return p.string();
}

// Writes a stereo 44100 Hz file of the given length, seconds rounded to whole frames.
bool MakeWav(const std::string& path, double seconds) {
    const auto frames = static_cast<size_t>(std::llround(seconds * 44100));
    return bench::WriteWav(path, bench::MakeSignal(44100, frames, 2, kSeed), 44100, 2);
}

// Runs a program `runs` times, fewer once `limit` seconds are spent; keeps the fastest time and
// the largest peak memory.
platform::ChildRun RunBest(const std::vector<std::string>& argv, int runs, double limit,
                           const std::function<void()>& before) {
    platform::ChildRun best;
    double spent = 0.0;
    for (int i = 0; i < runs && (i == 0 || spent < limit); ++i) {
        before();
        const auto run = platform::RunChild(argv, true);
        if (!run.started || run.exitCode != 0) return run;
        spent += run.seconds;
        const uint64_t peak = std::max(best.peakBytes, run.peakBytes);
        if (!best.started || run.seconds < best.seconds) best = run;
        best.peakBytes = peak;
    }
    return best;
}

// Times the command-line tool's imports (and the sox command for comparison) on WAV files it
// writes into a temporary folder of its own.
class CliTimer {
  public:
    CliTimer(const Options& o, const std::vector<Row>& rows, std::string tmp)
        : o_(o), rows_(rows), tmp_(std::move(tmp)),
          cli_(platform::ExecutableFolder() + BRELKA_CLI_FILE_NAME),
          card_((fs::path(tmp_) / "card").string()), raw_((fs::path(tmp_) / "out.raw").string()) {}
    CliTimer(const CliTimer&) = delete;
    CliTimer& operator=(const CliTimer&) = delete;
    ~CliTimer() {
        std::error_code ec;
        fs::remove_all(tmp_, ec);
    }

    // An import of a file of `seconds` at quality q; memoryOnly: a short file, for its peak;
    // prepared: with every step that gets a sound ready (trim, normalize, fades, dither).
    CliRow ImportRow(int q, double seconds, bool memoryOnly, bool prepared = false);
    CliRow SoxRow(double seconds);

  private:
    // A WAV of the length, written once; "?" when it could not be written.
    std::string WavOf(double seconds);
    void EmptyCard() const {
        std::error_code ec;
        fs::remove_all(card_, ec);
        fs::create_directories(card_, ec);
    }
    // A quality too slow for the budget today converts a shorter file, its time scaled up.
    double AffordableLength(int q, double seconds) const;

    const Options& o_;
    const std::vector<Row>& rows_;
    const std::string tmp_;
    const std::string cli_;
    const std::string card_;
    const std::string raw_;
    std::map<double, std::string> wavs_; // by length in seconds
};

std::string CliTimer::WavOf(double seconds) {
    auto& path = wavs_[seconds];
    if (path.empty()) {
        path = (fs::path(tmp_) / ("in-" + std::to_string(std::llround(seconds * 1000)) + "ms.wav"))
                   .string();
        if (!MakeWav(path, seconds)) path = "?";
    }
    return path;
}

double CliTimer::AffordableLength(int q, double seconds) const {
    if (q < kQualitySimple) return seconds;
    const Row* two = Find(rows_, "brelka", kQualityNames[q], 44100, 31250, 2);
    const Row* one = Find(rows_, "brelka", kQualityNames[q], 44100, 31250, 1);
    const Row* known = two ? two : one;
    if (!known || !(known->Rate() > 0.0)) return seconds;
    const double predicted = seconds * 44100 / known->Rate();
    if (predicted <= o_.cliBudget) return seconds;
    return std::max(1.0, std::floor(seconds * o_.cliBudget / predicted));
}

CliRow CliTimer::ImportRow(int q, double seconds, bool memoryOnly, bool prepared) {
    CliRow r;
    r.quality = kCliQualities[q];
    r.name = "brelka-cli " + r.quality;
    r.memoryOnly = memoryOnly;
    if (memoryOnly) r.name += " (short file)";
    if (prepared) r.name += " all options";
    const double length = memoryOnly ? seconds : AffordableLength(q, seconds);
    Progress(o_, "timing " + r.name);
    const std::string wav = WavOf(length);
    r.fileSeconds = length;
    if (wav == "?") {
        r.note = "could not write the WAV file";
        return r;
    }
    const int runs = length < seconds ? 1 : o_.cliRuns;
    std::vector<std::string> command = {cli_,        "import", card_,       "01",      wav,
                                        "--channel", "MIX",    "--quality", r.quality, "-q"};
    if (prepared)
        command.insert(command.end(),
                       {"--trim", "--normalize", "--fade-in", "5", "--fade-out", "20", "--dither"});
    const auto run = RunBest(command, runs, o_.cliBudget, [this] { EmptyCard(); });
    r.exitCode = run.started ? run.exitCode : -1;
    if (!run.started) r.note = "could not start " + cli_;
    r.peakBytes = run.peakBytes;
    r.seconds = run.seconds;
    if (length < seconds && !memoryOnly) {
        r.scaled = true;
        r.seconds *= seconds / length;
        r.note = "timed on a " + std::to_string(static_cast<int>(length)) + " s file, scaled";
    }
    return r;
}

CliRow CliTimer::SoxRow(double seconds) {
    CliRow r;
    r.name = "sox command";
    r.fileSeconds = seconds;
    Progress(o_, "timing sox");
    const std::string wav = WavOf(seconds);
    const auto run =
        RunBest({"sox", wav, "-r", "31250", "-c", "1", "-b", "16", "-e", "signed", "-B", raw_},
                o_.cliRuns, o_.cliBudget, [] {});
    r.exitCode = run.started ? run.exitCode : -1;
    if (!run.started) r.note = "sox not found";
    r.seconds = run.seconds;
    r.peakBytes = run.peakBytes;
    return r;
}

std::vector<CliRow> MeasureCli(const Options& o, const std::vector<Row>& rows) {
    std::string tmp;
    try {
        tmp = TempFolder();
    } catch (const std::exception& e) {
        CliRow r;
        r.name = "brelka-cli";
        r.note = std::string("no temporary folder: ") + e.what();
        return {r};
    }
    CliTimer timer(o, rows, tmp);
    // The engine chooses its threads as it would for a user.
    platform::UnsetEnv("QMX_THREADS");
    const double full = o.cliSeconds;
    std::vector<CliRow> out;
    for (int q = kQualityOff; q <= kQualityUltraHeavy; ++q)
        if (Selected(o, std::string("brelka-cli ") + kCliQualities[q]))
            out.push_back(timer.ImportRow(q, full, false));
    // What getting the sounds ready costs on top of the same imports.
    for (int q : {kQualityOff, kQualityHeavy})
        if (Selected(o, std::string("brelka-cli ") + kCliQualities[q] + " all options"))
            out.push_back(timer.ImportRow(q, full, false, true));
    // The peak memory must not grow with the file: the same conversion of a sixth of it.
    if (Selected(o, "brelka-cli heavy (short file)"))
        out.push_back(timer.ImportRow(kQualityHeavy, std::max(1.0, std::floor(full / 6)), true));
    if (Selected(o, "sox command")) out.push_back(timer.SoxRow(full));
    EndProgress(o);
    return out;
}

// ------------------------------------------------------------------ the card scan and backup

struct CardRow {
    bool measured = false;
    const char* name = "";
    double target = 0.0; // seconds for a full card of 10 s slots
    bool backup = false; // the backup, else the scan
    bench::CardScanTiming timing;
};

constexpr double kCardScanTarget = 0.5;
constexpr double kCardBackupTarget = 2.0;
constexpr int kCardColumns = 200;
constexpr int kCardRuns = 5;
constexpr int kBackupRuns = 3;

CardRow MeasureCard(const Options& o, const char* name, double target, bool backup) {
    CardRow row;
    row.name = name;
    row.target = target;
    row.backup = backup;
    if (!Selected(o, name)) return row;
    row.measured = true;
    Progress(o, std::string("timing the ") + name);
    try {
        const std::string tmp = TempFolder();
        row.timing = backup
                         ? bench::TimeCardBackup(tmp, o.cardSeconds, kBackupRuns, kSeed)
                         : bench::TimeCardScan(tmp, o.cardSeconds, kCardColumns, kCardRuns, kSeed);
        std::error_code ec;
        fs::remove_all(tmp, ec);
    } catch (const std::exception& e) {
        row.timing.error = std::string("no temporary folder: ") + e.what();
    }
    EndProgress(o);
    return row;
}

void PrintCardRows(const Options& o, const CardRow& scan, const CardRow& backup) {
    if (!scan.measured && !backup.measured) return;
    const CardRow& any = scan.measured ? scan : backup;
    std::printf("\nThe card: %d slots of %.3g s (%.1f MB), named. The scan reads names, "
                "fingerprints and %d-column thumbnails, best of %d; the backup writes every slot "
                "as a WAV file and the names file into a new folder, best of %d (files in the "
                "system's cache).\n\n",
                brelka::kSlotCount, o.cardSeconds,
                static_cast<double>(any.timing.bytes) / (1024.0 * 1024.0), kCardColumns, kCardRuns,
                kBackupRuns);
    for (const CardRow* row : {&scan, &backup}) {
        if (!row->measured) continue;
        if (!row->timing.error.empty()) {
            std::printf("%-34s %s\n", row->name, row->timing.error.c_str());
            continue;
        }
        std::printf("%-34s %9.3f s  target < %.1f s (for 10 s slots) %s\n", row->name,
                    row->timing.seconds, row->target,
                    row->timing.seconds < row->target ? "met" : "MISSED");
    }
}

json CardJson(const Options& o, const CardRow& card) {
    if (!card.measured) return nullptr;
    json j = {{"slot_seconds", o.cardSeconds},
              {"slots", card.timing.slots},
              {"bytes", card.timing.bytes},
              {"seconds", card.timing.seconds},
              {"target_seconds", card.target},
              {"error", card.timing.error.empty() ? json(nullptr) : json(card.timing.error)}};
    if (!card.backup) j["columns"] = kCardColumns;
    return j;
}

// ------------------------------------------------------------------ reports

std::string Fixed(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

// Three significant digits, or whole numbers from 100 up.
std::string Sig(double v) {
    if (v >= 100) return Fixed(v, 0);
    if (v >= 10) return Fixed(v, 1);
    if (v >= 1) return Fixed(v, 2);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3g", v);
    return buf;
}

std::string Ratio(const std::optional<double>& v) {
    return v ? Sig(*v) : "-";
}

const CliRow* FindCli(const std::vector<CliRow>& rows, const std::string& name) {
    for (const auto& r : rows)
        if (r.name == name && r.exitCode == 0) return &r;
    return nullptr;
}

void PrintTable(const Options& o, const std::vector<Row>& rows, const std::vector<CliRow>& cli) {
    std::printf("Input samples per second, mono int16, blocks of %d frames, %.0f s signal, "
                "budget %.3g s a row (rates of a partial run are over what it converted).\n\n",
                o.block, o.seconds, o.budget);
    std::printf("%-46s %10s %8s %8s %9s %8s  %s\n", "row", "M/s", "seconds", "signal", "vs soxr",
                "vs ref", "target");
    std::string group;
    for (const auto& r : rows) {
        const std::string g = r.kind + (r.threads == 2 ? " 2" : "");
        if (!group.empty() && g != group) std::printf("\n");
        group = g;
        if (!r.Ok()) {
            std::printf("%-46s %s\n", r.Name().c_str(),
                        (r.timing.error.empty() ? r.timing.skipped : r.timing.error).c_str());
            continue;
        }
        std::string target;
        if (r.target > 0.0)
            target = ">= " + Fixed(r.target / 1e6, 0) + " M " +
                     (r.Rate() >= r.target ? "met" : "MISSED");
        const double signal = static_cast<double>(r.timing.frames) / r.inRate;
        std::printf("%-46s %10s %8.3f %7.1f%s %9s %8s  %s\n", r.Name().c_str(),
                    Sig(r.Rate() / 1e6).c_str(), r.timing.seconds, signal,
                    r.timing.complete ? " " : "*", Ratio(VsSoxr(rows, r)).c_str(),
                    Ratio(VsReference(rows, r)).c_str(), target.c_str());
    }
    std::printf("\nsignal: seconds of the signal converted (* stopped by the budget); vs soxr: "
                "speed over soxr HQ at the same rates; vs ref: over the reference converter of "
                "the same quality.\n");
    if (cli.empty()) return;
    const CliRow* sox = FindCli(cli, "sox command");
    std::printf("\nA %.0f s stereo 44100 Hz WAV to one 31250 Hz slot (MIX), wall time, engine at "
                "its default threads; best of up to %d runs.\n\n",
                o.cliSeconds, o.cliRuns);
    std::printf("%-34s %9s %9s %9s  %s\n", "command", "seconds", "vs sox", "peak MB", "note");
    for (const auto& r : cli) {
        if (r.exitCode != 0) {
            std::printf("%-34s %s%s(exit %d)\n", r.name.c_str(), r.note.c_str(),
                        r.note.empty() ? "" : " ", r.exitCode);
            continue;
        }
        std::string vs = "-";
        if (sox && &r != sox && !r.memoryOnly && sox->seconds > 0.0)
            vs = Fixed(r.seconds / sox->seconds, 2);
        std::string note = r.note;
        if (r.memoryOnly) note = Fixed(r.fileSeconds, 0) + " s file, for its peak memory";
        std::printf("%-34s %9.3f %9s %9.2f  %s\n", r.name.c_str(), r.seconds, vs.c_str(),
                    static_cast<double>(r.peakBytes) / (1024.0 * 1024.0), note.c_str());
    }
    std::printf("\nvs sox: time over sox's (below 1 is faster). sox command: sox in.wav -r 31250 "
                "-c 1 -b 16 -e signed -B out.raw\n");
}

json Nullable(const std::optional<double>& v) {
    return v ? json(*v) : json(nullptr);
}

json ToJson(const Options& o, const std::vector<Row>& rows, const std::vector<CliRow>& cli) {
    json j;
    j["signal_seconds"] = o.seconds;
    j["budget_seconds"] = o.budget;
    j["block_frames"] = o.block;
    j["seed"] = kSeed;
    j["rows"] = json::array();
    for (const auto& r : rows) {
        json x;
        x["name"] = r.Name();
        x["kind"] = r.kind;
        x["variant"] = r.variant;
        x["quality"] = r.quality;
        x["in_rate"] = r.inRate;
        x["out_rate"] = r.outRate;
        x["threads"] = r.threads;
        x["frames"] = r.timing.frames;
        x["seconds"] = r.timing.seconds;
        x["complete"] = r.timing.complete;
        x["samples_per_second"] = r.Rate();
        x["vs_soxr_hq"] = Nullable(VsSoxr(rows, r));
        x["vs_reference"] = Nullable(VsReference(rows, r));
        x["target"] = r.target > 0.0 ? json(r.target) : json(nullptr);
        x["error"] = r.timing.error.empty() ? json(nullptr) : json(r.timing.error);
        x["skipped"] = r.timing.skipped.empty() ? json(nullptr) : json(r.timing.skipped);
        j["rows"].push_back(x);
    }
    j["cli"] = json::array();
    const CliRow* sox = FindCli(cli, "sox command");
    for (const auto& r : cli) {
        json x;
        x["name"] = r.name;
        x["quality"] = r.quality.empty() ? json(nullptr) : json(r.quality);
        x["file_seconds"] = r.fileSeconds;
        x["seconds"] = r.seconds;
        x["peak_bytes"] = r.peakBytes;
        x["exit_code"] = r.exitCode;
        x["scaled"] = r.scaled;
        x["memory_only"] = r.memoryOnly;
        x["vs_sox"] = sox && &r != sox && r.exitCode == 0 && sox->seconds > 0.0 && !r.memoryOnly
                          ? json(r.seconds / sox->seconds)
                          : json(nullptr);
        x["note"] = r.note;
        j["cli"].push_back(x);
    }
    j["bench_peak_bytes"] = platform::PeakMemoryOfThisProcess();
    return j;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    CLI::App app{"Speed of the conversion qualities next to libsoxr, libsamplerate and sox"};
    app.add_option("--seconds", o.seconds, "Length of the signal in seconds (default 60)")
        ->check(CLI::PositiveNumber);
    app.add_option("--budget", o.budget,
                   "Seconds a row may take; it stops after at least one block (default 2)")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--block", o.block, "Frames per call (default 4096)")
        ->check(CLI::Range(1, 1 << 20));
    app.add_option(
        "--only", o.only,
        "Only the rows whose name contains this text (or one of several, separated by commas)");
    app.add_flag("--json", o.json, "Print the results as JSON");
    app.add_flag("--no-cli", o.noCli, "Skip the timing of brelka-cli and sox");
    app.add_option("--cli-seconds", o.cliSeconds, "Length of the WAV for brelka-cli (default 180)")
        ->check(CLI::PositiveNumber);
    app.add_option("--cli-budget", o.cliBudget,
                   "Seconds a brelka-cli run may take before a shorter file is timed and scaled "
                   "(default 60)")
        ->check(CLI::PositiveNumber);
    app.add_option("--cli-runs", o.cliRuns, "Runs of each command, the fastest counts (default 3)")
        ->check(CLI::Range(1, 100));
    app.add_option("--card-seconds", o.cardSeconds,
                   "Length of each of the 60 slots of the card scan and backup (default 10)")
        ->check(CLI::Range(0.0, 600.0));
    CLI11_PARSE(app, argc, argv);
    // While this process is small, so that the children's peak memory is their own.
    if (!o.noCli) platform::StartChildLauncher();

    std::vector<Row> rows;
    for (auto& r : PlanRows())
        if (Selected(o, r.Name())) rows.push_back(r);
    MeasureRows(o, rows);
    std::vector<CliRow> cli;
    if (!o.noCli) cli = MeasureCli(o, rows);
    const CardRow card = MeasureCard(o, "card scan", kCardScanTarget, false);
    const CardRow backup = MeasureCard(o, "card backup", kCardBackupTarget, true);

    if (o.json) {
        json j = ToJson(o, rows, cli);
        j["card_scan"] = CardJson(o, card);
        j["card_backup"] = CardJson(o, backup);
        std::cout << j.dump(2) << "\n";
    } else {
        PrintTable(o, rows, cli);
        PrintCardRows(o, card, backup);
    }
    return 0;
}

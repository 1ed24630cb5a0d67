// brelka-bench runs, and its JSON holds every row it promises; no speed is judged here.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <initializer_list>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace {

using nlohmann::json;
using testsupport::Quote;

json RunBench(const std::string& args) {
    const auto r = testsupport::Run(Quote(BRELKA_BENCH) + " " + args + " --json");
    EXPECT_EQ(r.status, 0) << r.out;
    return json::parse(r.out);
}

// The words joined by spaces.
std::string Words(std::initializer_list<std::string> words) {
    std::string s;
    for (const auto& w : words) {
        if (!s.empty()) s += ' ';
        s += w;
    }
    return s;
}

// The rows the benchmark is meant to have, written out here on their own.
std::set<std::string> ExpectedRows() {
    const std::vector<std::string> pairs = {"44100->31250", "48000->31250", "96000->31250",
                                            "31250->44100"};
    const std::string coprime = "44101->31250";
    std::set<std::string> rows;
    for (const std::string kind : {"brelka", "reference"}) {
        for (const std::string q : {"Simple", "Light", "Medium", "Heavy", "Ultra Heavy"})
            for (const auto& p : pairs)
                rows.insert(Words({kind, q, p}));
        rows.insert(Words({kind, "Ultra Heavy", coprime}));
    }
    for (const auto& p : pairs)
        rows.insert("brelka Heavy " + p + " 2 threads");
    for (const std::string q : {"Light", "Medium", "Ultra Heavy"})
        rows.insert(Words({"brelka", q, "44100->31250 2 threads"}));
    for (const std::string v :
         {"soxr HQ", "soxr VHQ", "libsamplerate SINC_FASTEST", "libsamplerate SINC_BEST"}) {
        for (const auto& p : pairs)
            rows.insert(Words({v, p}));
        rows.insert(Words({v, coprime}));
    }
    return rows;
}

TEST(BenchSmoke, EveryConverterRowIsMeasuredOrSkippedWithAReason) {
    const json j = RunBench("--seconds 0.5 --budget 0.05 --no-cli");
    EXPECT_EQ(j.at("block_frames"), 4096);
    EXPECT_TRUE(j.at("cli").empty());

    std::set<std::string> names;
    for (const auto& row : j.at("rows")) {
        const std::string name = row.at("name");
        SCOPED_TRACE(name);
        EXPECT_TRUE(names.insert(name).second) << "twice";
        EXPECT_TRUE(row.at("error").is_null()) << row.at("error");
        if (!row.at("skipped").is_null()) {
            // Only the reference block converter at the coprime pair may be too slow for this
            // budget.
            EXPECT_EQ(name, "reference Ultra Heavy 44101->31250");
            continue;
        }
        EXPECT_GT(row.at("frames").get<int64_t>(), 0);
        EXPECT_LE(row.at("frames").get<double>(), 0.5 * row.at("in_rate").get<double>() + 1);
        EXPECT_GT(row.at("samples_per_second").get<double>(), 0.0);
        EXPECT_TRUE(row.at("vs_soxr_hq").is_number());
        const std::string kind = row.at("kind");
        if (kind == "soxr" && row.at("variant") == "HQ") {
            EXPECT_DOUBLE_EQ(row.at("vs_soxr_hq"), 1.0);
        }
        if (kind == "brelka") {
            const bool coprime = row.at("in_rate") == 44101;
            EXPECT_EQ(row.at("vs_reference").is_number(), !coprime);
            const bool aimed = coprime ? row.at("quality") == 5
                                       : row.at("in_rate") == 44100 && row.at("out_rate") == 31250;
            EXPECT_EQ(row.at("target").is_number(), aimed) << row.at("name");
        } else {
            EXPECT_TRUE(row.at("vs_reference").is_null());
            EXPECT_TRUE(row.at("target").is_null());
        }
    }
    EXPECT_EQ(names, ExpectedRows());
}

TEST(BenchSmoke, TargetsFollowQualityAndThreads) {
    const json j = RunBench("--seconds 0.2 --budget 0 --no-cli --only \"brelka Heavy 44100,brelka "
                            "Heavy 48000,brelka Ultra Heavy 44101\"");
    std::map<std::string, double> targets; // -1: none
    for (const auto& row : j.at("rows"))
        targets[row.at("name")] =
            row.at("target").is_null() ? -1.0 : row.at("target").get<double>();
    const std::map<std::string, double> expected = {{"brelka Heavy 44100->31250", 10e6},
                                                    {"brelka Heavy 44100->31250 2 threads", 18e6},
                                                    {"brelka Heavy 48000->31250", -1.0},
                                                    {"brelka Heavy 48000->31250 2 threads", -1.0},
                                                    {"brelka Ultra Heavy 44101->31250", 5e6}};
    EXPECT_EQ(targets, expected);
}

TEST(BenchSmoke, TimesTheCommandLineToolAndSoxWithTheirPeakMemory) {
    const json j = RunBench("--only \"brelka-cli simple,brelka-cli heavy (short,sox command\" "
                            "--cli-seconds 2 --cli-runs 1");
    EXPECT_TRUE(j.at("rows").empty());
    std::set<std::string> names;
    for (const auto& row : j.at("cli")) {
        const std::string name = row.at("name");
        SCOPED_TRACE(name);
        names.insert(name);
        EXPECT_EQ(row.at("exit_code"), 0) << row.at("note");
        EXPECT_GT(row.at("seconds").get<double>(), 0.0);
        // Each child's own peak: more than nothing, far less than the benchmark's signals.
        EXPECT_GT(row.at("peak_bytes").get<uint64_t>(), 256u * 1024);
        EXPECT_LT(row.at("peak_bytes").get<uint64_t>(), 200u * 1024 * 1024);
        if (name == "brelka-cli simple") {
            EXPECT_TRUE(row.at("vs_sox").is_number());
        }
        if (name == "brelka-cli heavy (short file)") {
            EXPECT_TRUE(row.at("memory_only").get<bool>());
            EXPECT_EQ(row.at("file_seconds"), 1.0);
        }
    }
    EXPECT_EQ(names, (std::set<std::string>{"brelka-cli simple", "brelka-cli heavy (short file)",
                                            "sox command"}));
}

// The card rows: a whole card of short slots is written, named, found again and backed up.
TEST(BenchSmoke, ScansAndBacksUpAFullCard) {
    const json j = RunBench("--only \"card scan,card backup\" --no-cli --card-seconds 0.2");
    EXPECT_TRUE(j.at("rows").empty());
    for (const char* row : {"card_scan", "card_backup"}) {
        const json& card = j.at(row);
        EXPECT_TRUE(card.at("error").is_null()) << card.at("error");
        EXPECT_EQ(card.at("slots"), 60);
        EXPECT_EQ(card.at("bytes"), 60 * (512 + 6250 * 2));
        EXPECT_GT(card.at("seconds").get<double>(), 0.0);
    }
}

} // namespace

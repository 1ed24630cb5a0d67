#include "JobTestUtil.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>
#include <stdexcept>

#include "AudioFile.h"
#include "CardNames.h"
#include "Files.h"
#include "SampleFile.h"
#include "TestSupport.h"

#if !defined(_WIN32)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif

namespace jobtest {

#if defined(_WIN32)

// sox cannot run under wine: the files are written and read by the program's own audio file
// code, which the Linux suite holds against sox and libsndfile.
void SoxWrite(const std::string& path, const std::vector<int16_t>& samples, int rate,
              int channels) {
    const size_t dot = path.rfind('.');
    const bool aiff = dot != std::string::npos && path.substr(dot) == ".aif";
    const AudioInfo info = WriterInfo(aiff ? kAudioFileAiff : kAudioFileWav, channels, 16,
                                      Extended80::FromUInt32(static_cast<uint32_t>(rate)));
    const int32_t frames = static_cast<int32_t>(samples.size() / static_cast<size_t>(channels));
    AudioFile f;
    if (f.openWrite(path, info) != 0 || f.writeFrames(samples.data(), frames) != 0 ||
        f.close() != 0)
        throw std::runtime_error("cannot write " + path);
}

std::vector<int16_t> SoxRead(const std::string& path) {
    AudioFile f;
    if (f.openRead(path) != 0) throw std::runtime_error("cannot read " + path);
    const AudioInfo& info = f.info();
    std::vector<int16_t> s(static_cast<size_t>(info.frames) * static_cast<size_t>(info.channels));
    f.seekFrame(0);
    if (!s.empty()) f.readFrames(static_cast<int32_t>(info.frames), s.data());
    return s;
}

std::string SoxInfo(const std::string& path, const std::string& field) {
    AudioFile f;
    if (f.openRead(path) != 0) return "";
    const AudioInfo& info = f.info();
    const uint32_t v = field == "-r"   ? info.sampleRate.TruncToUInt32()
                       : field == "-c" ? static_cast<uint32_t>(info.channels)
                       : field == "-s" ? info.frames
                                       : static_cast<uint32_t>(info.bitsPerSample);
    return std::to_string(v);
}

#else

using testsupport::Quote;

void SoxWrite(const std::string& path, const std::vector<int16_t>& samples, int rate,
              int channels) {
    const std::string raw = path + ".raw";
    std::vector<uint8_t> bytes(samples.size() * 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        const auto v = static_cast<uint16_t>(samples[i]);
        bytes[2 * i] = static_cast<uint8_t>(v & 0xFF);
        bytes[2 * i + 1] = static_cast<uint8_t>(v >> 8);
    }
    testsupport::WriteBytes(raw, bytes);
    const auto r =
        testsupport::Run("sox -D -t raw -r " + std::to_string(rate) + " -e signed -b 16 -L -c " +
                         std::to_string(channels) + " " + Quote(raw) + " " + Quote(path) + " 2>&1");
    std::filesystem::remove(raw);
    if (r.status != 0) throw std::runtime_error("sox failed: " + r.out);
}

std::vector<int16_t> SoxRead(const std::string& path) {
    const std::string raw = path + ".read.raw";
    const auto r = testsupport::Run("sox -D " + Quote(path) + " -t raw -e signed -b 16 -L " +
                                    Quote(raw) + " 2>&1");
    if (r.status != 0) throw std::runtime_error("sox failed: " + r.out);
    auto s = testsupport::ReadRawS16LE(raw);
    std::filesystem::remove(raw);
    return s;
}

std::string SoxInfo(const std::string& path, const std::string& field) {
    auto r = testsupport::Run("sox --i " + field + " " + Quote(path) + " 2>/dev/null");
    while (!r.out.empty() && (r.out.back() == '\n' || r.out.back() == ' '))
        r.out.pop_back();
    return r.out;
}

#endif

std::vector<int16_t> SlotSamples(const std::string& path) {
    const auto bytes = testsupport::ReadBytes(path);
    std::vector<int16_t> s;
    for (size_t i = 512; i + 1 < bytes.size(); i += 2)
        s.push_back(static_cast<int16_t>((bytes[i] << 8) | bytes[i + 1]));
    return s;
}

void WriteSlot(const std::string& path, const std::vector<int16_t>& samples) {
    std::vector<uint8_t> b(512, 0);
    std::memcpy(b.data(), "TARQ PL-17 SAMPLE DATA VER0001             ", 43);
    b[44] = 0x1D;
    b[45] = 0x2E;
    b[46] = 0xF6;
    for (int16_t v : samples) {
        b.push_back(static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8));
        b.push_back(static_cast<uint8_t>(static_cast<uint16_t>(v) & 0xFF));
    }
    testsupport::WriteBytes(path, b);
}

std::vector<int16_t> Noise(size_t n, unsigned seed, int amplitude) {
    std::mt19937 gen(seed);
    std::uniform_int_distribution<int> d(-amplitude, amplitude);
    std::vector<int16_t> v(n);
    for (auto& s : v)
        s = static_cast<int16_t>(d(gen));
    return v;
}

#if !defined(_WIN32)
bool InChildWithFileSizeLimit(long bytes, const std::function<bool()>& job) {
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN); // a write past the limit then fails instead of killing
        rlimit lim{};
        lim.rlim_cur = lim.rlim_max = static_cast<rlim_t>(bytes);
        setrlimit(RLIMIT_FSIZE, &lim);
        _exit(job() ? 0 : 1);
    }
    int st = 0;
    waitpid(child, &st, 0);
    return WIFEXITED(st) && WEXITSTATUS(st) == 0;
}
#endif

std::map<std::string, std::vector<uint8_t>> CardFiles(const std::string& folder) {
    std::map<std::string, std::vector<uint8_t>> files;
    for (int s = 1; s <= brelka::kSlotCount; ++s)
        if (testsupport::FileExists(brelka::SlotFileName(folder, s)))
            files[brelka::SlotFileName(folder, s)] =
                testsupport::ReadBytes(brelka::SlotFileName(folder, s));
    if (testsupport::FileExists(brelka::NamesFilePath(folder)))
        files["names"] = testsupport::ReadBytes(brelka::NamesFilePath(folder));
    return files;
}

std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(platform::FsPath(folder)))
        names.push_back(platform::Utf8Path(e.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace jobtest

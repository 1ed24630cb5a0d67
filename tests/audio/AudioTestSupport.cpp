#include "AudioTestSupport.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QMouseEvent>
#include <QTimer>

#include <fstream>
#include <stdexcept>

#include "SampleFile.h"
#include "TestSupport.h"

namespace audiotest {

bool RunUntil(const std::function<bool()>& pred, int timeoutMs) {
    if (pred()) return true;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(2);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (pred()) loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start();
    loop.exec();
    return pred();
}

void RunFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void InEventLoop(const std::function<void()>& f) {
    QEventLoop loop;
    QTimer::singleShot(0, &loop, [&] {
        f();
        loop.quit();
    });
    loop.exec();
}

SlotWindow::SlotWindow()
    : audBtn(new QPushButton(QStringLiteral("Hear the Sound"), this)),
      audition(waveWindow,
               brelka::AuditionView{
                   [this](int v) { gauges.push_back(v); },
                   [this](const std::string& t) { infoTexts.push_back(QString::fromStdString(t)); },
                   [this] {
                       ++buttonUps;
                       audBtn->setChecked(false);
                   },
                   [this](bool on) { playingFlag = on; },
               }) {
    audBtn->setCheckable(true);
    QObject::connect(audBtn, &QPushButton::clicked, [this](bool down) {
        if (down)
            audition.Start(folder.toStdString(), slotText.toStdString());
        else
            audition.Release();
    });
}

bool SlotWindow::event(QEvent* e) {
    return brelka::DeliverWaveEvent(e, audition) || QWidget::event(e);
}

FilePanel::FilePanel()
    : audBtn(new QPushButton(QStringLiteral("Hear"), this)), audition(waveWindow) {
    audBtn->installEventFilter(this);
}

bool FilePanel::event(QEvent* e) {
    return brelka::DeliverWaveEvent(e, audition) || QWidget::event(e);
}

bool FilePanel::eventFilter(QObject* watched, QEvent* e) {
    if (watched == audBtn && e->type() == QEvent::MouseButtonPress)
        audition.Hold(selectedPath.toStdString());
    else if (watched == audBtn && e->type() == QEvent::MouseButtonRelease)
        audition.Release();
    return QWidget::eventFilter(watched, e);
}

bool MonitorRecorder::start() {
    QObject::connect(&proc_, &QProcess::readyReadStandardOutput,
                     [this] { data_.append(proc_.readAllStandardOutput()); });
    proc_.start(QStringLiteral("parec"), {"--raw", "--format=s16le", "--rate=31250", "--channels=1",
                                          "--latency-msec=10", "-d", "null.monitor"});
    if (!proc_.waitForStarted(5000)) return false;
    return RunUntil([this] { return data_.size() >= 2000; }, 8000);
}

MonitorRecorder::~MonitorRecorder() {
    proc_.disconnect();
    if (proc_.state() != QProcess::NotRunning) {
        proc_.kill();
        proc_.waitForFinished(5000);
    }
}

std::vector<int16_t> MonitorRecorder::stop() {
    // Let the monitor deliver what the sink played last.
    RunFor(100);
    proc_.terminate();
    proc_.waitForFinished(5000);
    data_.append(proc_.readAllStandardOutput());
    std::vector<int16_t> out(static_cast<size_t>(data_.size() / 2));
    for (size_t i = 0; i < out.size(); ++i) {
        const auto lo = static_cast<uint8_t>(data_[static_cast<int>(2 * i)]);
        const auto hi = static_cast<uint8_t>(data_[static_cast<int>(2 * i + 1)]);
        out[i] = static_cast<int16_t>(lo | (hi << 8));
    }
    return out;
}

std::vector<int16_t> SoxSamples(const std::string& path, const std::string& options) {
    testsupport::TempDir tmp;
    const std::string raw = tmp.file("out.raw");
    const testsupport::CommandResult r =
        testsupport::Run("sox " + testsupport::Quote(path) + " " + options +
                         " -t raw -e signed -b 16 -L " + testsupport::Quote(raw) + " 2>&1");
    if (r.status != 0) throw std::runtime_error("sox: " + r.out);
    return testsupport::ReadRawS16LE(raw);
}

std::string SinkInputs() {
    return testsupport::Run("pactl list sink-inputs 2>&1").out;
}

void WriteSlotFile(const std::string& path, const std::vector<int16_t>& samples) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr || !brelka::WriteSampleHeader(f))
        throw std::runtime_error("cannot write " + path);
    for (int16_t s : samples) {
        const auto u = static_cast<uint16_t>(s);
        std::fputc(u >> 8, f);
        std::fputc(u & 0xFF, f);
    }
    std::fclose(f);
}

namespace {
void Put32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i)
        v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}
void Put16(std::vector<uint8_t>& v, uint16_t x) {
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
}
void PutTag(std::vector<uint8_t>& v, const char* tag) {
    v.insert(v.end(), tag, tag + 4);
}
} // namespace

void WriteWav(const std::string& path, int channels, int rate, const std::vector<int16_t>& samples,
              const std::vector<uint8_t>& trailingChunks) {
    const auto dataBytes = static_cast<uint32_t>(samples.size() * 2);
    std::vector<uint8_t> v;
    PutTag(v, "RIFF");
    Put32(v, 4 + 24 + 8 + dataBytes + static_cast<uint32_t>(trailingChunks.size()));
    PutTag(v, "WAVE");
    PutTag(v, "fmt ");
    Put32(v, 16);
    Put16(v, 1);
    Put16(v, static_cast<uint16_t>(channels));
    Put32(v, static_cast<uint32_t>(rate));
    Put32(v, static_cast<uint32_t>(rate * channels * 2));
    Put16(v, static_cast<uint16_t>(channels * 2));
    Put16(v, 16);
    PutTag(v, "data");
    Put32(v, dataBytes);
    for (int16_t s : samples)
        Put16(v, static_cast<uint16_t>(s));
    v.insert(v.end(), trailingChunks.begin(), trailingChunks.end());
    testsupport::WriteBytes(path, v);
}

std::vector<int16_t> Noise(size_t n, uint32_t seed) {
    std::vector<int16_t> out(n);
    uint32_t x = seed;
    for (auto& s : out) {
        do {
            x = x * 1664525u + 1013904223u;
            s = static_cast<int16_t>(x >> 16);
        } while (s == 0);
    }
    return out;
}

size_t FirstSound(const std::vector<int16_t>& rec) {
    size_t i = 0;
    while (i < rec.size() && rec[i] == 0)
        ++i;
    return i;
}

size_t EndOfSound(const std::vector<int16_t>& rec) {
    size_t i = rec.size();
    while (i > 0 && rec[i - 1] == 0)
        --i;
    return i;
}

} // namespace audiotest

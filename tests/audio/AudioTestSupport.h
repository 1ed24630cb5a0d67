// Test windows for the auditions, a recorder of the null sink's monitor, and small helpers.
#pragma once

#include <QProcess>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "FileAudition.h"
#include "SlotAudition.h"
#include "WaveWindowQt.h"

namespace audiotest {

// Runs the event loop until pred() holds or timeoutMs have passed; returns pred().
bool RunUntil(const std::function<bool()>& pred, int timeoutMs);
// Runs the event loop for ms milliseconds.
void RunFor(int ms);
// Runs f from inside a running event loop, as the handlers of user input run.
void InEventLoop(const std::function<void()>& f);

// A main window in small: a checkable "Hear the Sound" button, and what the audition showed.
class SlotWindow : public QWidget {
  public:
    SlotWindow();
    QPushButton* audBtn;
    QString folder;
    QString slotText = QStringLiteral("01");
    std::vector<int> gauges;
    std::vector<QString> infoTexts;
    int buttonUps = 0;
    bool playingFlag = false; // the window's own `playing`, kept by the audition
    brelka::QtWaveWindow waveWindow{this};
    brelka::SlotAudition audition;

  protected:
    bool event(QEvent* e) override;
};

// The preview panel in small: a button that plays selectedPath while a mouse button is held.
class FilePanel : public QWidget {
  public:
    FilePanel();
    QPushButton* audBtn;
    QString selectedPath;
    brelka::QtWaveWindow waveWindow{this};
    brelka::FileAudition audition;

  protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
};

// parec on the null sink's monitor, at the sink's own format (31250 Hz mono s16le).
class MonitorRecorder {
  public:
    // Starts parec and waits until it delivers sound; false when it did not.
    bool start();
    // Stops parec and returns what it recorded.
    std::vector<int16_t> stop();
    // Samples recorded so far.
    size_t samples() const { return static_cast<size_t>(data_.size() / 2); }
    // Ends parec when stop() was not called.
    ~MonitorRecorder();

    MonitorRecorder() = default;
    MonitorRecorder(const MonitorRecorder&) = delete;
    MonitorRecorder& operator=(const MonitorRecorder&) = delete;

  private:
    QByteArray data_; // before proc_: its last output may arrive while proc_ is destroyed
    QProcess proc_;
};

// An audio file as sox decodes it, in sox's output options (e.g. "-r 31250 -c 1"), as
// interleaved 16-bit samples.
std::vector<int16_t> SoxSamples(const std::string& path, const std::string& options = "");

// The text of `pactl list sink-inputs`.
std::string SinkInputs();

// A slot file: the header area, then the samples big-endian.
void WriteSlotFile(const std::string& path, const std::vector<int16_t>& samples);
// A mono or stereo 16-bit PCM WAV file; extra bytes (whole chunks) follow the data chunk.
void WriteWav(const std::string& path, int channels, int rate, const std::vector<int16_t>& samples,
              const std::vector<uint8_t>& trailingChunks = {});
// n samples of a fixed pseudo-random sequence, none of them 0.
std::vector<int16_t> Noise(size_t n, uint32_t seed);

// Index of the first sample that is not 0, or the size when there is none.
size_t FirstSound(const std::vector<int16_t>& rec);
// Index behind the last sample that is not 0, or 0 when there is none.
size_t EndOfSound(const std::vector<int16_t>& rec);

} // namespace audiotest

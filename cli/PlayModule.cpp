// The audio side of brelka-cli play, a module of its own that the tool loads only to play, so
// that its other commands run without the window toolkit's libraries in memory.
#include "PlayModule.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <iostream>

#include "FileAudition.h"
#include "FileInfo.h"
#include "Jobs.h"
#include "SampleFile.h"
#include "SlotAudition.h"

namespace {

std::atomic<bool> gInterrupted{false};

extern "C" void OnInterrupt(int) {
    gInterrupted = true;
}

// The receiver of the device's notifications: hands them to the audition and ends the event
// loop when the audition has stopped.
class Player : public QObject {
  public:
    std::function<bool(QEvent*)> handle;
    bool event(QEvent* e) override { return (handle && handle(e)) || QObject::event(e); }
};

// Ctrl-C from here on is noted, for RunUntil to stop the sound; the previous handler comes
// back at the end of the scope.
class CatchInterrupt {
  public:
    CatchInterrupt() {
        gInterrupted = false;
        previous_ = std::signal(SIGINT, OnInterrupt);
    }
    ~CatchInterrupt() { std::signal(SIGINT, previous_); }
    CatchInterrupt(const CatchInterrupt&) = delete;
    CatchInterrupt& operator=(const CatchInterrupt&) = delete;

  private:
    void (*previous_)(int) = nullptr;
};

// Runs the event loop until done() or Ctrl-C (also one pressed before), then stop().
void RunUntil(const std::function<bool()>& done, const std::function<void()>& stop) {
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (gInterrupted) stop();
        if (gInterrupted || done()) QCoreApplication::quit();
    });
    poll.start(10);
    if (!done()) QCoreApplication::exec();
}

// Qt wants an application object for its event loop and the audio devices.
struct App {
    int argc = 1;
    char name[16] = "brelka-cli";
    char* argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
};

int NoDevice() {
    std::cerr << "No audio output device could be opened.\n";
    return 1;
}

int PlaySlot(const std::string& folder, const std::string& slotText, bool quiet) {
    const std::string path = brelka::SlotFileName(folder, brelka::ParseSlotNumber(slotText));
    if (brelka::FileSizeOf(path) < 0) {
        std::cerr << brelka::JobMessage(brelka::JobStatus::SampleError) << " " << path << "\n";
        return 1;
    }
    CatchInterrupt interrupt;
    App app;
    Player player;
    bool up = false;
    brelka::AuditionView view;
    view.setGauge = [](int) {};
    view.setInfoText = [](const QString&) {};
    view.putAudBtnUp = [&] { up = true; };
    brelka::SlotAudition audition(&player, view);
    player.handle = [&](QEvent* e) { return audition.handleEvent(e); };
    if (!quiet) std::cerr << "Playing " << path << " (" << brelka::SlotLengthText(path) << ")\n";
    audition.AudBtnClick(true, QString::fromStdString(folder), QString::fromStdString(slotText));
    const bool device = audition.deviceOpen();
    RunUntil([&] { return up || !audition.playing(); }, [&] { audition.Stop(); });
    return device ? 0 : NoDevice();
}

int PlayFile(const std::string& path, bool quiet) {
    if (!brelka::DescribeAudioPath(path).known) {
        std::cerr << brelka::JobMessage(brelka::JobStatus::SourceError) << " " << path << "\n";
        return 1;
    }
    CatchInterrupt interrupt;
    App app;
    Player player;
    brelka::FileAudition audition(&player);
    player.handle = [&](QEvent* e) { return audition.handleEvent(e); };
    if (!quiet) std::cerr << "Playing " << path << "\n";
    // Held down until the sound has played out (or Ctrl-C releases it).
    audition.AudBtnMouseDown(QFile::decodeName(path.c_str()));
    const bool device = audition.playing();
    RunUntil([&] { return !audition.playing(); }, [&] { audition.AudBtnMouseUp(); });
    return device ? 0 : NoDevice();
}

} // namespace

extern "C" {

BRELKA_PLAY_API int BrelkaPlaySlot(const char* folder, const char* slotText, int quiet) {
    return PlaySlot(folder, slotText, quiet != 0);
}

BRELKA_PLAY_API int BrelkaPlayFile(const char* path, int quiet) {
    return PlayFile(path, quiet != 0);
}
}

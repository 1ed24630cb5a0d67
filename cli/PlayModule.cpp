// The audio side of brelka-cli play, a module of its own that the tool loads only to play, so
// that its other commands run without the window toolkit's libraries in memory.
#include "PlayModule.h"

#include <iostream>

#include "FileAudition.h"
#include "FileInfo.h"
#include "Interrupt.h"
#include "Jobs.h"
#include "MessageLoop.h"
#include "SampleFile.h"
#include "SlotAudition.h"

namespace {

// Passes the window's messages on to the audition made after the loop.
class Forward : public brelka::WaveListener {
  public:
    brelka::WaveListener* to = nullptr;
    void WaveDone(brelka::WaveHeader* header) override {
        if (to) to->WaveDone(header);
    }
    void WaveStop() override {
        if (to) to->WaveStop();
    }
};

// Runs the message loop until done() or Ctrl-C (also one pressed before), then stop().
void RunUntil(brelka::MessageLoop& loop, const std::function<bool()>& done,
              const std::function<void()>& stop) {
    loop.RunUntil([&] { return platform::InterruptRequested() || done(); });
    if (platform::InterruptRequested()) stop();
}

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
    const platform::InterruptGuard interrupt;
    Forward forward;
    const std::unique_ptr<brelka::MessageLoop> loop = brelka::MessageLoop::Create(forward);
    bool up = false;
    brelka::AuditionView view;
    view.setGauge = [](int) {};
    view.setInfoText = [](const std::string&) {};
    view.ended = [&] { up = true; };
    brelka::SlotAudition audition(loop->Window(), view);
    forward.to = &audition;
    if (!quiet) std::cerr << "Playing " << path << " (" << brelka::SlotLengthText(path) << ")\n";
    audition.Start(folder, slotText);
    const bool device = audition.deviceOpen();
    RunUntil(
        *loop, [&] { return up || !audition.playing(); }, [&] { audition.Stop(); });
    return device ? 0 : NoDevice();
}

int PlayFile(const std::string& path, bool quiet) {
    if (!brelka::DescribeAudioPath(path).known) {
        std::cerr << brelka::JobMessage(brelka::JobStatus::SourceError) << " " << path << "\n";
        return 1;
    }
    const platform::InterruptGuard interrupt;
    Forward forward;
    const std::unique_ptr<brelka::MessageLoop> loop = brelka::MessageLoop::Create(forward);
    brelka::FileAudition audition(loop->Window());
    forward.to = &audition;
    if (!quiet) std::cerr << "Playing " << path << "\n";
    // Held down until the sound has played out (or Ctrl-C releases it).
    audition.Hold(path);
    const bool device = audition.playing();
    RunUntil(
        *loop, [&] { return !audition.playing(); }, [&] { audition.Release(); });
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

// Helpers of the window tests: the application object, modal dialogs driven from the test,
// slot and audio files written byte for byte.
#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "MainWin.h"
#include "TestSupport.h"

namespace guitest {

// The window with a little time spent in each progress step, so that a job lasts long enough
// for the user's click to arrive while it runs.
class SlowMainWin : public TMainWin {
  public:
    SlowMainWin();
};

// Runs action(); each modal widget that comes up while it runs is handed, once, to the next
// step. A modal widget that stays up after its step (or has no step) is rejected after a few
// seconds so that no test can hang. Returns the number of steps that ran.
using ModalStep = std::function<void(QWidget*)>;
int RunWithModals(const std::function<void()>& action, const std::vector<ModalStep>& steps);

// Accepts a file dialog with the given path typed into its file name field.
void AcceptFileDialog(QWidget* dialog, const QString& path);
// Accepts a folder dialog on the folder.
void AcceptFolderDialog(QWidget* dialog, const QString& folder);
// Makes the file the dialog's current item, as a click in its list does.
void SelectInFileDialog(QWidget* dialog, const QString& path);
void Reject(QWidget* dialog);

// The text of a message box, or "" when the widget is none.
QString MessageText(QWidget* box);

// Chooses the folder through the folder field and its dialog.
void ChooseFolder(TMainWin& win, const std::string& folder);

// Runs a real event loop for the given time, so the idle handler runs.
void SpinEventLoop(int ms);

// A device sample file: the header area and the samples, big-endian.
void WriteSlot(const std::string& path, const std::vector<int16_t>& samples);
// The samples after the header area of a device sample file.
std::vector<int16_t> ReadSlotSamples(const std::string& path);
bool HasValidSlotLayout(const std::string& path);

// A 16-bit PCM WAV file of interleaved samples.
void WriteWav(const std::string& path, int channels, uint32_t rate,
              const std::vector<int16_t>& samples);
// A 16-bit AIFF file; the rate is stored as an 80-bit value.
void WriteAiff(const std::string& path, int channels, long double rate,
               const std::vector<int16_t>& samples);

// Signed 16-bit samples of any audio file as sox decodes them, and its format.
std::vector<int16_t> SoxSamples(const std::string& path, int channel = 0);
std::string SoxInfo(const std::string& path, const char* option);

std::vector<int16_t> Ramp(size_t count, int step = 7);

} // namespace guitest

// The preview panel's behaviour: the selected file's rate, frames with channel mode and
// duration, and sample size, and the file audition while a mouse button is held on its AudBtn.
#pragma once

#include <memory>
#include <string>

#include "WindowToolkit.h"

namespace brelka {

class FileAudition;
class WaveListener;
class WaveWindow;

class PreviewPanelCore {
  public:
    // window receives the file audition's messages; the front passes them to
    // AuditionListener().
    PreviewPanelCore(PreviewPanelToolkit& toolkit, WaveWindow& window);
    // Stops a running audition.
    ~PreviewPanelCore();
    PreviewPanelCore(const PreviewPanelCore&) = delete;
    PreviewPanelCore& operator=(const PreviewPanelCore&) = delete;

    // The file last selected in the open dialog.
    std::string selectedPath;

    // The open dialog's selection has changed to path.
    void SelectionChange(const std::string& path);
    // Refreshes the three labels from selectedPath (nothing changes while it is empty).
    void ShowFileInfo();
    // Any mouse button down on AudBtn plays selectedPath; its release stops.
    void AudBtnMouseDown();
    void AudBtnMouseUp();
    // The panel was taken away (its dialog closed) while the button may be held.
    void Hidden();

    FileAudition& Audition() { return *audition_; }
    WaveListener& AuditionListener();

  private:
    PreviewPanelToolkit& toolkit_;
    std::unique_ptr<FileAudition> audition_;
};

} // namespace brelka

#include "PreviewPanelCore.h"

#include "FileAudition.h"
#include "FileInfo.h"

namespace brelka {

PreviewPanelCore::PreviewPanelCore(PreviewPanelToolkit& toolkit, WaveWindow& window)
    : toolkit_(toolkit), audition_(std::make_unique<FileAudition>(window)) {}

PreviewPanelCore::~PreviewPanelCore() {
    // The audition stops and frees its buffers while the panel is still whole.
    audition_.reset();
}

WaveListener& PreviewPanelCore::AuditionListener() {
    return *audition_;
}

void PreviewPanelCore::SelectionChange(const std::string& path) {
    selectedPath = path;
    ShowFileInfo();
}

void PreviewPanelCore::ShowFileInfo() {
    if (selectedPath.empty()) return;
    const FileInfoLines lines = DescribeAudioPath(selectedPath);
    toolkit_.SetLabel(PanelLabel::FsLabel, lines.rate);
    toolkit_.SetLabel(PanelLabel::FramesLabel, lines.frames);
    toolkit_.SetLabel(PanelLabel::BitLabel, lines.bits);
}

void PreviewPanelCore::AudBtnMouseDown() {
    audition_->Hold(selectedPath);
}

void PreviewPanelCore::AudBtnMouseUp() {
    audition_->Release();
}

void PreviewPanelCore::Hidden() {
    audition_->Release();
}

} // namespace brelka

// The preview panel at the bottom of the import's open dialog: the selected file's rate, frames
// with channel mode and duration, and sample size, and a button to hear the file.
#pragma once

#include <QString>
#include <QWidget>

#include <memory>

#include "PreviewPanelCore.h"
#include "WaveWindowQt.h"
#include "WindowLayout.h"
#include "WindowToolkit.h"

class QFrame;
class QLabel;
class QToolButton;

class TGetWin : public QWidget, public brelka::PreviewPanelToolkit {
    Q_OBJECT

  public:
    explicit TGetWin(QWidget* parent = nullptr);
    ~TGetWin() override;

    QFrame* Bevel1 = nullptr;
    QLabel* FsLabel = nullptr;
    QLabel* FramesLabel = nullptr;
    QLabel* BitLabel = nullptr;
    QToolButton* AudBtn = nullptr;

    // The panel's behaviour: the selected file, its description and its audition.
    brelka::PreviewPanelCore& Core() { return *core_; }
    brelka::FileAudition& Audition() { return core_->Audition(); }

    // Handlers, passed on to the behaviour.
    void AudBtnMouseDown() { core_->AudBtnMouseDown(); }
    void AudBtnMouseUp() { core_->AudBtnMouseUp(); }

    void SetLabel(brelka::PanelLabel label, const std::string& text) override;

  protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    // A panel taken away with its dialog while the button is held gets no release: it stops.
    void hideEvent(QHideEvent* e) override;

  private:
    void AddControl(const brelka::layout::PanelControl& spec);

    brelka::QtWaveWindow waveWindow_{this};
    std::unique_ptr<brelka::PreviewPanelCore> core_;
};

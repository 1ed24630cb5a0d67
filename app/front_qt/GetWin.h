// The preview panel at the bottom of the import's open dialog: the selected file's rate, frames
// with channel mode and duration, and sample size, and a button to hear the file.
#pragma once

#include <QString>
#include <QWidget>

#include <memory>

class QFrame;
class QLabel;
class QToolButton;

namespace brelka {
class FileAudition;
}

class TGetWin : public QWidget {
    Q_OBJECT

  public:
    explicit TGetWin(QWidget* parent = nullptr);
    ~TGetWin() override;

    QFrame* Bevel1 = nullptr;
    QLabel* FsLabel = nullptr;
    QLabel* FramesLabel = nullptr;
    QLabel* BitLabel = nullptr;
    QToolButton* AudBtn = nullptr;

    // The file last selected in the open dialog.
    QString selectedPath;

    // Refreshes the three labels from selectedPath (nothing changes while it is empty).
    void ShowFileInfo();

    // The file audition while a mouse button is held on AudBtn: plays selectedPath, and stops
    // on the release (or by itself at the end of the file).
    void AudBtnMouseDown();
    void AudBtnMouseUp();
    brelka::FileAudition& Audition() { return *audition_; }

  protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    // A panel taken away with its dialog while the button is held gets no release: it stops.
    void hideEvent(QHideEvent* e) override;

  private:
    void AudBufferDone(QEvent* e);
    void AudStop(QEvent* e);

    std::unique_ptr<brelka::FileAudition> audition_;
};

extern TGetWin* GetWin;

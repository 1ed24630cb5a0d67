// The preview panel at the bottom of the import's open dialog: the selected file's rate, frames
// with channel mode and duration, and sample size, and a button to hear the file.
#pragma once

#include <QString>
#include <QWidget>

class QFrame;
class QLabel;
class QToolButton;

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

    // The file audition while a mouse button is held on AudBtn.
    void AudBtnMouseDown();
    void AudBtnMouseUp();

  protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void AudBufferDone(QEvent* e);
    void AudStop();
};

extern TGetWin* GetWin;

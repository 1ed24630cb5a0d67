// The main window: folder and slot choice, the slot's length, import channel and rate conversion
// settings, the import and export jobs with their progress, and the slot audition button.
#pragma once

#include <QFont>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <string>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QToolButton;
class CReSampler;

namespace brelka {
struct JobProgress;
class SlotAudition;
} // namespace brelka

class TMainWin : public QWidget {
    Q_OBJECT

  public:
    // Binds the engine library by its usual name.
    explicit TMainWin(QWidget* parent = nullptr);
    // Binds the engine library at the given path or name instead ("" binds none).
    explicit TMainWin(const std::string& engineLibrary, QWidget* parent = nullptr);
    ~TMainWin() override;

    // Controls, by their names (each also carries its name as objectName).
    QLabel* Image = nullptr;
    QLineEdit* SrcEdit = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* SampleList = nullptr;
    QToolButton* AudBtn = nullptr;
    QLabel* LenLabel = nullptr;
    QGroupBox* ImportRadio = nullptr;         // radio group "Import Channel"
    QButtonGroup* ImportRadioItems = nullptr; // its items "L", "R", "MIX" with ids 0, 1, 2
    QGroupBox* ConvGroup = nullptr;
    QCheckBox* RateConvCheck = nullptr;
    QRadioButton* RsSimple = nullptr;
    QRadioButton* RsLight = nullptr;
    QRadioButton* RsMedium = nullptr;
    QRadioButton* RsHeavy = nullptr;
    QRadioButton* RsUHeavy = nullptr;
    QLabel* InfoText = nullptr;
    QProgressBar* Gauge = nullptr;
    QPushButton* ToExecBtn = nullptr;
    QPushButton* FromExecBtn = nullptr;
    QPushButton* AbortBtn = nullptr;

    // The dialogs, kept for the life of the window.
    QFileDialog* SaveDialog = nullptr;
    QFileDialog* OpenDialog = nullptr;
    QFileDialog* SelFolder = nullptr;

    // Flags.
    bool abortRequested = false; // set by "Abort", polled by the running job
    bool folderChosen = false;   // a folder has been chosen at least once
    bool busy = false;           // an import or export job runs
    bool playing = false;        // a slot audition runs (mirrors the audition's own state)

    // Handlers.
    void SrcEditClick();
    void SampleListChange();
    void AbortBtnClick();
    void AppEventsIdle();
    void OpenDialogSelectionChange(const QString& path);
    void FromExecBtnClick();
    void ToExecBtnClick();
    // The slot audition: AudBtn has just been put down or up by the user.
    void AudBtnClick(bool down);

    // Empties the slot list and lists the slots found in the folder.
    void ScanSampleFolder(const QString& folder);

    // The jobs' progress and abort step after block k of n; start and last are tick counts
    // (last is updated). True when the job must stop.
    virtual bool UpdateJobProgress(int k, int n, uint32_t start, uint32_t& last);

    // The import channel (0 "L", 1 "R", 2 "MIX") and the quality code (0 none ... 5).
    int ImportChannel() const;
    int QualityCode() const;

    // The folder the last folder choice returned (native separators); empty before the first.
    QString ChosenFolder() const { return chosenFolder_; }
    CReSampler& Resampler() { return *resampler_; }
    brelka::SlotAudition& Audition() { return *audition_; }

    // For the audition and the jobs. The gauge shows percent within its range; GaugeSet
    // reports the value as given.
    void SetGauge(int percent);
    void SetInfoText(const QString& text);
    void PutAudBtnUp(); // without raising AudBtnClick

  signals:
    void GaugeSet(int percent);

  protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    // Closing the window ends a running audition.
    void closeEvent(QCloseEvent* e) override;

  private:
    void Build();
    void AttachPreviewPanel();
    void BeginJob();
    void EndJob(bool clearProgress);
    void ShowMessage(const QString& text);
    brelka::JobProgress JobCallbacks(uint32_t& start, uint32_t& last, bool& prepared);
    void SelectSlot(int slot);

    // Routed window messages of the audition: a played buffer came back, and the stop message.
    void AudBufferDone(QEvent* e);
    void AudStop(QEvent* e);

    std::unique_ptr<CReSampler> resampler_;
    std::unique_ptr<brelka::SlotAudition> audition_;
    QString chosenFolder_;
    QString lastSaveName_;
};

extern TMainWin* MainWin;

// Platform message numbers the windows route to their audition handlers.
constexpr int kMsgBufferDone = 957; // a played buffer is handed back
constexpr int kMsgStop = 1024;      // stop the audition

// A path as the standard library's file functions take it.
std::string LocalPath(const QString& path);

// The windows' font: "MS Gothic" at 12 pixels, or the gothic font standing in for it.
QFont WindowFont();

// The main window on Qt Widgets: builds the controls from the window's form (WindowLayout),
// forwards their events to the window's behaviour (MainWindowCore) and gives it what it asks
// of a toolkit.
#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "MainWindowCore.h"
#include "WaveWindowQt.h"
#include "WindowLayout.h"
#include "WindowToolkit.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QToolButton;
class CReSampler;
class TCardMenu;
class TCardView;
class TGetWin;

class TMainWin : public QWidget, public brelka::MainWindowToolkit {
    Q_OBJECT

  public:
    // Binds the engine library by its usual name.
    explicit TMainWin(QWidget* parent = nullptr);
    // Binds the engine library at the given path or name instead ("" binds none).
    explicit TMainWin(const std::string& engineLibrary, QWidget* parent = nullptr);
    ~TMainWin() override;

    // Makes the window's behaviour for the window.
    using CoreMaker = std::function<std::unique_ptr<brelka::MainWindowCore>(
        brelka::MainWindowToolkit&, brelka::WaveWindow&)>;
    // With a behaviour of the caller's making.
    TMainWin(const CoreMaker& makeCore, QWidget* parent);

    // The menu bar, and below it the client area of the form's size, which holds the controls.
    QMenuBar* MenuBar = nullptr;
    QWidget* ClientArea = nullptr;
    // The "Card" menu's commands.
    TCardMenu* CardMenu() const { return cardMenu_; }
    // The card view, once "Card View..." has made it.
    TCardView* CardView() const { return cardView_.get(); }

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

    // The panel the open dialog shows; made after the window, outliving it.
    void SetPreviewPanel(TGetWin* panel);

    // The window's behaviour: its flags (busy, playing, ...) and handlers.
    brelka::MainWindowCore& Core() { return *core_; }

    // Handlers, passed on to the behaviour.
    void SrcEditClick() { core_->SrcEditClick(); }
    void SampleListChange() { core_->SampleListChange(); }
    void AbortBtnClick() { core_->AbortBtnClick(); }
    void AppEventsIdle() { core_->AppEventsIdle(); }
    void FromExecBtnClick() { core_->FromExecBtnClick(); }
    void ToExecBtnClick() { core_->ToExecBtnClick(); }
    void AudBtnClick(bool down) { core_->AudBtnClick(down); }
    bool UpdateJobProgress(int k, int n, uint32_t start, uint32_t& last) {
        return core_->UpdateJobProgress(k, n, start, last);
    }

    // The folder the last folder choice returned (native separators); empty before the first.
    QString ChosenFolder() const;
    CReSampler& Resampler() { return core_->Resampler(); }
    brelka::SlotAudition& Audition() { return core_->Audition(); }

    // The toolkit's side.
    void SetEnabled(brelka::Control control, bool on) override;
    bool IsChecked(brelka::Control control) const override;
    void SetChecked(brelka::Control control, bool on) override;
    std::string Text(brelka::Control control) const override;
    void SetText(brelka::Control control, const std::string& text) override;
    int ImportRadioIndex() const override;
    // The gauge shows percent within its range; GaugeSet reports the value as given.
    void SetGauge(int percent) override;
    void FocusControl(brelka::Control control) override;
    void ClearSlotItems() override;
    void AddSlotItem(const std::string& text) override;
    int SlotItemCount() const override;
    std::string SlotItem(int index) const override;
    void SelectSlotItem(int index) override;
    bool ChooseFolder(std::string& folder) override;
    bool ChooseImportFile(std::string& path) override;
    bool ChooseExportFile(const std::string& lastName, std::string& path) override;
    void ShowMessage(const std::string& text) override;
    void SetWaitCursor(bool on) override;
    void RunPendingEvents() override;
    void CloseWindow() override;
    void SetMenuItem(brelka::CardMenuItem item, const std::string& text, bool enabled) override;
    void ShowCardView() override;
    bool EditImportOptions(brelka::ImportOptionsForm& form) override;
    bool ChooseOtherFolder(const std::string& title, std::string& folder) override;
    bool AskYesNo(const std::string& text) override;

  Q_SIGNALS:
    void GaugeSet(int percent);

  protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    // Closing the window ends a running audition; during a job the behaviour decides.
    void closeEvent(QCloseEvent* e) override;
    // Files and folders dropped from the file manager go into the slot shown and after it.
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

  private:
    void Build();
    void BuildFrame();
    void AddControl(const brelka::layout::MainControl& spec);
    QWidget* CreatePicture(QWidget* parent);
    QWidget* CreateFolderEdit(QWidget* parent, const brelka::layout::MainControl& spec);
    QWidget* CreateSlotCombo(QWidget* parent, const brelka::layout::MainControl& spec);
    QWidget* CreateSpeakerButton(QWidget* parent, const brelka::layout::MainControl& spec);
    QWidget* CreateLabel(QWidget* parent, const brelka::layout::MainControl& spec);
    QWidget* CreateRadioButton(QWidget* parent, const brelka::layout::MainControl& spec);
    QWidget* CreateCheckBox(QWidget* parent, const brelka::layout::MainControl& spec);
    QWidget* CreatePushButton(QWidget* parent, const brelka::layout::MainControl& spec);
    QWidget* CreateGauge(QWidget* parent);
    template <typename W> W* PartAs(brelka::layout::Part part) const;
    void NameControls();
    void SetTabOrder();
    void ConnectControls();
    void BuildDialogs();
    void AttachPreviewPanel();
    QWidget* ControlOf(brelka::Control control) const;
    QWidget* DialogParent();

    QWidget* parts_[brelka::layout::PartIndex(brelka::layout::Part::Window)] = {};
    TGetWin* panel_ = nullptr;
    brelka::QtWaveWindow waveWindow_{this};
    TCardMenu* cardMenu_ = nullptr;
    std::unique_ptr<brelka::MainWindowCore> core_;
    std::unique_ptr<TCardView> cardView_;
};

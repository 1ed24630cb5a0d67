#include "GetWin.h"

#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QToolButton>

#include "MainWin.h"
#include "WindowIcons.h"

TGetWin* GetWin = nullptr;

namespace {

constexpr int kPanelWidth = 416;
constexpr int kPanelHeight = 84;

template <typename W> W* Place(W* w, const char* name, int left, int top, int width, int height) {
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(left, top, width, height);
    return w;
}

} // namespace

TGetWin::TGetWin(QWidget* parent)
    : QWidget(parent), core_(std::make_unique<brelka::PreviewPanelCore>(*this, waveWindow_)) {
    setObjectName(QStringLiteral("GetWin"));
    setFont(WindowFont());
    resize(kPanelWidth, kPanelHeight);
    setMinimumSize(kPanelWidth, kPanelHeight);
    // Inside the open dialog the panel spans its whole width and keeps its height.
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    Bevel1 = Place(new QFrame(this), "Bevel1", 8, 4, 393, 41);
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);

    // The captions reserve the width of their values with trailing spaces.
    FsLabel = Place(new QLabel(QStringLiteral("Sampling Rate :                     "), this),
                    "FsLabel", 16, 8, 164, 12);
    FramesLabel = Place(new QLabel(QStringLiteral("Sampling Frames :                 "), this),
                        "FramesLabel", 16, 24, 162, 12);
    BitLabel =
        Place(new QLabel(QStringLiteral("Bits / Word :   "), this), "BitLabel", 196, 8, 78, 12);
    // A label grows to show its whole text, as the design's auto-sized labels do.
    for (QLabel* label : {FsLabel, FramesLabel, BitLabel})
        label->setMinimumWidth(label->width());

    AudBtn = Place(new QToolButton(this), "AudBtn", 364, 12, 23, 22);
    AudBtn->setIcon(SpeakerIcon());
    AudBtn->setIconSize(QSize(18, 18));
    AudBtn->setToolTip(QStringLiteral("Hear the Sound"));
    AudBtn->setFocusPolicy(Qt::NoFocus);
    AudBtn->installEventFilter(this);
}

TGetWin::~TGetWin() {
    // The audition stops and frees its buffers while the panel is still whole.
    core_.reset();
}

void TGetWin::SetLabel(brelka::PanelLabel label, const std::string& text) {
    QLabel* target = label == brelka::PanelLabel::FsLabel       ? FsLabel
                     : label == brelka::PanelLabel::FramesLabel ? FramesLabel
                                                                : BitLabel;
    target->setText(QString::fromStdString(text));
    target->adjustSize();
}

bool TGetWin::eventFilter(QObject* watched, QEvent* e) {
    if (watched == AudBtn && AudBtn->isEnabled()) {
        // Any mouse button starts the audition; its release stops it.
        if (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonDblClick)
            AudBtnMouseDown();
        else if (e->type() == QEvent::MouseButtonRelease)
            AudBtnMouseUp();
    }
    return QWidget::eventFilter(watched, e);
}

bool TGetWin::event(QEvent* e) {
    if (core_ && brelka::DeliverWaveEvent(e, core_->AuditionListener())) return true;
    return QWidget::event(e);
}

void TGetWin::hideEvent(QHideEvent* e) {
    core_->Hidden();
    QWidget::hideEvent(e);
}

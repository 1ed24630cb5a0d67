#include "GetWin.h"

#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QToolButton>

#include "FrontText.h"
#include "WindowIcons.h"
#include "WindowLayout.h"

using brelka::layout::Kind;
using brelka::layout::PanelControl;
using brelka::layout::PanelPart;

TGetWin::TGetWin(QWidget* parent)
    : QWidget(parent), core_(std::make_unique<brelka::PreviewPanelCore>(*this, waveWindow_)) {
    setObjectName(QStringLiteral("GetWin"));
    setFont(WindowFont());
    const brelka::layout::Size size = brelka::layout::kPanelSize;
    resize(size.width, size.height);
    setMinimumSize(size.width, size.height);
    // Inside the open dialog the panel spans its whole width and keeps its height.
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    for (const PanelControl& spec : brelka::layout::PanelControls())
        AddControl(spec);
}

void TGetWin::AddControl(const PanelControl& spec) {
    QWidget* w = nullptr;
    const QString caption = QString::fromUtf8(spec.caption);
    switch (spec.kind) {
    case Kind::Bevel: {
        auto* bevel = new QFrame(this);
        bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
        w = Bevel1 = bevel;
        break;
    }
    case Kind::Label: {
        auto* label = new QLabel(caption, this);
        // A label grows to show its whole text, never narrower than its place.
        label->setMinimumWidth(spec.place.width);
        w = label;
        (spec.part == PanelPart::FsLabel       ? FsLabel
         : spec.part == PanelPart::FramesLabel ? FramesLabel
                                               : BitLabel) = label;
        break;
    }
    case Kind::HoldSpeaker: {
        auto* button = new QToolButton(this);
        button->setIcon(SpeakerIcon());
        button->setIconSize(
            QSize(brelka::layout::kSpeakerIconSize.width, brelka::layout::kSpeakerIconSize.height));
        if (spec.toolTip) button->setToolTip(QString::fromUtf8(spec.toolTip));
        button->setFocusPolicy(Qt::NoFocus);
        button->installEventFilter(this);
        w = AudBtn = button;
        break;
    }
    default:
        return; // the main window's kinds
    }
    w->setObjectName(QString::fromLatin1(spec.name));
    w->setGeometry(spec.place.left, spec.place.top, spec.place.width, spec.place.height);
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

#include "WaveWindowQt.h"

#include <QCoreApplication>

namespace brelka {

QEvent::Type WaveDoneEventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

QEvent::Type WaveStopEventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

bool DeliverWaveEvent(QEvent* event, WaveListener& listener) {
    if (event->type() == WaveDoneEventType()) {
        listener.WaveDone(static_cast<WaveDoneEvent*>(event)->header());
        return true;
    }
    if (event->type() == WaveStopEventType()) {
        listener.WaveStop();
        return true;
    }
    return false;
}

void QtWaveWindow::PostStop() {
    QCoreApplication::postEvent(receiver_, new QEvent(WaveStopEventType()));
}

void QtWaveWindow::DeliverDone() {
    QCoreApplication::sendPostedEvents(receiver_, WaveDoneEventType());
}

void QtWaveWindow::DiscardDone() {
    QCoreApplication::removePostedEvents(receiver_, WaveDoneEventType());
}

void QtWaveWindow::DiscardStop() {
    QCoreApplication::removePostedEvents(receiver_, WaveStopEventType());
}

} // namespace brelka

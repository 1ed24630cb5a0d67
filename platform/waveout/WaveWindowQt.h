// The Qt side of the wave output: the two messages are events of types registered with Qt,
// posted to a QObject, and that object's event() hands them to its listener.
#pragma once

#include <QEvent>
#include <QObject>

#include "WaveOut.h"

namespace brelka {

// The event types of the two messages, registered with Qt on first use.
QEvent::Type WaveDoneEventType();
QEvent::Type WaveStopEventType();

// A buffer has come back.
class WaveDoneEvent : public QEvent {
  public:
    explicit WaveDoneEvent(WaveHeader* header) : QEvent(WaveDoneEventType()), header_(header) {}
    WaveHeader* header() const { return header_; }

  private:
    WaveHeader* header_;
};

// For a receiver's event(): hands the event to the listener when it is one of the two
// messages, and says whether it was.
bool DeliverWaveEvent(QEvent* event, WaveListener& listener);

class QtWaveWindow : public WaveWindow {
  public:
    explicit QtWaveWindow(QObject* receiver) : receiver_(receiver) {}
    void* Handle() const override { return receiver_; }
    void PostStop() override;
    void DeliverDone() override;
    void DiscardDone() override;
    void DiscardStop() override;

  private:
    QObject* receiver_;
};

} // namespace brelka

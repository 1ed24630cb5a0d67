#include "MessageLoop.h"

#include <QCoreApplication>
#include <QObject>
#include <QTimer>

#include "WaveWindowQt.h"

namespace brelka {

namespace {

// Qt's event loop and audio devices want an application object; this one is made when the
// program has none.
struct App {
    int argc = 1;
    char name[16] = "brelka";
    char* argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
};

class Receiver : public QObject {
  public:
    explicit Receiver(WaveListener& listener) : listener_(listener) {}
    bool event(QEvent* e) override { return DeliverWaveEvent(e, listener_) || QObject::event(e); }

  private:
    WaveListener& listener_;
};

class QtMessageLoop : public MessageLoop {
  public:
    explicit QtMessageLoop(WaveListener& listener)
        : app_(QCoreApplication::instance() ? nullptr : std::make_unique<App>()),
          receiver_(listener), window_(&receiver_) {}
    WaveWindow& Window() override { return window_; }
    void RunUntil(const std::function<bool()>& done) override {
        if (done()) return;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (done()) QCoreApplication::quit();
        });
        poll.start(10);
        QCoreApplication::exec();
    }

  private:
    std::unique_ptr<App> app_;
    Receiver receiver_;
    QtWaveWindow window_;
};

} // namespace

std::unique_ptr<MessageLoop> MessageLoop::Create(WaveListener& listener) {
    return std::make_unique<QtMessageLoop>(listener);
}

} // namespace brelka

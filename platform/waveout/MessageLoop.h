// A window of its own, for code that has none (the command-line player): it receives an
// audition's messages and hands them to the listener, and runs the toolkit's message loop.
#pragma once

#include <functional>
#include <memory>

#include "WaveOut.h"

namespace brelka {

class MessageLoop {
  public:
    // Sets up what the toolkit needs (its application object, a hidden window).
    static std::unique_ptr<MessageLoop> Create(WaveListener& listener);
    virtual ~MessageLoop() = default;

    // The window the device and the stop message go to.
    virtual WaveWindow& Window() = 0;
    // Runs the message loop until done() holds; done is asked every 10 ms, and before the
    // loop starts.
    virtual void RunUntil(const std::function<bool()>& done) = 0;
};

} // namespace brelka

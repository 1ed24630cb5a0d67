// The system's record of one prepared buffer (its WAVEHDR), shared by the winmm device and the
// window side. A record lives from prepare until its last MM_WOM_DONE message has been handled
// or dropped: a device may be closed, or a buffer unprepared, while that message still waits in
// the window's queue, and the message carries the record.
#pragma once

#include <cstdint>

#include "WaveOut.h"

namespace brelka {

// The buffer of an MM_WOM_DONE message, its flags brought up to date; nullptr when the
// message names no record of ours. A record whose buffer was unprepared (or whose device was
// closed) meanwhile is freed here, and the header it names is not touched: it may be gone.
WaveHeader* TakeWaveDone(intptr_t lParam);

} // namespace brelka

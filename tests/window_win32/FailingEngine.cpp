// An engine library that fails inside a call, as a broken build of it might: QMX_Begin throws.
// Beside a copy of brelka.exe it shows how the window deals with an exception in a handler.
#include <stdexcept>

#define QMX_BUILDING
#include "qmx.h"

extern "C" {
int32_t QMX_CALL QMX_Setting(int32_t, int32_t, uint8_t, uint8_t) {
    return 0;
}
int32_t QMX_CALL QMX_Begin(void) {
    throw std::runtime_error("The engine failed to start.");
}
int32_t QMX_CALL QMX_Exec(const int16_t*, int16_t*, int32_t) {
    return 0;
}
int32_t QMX_CALL QMX_End(void) {
    return 0;
}
}

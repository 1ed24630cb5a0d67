// Facts about the terminal the program runs in, and text written to it.
#pragma once

namespace platform {

// True when standard error is a terminal (a console on Windows; not a file, a pipe or NUL).
bool StderrIsTerminal();

// Makes std::cout and std::cerr show UTF-8 text legibly where they write to a terminal. On
// Windows a console shows text in its own code page, so there the streams that reach a console
// write wide characters to it; streams that go to a file or a pipe keep their UTF-8 bytes. Call
// once, before the first output. Elsewhere the terminal takes UTF-8 as it is.
void UseUtf8Console();

} // namespace platform

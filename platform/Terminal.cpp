#include "Terminal.h"

#if defined(_WIN32)
#include <windows.h>

#include <iostream>
#include <streambuf>
#include <string>

#include "Files.h"
#else
#include <unistd.h>
#endif

namespace platform {

#if defined(_WIN32)

namespace {

bool IsConsole(HANDLE h) {
    DWORD mode = 0;
    return h != nullptr && h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode) != 0;
}

// A stream buffer that writes UTF-8 text to a console as wide characters. A character split
// between two writes waits for its last bytes.
class ConsoleBuffer : public std::streambuf {
  public:
    explicit ConsoleBuffer(HANDLE console) : console_(console) {}

  protected:
    int_type overflow(int_type c) override {
        if (c != traits_type::eof()) {
            pending_ += static_cast<char>(c);
            if (c == '\n') sync();
        }
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        pending_.append(s, static_cast<size_t>(n));
        if (pending_.find('\n') != std::string::npos || pending_.size() > 4096) sync();
        return n;
    }
    int sync() override {
        // Everything up to the last whole character: back over the continuation bytes (at most
        // three) to the lead byte, and keep that character if it is not complete yet.
        size_t end = pending_.size();
        size_t i = end;
        for (int back = 0; i > 0 && back < 3 && (Byte(i - 1) & 0xC0) == 0x80; ++back)
            --i;
        if (i > 0) {
            const unsigned c = Byte(i - 1);
            const size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
            if (i - 1 + length > end) end = i - 1;
        }
        const std::wstring text = Wide(pending_.substr(0, end));
        pending_.erase(0, end);
        DWORD written = 0;
        if (!text.empty())
            WriteConsoleW(console_, text.data(), static_cast<DWORD>(text.size()), &written,
                          nullptr);
        return 0;
    }

  private:
    unsigned Byte(size_t i) const { return static_cast<unsigned char>(pending_[i]); }

    HANDLE console_;
    std::string pending_;
};

} // namespace

bool StderrIsTerminal() {
    // _isatty also says yes for NUL and other character devices.
    return IsConsole(GetStdHandle(STD_ERROR_HANDLE));
}

void UseUtf8Console() {
    // Kept for the life of the process: the streams use them until its very end.
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (IsConsole(out)) std::cout.rdbuf(new ConsoleBuffer(out));
    if (IsConsole(err)) std::cerr.rdbuf(new ConsoleBuffer(err));
}

#else

bool StderrIsTerminal() {
    return isatty(2) != 0;
}

void UseUtf8Console() {}

#endif

} // namespace platform

#include "ChildProcess.h"

#include <cerrno>
#include <chrono>

#if defined(_WIN32)
#ifndef PSAPI_VERSION
#define PSAPI_VERSION 2 // GetProcessMemoryInfo from kernel32
#endif
#include <windows.h>
// psapi.h needs the types of windows.h.
#include <psapi.h>
#else
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace platform {

namespace {
double SecondsSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}
} // namespace

#if defined(_WIN32)

namespace {
// One argument quoted the way the C runtime splits a command line.
std::string Quote(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
    std::string q = "\"";
    size_t slashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++slashes;
            continue;
        }
        if (c == '"')
            q.append(slashes * 2 + 1, '\\');
        else
            q.append(slashes, '\\');
        slashes = 0;
        q += c;
    }
    q.append(slashes * 2, '\\');
    q += '"';
    return q;
}
} // namespace

ChildRun RunChild(const std::vector<std::string>& argv, bool quiet) {
    ChildRun run;
    if (argv.empty()) return run;
    std::string line;
    for (const auto& a : argv) {
        if (!line.empty()) line += ' ';
        line += Quote(a);
    }
    STARTUPINFOA si{};
    si.cb = sizeof si;
    HANDLE nul = INVALID_HANDLE_VALUE;
    if (quiet) {
        SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
        nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, nullptr);
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        si.hStdOutput = nul;
        si.hStdError = nul;
    }
    PROCESS_INFORMATION pi{};
    const auto t0 = std::chrono::steady_clock::now();
    BOOL ok = CreateProcessA(nullptr, line.data(), nullptr, nullptr, quiet ? TRUE : FALSE, 0,
                             nullptr, nullptr, &si, &pi);
    if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
    if (!ok) return run;
    run.started = true;
    WaitForSingleObject(pi.hProcess, INFINITE);
    run.seconds = SecondsSince(t0);
    DWORD code = 0;
    if (GetExitCodeProcess(pi.hProcess, &code)) run.exitCode = static_cast<int>(code);
    PROCESS_MEMORY_COUNTERS pmc{};
    if (GetProcessMemoryInfo(pi.hProcess, &pmc, sizeof pmc)) run.peakBytes = pmc.PeakWorkingSetSize;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return run;
}

bool StartChildLauncher() {
    return false; // a new process there starts empty
}

uint64_t PeakMemoryOfThisProcess() {
    PROCESS_MEMORY_COUNTERS pmc{};
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc)) return 0;
    return pmc.PeakWorkingSetSize;
}

#else

namespace {
uint64_t MaxRssBytes(const struct rusage& ru) {
#if defined(__APPLE__)
    return static_cast<uint64_t>(ru.ru_maxrss); // bytes there
#else
    return static_cast<uint64_t>(ru.ru_maxrss) * 1024; // kilobytes
#endif
}

// Runs one child from this process with the given environment.
ChildRun Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
               bool quiet) {
    ChildRun run;
    if (argv.empty()) return run;
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<char*> envp;
    envp.reserve(env.size() + 1);
    for (const auto& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    // A pipe closed on exec tells the parent whether exec succeeded.
    int status_pipe[2];
    if (pipe(status_pipe) != 0) return run;
    fcntl(status_pipe[1], F_SETFD, FD_CLOEXEC);

    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) {
        close(status_pipe[0]);
        close(status_pipe[1]);
        return run;
    }
    if (pid == 0) {
        close(status_pipe[0]);
        if (quiet) {
            const int nul = open("/dev/null", O_WRONLY);
            if (nul >= 0) {
                dup2(nul, 1);
                dup2(nul, 2);
                close(nul);
            }
        }
        environ = envp.data();
        execvp(args[0], args.data());
        const char failed = 1;
        ssize_t ignored = write(status_pipe[1], &failed, 1);
        (void)ignored;
        _exit(127);
    }
    close(status_pipe[1]);
    char failed = 0;
    ssize_t n;
    do {
        n = read(status_pipe[0], &failed, 1);
    } while (n < 0 && errno == EINTR);
    close(status_pipe[0]);

    int status = 0;
    struct rusage ru {};
    pid_t waited;
    do {
        waited = wait4(pid, &status, 0, &ru);
    } while (waited < 0 && errno == EINTR);
    run.seconds = SecondsSince(t0);
    if (waited != pid || n > 0) return run;
    run.started = true;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.peakBytes = MaxRssBytes(ru);
    return run;
}

std::vector<std::string> CurrentEnvironment() {
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e)
        env.emplace_back(*e);
    return env;
}

// ---- the launcher: requests and replies over a socket pair, in a simple binary form.

bool WriteAll(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = send(fd, p, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool ReadAll(int fd, void* data, size_t size) {
    char* p = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = read(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool WriteStrings(int fd, const std::vector<std::string>& list) {
    const auto count = static_cast<uint32_t>(list.size());
    if (!WriteAll(fd, &count, sizeof count)) return false;
    for (const auto& s : list) {
        const auto size = static_cast<uint32_t>(s.size());
        if (!WriteAll(fd, &size, sizeof size) || !WriteAll(fd, s.data(), s.size())) return false;
    }
    return true;
}

bool ReadStrings(int fd, std::vector<std::string>& list) {
    uint32_t count = 0;
    if (!ReadAll(fd, &count, sizeof count)) return false;
    list.assign(count, std::string());
    for (auto& s : list) {
        uint32_t size = 0;
        if (!ReadAll(fd, &size, sizeof size)) return false;
        s.resize(size);
        if (size > 0 && !ReadAll(fd, &s[0], size)) return false;
    }
    return true;
}

struct Reply {
    int32_t started;
    int32_t exitCode;
    double seconds;
    uint64_t peakBytes;
};

[[noreturn]] void ServeRequests(int fd) {
    for (;;) {
        std::vector<std::string> argv, env;
        char quiet = 0;
        if (!ReadAll(fd, &quiet, 1) || !ReadStrings(fd, argv) || !ReadStrings(fd, env)) _exit(0);
        const ChildRun run = Spawn(argv, env, quiet != 0);
        const Reply reply{run.started ? 1 : 0, run.exitCode, run.seconds, run.peakBytes};
        if (!WriteAll(fd, &reply, sizeof reply)) _exit(0);
    }
}

class Launcher {
  public:
    ~Launcher() { Stop(); }
    bool Start() {
        if (pid_ > 0) return true;
        int fds[2];
        if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) return false;
        const pid_t pid = fork();
        if (pid < 0) {
            close(fds[0]);
            close(fds[1]);
            return false;
        }
        if (pid == 0) {
            close(fds[0]);
            ServeRequests(fds[1]);
        }
        close(fds[1]);
        fcntl(fds[0], F_SETFD, FD_CLOEXEC);
        fd_ = fds[0];
        pid_ = pid;
        return true;
    }
    bool Running() const { return pid_ > 0; }
    // False when the launcher failed; it is stopped then, and RunChild spawns directly.
    bool Run(const std::vector<std::string>& argv, bool quiet, ChildRun& run) {
        const char q = quiet ? 1 : 0;
        Reply reply{};
        if (!WriteAll(fd_, &q, 1) || !WriteStrings(fd_, argv) ||
            !WriteStrings(fd_, CurrentEnvironment()) || !ReadAll(fd_, &reply, sizeof reply)) {
            Stop();
            return false;
        }
        run.started = reply.started != 0;
        run.exitCode = reply.exitCode;
        run.seconds = reply.seconds;
        run.peakBytes = reply.peakBytes;
        return true;
    }
    void Stop() {
        if (pid_ <= 0) return;
        close(fd_);
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        fd_ = -1;
    }

  private:
    pid_t pid_ = -1;
    int fd_ = -1;
};

Launcher& TheLauncher() {
    static Launcher launcher;
    return launcher;
}

} // namespace

bool StartChildLauncher() {
    return TheLauncher().Start();
}

ChildRun RunChild(const std::vector<std::string>& argv, bool quiet) {
    ChildRun run;
    if (argv.empty()) return run;
    if (TheLauncher().Running() && TheLauncher().Run(argv, quiet, run)) return run;
    return Spawn(argv, CurrentEnvironment(), quiet);
}

uint64_t PeakMemoryOfThisProcess() {
    struct rusage ru {};
    if (getrusage(RUSAGE_SELF, &ru) != 0) return 0;
    return MaxRssBytes(ru);
}

#endif

} // namespace platform

// The built engine library, loaded by file name at run time like the program does, and unloaded
// again when the object goes away (so every object sees a freshly loaded job).
#pragma once

#include "DynamicLibrary.h"
#include "TestSupport.h"
#include "qmx.h"

#include <stdexcept>
#include <string>
#include <vector>

class QmxLibrary {
  public:
    static std::string Path() {
        return testsupport::BinDir() + "/" + platform::EngineLibraryFileName();
    }

    QmxLibrary() {
        if (!library_.Load(Path())) throw std::runtime_error("cannot load the engine " + Path());
        Setting = Find<QmxSettingFn>("QMX_Setting");
        Begin = Find<QmxBeginFn>("QMX_Begin");
        Exec = Find<QmxExecFn>("QMX_Exec");
        End = Find<QmxEndFn>("QMX_End");
    }
    ~QmxLibrary() = default;
    QmxLibrary(const QmxLibrary&) = delete;
    QmxLibrary& operator=(const QmxLibrary&) = delete;

    QmxSettingFn Setting;
    QmxBeginFn Begin;
    QmxExecFn Exec;
    QmxEndFn End;

    // Runs a whole job over `signal` (interleaved when stereo) in calls of the given frame counts
    // (cycled), sizing each output area as the program does; returns all output.
    std::vector<int16_t> Convert(int32_t inRate, int32_t outRate, bool stereo, uint8_t quality,
                                 const std::vector<int16_t>& signal,
                                 const std::vector<int32_t>& callSizes) {
        const size_t ch = stereo ? 2 : 1;
        if (Setting(inRate, outRate, stereo ? 1 : 0, quality) != 0)
            throw std::runtime_error("setting refused");
        const int32_t headroom = Begin();
        if (headroom < 0) throw std::runtime_error("begin refused");
        std::vector<int16_t> result;
        size_t at = 0;
        const size_t frames = signal.size() / ch;
        for (size_t call = 0; at < frames; ++call) {
            const size_t n =
                std::min(static_cast<size_t>(callSizes[call % callSizes.size()]), frames - at);
            const size_t room = static_cast<size_t>(static_cast<double>(n) * outRate / inRate) + 1 +
                                static_cast<size_t>(headroom);
            std::vector<int16_t> out(room * ch + 64, 0x5a5a); // a guard past the room
            const int32_t got = Exec(signal.data() + at * ch, out.data(), static_cast<int32_t>(n));
            if (got < 0 || static_cast<size_t>(got) > room)
                throw std::runtime_error("exec returned " + std::to_string(got));
            for (size_t i = room * ch; i < out.size(); ++i)
                if (out[i] != 0x5a5a) throw std::runtime_error("exec wrote past its room");
            result.insert(result.end(), out.begin(), out.begin() + static_cast<long>(got * ch));
            at += n;
        }
        if (End() != 0) throw std::runtime_error("end refused");
        return result;
    }

  private:
    template <typename F> F Find(const char* name) {
        void* p = library_.Symbol(name);
        if (!p) throw std::runtime_error(std::string("missing export ") + name);
        return reinterpret_cast<F>(p);
    }
    platform::DynamicLibrary library_;
};

// The program's single entry to sampling-rate conversion. Quality 1 ("Simple") runs the
// built-in Lagrange converters; qualities 2 to 5 go to the engine library, bound at run time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "DynamicLibrary.h"
#include "RsLagrange.h"
#include "qmx.h"

// Quality codes.
enum : int32_t {
    kQualityOff = 0,
    kQualitySimple = 1,
    kQualityLight = 2,
    kQualityMedium = 3,
    kQualityHeavy = 4,
    kQualityUltraHeavy = 5,
};

// Every call returns what the engine's function of the same name returns (the QMX_ codes of
// qmx.h on failure); the client's own refusals use the same codes, QMX_NOT_LOADED for a quality 2
// ... 5 call while the engine is absent.
class CReSampler {
  public:
    // Binds the engine library by its file name, beside the executable first.
    CReSampler();
    // Binds the library at the given path or name instead ("" binds nothing).
    explicit CReSampler(const std::string& library);
    virtual ~CReSampler();
    CReSampler(const CReSampler&) = delete;
    CReSampler& operator=(const CReSampler&) = delete;

    bool available() const { return available_; }

    int32_t Setting(int32_t inRate, int32_t outRate, bool stereo, int8_t quality);
    int32_t Begin();
    int32_t Exec(const int16_t* src, int16_t* dst, int32_t frames);
    int32_t End();

    bool configured() const { return configured_; }
    bool running() const { return running_; }

  private:
    void Bind(const std::string& library);
    void DestroySimple();
    bool EngineReady() const;

    bool available_ = false;
    platform::DynamicLibrary library_;
    QmxSettingFn qmxSetting_ = nullptr;
    QmxBeginFn qmxBegin_ = nullptr;
    QmxEndFn qmxEnd_ = nullptr;
    QmxExecFn qmxExec_ = nullptr;
    RsLagrange* simple_[2] = {nullptr, nullptr};
    // Stereo "Simple" splits each call into its channels here; kept between calls.
    std::vector<int16_t> splitIn_;
    std::vector<int16_t> splitOut_;
    bool configured_ = false;
    bool running_ = false;
    double inRate_ = 0.0;
    double outRate_ = 0.0;
    bool stereo_ = false;
    int32_t quality_ = 0;
};

// What a code of qmx.h means, for a message: "out of memory", ...
const char* ConversionErrorText(int32_t code);

// How many input frames the converter of a quality lags behind its input: an output frame j of
// a job stands for the input as of frame j x inRate / outRate - delay. headroom is Begin's result.
double ConversionDelay(int32_t quality, double inRate, double outRate, int32_t headroom);

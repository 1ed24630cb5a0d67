#include "ReSampler.h"

#include <cmath>
#include <vector>

CReSampler::CReSampler() {
    Bind(platform::EngineLibraryFileName());
}

CReSampler::CReSampler(const std::string& library) {
    Bind(library);
}

CReSampler::~CReSampler() {
    library_.Unload();
    DestroySimple();
}

void CReSampler::Bind(const std::string& library) {
    if (library.empty() || !library_.Load(library)) return;
    qmxSetting_ = reinterpret_cast<QmxSettingFn>(library_.Symbol("QMX_Setting"));
    qmxBegin_ = reinterpret_cast<QmxBeginFn>(library_.Symbol("QMX_Begin"));
    qmxEnd_ = reinterpret_cast<QmxEndFn>(library_.Symbol("QMX_End"));
    qmxExec_ = reinterpret_cast<QmxExecFn>(library_.Symbol("QMX_Exec"));
    // A library without all four functions is of no use: treat it as absent.
    if (!qmxSetting_ || !qmxBegin_ || !qmxEnd_ || !qmxExec_) {
        qmxSetting_ = nullptr;
        qmxBegin_ = nullptr;
        qmxEnd_ = nullptr;
        qmxExec_ = nullptr;
        library_.Unload();
        return;
    }
    available_ = true;
}

bool CReSampler::EngineReady() const {
    return available_;
}

void CReSampler::DestroySimple() {
    for (auto*& c : simple_) {
        delete c;
        c = nullptr;
    }
    std::vector<int16_t>().swap(splitIn_);
    std::vector<int16_t>().swap(splitOut_);
}

int32_t CReSampler::Setting(int32_t inRate, int32_t outRate, bool stereo, int8_t quality) {
    inRate_ = inRate;
    outRate_ = outRate;
    stereo_ = stereo;
    quality_ = static_cast<int32_t>(quality); // sign-extended NOLINT(bugprone-signed-char-misuse)
    int32_t result = 0;
    if (quality_ != kQualitySimple) {
        result = EngineReady()
                     ? qmxSetting_(inRate, outRate, stereo ? 1 : 0, static_cast<uint8_t>(quality))
                     : QMX_NOT_LOADED;
    }
    DestroySimple();
    configured_ = true;
    return result;
}

int32_t CReSampler::Begin() {
    if (!configured_) return QMX_NOT_CONFIGURED;
    if (running_) return QMX_ALREADY_RUNNING;
    running_ = true;
    if (quality_ != kQualitySimple) return EngineReady() ? qmxBegin_() : QMX_NOT_LOADED;
    for (int ch = 0; ch < (stereo_ ? 2 : 1); ++ch) {
        simple_[ch] = new RsLagrange();
        simple_[ch]->Setup(inRate_, outRate_);
    }
    return 4;
}

int32_t CReSampler::Exec(const int16_t* src, int16_t* dst, int32_t frames) {
    if (quality_ != kQualitySimple) {
        return EngineReady() ? qmxExec_(src, dst, frames) : QMX_NOT_LOADED;
    }
    if (!running_ || !simple_[0]) return QMX_NOT_RUNNING;
    int32_t produced = 0;
    if (!stereo_) {
        simple_[0]->Process(src, frames, dst, &produced);
        return produced;
    }
    const double bound = std::trunc(frames * (outRate_ / inRate_) + 2.0);
    const auto n = static_cast<size_t>(frames > 0 ? frames : 0);
    const size_t room = static_cast<size_t>(bound > 0 ? bound : 0) + 1;
    if (splitIn_.size() < n) splitIn_.resize(n);
    if (splitOut_.size() < room) splitOut_.resize(room);
    for (int ch = 0; ch < 2; ++ch) {
        for (size_t i = 0; i < n; ++i)
            splitIn_[i] = src[2 * i + static_cast<size_t>(ch)];
        simple_[ch]->Process(splitIn_.data(), frames, splitOut_.data(), &produced);
        for (int32_t i = 0; i < produced; ++i)
            dst[2 * i + ch] = splitOut_[static_cast<size_t>(i)];
    }
    return produced;
}

int32_t CReSampler::End() {
    if (!configured_) return QMX_NOT_CONFIGURED;
    if (!running_) return QMX_NOT_RUNNING;
    running_ = false;
    if (quality_ != kQualitySimple) return EngineReady() ? qmxEnd_() : QMX_NOT_LOADED;
    DestroySimple();
    return 4;
}

const char* ConversionErrorText(int32_t code) {
    switch (code) {
    case QMX_BAD_SETTING:
        return "the engine refused the rates or the quality";
    case QMX_NOT_CONFIGURED:
        return "the converter was not set up";
    case QMX_ALREADY_RUNNING:
        return "a conversion was already running";
    case QMX_NOT_RUNNING:
        return "no conversion was running";
    case QMX_TOO_LARGE:
        return "the rate pair needs more memory than the engine allows";
    case QMX_DISCARDED:
        return "the converter was set up anew during the conversion";
    case QMX_BAD_ARGUMENT:
        return "the converter refused a block";
    case QMX_NO_MEMORY:
        return "out of memory";
    case QMX_NOT_LOADED:
        return "the engine library was not found";
    default:
        return "the converter failed";
    }
}

double ConversionDelay(int32_t quality, double inRate, double outRate, int32_t headroom) {
    switch (quality) {
    case kQualitySimple:
        return 3.0;
    case kQualityLight:
    case kQualityMedium:
    case kQualityHeavy:
        return headroom + 2.0;
    case kQualityUltraHeavy: {
        // headroom is half the output block; the delay is a quarter block of output frames.
        const int32_t outLen = 2 * headroom;
        const double ratio = outRate / inRate;
        const double d =
            (outLen % 4 == 0) ? outLen / 4.0 - (1.0 - ratio) / 2.0 : outLen / 4.0 + ratio / 2.0;
        return d * inRate / outRate;
    }
    default:
        return 0.0;
    }
}

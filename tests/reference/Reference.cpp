#include "Reference.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace ref {

namespace {

const double PI = 3.141592653589793;
const double R2 = 0.7071067811865476;

int16_t ToSample(double v) {
    // truncate toward zero, then limit to -32767 ... 32767
    if (v >= 2147483647.0) return 32767;
    if (v <= -2147483647.0) return -32767;
    long t = static_cast<long>(v);
    if (t > 32767) t = 32767;
    if (t < -32767) t = -32767;
    return static_cast<int16_t>(t);
}

// ---------------------------------------------------------------- cubic Lagrange (Simple)

struct Lagrange {
    double step = 0;
    double pos = 0;    // position of the next output, from the start of the stream
    long consumed = 0; // inputs of earlier calls
    int16_t hist[4] = {0, 0, 0, 0};

    Lagrange(double inRate, double outRate) : step(inRate / outRate) {}

    std::vector<int16_t> Run(const std::vector<int16_t>& in) {
        std::vector<int16_t> w(hist, hist + 4);
        w.insert(w.end(), in.begin(), in.end());
        std::vector<int16_t> out;
        double end = double(consumed) + double(in.size());
        long index = long(std::floor(pos) - double(consumed));
        if (index <= long(in.size())) {
            do {
                double f = pos - std::floor(pos);
                double u = 1 + f;
                double sum = 0;
                for (int k = 0; k < 4; k++) {
                    double term = w[index + k];
                    for (int l = 0; l < 4; l++)
                        if (l != k) {
                            term = term * (u - l);
                            term = term / double(k - l);
                        }
                    sum = sum + term;
                }
                sum = std::min(32767.0, std::max(-32768.0, sum));
                out.push_back(int16_t(sum));
                pos = pos + step;
                index = long(std::floor(pos) - double(consumed));
            } while (end > pos);
        }
        for (int i = 0; i < 4; i++)
            hist[i] = w[w.size() - 4 + i];
        consumed += long(in.size());
        return out;
    }
};

// ---------------------------------------------------------------- windowed sinc

double I0(double x) {
    double terms = 0;
    double fact = 1;
    for (int i = 1; i <= 100; i++) {
        fact *= i;
        double t = std::pow(x / 2, i) / fact;
        terms += t * t;
    }
    return 1 + terms;
}

struct Sinc {
    int taps = 0;
    double step = 0;
    double pos = 0;    // position of the next output, from the start of the stream
    long consumed = 0; // inputs of earlier calls
    std::vector<double> hist, kern, slope;

    Sinc(double inRate, double outRate, int length) {
        step = inRate / outRate;
        taps = length | 1;
        hist.assign(taps, 0.0);
        kern.assign(100 * taps, 0.0);
        slope.assign(100 * taps, 0.0);
        int M = 50 * (taps - 1);
        if (step >= 1) {
            double f = inRate * 0.5, p = outRate * 0.48, s = outRate * 0.5;
            double wp = p / f * PI, ws = s / f * PI;
            double wc = (wp + ws) * 0.5;
            double a = 60.0;
            double beta = 0.1102 * (a - 8.7);
            double ib = I0(beta);
            for (int n = -M; n <= M; n++) {
                double q = double(n) / double(M);
                double W = I0(beta * std::sqrt(1 - q * q)) / ib;
                kern[M + n] = n == 0 ? W * wc / PI : W * std::sin(wc * n * 0.01) / (n * PI * 0.01);
            }
        } else {
            for (int n = -M; n <= M; n++)
                kern[M + n] = n == 0 ? 1.0 : std::sin(n * PI / 100) / (n * PI / 100);
        }
        for (int i = 0; i < 2 * M; i++)
            slope[i] = kern[i + 1] - kern[i];
    }

    std::vector<double> Run(const std::vector<double>& in) {
        std::vector<double> w(hist);
        w.insert(w.end(), in.begin(), in.end());
        auto X = [&](long i) { return w[taps + i]; };
        std::vector<double> out;
        const double base = double(consumed);
        const double cnt = base + double(in.size());
        bool first = true;
        for (;;) {
            long idx = long(std::floor(pos) - base);
            if (first) {
                first = false;
                if (idx != 0 && !(cnt > pos)) break; // continuing phase past this call's input
            } else if (!(cnt > pos)) {
                break;
            }
            double frac = pos - std::floor(pos);
            double t = frac * 100;
            int m = int(std::floor(t));
            double d = t - m;
            double acc = 0;
            for (int k = 0; k <= taps - 2; k++)
                acc += X(idx - 2 - k) * (kern[100 * k + m] + d * slope[100 * k + m]);
            out.push_back(acc);
            pos += step;
        }
        hist.assign(w.end() - taps, w.end());
        consumed += long(in.size());
        return out;
    }
};

// ---------------------------------------------------------------- cosine transforms

struct Dct {
    std::map<int, std::vector<double>> c, s;

    const std::vector<double>& Cos(int n) {
        auto& t = c[n];
        if (t.empty())
            for (int i = 0; i < 4 * n; i++)
                t.push_back(std::cos((i * PI) / (2.0 * n)));
        return t;
    }
    const std::vector<double>& Sin(int n) {
        auto& t = s[n];
        if (t.empty())
            for (int i = 0; i < 4 * n; i++)
                t.push_back(std::sin((i * PI) / (2.0 * n)));
        return t;
    }

    using V = std::vector<double>;

    V Dct2(const V& x) {
        int n = int(x.size());
        V X(n);
        if (n == 2) {
            X[0] = (x[0] + x[1]) * R2;
            X[1] = (x[0] - x[1]) * R2;
        } else if (n % 2) {
            const V& T = Cos(n);
            double a = std::sqrt(2.0 / n);
            for (int i = 0; i < n; i++) {
                double sum = 0;
                long idx = i, inc = 2L * i, per = 4L * n; // i * (2j + 1) mod 4n, stepped
                for (int j = 0; j < n; j++) {
                    sum += x[j] * T[idx];
                    idx = (idx + inc) % per;
                }
                if (i == 0) sum = sum * R2;
                X[i] = a * sum;
            }
        } else {
            int h = n / 2;
            V u(h), v(h);
            for (int i = 0; i < h; i++) {
                u[i] = x[i] + x[n - 1 - i];
                v[i] = x[i] - x[n - 1 - i];
            }
            V A = Dct2(u), B = Dct4(v);
            for (int i = 0; i < h; i++) {
                X[2 * i] = R2 * A[i];
                X[2 * i + 1] = R2 * B[i];
            }
        }
        return X;
    }

    V Dct3(const V& X) {
        int n = int(X.size());
        V x(n);
        if (n == 2) {
            x[0] = (X[0] + X[1]) * R2;
            x[1] = (X[0] - X[1]) * R2;
        } else if (n % 2) {
            const V& T = Cos(n);
            double a = std::sqrt(2.0 / n);
            for (int i = 0; i < n; i++) {
                double sum = 0;
                long idx = 0, inc = 2L * i + 1, per = 4L * n; // j * (2i + 1) mod 4n, stepped
                for (int j = 0; j < n; j++) {
                    double t = X[j] * T[idx];
                    if (j == 0) t = t * R2;
                    sum += t;
                    idx = (idx + inc) % per;
                }
                x[i] = a * sum;
            }
        } else {
            int h = n / 2;
            V u(h), v(h);
            for (int j = 0; j < h; j++) {
                u[j] = X[2 * j];
                v[j] = X[2 * j + 1];
            }
            V A = Dct3(u), B = Dct4(v);
            for (int i = 0; i < h; i++) {
                x[i] = R2 * (A[i] + B[i]);
                x[h + i] = R2 * (A[h - 1 - i] - B[h - 1 - i]);
            }
        }
        return x;
    }

    V Dct4(const V& x) {
        int n = int(x.size());
        V X(n);
        if (n == 2) {
            double c8 = std::cos(0.39269908169872414), s8 = std::sin(0.39269908169872414);
            X[0] = x[0] * c8 + x[1] * s8;
            X[1] = x[0] * s8 - x[1] * c8;
        } else if (n % 2) {
            const V& T = Cos(2 * n);
            double a = std::sqrt(2.0 / n);
            long per = 8L * n;
            for (int i = 0; i < n; i++) {
                double sum = 0;
                long idx = 2L * i + 1, inc = 2L * (2L * i + 1); // (2i + 1)(2j + 1) mod 8n
                for (int j = 0; j < n; j++) {
                    sum += T[idx] * x[j];
                    idx = (idx + inc) % per;
                }
                X[i] = a * sum;
            }
        } else {
            int h = n / 2;
            V u(h), v(h);
            u[0] = x[0];
            v[0] = x[n - 1];
            for (int j = 1; j < h; j++) {
                u[j] = R2 * (x[2 * j - 1] + x[2 * j]);
                v[h - j] = R2 * (x[2 * j - 1] - x[2 * j]);
            }
            V P = Dct3(u), Q = Dct3(v);
            for (int j = 1; j < h; j += 2)
                Q[j] = -Q[j];
            const V& C = Cos(2 * n);
            const V& S = Sin(2 * n);
            for (int i = 0; i < h; i++) {
                double cs = C[2 * i + 1], sn = S[2 * i + 1];
                X[i] = P[i] * cs + sn * Q[i];
                X[n - 1 - i] = sn * P[i] - cs * Q[i];
            }
        }
        return X;
    }
};

// ---------------------------------------------------------------- block converter

struct Block {
    int inLen, outLen;
    Dct dct;
    std::vector<int16_t> stage;
    int fill;

    Block(int inRate, int outRate) {
        int a = inRate, b = outRate;
        while (b) {
            int t = a % b;
            a = b;
            b = t;
        }
        inLen = inRate / a * 2;
        outLen = outRate / a * 2;
        stage.assign(inLen, 0);
        fill = inLen / 2;
    }

    std::vector<int16_t> Convert() {
        std::vector<double> x(stage.begin(), stage.end());
        std::vector<double> X = dct.Dct2(x);
        X.resize(outLen, 0.0); // cut, or extend with zeros
        std::vector<double> y = dct.Dct3(X);
        double scale = std::sqrt(double(outLen) / double(inLen));
        std::vector<int16_t> out;
        for (int i = outLen / 4; i < 3 * outLen / 4; i++)
            out.push_back(ToSample(y[i] * scale));
        return out;
    }

    // One call's worth of one channel.
    std::vector<int16_t> Feed(const std::vector<int16_t>& in) {
        std::vector<int16_t> out;
        for (int16_t v : in) {
            stage[fill++] = v;
            if (fill == inLen) {
                std::vector<int16_t> o = Convert();
                out.insert(out.end(), o.begin(), o.end());
                std::copy(stage.begin() + inLen / 2, stage.end(), stage.begin());
                fill = inLen / 2;
            }
        }
        return out;
    }
};

} // namespace

int32_t LengthEstimate(double inRate, double outRate, double attenuation) {
    double hi = std::max(inRate, outRate), lo = std::min(inRate, outRate);
    double e = inRate >= outRate ? 1.0 : 1.0 / (inRate / outRate);
    double w = (lo * 0.5 * e - lo * 0.48 * e) / (hi * 0.5) * PI;
    int32_t n = int32_t((attenuation - 8.0) / (2.285 * w) + 1.0);
    return n % 2 ? n + 1 : n;
}

std::vector<int16_t> Convert(int32_t inRate, int32_t outRate, bool stereo, int quality,
                             const std::vector<int16_t>& signal,
                             const std::vector<int32_t>& callSizes) {
    const int ch = stereo ? 2 : 1;
    const size_t frames = signal.size() / ch;
    std::vector<Sinc> sinc;
    std::vector<Block> block;
    std::vector<Lagrange> lagrange;
    if (quality == 1) {
        for (int c = 0; c < ch; c++)
            lagrange.emplace_back(inRate, outRate);
    } else if (quality == 5) {
        for (int c = 0; c < ch; c++)
            block.emplace_back(inRate, outRate);
    } else {
        int len = LengthEstimate(inRate, outRate, 60.0) / (quality == 2 ? 4 : quality == 3 ? 2 : 1);
        for (int c = 0; c < ch; c++)
            sinc.emplace_back(inRate, outRate, len);
    }
    std::vector<int16_t> result;
    size_t at = 0;
    for (size_t call = 0; at < frames; call++) {
        size_t n = std::min<size_t>(callSizes[call % callSizes.size()], frames - at);
        std::vector<std::vector<int16_t>> outs(ch);
        for (int c = 0; c < ch; c++) {
            std::vector<int16_t> part;
            for (size_t i = 0; i < n; i++)
                part.push_back(signal[(at + i) * ch + c]);
            if (quality == 1) {
                outs[c] = lagrange[c].Run(part);
            } else if (quality == 5) {
                outs[c] = block[c].Feed(part);
            } else {
                std::vector<double> d(part.begin(), part.end());
                for (double v : sinc[c].Run(d))
                    outs[c].push_back(ToSample(v));
            }
        }
        for (size_t i = 0; i < outs[0].size(); i++)
            for (int c = 0; c < ch; c++)
                result.push_back(outs[c][i]);
        at += n;
    }
    return result;
}

} // namespace ref

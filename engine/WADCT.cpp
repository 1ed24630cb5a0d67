#include "WADCT.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kSqrt2 = 1.4142135623730951;

// Lengths whose tables are built when the engine is created.
constexpr int32_t kFirstPrebuilt = 2;
constexpr int32_t kLastPrebuilt = 49;

// Exact remainder of a * b modulo m, formed in 64 bits (a * b exceeds 32 bits for long odd
// lengths).
inline size_t ProductMod(int64_t a, int64_t b, int64_t m) {
    return static_cast<size_t>(a * b % m);
}

} // namespace

WADCT::WADCT() {
    // 1 / std::sqrt(2.0) is one unit in the last place low, which would make an equal-rate block
    // conversion return every sample one step toward zero; the literal is the correctly rounded
    // value.
    r2 = 0.7071067811865476;
    c8 = std::cos(0.39269908169872414);
    s8 = std::sin(0.39269908169872414);
    for (int32_t n = kFirstPrebuilt; n <= kLastPrebuilt; ++n) {
        MakeCosTable(n);
        MakeSinTable(n);
    }
}

void WADCT::MakeCosTable(int32_t n) {
    const size_t count = 4 * static_cast<size_t>(n);
    std::vector<double> t(count);
    for (size_t i = 0; i < count; ++i) {
        const double angle = (static_cast<double>(i) * kPi) / (2.0 * static_cast<double>(n));
        t[i] = std::cos(angle);
    }
    cosTab[n] = std::move(t);
}

void WADCT::MakeSinTable(int32_t n) {
    const size_t count = 4 * static_cast<size_t>(n);
    std::vector<double> t(count);
    for (size_t i = 0; i < count; ++i) {
        const double angle = (static_cast<double>(i) * kPi) / (2.0 * static_cast<double>(n));
        t[i] = std::sin(angle);
    }
    sinTab[n] = std::move(t);
}

const std::vector<double>& WADCT::CosTable(int32_t n) {
    auto it = cosTab.find(n);
    if (it == cosTab.end()) it = cosTab.emplace(n, std::vector<double>()).first;
    if (it->second.empty()) MakeCosTable(n);
    return it->second;
}

const std::vector<double>& WADCT::SinTable(int32_t n) {
    auto it = sinTab.find(n);
    if (it == sinTab.end()) it = sinTab.emplace(n, std::vector<double>()).first;
    if (it->second.empty()) MakeSinTable(n);
    return it->second;
}

void WADCT::DCT2(double* x, double* X, int32_t n) {
    if (n == 2) {
        X[0] = (x[0] + x[1]) * r2;
        X[1] = (x[0] - x[1]) * r2;
        return;
    }
    if (n % 2 != 0) {
        if (n >= kFastOdd)
            OddForward(n, x, X, false, nullptr, nullptr, false);
        else
            DCT2Direct(x, X, n);
        return;
    }
    const int32_t h = n / 2;
    for (int32_t i = 0; i < h; ++i) {
        X[i] = x[i] + x[n - 1 - i];
        X[h + i] = x[i] - x[n - 1 - i];
    }
    if (h % 2 != 0 && h >= kFastOdd) {
        OddForward(h, X, x, false, X + h, x + h, true);
    } else {
        DCT2(X, x, h);
        DCT4(X + h, x + h, h);
    }
    for (int32_t i = 0; i < h; ++i) {
        X[2 * i] = r2 * x[i];
        X[2 * i + 1] = r2 * x[h + i];
    }
}

void WADCT::DCT3(double* X, double* x, int32_t n) {
    if (n == 2) {
        x[0] = (X[0] + X[1]) * r2;
        x[1] = (X[0] - X[1]) * r2;
        return;
    }
    if (n % 2 != 0) {
        if (n >= kFastOdd)
            OddInverse(n, X, x, false, nullptr, nullptr, false);
        else
            DCT3Direct(X, x, n);
        return;
    }
    const int32_t h = n / 2;
    for (int32_t j = 0; j < h; ++j) {
        x[j] = X[2 * j];
        x[h + j] = X[2 * j + 1];
    }
    if (h % 2 != 0 && h >= kFastOdd) {
        OddInverse(h, x, X, false, x + h, X + h, true);
    } else {
        DCT3(x, X, h);
        DCT4(x + h, X + h, h);
    }
    for (int32_t i = 0; i < h; ++i) {
        x[i] = r2 * (X[i] + X[h + i]);
        x[h + i] = r2 * (X[h - 1 - i] - X[n - 1 - i]);
    }
}

void WADCT::DCT4(double* x, double* X, int32_t n) {
    if (n == 2) {
        X[0] = x[0] * c8 + x[1] * s8;
        X[1] = x[0] * s8 - x[1] * c8;
        return;
    }
    if (n % 2 != 0) {
        if (n >= kFastOdd)
            OddForward(n, x, X, true, nullptr, nullptr, false);
        else
            DCT4Direct(x, X, n);
        return;
    }
    const int32_t h = n / 2;
    X[0] = x[0];
    X[h] = x[n - 1];
    for (int32_t j = 1; j < h; ++j) {
        X[j] = r2 * (x[2 * j - 1] + x[2 * j]);
        X[n - j] = r2 * (x[2 * j - 1] - x[2 * j]);
    }
    if (h % 2 != 0 && h >= kFastOdd) {
        OddInverse(h, X, x, false, X + h, x + h, false);
    } else {
        DCT3(X, x, h);
        DCT3(X + h, x + h, h);
    }
    for (int32_t j = 1; j < h; j += 2)
        x[h + j] = -x[h + j];
    const std::vector<double>& tc = CosTable(2 * n);
    const std::vector<double>& ts = SinTable(2 * n);
    for (int32_t i = 0; i < h; ++i) {
        const double cs = tc[2 * i + 1];
        const double sn = ts[2 * i + 1];
        X[i] = x[i] * cs + sn * x[h + i];
        X[n - 1 - i] = sn * x[i] - cs * x[h + i];
    }
}

void WADCT::DCT2Direct(const double* x, double* X, int32_t n) {
    const std::vector<double>& tc = CosTable(n);
    const int64_t period = 4 * static_cast<int64_t>(n);
    const double a = std::sqrt(2.0 / n);
    for (int32_t i = 0; i < n; ++i) {
        double sum = 0.0;
        for (int32_t j = 0; j < n; ++j)
            sum += x[j] * tc[ProductMod(i, 2 * int64_t{j} + 1, period)];
        if (i == 0) sum = sum * r2;
        X[i] = a * sum;
    }
}

void WADCT::DCT3Direct(const double* X, double* x, int32_t n) {
    const std::vector<double>& tc = CosTable(n);
    const int64_t period = 4 * static_cast<int64_t>(n);
    const double a = std::sqrt(2.0 / n);
    for (int32_t i = 0; i < n; ++i) {
        double sum = 0.0;
        for (int32_t j = 0; j < n; ++j) {
            double t = X[j] * tc[ProductMod(j, 2 * int64_t{i} + 1, period)];
            if (j == 0) t = t * r2;
            sum += t;
        }
        x[i] = a * sum;
    }
}

void WADCT::DCT4Direct(const double* x, double* X, int32_t n) {
    const std::vector<double>& tc = CosTable(2 * n);
    const int64_t period = 8 * static_cast<int64_t>(n);
    const double a = std::sqrt(2.0 / n);
    for (int32_t i = 0; i < n; ++i) {
        double sum = 0.0;
        for (int32_t j = 0; j < n; ++j)
            sum += tc[ProductMod(2 * int64_t{i} + 1, 2 * int64_t{j} + 1, period)] * x[j];
        X[i] = a * sum;
    }
}

// Odd lengths through one complex FFT of the same length. With v the input reordered as
// v[m] = x[2m] for m < (n + 1) / 2 and v[m] = x[2n - 1 - 2m] above, and W its transform, the
// unscaled DCT-II is V[k] = Re(exp(-i pi k / 2n) W[k]); two real sequences go through one FFT as
// the real and imaginary parts, and are told apart by the symmetry of a real sequence's
// transform. The DCT-III runs the same steps backwards. A DCT-IV is a DCT-II of
// u[j] = 2 cos(pi (2j + 1) / 4n) x[j] followed by Y[0] = V[0] / 2, Y[k] = V[k] - Y[k - 1]; the
// matrix being symmetric, it is also the transpose of that: the recurrence run backwards on the
// input, then a DCT-III, then the cosine factors.

WADCT::OddPlan::OddPlan(int32_t length) : n(length), fft(length) {
    const auto count = static_cast<size_t>(n);
    const double half = std::sqrt(2.0 / n) * 0.5;
    twr.resize(count);
    twi.resize(count);
    pre.resize(count);
    for (int32_t k = 0; k < n; ++k) {
        double c = 0.0, s = 0.0;
        WAFFT::UnitRoot(k, 4 * int64_t{n}, &c, &s);
        twr[static_cast<size_t>(k)] = half * c;
        twi[static_cast<size_t>(k)] = half * s;
        WAFFT::UnitRoot(2 * int64_t{k} + 1, 8 * int64_t{n}, &c, &s);
        pre[static_cast<size_t>(k)] = 2.0 * c;
    }
    re.assign(count, 0.0);
    im.assign(count, 0.0);
}

uint64_t WADCT::OddPlan::Bytes(int64_t n) {
    return sizeof(OddPlan) - sizeof(WAFFT) + WAFFT::PlanBytes(n) +
           5 * static_cast<uint64_t>(n) * sizeof(double);
}

uint64_t WADCT::OddPlan::HeldBytes() const {
    return sizeof(OddPlan) - sizeof(WAFFT) + fft.Bytes() +
           (twr.size() + twi.size() + pre.size() + re.size() + im.size()) * sizeof(double);
}

WADCT::OddPlan& WADCT::Plan(int32_t n) {
    std::unique_ptr<OddPlan>& p = oddTab[n];
    if (!p) p = std::make_unique<OddPlan>(n);
    return *p;
}

namespace {

// v[m] = x[2m] for m < (n + 1) / 2 and x[2(n - m) - 1] above (times the DCT-IV factor when pre
// is given).
void Gather(const double* x, const double* pre, double* v, int32_t n) {
    const int32_t half = (n + 1) / 2;
    if (pre) {
        for (int32_t m = 0; m < half; ++m)
            v[m] = pre[2 * m] * x[2 * m];
        for (int32_t m = half; m < n; ++m)
            v[m] = pre[2 * (n - m) - 1] * x[2 * (n - m) - 1];
    } else {
        for (int32_t m = 0; m < half; ++m)
            v[m] = x[2 * m];
        for (int32_t m = half; m < n; ++m)
            v[m] = x[2 * (n - m) - 1];
    }
}

// The inverse of Gather.
void Scatter(const double* v, const double* pre, double* x, int32_t n) {
    const int32_t half = (n + 1) / 2;
    if (pre) {
        for (int32_t m = 0; m < half; ++m)
            x[2 * m] = pre[2 * m] * v[m];
        for (int32_t m = half; m < n; ++m)
            x[2 * (n - m) - 1] = pre[2 * (n - m) - 1] * v[m];
    } else {
        for (int32_t m = 0; m < half; ++m)
            x[2 * m] = v[m];
        for (int32_t m = half; m < n; ++m)
            x[2 * (n - m) - 1] = v[m];
    }
}

// X holds a V[k] (scale a as in the direct forms); makes it the DCT-II or DCT-IV.
void FinishForward(double* X, int32_t n, bool dct4, double r2) {
    if (!dct4) {
        X[0] = r2 * X[0];
        return;
    }
    X[0] = 0.5 * X[0];
    for (int32_t k = 1; k < n; ++k)
        X[k] = X[k] - X[k - 1];
}

// P: what the DCT-III steps take in place of the coefficients X, so that P[k] for k >= 1 enter
// as they are and P[0] with the weight of the others: sqrt(2) X[0] for a DCT-III; for a DCT-IV
// the backward recurrence t[n-1] = X[n-1], t[j] = X[j] - t[j+1], and P[0] = X[0] - t[1].
void StartInverse(const double* X, double* P, int32_t n, bool dct4) {
    if (!dct4) {
        P[0] = kSqrt2 * X[0];
        for (int32_t k = 1; k < n; ++k)
            P[k] = X[k];
        return;
    }
    P[n - 1] = X[n - 1];
    for (int32_t j = n - 2; j >= 1; --j)
        P[j] = X[j] - P[j + 1];
    P[0] = X[0] - P[1];
}

} // namespace

void WADCT::OddForward(int32_t n, const double* xa, double* Xa, bool dct4a, const double* xb,
                       double* Xb, bool dct4b) {
    OddPlan& p = Plan(n);
    double* re = p.re.data();
    double* im = p.im.data();
    const double* tr = p.twr.data();
    const double* ti = p.twi.data();
    Gather(xa, dct4a ? p.pre.data() : nullptr, re, n);
    if (xb)
        Gather(xb, dct4b ? p.pre.data() : nullptr, im, n);
    else
        std::fill(im, im + n, 0.0);
    p.fft.Forward(re, im);
    // Z = A + iB with A, B the transforms of the two real sequences:
    // 2 A[k] = Z[k] + conj(Z[n-k]), 2 B[k] = -i (Z[k] - conj(Z[n-k])); the halves are in tr, ti.
    Xa[0] = tr[0] * (re[0] + re[0]);
    if (xb) Xb[0] = tr[0] * (im[0] + im[0]);
    for (int32_t k = 1; k < n; ++k) {
        const int32_t r = n - k;
        Xa[k] = tr[k] * (re[k] + re[r]) + ti[k] * (im[k] - im[r]);
    }
    if (xb)
        for (int32_t k = 1; k < n; ++k) {
            const int32_t r = n - k;
            Xb[k] = tr[k] * (im[k] + im[r]) + ti[k] * (re[r] - re[k]);
        }
    FinishForward(Xa, n, dct4a, r2);
    if (xb) FinishForward(Xb, n, dct4b, r2);
}

void WADCT::OddInverse(int32_t n, const double* Xa, double* xa, bool dct4a, const double* Xb,
                       double* xb, bool dct4b) {
    OddPlan& p = Plan(n);
    double* re = p.re.data();
    double* im = p.im.data();
    const double* tr = p.twr.data();
    const double* ti = p.twi.data();
    // The destinations hold P until the FFT has run.
    StartInverse(Xa, xa, n, dct4a);
    if (Xb) StartInverse(Xb, xb, n, dct4b);
    // W[k] = (a/2) exp(i pi k / 2n) (P[k] - i P[n-k]), P[n] = 0; two of them as Wa + i Wb.
    re[0] = tr[0] * xa[0];
    im[0] = ti[0] * xa[0];
    for (int32_t k = 1; k < n; ++k) {
        const int32_t r = n - k;
        re[k] = tr[k] * xa[k] + ti[k] * xa[r];
        im[k] = ti[k] * xa[k] - tr[k] * xa[r];
    }
    if (Xb) {
        re[0] = re[0] - ti[0] * xb[0];
        im[0] = im[0] + tr[0] * xb[0];
        for (int32_t k = 1; k < n; ++k) {
            const int32_t r = n - k;
            re[k] = re[k] - (ti[k] * xb[k] - tr[k] * xb[r]);
            im[k] = im[k] + (tr[k] * xb[k] + ti[k] * xb[r]);
        }
    }
    p.fft.Forward(im, re); // the inverse transform, unscaled
    Scatter(re, dct4a ? p.pre.data() : nullptr, xa, n);
    if (Xb) Scatter(im, dct4b ? p.pre.data() : nullptr, xb, n);
}

namespace {

// Tables and plans a transform of length n reads, each transform kind and length followed once.
struct Needs {
    std::set<int64_t> cosLengths;
    std::set<int64_t> sinLengths;
    std::set<int64_t> oddPlans;
    std::set<int64_t> visited; // kind * 2^40 + n
};

void Collect(int kind, int64_t n, Needs& t) {
    if (n <= 2) return; // closed forms
    if (!t.visited.insert(int64_t{kind} << 40 | n).second) return;
    if (n % 2 != 0) {
        if (n >= WADCT::kFastOdd)
            t.oddPlans.insert(n);
        else
            t.cosLengths.insert(kind == 4 ? 2 * n : n);
        return;
    }
    const int64_t h = n / 2;
    if (kind == 4) {
        Collect(3, h, t);
        t.cosLengths.insert(2 * n);
        t.sinLengths.insert(2 * n);
        return;
    }
    Collect(kind, h, t);
    Collect(4, h, t);
}

} // namespace

uint64_t WADCT::AddedBytes(int64_t n2, int64_t n3) {
    Needs t;
    Collect(2, n2, t);
    Collect(3, n3, t);
    uint64_t bytes = 0;
    for (const std::set<int64_t>* lengths : {&t.cosLengths, &t.sinLengths})
        for (int64_t n : *lengths)
            if (n > kLastPrebuilt)
                bytes += kEntryBytes + 4 * static_cast<uint64_t>(n) * sizeof(double);
    for (int64_t n : t.oddPlans)
        bytes += kEntryBytes + OddPlan::Bytes(n);
    return bytes;
}

#include "WAFFT.h"

#include <algorithm>
#include <limits>
#include <utility>

#if defined(__GNUC__)
#define WA_RESTRICT __restrict
#define WA_INLINE inline __attribute__((always_inline))
#elif defined(_MSC_VER)
#define WA_RESTRICT __restrict
#define WA_INLINE __forceinline
#else
#define WA_RESTRICT
#define WA_INLINE inline
#endif

namespace {

constexpr double kHalfPi = 1.5707963267948966;

// Below this many interleaved sequences a stage runs its butterfly groups in the inner loop,
// where the data of consecutive groups lie closer together.
constexpr int64_t kInnerSequences = 4;

// sin and cos of x for |x| <= pi / 4 by their series, nested so that each term is formed
// relative to the one before; terms up to x^19 and x^20 respectively.
void SeriesSinCos(double x, double* c, double* s) {
    const double x2 = x * x;
    double sn = 1.0;
    for (int k = 9; k >= 1; --k)
        sn = 1.0 - x2 * sn / static_cast<double>((2 * k) * (2 * k + 1));
    double cs = 1.0;
    for (int k = 10; k >= 1; --k)
        cs = 1.0 - x2 * cs / static_cast<double>((2 * k - 1) * (2 * k));
    *s = x * sn;
    *c = cs;
}

// Forward butterflies, written out: R inputs `is` apart from x, outputs `os` apart from y, where
// output t is the sum over j of x[j] exp(-2 pi i j t / R), multiplied for t >= 1 by the twiddle
// w[(t - 1) * ws] when Twiddle. Straight-line code, so that the loop over butterflies is what
// the compiler vectorises.
#define WA_KERNEL_ARGS                                                                             \
    const double *xr, const double *xi, int64_t is, double *yr, double *yi, int64_t os,            \
        const double *wr, const double *wi, int64_t ws

template <bool Twiddle>
WA_INLINE void Put(double* yr, double* yi, int64_t at, double br, double bi, const double* wr,
                   const double* wi, int64_t w) {
    if (Twiddle) {
        const double cr = wr[w], ci = wi[w];
        yr[at] = br * cr - bi * ci;
        yi[at] = br * ci + bi * cr;
    } else {
        yr[at] = br;
        yi[at] = bi;
    }
}

struct Radix2 {
    static constexpr int kRadix = 2;
    template <bool Twiddle> WA_INLINE void Run(WA_KERNEL_ARGS) const {
        const double a0r = xr[0], a0i = xi[0], a1r = xr[is], a1i = xi[is];
        yr[0] = a0r + a1r;
        yi[0] = a0i + a1i;
        Put<Twiddle>(yr, yi, os, a0r - a1r, a0i - a1i, wr, wi, 0);
        (void)ws;
    }
};

struct Radix3 {
    static constexpr int kRadix = 3;
    double h3; // sin(2 pi / 3)
    template <bool Twiddle> WA_INLINE void Run(WA_KERNEL_ARGS) const {
        const double a0r = xr[0], a0i = xi[0];
        const double a1r = xr[is], a1i = xi[is];
        const double a2r = xr[2 * is], a2i = xi[2 * is];
        const double sr = a1r + a2r, si = a1i + a2i;
        const double dr = a1r - a2r, di = a1i - a2i;
        const double mr = a0r - 0.5 * sr, mi = a0i - 0.5 * si;
        const double tr = h3 * di, ti = -(h3 * dr);
        yr[0] = a0r + sr;
        yi[0] = a0i + si;
        Put<Twiddle>(yr, yi, os, mr + tr, mi + ti, wr, wi, 0);
        Put<Twiddle>(yr, yi, 2 * os, mr - tr, mi - ti, wr, wi, ws);
    }
};

struct Radix4 {
    static constexpr int kRadix = 4;
    template <bool Twiddle> WA_INLINE void Run(WA_KERNEL_ARGS) const {
        const double a0r = xr[0], a0i = xi[0];
        const double a1r = xr[is], a1i = xi[is];
        const double a2r = xr[2 * is], a2i = xi[2 * is];
        const double a3r = xr[3 * is], a3i = xi[3 * is];
        const double t0r = a0r + a2r, t0i = a0i + a2i;
        const double t1r = a0r - a2r, t1i = a0i - a2i;
        const double t2r = a1r + a3r, t2i = a1i + a3i;
        const double t3r = a1r - a3r, t3i = a1i - a3i;
        yr[0] = t0r + t2r;
        yi[0] = t0i + t2i;
        Put<Twiddle>(yr, yi, os, t1r + t3i, t1i - t3r, wr, wi, 0);
        Put<Twiddle>(yr, yi, 2 * os, t0r - t2r, t0i - t2i, wr, wi, ws);
        Put<Twiddle>(yr, yi, 3 * os, t1r - t3i, t1i + t3r, wr, wi, 2 * ws);
    }
};

// Odd radices pair inputs j and R - j: with s_j = x_j + x_(R-j), d_j = x_j - x_(R-j), output t
// is A_t - i B_t and output R - t is A_t + i B_t, where A_t = x_0 + sum s_j cos(2 pi j t / R)
// and B_t = sum d_j sin(2 pi j t / R).
struct Radix5 {
    static constexpr int kRadix = 5;
    double c1, c2, n1, n2; // cos, sin of 2 pi / 5 and 4 pi / 5
    template <bool Twiddle> WA_INLINE void Run(WA_KERNEL_ARGS) const {
        const double a0r = xr[0], a0i = xi[0];
        const double a1r = xr[is], a1i = xi[is];
        const double a2r = xr[2 * is], a2i = xi[2 * is];
        const double a3r = xr[3 * is], a3i = xi[3 * is];
        const double a4r = xr[4 * is], a4i = xi[4 * is];
        const double s1r = a1r + a4r, s1i = a1i + a4i, d1r = a1r - a4r, d1i = a1i - a4i;
        const double s2r = a2r + a3r, s2i = a2i + a3i, d2r = a2r - a3r, d2i = a2i - a3i;
        yr[0] = a0r + s1r + s2r;
        yi[0] = a0i + s1i + s2i;
        const double p1r = a0r + c1 * s1r + c2 * s2r, p1i = a0i + c1 * s1i + c2 * s2i;
        const double p2r = a0r + c2 * s1r + c1 * s2r, p2i = a0i + c2 * s1i + c1 * s2i;
        const double q1r = n1 * d1r + n2 * d2r, q1i = n1 * d1i + n2 * d2i;
        const double q2r = n2 * d1r - n1 * d2r, q2i = n2 * d1i - n1 * d2i;
        Put<Twiddle>(yr, yi, os, p1r + q1i, p1i - q1r, wr, wi, 0);
        Put<Twiddle>(yr, yi, 2 * os, p2r + q2i, p2i - q2r, wr, wi, ws);
        Put<Twiddle>(yr, yi, 3 * os, p2r - q2i, p2i + q2r, wr, wi, 2 * ws);
        Put<Twiddle>(yr, yi, 4 * os, p1r - q1i, p1i + q1r, wr, wi, 3 * ws);
    }
};

struct Radix7 {
    static constexpr int kRadix = 7;
    double c1, c2, c3, n1, n2, n3; // cos, sin of 2 pi k / 7
    template <bool Twiddle> WA_INLINE void Run(WA_KERNEL_ARGS) const {
        const double a0r = xr[0], a0i = xi[0];
        const double a1r = xr[is], a1i = xi[is];
        const double a2r = xr[2 * is], a2i = xi[2 * is];
        const double a3r = xr[3 * is], a3i = xi[3 * is];
        const double a4r = xr[4 * is], a4i = xi[4 * is];
        const double a5r = xr[5 * is], a5i = xi[5 * is];
        const double a6r = xr[6 * is], a6i = xi[6 * is];
        const double s1r = a1r + a6r, s1i = a1i + a6i, d1r = a1r - a6r, d1i = a1i - a6i;
        const double s2r = a2r + a5r, s2i = a2i + a5i, d2r = a2r - a5r, d2i = a2i - a5i;
        const double s3r = a3r + a4r, s3i = a3i + a4i, d3r = a3r - a4r, d3i = a3i - a4i;
        yr[0] = a0r + s1r + s2r + s3r;
        yi[0] = a0i + s1i + s2i + s3i;
        const double p1r = a0r + c1 * s1r + c2 * s2r + c3 * s3r;
        const double p1i = a0i + c1 * s1i + c2 * s2i + c3 * s3i;
        const double p2r = a0r + c2 * s1r + c3 * s2r + c1 * s3r;
        const double p2i = a0i + c2 * s1i + c3 * s2i + c1 * s3i;
        const double p3r = a0r + c3 * s1r + c1 * s2r + c2 * s3r;
        const double p3i = a0i + c3 * s1i + c1 * s2i + c2 * s3i;
        const double q1r = n1 * d1r + n2 * d2r + n3 * d3r;
        const double q1i = n1 * d1i + n2 * d2i + n3 * d3i;
        const double q2r = n2 * d1r - n3 * d2r - n1 * d3r;
        const double q2i = n2 * d1i - n3 * d2i - n1 * d3i;
        const double q3r = n3 * d1r - n1 * d2r + n2 * d3r;
        const double q3i = n3 * d1i - n1 * d2i + n2 * d3i;
        Put<Twiddle>(yr, yi, os, p1r + q1i, p1i - q1r, wr, wi, 0);
        Put<Twiddle>(yr, yi, 2 * os, p2r + q2i, p2i - q2r, wr, wi, ws);
        Put<Twiddle>(yr, yi, 3 * os, p3r + q3i, p3i - q3r, wr, wi, 2 * ws);
        Put<Twiddle>(yr, yi, 4 * os, p3r - q3i, p3i + q3r, wr, wi, 3 * ws);
        Put<Twiddle>(yr, yi, 5 * os, p2r - q2i, p2i + q2r, wr, wi, 4 * ws);
        Put<Twiddle>(yr, yi, 6 * os, p1r - q1i, p1i + q1r, wr, wi, 5 * ws);
    }
};

#undef WA_KERNEL_ARGS

Radix3 MakeRadix3() {
    double c = 0.0, s = 0.0;
    WAFFT::UnitRoot(1, 3, &c, &s);
    return Radix3{s};
}
Radix5 MakeRadix5() {
    Radix5 k{};
    WAFFT::UnitRoot(1, 5, &k.c1, &k.n1);
    WAFFT::UnitRoot(2, 5, &k.c2, &k.n2);
    return k;
}
Radix7 MakeRadix7() {
    Radix7 k{};
    WAFFT::UnitRoot(1, 7, &k.c1, &k.n1);
    WAFFT::UnitRoot(2, 7, &k.c2, &k.n2);
    WAFFT::UnitRoot(3, 7, &k.c3, &k.n3);
    return k;
}

// One stage of the autosort form. Sequence q of `s` interleaved ones of length R * m holds its
// element j at q + s * j. Butterfly (q, p) takes elements p + m * j, j < R, and writes output t,
// times exp(-2 pi i p t / (R m)), to q + s * (R * p + t): the s * R sequences of length m that
// the next stage transforms.
template <class K>
void Pass(const K& k, int64_t s, int64_t m, const double* WA_RESTRICT xr,
          const double* WA_RESTRICT xi, double* WA_RESTRICT yr, double* WA_RESTRICT yi,
          const double* WA_RESTRICT wr, const double* WA_RESTRICT wi) {
    constexpr int R = K::kRadix;
    const int64_t sm = s * m;
    if (m == 1) {
        for (int64_t q = 0; q < s; ++q)
            k.template Run<false>(xr + q, xi + q, sm, yr + q, yi + q, s, wr, wi, 0);
    } else if (s >= kInnerSequences) {
        for (int64_t p = 0; p < m; ++p)
            for (int64_t q = 0; q < s; ++q)
                k.template Run<true>(xr + s * p + q, xi + s * p + q, sm, yr + s * R * p + q,
                                     yi + s * R * p + q, s, wr + p, wi + p, m);
    } else {
        for (int64_t q = 0; q < s; ++q)
            for (int64_t p = 0; p < m; ++p)
                k.template Run<true>(xr + s * p + q, xi + s * p + q, sm, yr + s * R * p + q,
                                     yi + s * R * p + q, s, wr + p, wi + p, m);
    }
}

// Odd radix of any size, with its roots of unity cos, sin(2 pi m / R) from a table and its
// working values in `tmp` (4 (R + 1) / 2 entries).
void GeneralPass(int32_t R, int64_t s, int64_t m, const double* xr, const double* xi, double* yr,
                 double* yi, const double* wr, const double* wi, const double* cs, const double* sn,
                 double* tmp) {
    const int32_t half = (R - 1) / 2;
    double* sr = tmp;
    double* si = sr + half + 1;
    double* dr = si + half + 1;
    double* di = dr + half + 1;
    const int64_t sm = s * m;
    for (int64_t p = 0; p < m; ++p) {
        for (int64_t q = 0; q < s; ++q) {
            const int64_t in = q + s * p;
            const double a0r = xr[in], a0i = xi[in];
            double r0 = a0r, i0 = a0i;
            for (int32_t j = 1; j <= half; ++j) {
                const double ajr = xr[in + j * sm], aji = xi[in + j * sm];
                const double bjr = xr[in + (R - j) * sm], bji = xi[in + (R - j) * sm];
                sr[j] = ajr + bjr;
                si[j] = aji + bji;
                dr[j] = ajr - bjr;
                di[j] = aji - bji;
                r0 = r0 + sr[j];
                i0 = i0 + si[j];
            }
            const int64_t out = q + s * R * p;
            yr[out] = r0;
            yi[out] = i0;
            for (int32_t t = 1; t <= half; ++t) {
                double pr = a0r, pi = a0i, qr = 0.0, qi = 0.0;
                int32_t idx = 0;
                for (int32_t j = 1; j <= half; ++j) {
                    idx += t;
                    if (idx >= R) idx -= R;
                    pr = pr + cs[idx] * sr[j];
                    pi = pi + cs[idx] * si[j];
                    qr = qr + sn[idx] * dr[j];
                    qi = qi + sn[idx] * di[j];
                }
                const double br[2] = {pr + qi, pr - qi};
                const double bi[2] = {pi - qr, pi + qr};
                const int32_t ts[2] = {t, R - t};
                for (int u = 0; u < 2; ++u) {
                    const int64_t o = out + ts[u] * s;
                    if (m == 1) {
                        yr[o] = br[u];
                        yi[o] = bi[u];
                    } else {
                        const double cr = wr[(ts[u] - 1) * m + p];
                        const double ci = wi[(ts[u] - 1) * m + p];
                        yr[o] = br[u] * cr - bi[u] * ci;
                        yi[o] = br[u] * ci + bi[u] * cr;
                    }
                }
            }
        }
    }
}

} // namespace

// The chirp-z form: X[k] = conj(c[k]) * sum_j (x[j] conj(c[j])) c[k - j], c[j] = exp(i pi j^2 / n),
// the sum a cyclic convolution of length M >= 2n - 1 done by the inner plan.
struct WAFFT::Chirp {
    explicit Chirp(int64_t n) : inner(ChirpLength(n)) {}
    WAFFT inner;
    std::vector<double> cr, ci; // c[j], j < n
    std::vector<double> kr, ki; // transform of c laid out cyclically, divided by M
    std::vector<double> workr, worki;
};

void WAFFT::UnitRoot(int64_t k, int64_t period, double* c, double* s) {
    int64_t r = k % period;
    if (r < 0) r += period;
    // 2 pi r / period = q pi / 2 + psi, q the nearest quarter turn, |psi| <= pi / 4.
    const int64_t q = (8 * r + period) / (2 * period);
    const int64_t rest = 4 * r - q * period;
    const double psi = kHalfPi * (static_cast<double>(rest) / static_cast<double>(period));
    double cp = 0.0, sp = 0.0;
    SeriesSinCos(psi, &cp, &sp);
    switch (q % 4) {
    case 0:
        *c = cp;
        *s = sp;
        break;
    case 1:
        *c = -sp;
        *s = cp;
        break;
    case 2:
        *c = -cp;
        *s = -sp;
        break;
    default:
        *c = sp;
        *s = -cp;
        break;
    }
}

int64_t WAFFT::ChirpLength(int64_t n) {
    const int64_t target = 2 * n - 1;
    int64_t best = std::numeric_limits<int64_t>::max();
    for (int64_t p7 = 1; p7 < best; p7 *= 7)
        for (int64_t p5 = p7; p5 < best; p5 *= 5)
            for (int64_t p3 = p5; p3 < best; p3 *= 3) {
                int64_t m = p3;
                while (m < target)
                    m *= 2;
                best = std::min(best, m);
                if (p3 >= target) break;
            }
    return best;
}

std::vector<int32_t> WAFFT::Radices(int64_t n) {
    std::vector<int32_t> radices;
    while (n % 4 == 0) {
        radices.push_back(4);
        n /= 4;
    }
    if (n % 2 == 0) {
        radices.push_back(2);
        n /= 2;
    }
    for (int32_t p = 3; p <= kLargestRadix; p += 2) {
        while (n % p == 0) {
            radices.push_back(p);
            n /= p;
        }
    }
    if (n != 1) radices.clear();
    return radices;
}

uint64_t WAFFT::MixedBytes(int64_t n, const std::vector<int32_t>& radices) {
    uint64_t doubles = 2 * static_cast<uint64_t>(n); // scratch
    int64_t length = n;
    int32_t largestGeneral = 0;
    for (int32_t r : radices) {
        length /= r;
        doubles += 2 * static_cast<uint64_t>(r - 1) * static_cast<uint64_t>(length);
        if (r > 7) {
            doubles += 2 * static_cast<uint64_t>(r);
            largestGeneral = std::max(largestGeneral, r);
        }
    }
    if (largestGeneral > 0) doubles += 4 * static_cast<uint64_t>((largestGeneral + 1) / 2);
    return sizeof(WAFFT) + radices.size() * sizeof(Stage) + doubles * sizeof(double);
}

uint64_t WAFFT::PlanBytes(int64_t n) {
    if (n <= 1) return sizeof(WAFFT);
    const std::vector<int32_t> radices = Radices(n);
    if (!radices.empty()) return MixedBytes(n, radices);
    const int64_t m = ChirpLength(n);
    return sizeof(WAFFT) + sizeof(Chirp) + PlanBytes(m) - sizeof(WAFFT) +
           (2 * static_cast<uint64_t>(n) + 4 * static_cast<uint64_t>(m)) * sizeof(double);
}

uint64_t WAFFT::Bytes() const {
    uint64_t doubles = twr_.size() + twi_.size() + rootr_.size() + rooti_.size() + scrr_.size() +
                       scri_.size() + generalTmp_.size();
    uint64_t bytes = sizeof(WAFFT) + stages_.size() * sizeof(Stage);
    if (chirp_) {
        const Chirp& c = *chirp_;
        bytes += sizeof(Chirp) - sizeof(WAFFT) + c.inner.Bytes();
        doubles +=
            c.cr.size() + c.ci.size() + c.kr.size() + c.ki.size() + c.workr.size() + c.worki.size();
    }
    return bytes + doubles * sizeof(double);
}

WAFFT::WAFFT(int64_t n) : n_(n) {
    if (n <= 1) return;
    const std::vector<int32_t> radices = Radices(n);
    if (radices.empty()) {
        chirp_ = std::make_unique<Chirp>(n);
        Chirp& c = *chirp_;
        const int64_t m = c.inner.Length();
        const auto un = static_cast<size_t>(n);
        const auto um = static_cast<size_t>(m);
        c.cr.resize(un);
        c.ci.resize(un);
        for (int64_t j = 0; j < n; ++j)
            UnitRoot(j * j % (2 * n), 2 * n, &c.cr[static_cast<size_t>(j)],
                     &c.ci[static_cast<size_t>(j)]);
        c.kr.assign(um, 0.0);
        c.ki.assign(um, 0.0);
        for (size_t j = 0; j < un; ++j) {
            c.kr[j] = c.cr[j];
            c.ki[j] = c.ci[j];
            if (j > 0) {
                c.kr[um - j] = c.cr[j];
                c.ki[um - j] = c.ci[j];
            }
        }
        c.inner.Forward(c.kr.data(), c.ki.data());
        const double scale = 1.0 / static_cast<double>(m);
        for (size_t j = 0; j < um; ++j) {
            c.kr[j] = c.kr[j] * scale;
            c.ki[j] = c.ki[j] * scale;
        }
        c.workr.assign(um, 0.0);
        c.worki.assign(um, 0.0);
        return;
    }
    int64_t stride = 1;
    int64_t length = n;
    int32_t largestGeneral = 0;
    for (int32_t r : radices) {
        Stage st{};
        st.radix = r;
        st.stride = stride;
        st.span = length / r;
        st.twiddle = twr_.size();
        st.rootTable = rootr_.size();
        for (int32_t t = 1; t < r; ++t)
            for (int64_t p = 0; p < st.span; ++p) {
                double c = 0.0, s = 0.0;
                UnitRoot(-p * t, length, &c, &s);
                twr_.push_back(c);
                twi_.push_back(s);
            }
        if (r > 7) {
            for (int32_t k = 0; k < r; ++k) {
                double c = 0.0, s = 0.0;
                UnitRoot(k, r, &c, &s);
                rootr_.push_back(c);
                rooti_.push_back(s);
            }
            largestGeneral = std::max(largestGeneral, r);
        }
        stages_.push_back(st);
        stride *= r;
        length /= r;
    }
    twr_.shrink_to_fit();
    twi_.shrink_to_fit();
    rootr_.shrink_to_fit();
    rooti_.shrink_to_fit();
    stages_.shrink_to_fit();
    scrr_.assign(static_cast<size_t>(n), 0.0);
    scri_.assign(static_cast<size_t>(n), 0.0);
    if (largestGeneral > 0)
        generalTmp_.assign(4 * static_cast<size_t>((largestGeneral + 1) / 2), 0.0);
}

WAFFT::~WAFFT() = default;

namespace {
// Built on first use, so that no plan can run before them.
const Radix3& Kernel3() {
    static const Radix3 k = MakeRadix3();
    return k;
}
const Radix5& Kernel5() {
    static const Radix5 k = MakeRadix5();
    return k;
}
const Radix7& Kernel7() {
    static const Radix7 k = MakeRadix7();
    return k;
}
} // namespace

void WAFFT::RunStage(const Stage& st, const double* xr, const double* xi, double* yr, double* yi) {
    const double* wr = twr_.data() + st.twiddle;
    const double* wi = twi_.data() + st.twiddle;
    switch (st.radix) {
    case 2:
        Pass(Radix2{}, st.stride, st.span, xr, xi, yr, yi, wr, wi);
        break;
    case 3:
        Pass(Kernel3(), st.stride, st.span, xr, xi, yr, yi, wr, wi);
        break;
    case 4:
        Pass(Radix4{}, st.stride, st.span, xr, xi, yr, yi, wr, wi);
        break;
    case 5:
        Pass(Kernel5(), st.stride, st.span, xr, xi, yr, yi, wr, wi);
        break;
    case 7:
        Pass(Kernel7(), st.stride, st.span, xr, xi, yr, yi, wr, wi);
        break;
    default:
        GeneralPass(st.radix, st.stride, st.span, xr, xi, yr, yi, wr, wi,
                    rootr_.data() + st.rootTable, rooti_.data() + st.rootTable, generalTmp_.data());
        break;
    }
}

void WAFFT::Transform(double* re, double* im) {
    double* xr = re;
    double* xi = im;
    double* yr = scrr_.data();
    double* yi = scri_.data();
    for (const Stage& st : stages_) {
        RunStage(st, xr, xi, yr, yi);
        std::swap(xr, yr);
        std::swap(xi, yi);
    }
    if (xr != re) {
        std::copy(xr, xr + n_, re);
        std::copy(xi, xi + n_, im);
    }
}

void WAFFT::Forward(double* re, double* im) {
    if (n_ <= 1) return;
    if (!chirp_) {
        Transform(re, im);
        return;
    }
    Chirp& c = *chirp_;
    const auto n = static_cast<size_t>(n_);
    const size_t m = c.workr.size();
    double* WA_RESTRICT wr = c.workr.data();
    double* WA_RESTRICT wi = c.worki.data();
    const double* WA_RESTRICT cr = c.cr.data();
    const double* WA_RESTRICT ci = c.ci.data();
    for (size_t j = 0; j < n; ++j) {
        wr[j] = re[j] * cr[j] + im[j] * ci[j];
        wi[j] = im[j] * cr[j] - re[j] * ci[j];
    }
    std::fill(wr + n, wr + m, 0.0);
    std::fill(wi + n, wi + m, 0.0);
    c.inner.Forward(wr, wi);
    const double* WA_RESTRICT kr = c.kr.data();
    const double* WA_RESTRICT ki = c.ki.data();
    for (size_t j = 0; j < m; ++j) {
        const double r = wr[j] * kr[j] - wi[j] * ki[j];
        const double i = wr[j] * ki[j] + wi[j] * kr[j];
        wr[j] = r;
        wi[j] = i;
    }
    c.inner.Forward(wi, wr); // the inverse transform, times M (taken out of the kernel)
    for (size_t k = 0; k < n; ++k) {
        re[k] = wr[k] * cr[k] + wi[k] * ci[k];
        im[k] = wi[k] * cr[k] - wr[k] * ci[k];
    }
}

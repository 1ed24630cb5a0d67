#include "WADCT.h"

#include <cmath>

namespace {

constexpr double kPi = 3.141592653589793;

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
        DCT2Direct(x, X, n);
        return;
    }
    const int32_t h = n / 2;
    for (int32_t i = 0; i < h; ++i) {
        X[i] = x[i] + x[n - 1 - i];
        X[h + i] = x[i] - x[n - 1 - i];
    }
    DCT2(X, x, h);
    DCT4(X + h, x + h, h);
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
        DCT3Direct(X, x, n);
        return;
    }
    const int32_t h = n / 2;
    for (int32_t j = 0; j < h; ++j) {
        x[j] = X[2 * j];
        x[h + j] = X[2 * j + 1];
    }
    DCT3(x, X, h);
    DCT4(x + h, X + h, h);
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
    DCT3(X, x, h);
    DCT3(X + h, x + h, h);
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

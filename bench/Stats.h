#pragma once
// The times of one side of a benchmark over its rounds, the ratios of two
// sides run beside each other, and the machine's load while they ran.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

struct Stats {
    std::vector<double> values;
    double min() const { return *std::min_element(values.begin(), values.end()); }
    double max() const { return *std::max_element(values.begin(), values.end()); }
    double median() const {
        std::vector<double> v = values;
        std::sort(v.begin(), v.end());
        const std::size_t n = v.size();
        return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    }
};

// Round by round, a's time over b's of the same round; a round in which either
// failed (a negative time) gives none.
inline Stats pairedRatios(const Stats& a, const Stats& b) {
    Stats r;
    for (std::size_t i = 0; i < a.values.size() && i < b.values.size(); ++i)
        if (a.values[i] >= 0 && b.values[i] > 0) r.values.push_back(a.values[i] / b.values[i]);
    return r;
}

// The first three fields of /proc/loadavg (1, 5 and 15 minutes).
inline std::string loadAverage() {
    double one = 0, five = 0, fifteen = 0;
    bool read = false;
    if (std::FILE* f = std::fopen("/proc/loadavg", "r")) {
        read = std::fscanf(f, "%lf %lf %lf", &one, &five, &fifteen) == 3;
        std::fclose(f);
    }
    if (!read) return "?";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f %.2f %.2f", one, five, fifteen);
    return buf;
}

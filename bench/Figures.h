// How the measured scripts' programs print what they measured: the median, the 95th
// percentile and the extremes of a series of times.
#pragma once

#include <QList>

#include <algorithm>
#include <cstdio>

namespace tidyword::bench {

inline void report(const char* what, QList<double> milliseconds) {
    if (milliseconds.isEmpty()) {
        std::printf("%-22s no measurement\n", what);
        return;
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    const auto at = [&](double share) {
        return milliseconds[std::min<qsizetype>(
            milliseconds.size() - 1, static_cast<qsizetype>(share * milliseconds.size()))];
    };
    std::printf("%-22s n=%lld  median %.1f ms  p95 %.1f ms  min %.1f ms  max %.1f ms\n", what,
                static_cast<long long>(milliseconds.size()), at(0.5), at(0.95),
                milliseconds.front(), milliseconds.back());
}

}  // namespace tidyword::bench

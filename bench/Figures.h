// How the measured scripts' programs print what they measured: the median, the 95th
// percentile and the extremes of a series of times.
#pragma once

#include <QElapsedTimer>
#include <QList>

#include <algorithm>
#include <cstdio>

namespace tidyword::bench {

// The time since `timer` started, in milliseconds.
inline double millisecondsSince(const QElapsedTimer& timer) {
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// The value at `share` (0.5: the median) of a series, or 0 for none.
inline double percentile(QList<double> milliseconds, double share) {
    if (milliseconds.isEmpty()) {
        return 0;
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    return milliseconds[std::min<qsizetype>(
        milliseconds.size() - 1,
        static_cast<qsizetype>(share * static_cast<double>(milliseconds.size())))];
}

inline double median(const QList<double>& milliseconds) {
    return percentile(milliseconds, 0.5);
}

inline void report(const char* what, QList<double> milliseconds) {
    if (milliseconds.isEmpty()) {
        std::printf("%-22s no measurement\n", what);
        return;
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    std::printf("%-22s n=%lld  median %.1f ms  p95 %.1f ms  min %.1f ms  max %.1f ms\n", what,
                static_cast<long long>(milliseconds.size()), median(milliseconds),
                percentile(milliseconds, 0.95), milliseconds.front(), milliseconds.back());
}

}  // namespace tidyword::bench

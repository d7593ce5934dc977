// What every benchmark shares: the house comparison line and best-of-three timing.
// `compare <metric> tessera=<v><unit> <peer>=<v><unit> ratio=<peer/tessera>`, peers in the same
// run.
#pragma once

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace tessera::bench {

inline void compare(
    const char *metric, const char *peer, double tessera, double other, const char *unit)
{
    std::printf("compare %s tessera=%.4g%s %s=%.4g%s ratio=%.2f\n", metric, tessera, unit, peer,
        other, unit, tessera > 0 ? other / tessera : 0.0);
    std::fflush(stdout);
}

// The best of three runs of `work`, in seconds, each after its own `setup` (not timed).
inline double bestSeconds(const std::function<void()> &setup, const std::function<void()> &work)
{
    double best = 1e30;
    for (int run = 0; run < 3; ++run) {
        setup();
        QElapsedTimer t;
        t.start();
        work();
        best = std::min(best, double(t.nsecsElapsed()) / 1e9);
    }
    return best;
}

inline double bestSeconds(const std::function<void()> &work)
{
    return bestSeconds([] {}, work);
}

} // namespace tessera::bench

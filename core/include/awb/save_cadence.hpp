// How often a run saves its workbook (its checkpoints). Each save rewrites the whole workbook, so
// the next checkpoint comes no sooner than a second after the last save and than four times what
// that save took: however large the workbook grows, checkpoints take at most about a fifth of the
// run. But it never comes so late that a picture recorded right after a save waits more than 30
// seconds until the next save is done (the next save taken to last at most twice the last one):
// where saves take more than 5 seconds, that bound wins. Outside a run every recorded picture is
// saved at once. Plain C++: the caller tells the times.
#pragma once

#include <algorithm>
#include <chrono>

namespace awb {

class SaveCadence {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr auto kInterval = std::chrono::seconds(1);
    static constexpr int kCostShare = 4;  // the wait after a save is at least four times what it took
    static constexpr auto kLongestWait = std::chrono::seconds(30);  // from a picture to its save done

    // A picture was recorded at `now`: is a save due?
    bool due(bool in_run, Clock::time_point now) const { return !in_run || now >= next_; }

    // A save took from `started` to `finished`.
    void saved(Clock::time_point started, Clock::time_point finished) {
        Clock::duration took = finished - started;
        Clock::duration wait = std::max<Clock::duration>(kInterval, kCostShare * took);
        Clock::duration latest = std::max<Clock::duration>(kLongestWait - 2 * took, Clock::duration::zero());
        next_ = finished + std::min(wait, latest);
    }

private:
    Clock::time_point next_{};
};

}  // namespace awb

// How often a run saves its workbook: about once a second, but never so often that saving a large
// workbook takes more than a third of the run. Outside a run every recorded picture is saved at
// once. Plain C++: the caller tells the times.
#pragma once

#include <algorithm>
#include <chrono>

namespace awb {

class SaveCadence {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr auto kInterval = std::chrono::seconds(1);
    static constexpr int kCostShare = 2;  // the wait after a save is at least twice what it took

    // A picture was recorded at `now`: is a save due?
    bool due(bool in_run, Clock::time_point now) const { return !in_run || now >= next_; }

    // A save took from `started` to `finished`.
    void saved(Clock::time_point started, Clock::time_point finished) {
        next_ = finished + std::max<Clock::duration>(kInterval, kCostShare * (finished - started));
    }

private:
    Clock::time_point next_{};
};

}  // namespace awb

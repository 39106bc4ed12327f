// What the module's memory of its workbook knows besides the workbook itself: whether a batch run
// is on and the copy in memory is the run's own, whether something recorded is not yet saved, how
// the last save went, and when the next one is due (awb::SaveCadence). Plain C++: the caller holds
// the workbook and its file's stamp, and tells what it found and did.
#pragma once

#include <cstddef>

#include "awb/save_cadence.hpp"

namespace awb {

class MemoryState {
public:
    using Time = SaveCadence::Clock::time_point;

    // Opening the workbook at a path, when memory holds the one at the same path (`same_path`)
    // or not: during a run the copy in memory is the truth once checked, and is used as it is;
    // otherwise it is used only while the file on disk is exactly the one saved; else the file is
    // read afresh.
    enum class Open { kFromMemory, kIfUnchanged, kRead };
    Open open(bool same_path) const {
        if (!same_path) return Open::kRead;
        return holds_run_book() ? Open::kFromMemory : Open::kIfUnchanged;
    }
    void checked() { checked_in_run_ = in_run(); }  // memory found to be the file on disk
    void read() {                                   // the file read afresh into memory
        pending_ = false;
        checked();
    }
    void forgotten() { save_failed_ = false; }  // memory let go

    void begin_run() {
        ++runs_;
        checked_in_run_ = false;
        save_failed_ = false;
        saved_pictures_ = 0;
        failed_checkpoints_ = 0;
    }
    void end_run() {
        if (runs_ > 0) --runs_;
    }
    bool in_run() const { return runs_ > 0; }
    bool holds_run_book() const { return in_run() && checked_in_run_; }

    // A picture was recorded at `now`: true when it is saved now (outside a run at once, during a
    // run at its checkpoints).
    bool recorded(Time now) {
        pending_ = true;
        return cadence_.due(in_run(), now);
    }
    // A save failed; one cut short by Ctrl-C (`by_error` false) did not fail, and is done again
    // when the run ends.
    void save_failed(bool by_error) {
        pending_ = true;
        save_failed_ = by_error;
    }
    // A checkpoint's save failed from `started` to `finished`, on the file (`file_error`: held by
    // another program, the drive full...) or otherwise. During a run the former does not stop
    // it: memory keeps every picture, and the following checkpoints try again, paced as after a
    // save that took as long. True when the run goes on.
    bool checkpoint_failed(bool file_error, Time started, Time finished) {
        if (!in_run() || !file_error) return false;
        pending_ = true;
        save_failed_ = false;
        ++failed_checkpoints_;
        cadence_.saved(started, finished);
        return true;
    }
    // Checkpoints failed in a row since the last save that succeeded.
    int failed_checkpoints() const { return failed_checkpoints_; }

    void saved(std::size_t pictures, Time started, Time finished) {
        pending_ = false;
        save_failed_ = false;
        failed_checkpoints_ = 0;
        saved_pictures_ = pictures;
        cadence_.saved(started, finished);
    }
    void redirected() {  // the whole workbook in memory goes to another file at the next save
        pending_ = true;
        save_failed_ = false;
    }

    bool pending() const { return pending_; }                       // recorded, not yet saved
    bool last_save_failed() const { return save_failed_; }          // the last save attempt failed
    std::size_t saved_pictures() const { return saved_pictures_; }  // in the file as last saved

private:
    bool pending_ = false;
    bool save_failed_ = false;
    std::size_t saved_pictures_ = 0;
    int failed_checkpoints_ = 0;
    int runs_ = 0;
    bool checked_in_run_ = false;  // during a run, memory is the run's workbook once checked
    SaveCadence cadence_;
};

}  // namespace awb

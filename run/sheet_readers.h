// Sheets read on worker threads for a run that writes them in order.
//
// The run hands each sheet to Read in row order and commits the sheets in that order on
// its own thread; the readers only read. Each worker has work arrays of its own and
// reports into the sheet's MessageLog, which the run replays when it commits the sheet, so
// what the user sees is the same at any number of workers. With no worker threads Read
// reads the sheet at once on the calling thread, with the run's own work arrays, and the
// run is the one it always was.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "convert/sheet_dispatch.h"
#include "input/coordinate_systems.h"
#include "input/work_arrays.h"
#include "platform/message_port.h"

namespace gridora {

// One sheet to read and what reading it gave.
struct SheetJob {
    std::filesystem::path description;
    std::string municipality_code;
    std::filesystem::path output_folder;  // where the sheet's output will be written
    RunCoordinateSystem known_system;     // the run's system as fixed when the sheet was handed out

    MessageLog messages;  // what reading reported, in order
    SheetReading reading;
    bool failed = false;  // reading threw; `error` holds what() (UTF-8)
    std::string error;

private:
    friend class SheetReaders;
    bool read_ = false;  // under the readers' lock
};

// Reads `job` with `arrays`, catching what the reading throws into the job.
void ReadSheetJob(SheetJob& job, WorkArrays& arrays);

// The number of sheets a run reads at once when the user does not say: the processors
// this process may run on.
unsigned DefaultJobCount();

class SheetReaders {
public:
    // `threads` workers; 0 reads each sheet at once with `own_arrays`, letting `events`
    // process events while it reads.
    SheetReaders(unsigned threads, WorkArrays& own_arrays, MessagePort& events);
    // Finishes the sheet each worker is reading and drops those not started.
    ~SheetReaders();
    SheetReaders(const SheetReaders&) = delete;
    SheetReaders& operator=(const SheetReaders&) = delete;

    unsigned Threads() const { return static_cast<unsigned>(workers_.size()); }
    void Read(std::shared_ptr<SheetJob> job);
    // Waits until `job` has been read, letting the user interface process its events.
    void Wait(const SheetJob& job);

private:
    void Work();

    WorkArrays& own_arrays_;
    MessagePort& events_;
    std::mutex mutex_;
    std::condition_variable work_ready_;
    std::condition_variable job_done_;
    std::deque<std::shared_ptr<SheetJob>> queue_;
    bool closing_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace gridora

#include "run/sheet_readers.h"

#include <sched.h>

#include <algorithm>
#include <chrono>
#include <exception>
#include <system_error>

namespace gridora {

void ReadSheetJob(SheetJob& job, WorkArrays& arrays) {
    try {
        job.reading = ReadSheet(job.description, job.municipality_code, job.output_folder, job.known_system, arrays,
                                job.messages);
    } catch (const std::exception& e) {
        job.failed = true;
        job.error = e.what();
    }
}

unsigned DefaultJobCount() {
    cpu_set_t cpus;
    CPU_ZERO(&cpus);
    if (sched_getaffinity(0, sizeof cpus, &cpus) == 0 && CPU_COUNT(&cpus) > 0)
        return static_cast<unsigned>(CPU_COUNT(&cpus));
    return std::max(1u, std::thread::hardware_concurrency());
}

SheetReaders::SheetReaders(unsigned threads, WorkArrays& own_arrays, MessagePort& events)
    : own_arrays_(own_arrays), events_(events) {
    for (unsigned i = 0; i < threads; ++i) {
        try {
            workers_.emplace_back([this] { Work(); });
        } catch (const std::system_error&) {
            break;  // fewer workers; with none the sheets are read here
        }
    }
}

SheetReaders::~SheetReaders() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
        queue_.clear();
    }
    work_ready_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

void SheetReaders::Read(std::shared_ptr<SheetJob> job) {
    if (workers_.empty()) {
        job->messages.ForwardEventsTo(&events_);
        ReadSheetJob(*job, own_arrays_);
        job->messages.ForwardEventsTo(nullptr);
        std::lock_guard lock(mutex_);
        job->read_ = true;
        return;
    }
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(job));
    }
    work_ready_.notify_one();
}

void SheetReaders::Wait(const SheetJob& job) {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (job.read_) return;
        // The window must keep drawing while a long sheet is read.
        job_done_.wait_for(lock, std::chrono::milliseconds(50));
        lock.unlock();
        events_.ProcessEvents();
        lock.lock();
    }
}

void SheetReaders::Work() {
    WorkArrays arrays;
    for (;;) {
        std::shared_ptr<SheetJob> job;
        {
            std::unique_lock lock(mutex_);
            work_ready_.wait(lock, [this] { return closing_ || !queue_.empty(); });
            if (closing_) return;
            job = std::move(queue_.front());
            queue_.pop_front();
        }
        ReadSheetJob(*job, arrays);
        {
            std::lock_guard lock(mutex_);
            job->read_ = true;
        }
        job_done_.notify_all();
    }
}

}  // namespace gridora

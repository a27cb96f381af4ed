#include "recording_queue.h"

#include "fx8010_interpreter.h"

#include <chrono>
#include <cstdio>

RecordingQueue::RecordingQueue(std::unique_ptr<WavRecording> file, std::vector<uint32_t> record,
                               Log log)
    : file_(std::move(file)), record_(std::move(record)), log_(std::move(log)),
      writer_([this] { Write(); }) {}

RecordingQueue::~RecordingQueue() {
    Finish();
}

void RecordingQueue::SampleEnded(const Fx8010Interpreter& dsp) {
    std::lock_guard lock(mutex_);
    ++handedOver_;
    // Once the file takes no more, keeping the frames would only grow.
    if (!failed_.load(std::memory_order_relaxed))
        for (uint32_t reg : record_)
            pending_.push_back(dsp.Operand(reg));
}

void RecordingQueue::Write() {
    std::vector<int32_t> taken;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait_for(lock, std::chrono::milliseconds(100), [this] { return stop_; });
        bool last = stop_;
        taken.swap(pending_);
        lock.unlock();
        if (!taken.empty() && !failed_ &&
            !file_->Write(taken.data(), int64_t(taken.size() / record_.size()))) {
            failed_ = true;
            if (log_)
                log_(file_->path() + ": " + file_->error() + "; the recording stops there");
        }
        taken.clear();
        lock.lock();
        if (last && pending_.empty())
            return;
    }
}

std::string RecordingQueue::Finish() {
    if (!writer_.joinable())
        return "";
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    writer_.join();
    file_->Close();
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", double(file_->frames()) / kChipSampleRate);
    std::string what = "recorded " + std::to_string(file_->frames()) + " samples (" + seconds +
                       " s) to " + file_->path();
    if (int64_t lost = handedOver_ - file_->frames(); lost > 0)
        what += "; the " + std::to_string(lost) + " samples after them were not written";
    if (!file_->error().empty())
        what += ": " + file_->error();
    return what;
}

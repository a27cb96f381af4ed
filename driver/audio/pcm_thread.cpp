#include "pcm_thread.h"

#include "pcm_stream.h"

int PcmThread::bufferFrames() const {
    return stream_->bufferFrames;
}

bool PcmThread::lost() const {
    return stream_->lost.load(std::memory_order_relaxed);
}

int64_t PcmThread::xruns() const {
    return stream_->xruns.load(std::memory_order_relaxed);
}

void PcmThread::LetGo(std::unique_lock<std::mutex>& lock) {
    const bool finished = stream_->finished;
    lock.unlock();
    if (finished)
        thread_.join();
    else
        thread_.detach();
}

// A sound device transferred by a thread of its own (capture's reader,
// playback's writer), so that a device that blocks in the kernel holds
// neither the chip nor the service: the chip's side's hold on the thread and
// what it shares, alike in either direction.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

struct PcmStream;

class PcmThread {
  public:
    using Log = std::function<void(const std::string&)>;
    PcmThread(const PcmThread&) = delete;
    PcmThread& operator=(const PcmThread&) = delete;

    int bufferFrames() const;
    // For a status from another thread: whether the device went away.
    bool lost() const;

  protected:
    PcmThread() = default;
    ~PcmThread() = default;
    int64_t xruns() const;
    // The stream as the direction's own kind of it.
    template <class Shared> Shared& stream() const { return static_cast<Shared&>(*stream_); }
    // Under the stream's lock, once the thread was told to close and given
    // its time: joins a thread that finished. One stuck inside the device
    // is not waited for; the PCM stays its own until the process ends.
    void LetGo(std::unique_lock<std::mutex>& lock);

    std::shared_ptr<PcmStream> stream_;
    std::thread thread_; // none for a device the chip transfers itself
};

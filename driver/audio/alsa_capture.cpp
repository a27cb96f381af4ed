#include "alsa_capture.h"

#include "clock_pacer.h"
#include "pcm_stream.h"
#include "stall_watch.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// What the reader holds for a chip that takes nothing: older frames go.
constexpr int kHeldFrames = kChipSampleRate;

const PcmDirection kCapture{SND_PCM_STREAM_CAPTURE, "--capture", "record", "", false};

// A device that holds a whole period the moment it starts has no clock of
// its own (ALSA's null device, a file): it is read as the chip needs it.
bool HasClock(snd_pcm_t* pcm, snd_pcm_uframes_t period) {
    snd_pcm_sframes_t avail = -1;
    if (snd_pcm_start(pcm) == 0)
        avail = snd_pcm_avail(pcm);
    snd_pcm_drop(pcm);
    snd_pcm_prepare(pcm);
    return avail < snd_pcm_sframes_t(period);
}

} // namespace

struct AlsaCapture::Shared : PcmStream {
    Shared() : PcmStream(UnderrunReport("the capture device overran", "captures on")) {}

    std::condition_variable arrived, wake; // the chip's wait; the reader's
    std::vector<int32_t> ring;             // kHeldFrames frames of Q31 values
    int64_t first = 0, held = 0;           // ring positions in frames
    bool onDemand = false;                 // no clock of its own: no reader, the chip reads it
    bool started = false;     // by the chip's first look, so that it hears from the start
    bool overflowing = false; // the ring lost frames the chip has not taken since
    std::atomic<int64_t> captured{0};

    void Lose(const std::string& why) {
        if (!lost.exchange(true) && log)
            log("--capture=" + name + ": the capture device went away (" + why +
                "); the chip goes on with a silent input");
        std::lock_guard lock(mutex);
        arrived.notify_all();
    }
    // Under mutex: n frames of Q31 values onto the ring, the oldest going
    // when it is full: the chip did not take them in time, as in an overrun
    // of the device, and that is counted as one.
    void Hold(const int32_t* frames, int64_t n) {
        const std::size_t ch = std::size_t(channels);
        for (int64_t f = 0; f < n; ++f) {
            if (held == kHeldFrames) {
                if (!overflowing)
                    Xrun();
                overflowing = true;
                first = (first + 1) % kHeldFrames;
                --held;
            }
            const int64_t at = (first + held++) % kHeldFrames;
            std::copy_n(frames + std::size_t(f) * ch, ch,
                        ring.begin() + std::ptrdiff_t(at * int64_t(ch)));
        }
    }
    // Up to count frames from the device into q, as Q31 values converted in
    // place; what readi returned.
    snd_pcm_sframes_t Read(int32_t* q, int count) const {
        const std::size_t values = std::size_t(count) * std::size_t(channels);
        // A device that delivers nothing of its own (a null slave) is silent.
        std::fill_n(q, values, 0);
        const snd_pcm_sframes_t n = snd_pcm_readi(pcm, q, snd_pcm_uframes_t(count));
        const std::size_t got = n > 0 ? std::size_t(n) * std::size_t(channels) : 0;
        const char* bytes = reinterpret_cast<const char*>(q);
        if (format == WavSampleFormat::Float32) {
            for (std::size_t i = 0; i < got; ++i) {
                float x;
                std::memcpy(&x, bytes + 4 * i, 4);
                q[i] = Q31FromFraction(x);
            }
        } else {
            // Backwards: a 16-bit sample is read before its 32-bit value covers it.
            for (std::size_t i = got; i-- > 0;) {
                int16_t v;
                std::memcpy(&v, bytes + 2 * i, 2);
                q[i] = int32_t(uint32_t(uint16_t(v)) << 16);
            }
        }
        return n;
    }
    // After an error of readi: an overrun is recovered and counted, the
    // frames lost to it gone; any other error loses the device.
    void Recover(snd_pcm_sframes_t n) {
        if (Recovered(n))
            snd_pcm_start(pcm);
        else
            Lose(AlsaWords(int(n)));
    }
    void Say(Clock::time_point now) {
        if (std::string line = report.Due(now); !line.empty() && log)
            log("--capture=" + name + ": " + line);
    }
    int ReadNow(int32_t* frames, int count);
    void Run();
};

// The reader: a period at a time, each when the device (or, without a clock
// of its own, the system clock) has captured it.
void AlsaCapture::Shared::Run() {
    ClockPacer pacer(kChipSampleRate, periodFrames);
    std::vector<int32_t> q(std::size_t(periodFrames) * std::size_t(channels));
    std::unique_lock lock(mutex);
    wake.wait(lock, [this] { return started || closing; });
    lock.unlock();
    StallWatch stall(Clock::now());
    if (int err = snd_pcm_start(pcm); err < 0 && err != -EBADFD)
        Lose(AlsaWords(err));
    lock.lock();
    while (!closing && !lost) {
        if (!pacer.clocked() &&
            wake.wait_until(lock, pacer.When(periodFrames), [this] { return closing; }))
            break;
        lock.unlock();
        snd_pcm_sframes_t n = Read(q.data(), periodFrames);
        const Clock::time_point now = Clock::now();
        if (n > 0) {
            pacer.Wrote(n, now);
            captured.fetch_add(n, std::memory_order_relaxed);
            stall.Moved(now);
            lock.lock();
            Hold(q.data(), n);
            arrived.notify_all();
            continue;
        }
        if (n == 0 || n == -EAGAIN) {
            // Nothing yet: the device keeps time itself.
            pacer.Full(now);
            if (stall.Stalled(now)) {
                Lose(StallWatch::Why("captured"));
            } else if (int ready = WaitForPcm(pcm, fds, kPcmPollSliceMs, POLLIN); ready < 0) {
                n = ready;
            } else {
                if (snd_pcm_state(pcm) == SND_PCM_STATE_PREPARED)
                    snd_pcm_start(pcm);
                n = 0;
            }
        }
        if (n < 0)
            Recover(n);
        Say(now);
        lock.lock();
    }
    lock.unlock();
    Finish(arrived);
}

// Without a clock, the frames the chip begins are read as it begins them.
int AlsaCapture::Shared::ReadNow(int32_t* frames, int count) {
    int done = 0;
    while (done < count && !lost) {
        const snd_pcm_sframes_t n =
            Read(frames + std::size_t(done) * std::size_t(channels), count - done);
        if (n > 0) {
            done += int(n);
            continue;
        }
        // Nothing now after all: the rest of these frames is silent.
        if (n < 0 && n != -EAGAIN) {
            Recover(n);
            Say(Clock::now());
        }
        break;
    }
    captured.fetch_add(done, std::memory_order_relaxed);
    return done;
}

std::unique_ptr<AlsaCapture> AlsaCapture::Open(const PcmSettings& settings, Log log,
                                               std::string* error) {
    auto shared = std::make_shared<Shared>();
    if (!shared->Open(settings, kCapture, std::move(log), error))
        return nullptr;
    shared->onDemand = !HasClock(shared->pcm, snd_pcm_uframes_t(shared->periodFrames));
    std::unique_ptr<AlsaCapture> capture(new AlsaCapture);
    capture->stream_ = shared;
    if (!shared->onDemand) {
        shared->ring.resize(std::size_t(kHeldFrames) * std::size_t(settings.channels));
        capture->thread_ = std::thread([shared] { shared->Run(); });
    }
    return capture;
}

int AlsaCapture::periodFrames() const {
    return stream_->periodFrames;
}

int AlsaCapture::channels() const {
    return stream_->channels;
}

bool AlsaCapture::clocked() const {
    return !stream<Shared>().onDemand;
}

int64_t AlsaCapture::overruns() const {
    return xruns();
}

int64_t AlsaCapture::Wait(int64_t frames, std::chrono::microseconds most) {
    Shared& s = stream<Shared>();
    if (s.onDemand)
        return s.lost ? -1 : frames;
    std::unique_lock lock(s.mutex);
    if (!s.started) {
        s.started = true;
        s.wake.notify_all();
    }
    if (most.count() > 0)
        s.arrived.wait_for(lock, most, [&] { return s.held >= frames || s.lost || s.finished; });
    return s.lost ? -1 : s.held;
}

int AlsaCapture::Take(int32_t* frames, int count) {
    Shared& s = stream<Shared>();
    if (s.onDemand)
        return s.ReadNow(frames, count);
    std::lock_guard lock(s.mutex);
    const int n = int(std::min<int64_t>(count, s.held));
    const std::size_t ch = std::size_t(s.channels);
    for (int f = 0; f < n; ++f) {
        const auto at = std::ptrdiff_t((s.first + f) % kHeldFrames * int64_t(ch));
        std::copy_n(s.ring.begin() + at, ch, frames + std::size_t(f) * ch);
    }
    s.first = (s.first + n) % kHeldFrames;
    s.held -= n;
    s.overflowing = false;
    return n;
}

int64_t AlsaCapture::Drop(int64_t count) {
    Shared& s = stream<Shared>();
    if (s.onDemand)
        return 0;
    std::lock_guard lock(s.mutex);
    const int64_t n = std::min(count, s.held);
    s.first = (s.first + n) % kHeldFrames;
    s.held -= n;
    s.overflowing = false;
    return n;
}

AlsaCapture::~AlsaCapture() {
    Close();
}

void AlsaCapture::Close() {
    Shared& s = stream<Shared>();
    if (s.onDemand)
        s.Release(); // read by the chip alone, which has stopped
    if (!thread_.joinable())
        return;
    std::unique_lock lock(s.mutex);
    s.closing = true;
    s.wake.notify_all();
    // A reader polls in slices; one stuck inside the device is not waited for.
    s.arrived.wait_for(lock, milliseconds(kPcmPollSliceMs * 5), [&s] { return s.finished; });
    LetGo(lock);
}

std::string AlsaCapture::Summary() const {
    const Shared& s = stream<Shared>();
    return "captured " + std::to_string(s.captured.load()) + " samples from " + s.name + " with " +
           std::to_string(s.xruns.load()) + " overruns" + (s.lost ? " before it went away" : "");
}

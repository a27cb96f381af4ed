#include "alsa_playback.h"

#include "clock_pacer.h"
#include "pcm_stream.h"
#include "stall_watch.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How often the chip, waiting for room, looks whether the device stalled.
constexpr milliseconds kRoomSlice(20);
// A stopping chip's last period waits this long for room, then is left unplayed.
constexpr milliseconds kStoppingWait(200);
// Periods handed over and not yet written: the chip runs one while the
// writer writes the other.
constexpr int kSlots = 2;

// Waits up to ms for the device to have room: 1 when its poll says so, 0
// when it did not (in time, or it woke without room), or an error.
int WaitForRoom(snd_pcm_t* pcm, std::vector<pollfd>& fds, int ms) {
    return WaitForPcm(pcm, fds, ms, POLLOUT);
}

// Playing starts once the buffer is full.
const PcmDirection kPlayback{SND_PCM_STREAM_PLAYBACK, "--play", "play", "; change --record", true};

} // namespace

struct AlsaPlayback::Shared : PcmStream {
    // The writer waits on work for a period, the close or the pacer's time;
    // the player on room, and the closer for the end. Each is told only
    // what it waits for, so a period costs each thread one wake-up.
    std::condition_variable work, room;
    std::vector<std::vector<char>> slots;
    std::vector<int> slotFrames;
    int first = 0, queued = 0;
    Clock::time_point deadline = Clock::time_point::max(); // of the play-out
    std::atomic<int64_t> played{0}, mostQueued{0};

    std::size_t frameBytes() const { return std::size_t(channels) * BytesPerSample(format); }
    bool PastDeadline() {
        std::lock_guard lock(mutex);
        return Clock::now() >= deadline;
    }
    // Says once why the device is gone; the writer lets it go.
    void Lose(const std::string& why) {
        if (!lost.exchange(true) && log)
            log("--play=" + name + ": the sound device went away (" + why +
                "); the chip goes on by the system clock, unheard");
        work.notify_all();
        room.notify_all();
    }
    bool WritePeriod(const char* bytes, int count, ClockPacer& pacer);
    void PlayOut();
    void Run();
};

// Gets a period into the device, recovering from underruns; false once the
// device is gone or the play-out's time is up.
bool AlsaPlayback::Shared::WritePeriod(const char* bytes, int count, ClockPacer& pacer) {
    int done = 0;
    StallWatch stall(Clock::now());
    bool wokeWithoutRoom = false;
    while (done < count) {
        if (lost || PastDeadline())
            return false;
        snd_pcm_sframes_t n = snd_pcm_writei(pcm, bytes + std::size_t(done) * frameBytes(),
                                             snd_pcm_uframes_t(count - done));
        const Clock::time_point now = Clock::now();
        if (n >= 0) {
            done += int(n);
            pacer.Wrote(n, now);
            played.fetch_add(n, std::memory_order_relaxed);
            stall.Moved(now);
            continue;
        }
        if (n == -EAGAIN) {
            pacer.Full(now);
            // Full but not started: after an underrun the buffer can fill
            // short of the start threshold by less than a period, and never start.
            if (snd_pcm_state(pcm) == SND_PCM_STATE_PREPARED && snd_pcm_start(pcm) == 0)
                continue;
            if (stall.Stalled(now)) {
                Lose(StallWatch::Why("took"));
                return false;
            }
            // A device whose poll wakes without room is not asked again at once.
            if (wokeWithoutRoom)
                std::this_thread::sleep_for(milliseconds(1));
            int ready = WaitForRoom(pcm, fds, kPcmPollSliceMs);
            if (ready >= 0) {
                wokeWithoutRoom = ready > 0;
                continue;
            }
            n = ready;
        }
        // What is left of the period goes in after the gap, so nothing the
        // chip ran is skipped.
        if (Recovered(n))
            continue;
        Lose(AlsaWords(int(n)));
        return false;
    }
    if (std::string line = report.Due(Clock::now()); !line.empty() && log)
        log(line);
    return true;
}

// What was written is played out (a file device writes its last period
// only then), until the deadline.
void AlsaPlayback::Shared::PlayOut() {
    if (snd_pcm_drain(pcm) != -EAGAIN)
        return;
    while (snd_pcm_state(pcm) == SND_PCM_STATE_DRAINING && !PastDeadline()) {
        if (WaitForRoom(pcm, fds, kPcmPollSliceMs) != 0)
            std::this_thread::sleep_for(milliseconds(1));
    }
}

// The writer: the periods in the order handed over, each when the device
// (or, without a clock of its own, the system clock) takes it.
void AlsaPlayback::Shared::Run() {
    ClockPacer pacer(kChipSampleRate, bufferFrames);
    std::unique_lock lock(mutex);
    for (;;) {
        work.wait(lock, [this] { return queued > 0 || closing || lost; });
        if (lost || queued == 0)
            break;
        const int count = slotFrames[std::size_t(first)];
        if (!closing) {
            const Clock::time_point now = Clock::now();
            if (!pacer.clocked() && pacer.Dry(now)) {
                // Ran dry by the system clock: counted as a device counts it.
                Xrun();
                pacer.Restart();
            }
            if (work.wait_until(lock, pacer.When(count), [this] { return closing || lost.load(); }))
                continue;
        }
        const char* bytes = slots[std::size_t(first)].data();
        lock.unlock();
        snd_pcm_sframes_t delay = 0;
        const bool written = WritePeriod(bytes, count, pacer);
        if (written && snd_pcm_delay(pcm, &delay) != 0)
            delay = 0;
        lock.lock();
        if (!written)
            break;
        first = (first + 1) % kSlots;
        --queued;
        // How long the newest sample waits to be heard: what a change to the
        // chip takes to reach the ear, less the period it waited to be run.
        const int64_t waiting = int64_t(delay) + int64_t(queued) * periodFrames;
        if (waiting > mostQueued.load(std::memory_order_relaxed))
            mostQueued.store(waiting, std::memory_order_relaxed);
        room.notify_all();
    }
    lock.unlock();
    if (!lost)
        PlayOut();
    Finish(room);
}

std::unique_ptr<AlsaPlayback> AlsaPlayback::Open(const PlaybackSettings& settings, Log log,
                                                 std::string* error) {
    auto shared = std::make_shared<Shared>();
    if (!shared->Open(settings, kPlayback, std::move(log), error))
        return nullptr;
    shared->slots.assign(
        kSlots, std::vector<char>(std::size_t(shared->periodFrames) * shared->frameBytes()));
    shared->slotFrames.assign(kSlots, 0);
    std::unique_ptr<AlsaPlayback> playback(new AlsaPlayback);
    playback->stream_ = shared;
    playback->thread_ = std::thread([shared] { shared->Run(); });
    return playback;
}

int AlsaPlayback::periodFrames() const {
    return stream_->periodFrames;
}

int64_t AlsaPlayback::underruns() const {
    return xruns();
}

bool AlsaPlayback::Play(const int32_t* frames, int count, const std::atomic<bool>& stopping) {
    Shared& s = stream<Shared>();
    for (int done = 0; done < count;) {
        const int n = std::min(count - done, s.periodFrames);
        const std::size_t values = std::size_t(n) * std::size_t(s.channels);
        const int32_t* from = frames + std::size_t(done) * std::size_t(s.channels);
        std::unique_lock lock(s.mutex);
        // Room comes as the writer writes; a writer that writes nothing for
        // the stall's time is inside a device that has gone.
        StallWatch stall(Clock::now());
        Clock::time_point stopSeen = Clock::time_point::max();
        int64_t seen = s.played.load();
        while (s.queued == kSlots) {
            if (s.lost || s.closing)
                return false;
            const Clock::time_point now = Clock::now();
            if (stopping && stopSeen == Clock::time_point::max())
                stopSeen = now;
            if (now - stopSeen >= kStoppingWait)
                return true;
            if (int64_t played = s.played.load(); played != seen) {
                seen = played;
                stall.Moved(now);
            } else if (stall.Stalled(now)) {
                lock.unlock();
                s.Lose(StallWatch::Why("took"));
                return false;
            }
            s.room.wait_for(lock, kRoomSlice);
        }
        if (s.lost || s.closing)
            return false;
        const int slot = (s.first + s.queued) % kSlots;
        char* to = s.slots[std::size_t(slot)].data();
        if (s.format == WavSampleFormat::Float32)
            std::transform(from, from + values, reinterpret_cast<float*>(to), FloatFromQ31);
        else
            std::transform(from, from + values, reinterpret_cast<int16_t*>(to), Pcm16FromQ31);
        s.slotFrames[std::size_t(slot)] = n;
        // A writer waiting on the pacer need not hear of a second period.
        if (++s.queued == 1)
            s.work.notify_all();
        done += n;
    }
    return true;
}

AlsaPlayback::~AlsaPlayback() {
    Close();
}

void AlsaPlayback::Close() {
    if (!thread_.joinable())
        return;
    Shared& s = stream<Shared>();
    std::unique_lock lock(s.mutex);
    s.closing = true;
    // The buffer plays out in its own time, a second more for a slow device.
    s.deadline = Clock::now() + milliseconds(s.bufferFrames * 1000 / kChipSampleRate + 1000);
    s.work.notify_all();
    if (!s.lost)
        s.room.wait_until(lock, s.deadline + kRoomSlice, [&s] { return s.finished; });
    LetGo(lock);
}

std::string AlsaPlayback::Summary() const {
    const Shared& s = stream<Shared>();
    const int64_t most = s.mostQueued.load();
    return "played " + std::to_string(s.played.load()) + " samples through " + s.name + " with " +
           std::to_string(s.xruns.load()) + " underruns" + (s.lost ? " before it went away" : "") +
           "; at most " + std::to_string(most) + " samples (" +
           std::to_string(most * 1000 / kChipSampleRate) + " ms) waited to be heard";
}

#include "mpegaudiocounter.h"

#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {
// Counts kept: the current medium's two and a few before it.
constexpr size_t keptCounts = 8;
} // namespace

MpegAudioCounter::MpegAudioCounter()
    : wake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), worker([this] { work(); })
{
}

MpegAudioCounter::~MpegAudioCounter()
{
    {
        std::lock_guard<std::mutex> guard(lock);
        ending = true;
        stop = true;
    }
    jobsChanged.notify_all();
    worker.join();
    if (wake >= 0)
        close(wake);
}

bool MpegAudioCounter::knownLocked(const std::string &path, MpegAudioCount count,
                                   double *seconds) const
{
    for (auto it = done.rbegin(); it != done.rend(); ++it) {
        if (it->path == path && it->count == count) {
            if (seconds)
                *seconds = it->seconds;
            return true;
        }
    }
    return false;
}

void MpegAudioCounter::request(const std::string &path, MpegAudioCount count)
{
    if (path.empty())
        return;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (knownLocked(path, count, nullptr))
            return;
        for (const Job &job : jobs)
            if (job.path == path && job.count == count)
                return;
        // Another file's counts are of no use any more; the walk under way
        // looks at the flag every thousand frames or so.
        for (auto it = jobs.begin(); it != jobs.end();) {
            if (it->path == path) {
                ++it;
            } else if (running && it == jobs.begin()) {
                stop = true;
                ++it;
            } else {
                it = jobs.erase(it);
            }
        }
        jobs.push_back({path, count});
    }
    jobsChanged.notify_all();
}

void MpegAudioCounter::work()
{
    std::unique_lock<std::mutex> guard(lock);
    for (;;) {
        jobsChanged.wait(guard, [this] { return ending || !jobs.empty(); });
        if (ending)
            return;
        Job job = jobs.front();
        if (knownLocked(job.path, job.count, nullptr)) {
            jobs.pop_front();
            continue;
        }
        running = true;
        counted = 0;
        guard.unlock();
        bool walked = false;
        MpegAudioWatch watch;
        watch.stop = &stop;
        watch.progress = &counted;
        watch.walkedAll = &walked;
        job.seconds = mpegAudioLength(job.path, job.count, watch);
        guard.lock();
        running = false;
        jobs.pop_front();
        if (stop) {
            stop = false;
            continue;
        }
        done.push_back(job);
        // A walk over every frame is the other count's answer too.
        if (walked && job.count == MpegAudioCount::HeaderFirst)
            done.push_back({job.path, MpegAudioCount::EveryFrame, job.seconds});
        if (done.size() > keptCounts)
            done.erase(done.begin(), done.end() - keptCounts);
        const uint64_t one = 1;
        if (write(wake, &one, sizeof one) < 0) {
            // Signalled already and not yet seen: the relay looks all the same.
        }
    }
}

bool MpegAudioCounter::result(const std::string &path, MpegAudioCount count, double &seconds) const
{
    std::lock_guard<std::mutex> guard(lock);
    return knownLocked(path, count, &seconds);
}

double MpegAudioCounter::progress(const std::string &path, MpegAudioCount count) const
{
    std::lock_guard<std::mutex> guard(lock);
    return running && jobs.front().path == path && jobs.front().count == count ? counted.load() : 0;
}

void MpegAudioCounter::clearWake()
{
    uint64_t count = 0;
    if (read(wake, &count, sizeof count) < 0) {
        // Nothing was signalled.
    }
}

#pragma once

#include "mpegaudiolength.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Counts the length of MPEG audio files on a thread of its own, so that the
// relay goes on passing the engine's output and the front-end's commands
// while a big file is read from slow storage. The relay polls wakeFd(), which
// becomes readable when a count is done.
class MpegAudioCounter
{
public:
    MpegAudioCounter();
    ~MpegAudioCounter();
    MpegAudioCounter(const MpegAudioCounter &) = delete;
    MpegAudioCounter &operator=(const MpegAudioCounter &) = delete;

    // Counts unless that count is known or asked for already. Counts of other
    // files, asked for or under way, are dropped: only the newest medium matters.
    void request(const std::string &path, MpegAudioCount count);
    // True once the count is done, with its seconds (negative: not MPEG audio).
    bool result(const std::string &path, MpegAudioCount count, double &seconds) const;
    // The seconds counted so far while that count is under way (the file is at
    // least that long), else 0.
    double progress(const std::string &path, MpegAudioCount count) const;

    int wakeFd() const { return wake; }
    // Empties wakeFd() once it has been seen readable.
    void clearWake();

private:
    struct Job
    {
        std::string path;
        MpegAudioCount count;
        double seconds = 0;
    };
    void work();
    bool knownLocked(const std::string &path, MpegAudioCount count, double *seconds) const;

    int wake = -1;
    mutable std::mutex lock;
    std::condition_variable jobsChanged;
    std::deque<Job> jobs;  // asked for, the one under way first
    std::vector<Job> done; // the newest last, a few at most
    bool running = false;  // jobs.front() is under way
    bool ending = false;
    std::atomic<bool> stop{false};
    std::atomic<double> counted{0};
    std::thread worker;
};

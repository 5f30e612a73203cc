#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

#include <functional>

// A private sound server as a desktop has one: PulseAudio with a null sink,
// its socket in a runtime folder of its own, and what reaches the sink
// recorded from its monitor as raw 16-bit stereo at 44.1 kHz.
class SoundServer
{
public:
    SoundServer() = default;
    ~SoundServer();
    SoundServer(const SoundServer &) = delete;
    SoundServer &operator=(const SoundServer &) = delete;

    // Starts the server with its runtime folder made below `parent`.
    bool start(const QString &parent);
    void stop();
    QString runtimeDir() const { return runtime; }
    // The environment in which a program plays to this server.
    QProcessEnvironment environment(QProcessEnvironment base) const;

    // With a latency, the sink plays that far ahead of what is heard (as a
    // sound card does) and the recording comes in that soon; without one, the
    // server's own, about 2 s.
    bool startRecording(int latencyMs = 0);
    // Another program's stream of silence keeps the sink running until
    // stopRecording(), asking for that latency (the server's own without):
    // while no medium plays, the recording goes on in silence.
    bool keepSinkBusy(int latencyMs = 0);
    // Records on until the last `ms` recorded are silent after some sound
    // (the sink's buffer has reached the recording), at most `limitMs`.
    bool awaitQuiet(int ms, int limitMs = 10000);
    // Records on until a sound comes; when its first sample reached the sink's
    // monitor, in ms of `clock` (a chunk's samples came with it, the last one
    // as it arrived), or -1 when none came within limitMs.
    qint64 awaitSound(const QElapsedTimer &clock, int limitMs);
    // Records on until `done`, asked as each chunk comes, holds (or limitMs
    // has passed); when the last sound reached the monitor, in ms of `clock`,
    // or -1 when none came.
    qint64 awaitLastSound(const QElapsedTimer &clock, const std::function<bool()> &done,
                          int limitMs);
    // What the sink has played since startRecording().
    QByteArray stopRecording();

    static constexpr int rate = 44100;

private:
    QProcess server, recorder, busy;
    QByteArray recorded;
    QString runtime;
};

// What a listener hears in a recording of one continuous tone played in parts.
struct HeardSound
{
    double heard = 0; // seconds of sound from its first sample to its last
    // Each stretch of silence of 2 ms or more between the first and the last
    // sound, in milliseconds.
    QList<double> silences;
    // Where each of them begins, in seconds of sound heard before it.
    QList<double> silencesAt;
    // The loudest 0.1 s in the first half second after each start of sound
    // (the first, and after each silence of 50 ms or more), in dB against
    // the median 0.1 s of the whole.
    double loudestStart = 0;

    static HeardSound of(const QByteArray &raw);
    double longestSilence() const;
    double totalSilence() const;
    QString account() const;
};

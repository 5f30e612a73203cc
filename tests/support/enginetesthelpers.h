#pragma once

// Shared by the engine control's tests: a temporary program directory with
// the scripted engine as "./mplayer", its log, and stdout capture.

#include "player/mvphonedevices.h"
#include "player/mvplayercontrol.h"
#include "support/enginelog.h"
#include "support/scopedenv.h"

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTimerEvent>
#include <QVector>

#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <sys/ioctl.h>
#include <unistd.h>

// Reaches what the tests look at but the program does not offer. Its
// current-media file lies in the working directory, which an EngineFixture
// makes private to the test. As the playback session does, it sends its
// volume again at each engine and medium and has the phone's devices follow it.
class ProbeControl : public MvPlayerControl
{
public:
    ProbeControl(QObject *parent, int volume, int windowId)
        : MvPlayerControl(parent, volume, windowId)
    {
        setCurrentMediaFile(QDir::currentPath() + QStringLiteral("/curmedia.name"));
        connect(this, &MvPlayerControl::settingsWanted, this, [this] { setVolume(this->volume); });
        new MvPhoneDevices(this, this);
    }
    using MvPlayerControl::sendCommand;
    QProcess *engineProcess() const { return engine->process(); }
    // What an object timer of the controller does when it fires.
    void tick()
    {
        QTimerEvent event(0);
        timerEvent(&event);
    }
};

using EngineLogEntry = EngineLog::Entry;

// A program directory holding the scripted engine as "./mplayer"; the
// working directory is moved there for the fixture's lifetime.
class EngineFixture
{
public:
    EngineFixture()
    {
        previousDir = QDir::currentPath();
        dirPath = QDir(dir.path()).canonicalPath();
        logPath = dirPath + QStringLiteral("/engine.log");
        scriptPath = dirPath + QStringLiteral("/engine.script");
        engineLog.emplace("MOVARA_ENGINE_LOG", QFile::encodeName(logPath));
        script.emplace("MOVARA_SCRIPT", QFile::encodeName(scriptPath));
        QDir::setCurrent(dirPath);
    }
    ~EngineFixture() { QDir::setCurrent(previousDir); }

    bool installEngine()
    {
        return QFile::link(QStringLiteral(MOVARA_BIN_DIR "/movara_scripted_engine"),
                           dirPath + QStringLiteral("/mplayer"));
    }

    void setScript(const QString &script)
    {
        QFile file(scriptPath);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(script.toUtf8());
    }

    // Where a ProbeControl made in the fixture keeps its current-media file.
    QString mediaFile() const { return dirPath + QStringLiteral("/curmedia.name"); }

    QVector<EngineLogEntry> log() const { return EngineLog(logPath).read(); }

    QStringList entries(const QString &kind) const { return EngineLog(logPath).texts(kind); }
    // Lines the engine read on stdin, in order.
    QStringList stdinLines() const { return entries(QStringLiteral("in")); }

    bool hasEntry(const QString &kind, const QString &text) const
    {
        return entries(kind).contains(text);
    }

    double lastEntryTime(const QString &kind) const
    {
        double at = -1;
        for (const EngineLogEntry &entry : log())
            if (entry.kind == kind)
                at = entry.ms;
        return at;
    }

    QTemporaryDir dir;
    QString dirPath;
    QString logPath;
    QString scriptPath;
    QString previousDir;
    std::optional<ScopedEnv> engineLog, script;
};

// Sends the process's stdout (or stderr) to a file while it lives, so that
// trace lines written with printf can be checked.
class StdoutCapture
{
public:
    explicit StdoutCapture(int stream = 1) : stream(stream)
    {
        std::fflush(stdout);
        path = dir.path() + QStringLiteral("/stdout");
        const int fd =
            ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        saved = ::dup(stream);
        ::dup2(fd, stream);
        ::close(fd);
    }
    ~StdoutCapture() { restore(); }

    QByteArray finish()
    {
        restore();
        return text();
    }

    // What was written so far.
    QByteArray text() const
    {
        std::fflush(stdout);
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    void restore()
    {
        if (saved < 0)
            return;
        std::fflush(stdout);
        ::dup2(saved, stream);
        ::close(saved);
        saved = -1;
        // The test's own report of a failure went here too: pass it on.
        if (QTest::currentTestFailed() && stream == 1)
            std::fputs(text().constData(), stdout);
    }

    QTemporaryDir dir;
    QString path;
    int stream;
    int saved = -1;
};

// Whether everything the engine has written so far is out of its pipe, in
// the process's buffer or gone from it.
inline bool outputRead(QProcess *engine)
{
    if (!engine)
        return false;
    auto linkOf = [](const QByteArray &path) {
        char target[64];
        const ssize_t size = ::readlink(path.constData(), target, sizeof target);
        return size > 0 ? QByteArray(target, int(size)) : QByteArray();
    };
    const QByteArray pipe = linkOf("/proc/" + QByteArray::number(engine->processId()) + "/fd/1");
    if (!pipe.startsWith("pipe:"))
        return false;
    const QStringList ours =
        QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    for (const QString &fd : ours) {
        if (linkOf("/proc/self/fd/" + fd.toLatin1()) != pipe)
            continue;
        int unread = -1;
        return ::ioctl(fd.toInt(), FIONREAD, &unread) == 0 && unread == 0;
    }
    return false;
}

// Whether everything the engine has written so far is taken from the
// process's buffer as well: what it said has been heard.
inline bool outputTaken(QProcess *engine)
{
    return engine && engine->bytesAvailable() == 0 && outputRead(engine);
}

inline QByteArray currentMediaFileContent(const MvPlayerControl &control)
{
    QFile file(control.currentMediaFile());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Script lines naming chapters that start at `starts` seconds, each running
// to the next, titled "C1", "C2" and so on.
inline QString chapterScript(const QList<double> &starts)
{
    QString script;
    for (qsizetype i = 0; i < starts.size(); ++i)
        script += QStringLiteral("line ID_CHAPTER_ID=%1\nline ID_CHAPTER_%1_START=%2\n"
                                 "line ID_CHAPTER_%1_NAME=C%3\n")
                      .arg(i)
                      .arg(qRound64(starts[i] * 1000))
                      .arg(i + 1);
    return script + QStringLiteral("line ID_CHAPTERS=%1\n").arg(starts.size());
}

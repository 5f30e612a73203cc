#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QProcess;

// The engine's process and the files handed to it. Starts "./mplayer" beside
// the program (it dies with the program), ends one that does not act on
// "quit" (SIGTERM, then SIGKILL), and owns the hand-off files in /tmp through
// which a running engine is given its next media, with the lock that makes
// the default one this program's. Knows nothing of what the engine says.
class MvEngineProcess : public QObject
{
    Q_OBJECT

public:
    explicit MvEngineProcess(QObject *parent = nullptr);
    ~MvEngineProcess() override;

    // The file through which a new medium is handed to a running engine,
    // unless another is set before the engine gets its first "loadlist".
    // Its path travels in a command, which carries Latin-1 only. The default
    // belongs to the process object that holds the lock file beside it; any
    // other, of this program or another on the same /tmp, uses a name of its
    // own there, removed when it goes.
    static const char defaultCurrentMediaFile[];
    void setCurrentMediaFile(const QString &path) { mediaFilePath = path; }
    QString currentMediaFile() const { return mediaFilePath; }
    // Where the media the engine is to go on to by itself are handed.
    QString nextMediaFile() const { return mediaFilePath + QStringLiteral(".next"); }
    // `path` as the one entry of the current-media file, or of `target`;
    // false when the file cannot carry the name or cannot be written.
    bool writeCurrentMediaFile(const QString &path);
    static bool writeMediaFile(const QString &target, const QString &path);

    // Starts the engine with `arguments` (after the program name); false
    // when it did not start. The engine before must have exited.
    bool start(const QStringList &arguments);
    // The latest engine's process object; null before the first start.
    QProcess *process() const { return current; }
    // From a start until that engine exits.
    bool isRunning() const { return running; }
    // The latest engine was told to quit.
    bool isQuitting() const { return current && stoppingEngine == current; }
    // Running and not told to quit.
    bool takesCommands() const { return running && current && stoppingEngine != current; }
    void write(const QByteArray &bytes);
    // The engine was told to quit: it is terminated, then killed, if it stays.
    void stopEngine();
    // How long a stopping engine gets before SIGTERM, and then SIGKILL.
    void setStopGraces(int quit, int terminate);
    bool engineBusyOrStopped() const;
    // Kills the engine now and waits for it, without a word to anyone.
    void killNow();

signals:
    // The latest engine has exited, for whatever reason.
    void exited();
    void outputReady();
    void errorsReady();

private:
    void claimCurrentMediaFile();
    void finished();

    QProcess *current = nullptr;
    bool running = false;
    // The engine that has been told to quit and will be ended if it does not.
    QProcess *stoppingEngine = nullptr;
    int quitGrace = 1000;
    // Gone within 2 s of the quit, stopped (SIGSTOP) or not: only the kill ends a stopped one.
    int terminateGrace = 900;
    QString mediaFilePath = QString::fromLatin1(defaultCurrentMediaFile);
    // The lock that makes the default hand-off file this object's, or the
    // name of its own that it uses instead.
    int mediaFileLock = -1;
    QString ownMediaFile;
};

// The phone launcher: the phone's paths exist inside its sandbox and lead to
// the phone folder, the machine's real root stays as it was, failures are told
// in one line, and an interrupt leaves no process behind.
#include "support/processes.h"
#include "support/requiredtools.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString launcherPath = QStringLiteral(MOVARA_BIN_DIR "/movara-phone");

const QStringList phonePaths = {"/ezxlocal/download/mystuff/MyPhotos",
                                "/ezxlocal/download/mystuff/MyRingTone",
                                "/ezxlocal/download/mystuff/MyPlaylist", "/mmc/mmca1",
                                "/ezx_user/download/appwrite/setup/ezx_system.cfg"};

QStringList rootEntries()
{
    return QDir("/").entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                               QDir::NoDotAndDotDot);
}

// The first folder from path up to the root that other users cannot pass, or "".
QString folderClosedToOthers(const QString &path)
{
    for (QDir dir(path);; dir.cdUp()) {
        if (!(QFile::permissions(dir.path()) & QFile::ExeOther))
            return dir.path();
        if (dir.isRoot())
            return {};
    }
}

} // namespace

class TestPhoneLauncher : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void phonePathsLeadToThePhoneFolder();
    void ownFoldersAsRoots();
    void pathsFromTheWorkingFolder_data();
    void pathsFromTheWorkingFolder();
    void privateDisplayAndExitStatus();
    void failures_data();
    void failures();
    void interruptLeavesNothingBehind();
    void engineChoiceIsRemembered();
    void soundAndAddressesComeThrough_data();
    void soundAndAddressesComeThrough();
    void worksWithoutRoot();
    void runtimeFolderIsChecked_data();
    void runtimeFolderIsChecked();
    void onlyThePhonesFoldersAreWritable();
    void hostPathsStayOneLineEach();

private:
    int launch(const QStringList &args, const QProcessEnvironment &extra = {},
               bool viaLauncher = true);

    QTemporaryDir work;
    QTemporaryDir elsewhere;
    QString phone;
    QByteArray out;
    QByteArray err;
};

void TestPhoneLauncher::initTestCase()
{
    MOVARA_REQUIRE_TOOLS("bwrap", "ffmpeg", "Xvfb", "/usr/bin/mplayer");
    QVERIFY(work.isValid());
    phone = work.filePath("phone");
}

// Runs the launcher with args, or with viaLauncher false the command args.
int TestPhoneLauncher::launch(const QStringList &args, const QProcessEnvironment &extra,
                              bool viaLauncher)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("MOVARA_PHONE");
    environment.remove("MOVARA_ENGINE");
    for (const QString &key : extra.keys())
        environment.insert(key, extra.value(key));
    QProcess launcher;
    launcher.setProcessEnvironment(environment);
    launcher.setWorkingDirectory(work.path());
    if (viaLauncher)
        launcher.start(launcherPath, args);
    else
        launcher.start(args.first(), args.mid(1));
    if (!launcher.waitForFinished(60000)) {
        launcher.kill();
        launcher.waitForFinished();
    }
    out = launcher.readAllStandardOutput();
    err = launcher.readAllStandardError();
    return launcher.exitStatus() == QProcess::NormalExit ? launcher.exitCode() : -1;
}

void TestPhoneLauncher::phonePathsLeadToThePhoneFolder()
{
    const QStringList rootBefore = rootEntries();
    const QString hostTmpName =
        "/tmp/.movara-host-tmp-" + QString::number(QCoreApplication::applicationPid());
    QFile hostTmp(hostTmpName);
    QVERIFY(hostTmp.open(QIODevice::WriteOnly));
    hostTmp.close();
    const QString script =
        "for p in " + phonePaths.join(' ') +
        "; do test -e \"$p\" && echo \"there $p\"; done; "
        "cat /ezx_user/download/appwrite/setup/ezx_system.cfg; "
        "ls /ezxlocal/download/mystuff/MyPhotos; "
        "echo written > /mmc/mmca1/written-inside; "
        "for d in /dev/fb0 /dev/keylight /dev/mixer /dev/tty0 /dev/console; do "
        "test -e $d && echo \"device $d\"; done; test -w /dev/null && echo null-ok; "
        "test -e " +
        hostTmpName + " || echo own-tmp";
    QCOMPARE(launch({"--phone", phone, "--", "/bin/sh", "-c", script}), 0);

    for (const QString &path : phonePaths)
        QVERIFY2(out.contains("there " + path.toUtf8()), out.constData());
    QVERIFY(out.contains("Brightness = "));
    QVERIFY(out.contains("LcdSleepTime = "));
    // The machine's own devices stay outside; the harmless ones are there.
    QVERIFY2(!out.contains("device "), out.constData());
    QVERIFY(out.contains("null-ok"));
    // A /tmp of its own, for the program's current-media file.
    QVERIFY(out.contains("own-tmp"));
    QFile written(phone + "/card/written-inside");
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), QByteArray("written\n"));

    // The demo media: videos with awkward names, sound, nested folders on the card.
    const QStringList videos = QDir(phone + "/video").entryList({"*.avi", "*.mp4"}, QDir::Files);
    QVERIFY(videos.size() >= 2);
    QVERIFY(out.contains(videos.first().toUtf8()));
    bool awkward = false;
    for (const QString &name : videos)
        awkward = awkward || (name.contains(' ') && name.toUtf8().size() > name.size());
    QVERIFY2(awkward, qPrintable(videos.join(", ")));
    QVERIFY(QDir(phone + "/audio").entryList({"*.mp3", "*.ogg", "*.wav"}, QDir::Files).size() >= 2);
    QVERIFY(QFileInfo(phone + "/card/Music/Album One/01 Opening.mp3").size() > 0);
    QVERIFY(QFileInfo(phone + "/card/Videos/Clips/Older clips/Rainbow.mp4").size() > 0);

    hostTmp.remove();
    QCOMPARE(rootEntries(), rootBefore);
    for (const char *top : {"/ezxlocal", "/ezx_user", "/mmc"})
        QVERIFY(!QFileInfo::exists(top));
}

void TestPhoneLauncher::ownFoldersAsRoots()
{
    QVERIFY(QDir().mkpath(work.filePath("Videos")));
    QVERIFY(QDir().mkpath(work.filePath("My Music")));
    QFile(work.filePath("Videos/mine.avi")).open(QIODevice::WriteOnly);
    QFile(work.filePath("My Music/mine.mp3")).open(QIODevice::WriteOnly);
    QCOMPARE(
        launch({"--phone", phone, "--video", work.filePath("Videos"), "--audio",
                work.filePath("My Music"), "/bin/sh", "-c",
                "ls /ezxlocal/download/mystuff/MyPhotos /ezxlocal/download/mystuff/MyRingTone"}),
        0);
    QVERIFY2(out.contains("mine.avi") && out.contains("mine.mp3"), out.constData());
    QVERIFY(!out.contains("Test pattern"));
}

void TestPhoneLauncher::pathsFromTheWorkingFolder_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("expected");

    const QString photos = "/ezxlocal/download/mystuff/MyPhotos";
    QTest::addRow("relative root")
        << QStringList{"--video", "Clips/.", "ls", photos} << QByteArray("clip.avi");
    QTest::addRow("command through a link")
        << QStringList{"./elsewhere-link/hello"} << QByteArray("hello from elsewhere");
    QTest::addRow("command on the PATH")
        << QStringList{"hello"} << QByteArray("hello from elsewhere");
}

// A relative root and commands from outside the working folder reach the
// sandbox: the command's own folder is bound, found through a link or the PATH.
void TestPhoneLauncher::pathsFromTheWorkingFolder()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, expected);

    QVERIFY(QDir().mkpath(work.filePath("Clips")));
    QFile(work.filePath("Clips/clip.avi")).open(QIODevice::WriteOnly);
    QFile::link(elsewhere.path(), work.filePath("elsewhere-link"));
    QFile hello(elsewhere.filePath("hello"));
    QVERIFY(hello.open(QIODevice::WriteOnly));
    hello.write("#!/bin/sh\necho hello from elsewhere\n");
    hello.close();
    hello.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    QProcessEnvironment extra;
    extra.insert("PATH", elsewhere.path() + ":" + qEnvironmentVariable("PATH"));

    QCOMPARE(launch(QStringList{"--phone", phone} + args, extra), 0);
    QVERIFY2(out.contains(expected), (out + err).constData());
}

void TestPhoneLauncher::privateDisplayAndExitStatus()
{
    const bool probe = !QStandardPaths::findExecutable("xwininfo").isEmpty();
    const QString script = QString("echo \"display=$DISPLAY\"; %1 exit 7")
                               .arg(probe ? "xwininfo -root >/dev/null && echo x-ok;" : "");
    QCOMPARE(launch({"--phone", phone, "/bin/sh", "-c", script}), 7);
    const int at = out.indexOf("display=:");
    QVERIFY2(at >= 0, out.constData());
    const QByteArray number = out.mid(at + 9, out.indexOf('\n', at) - at - 9);
    QVERIFY(!number.isEmpty());
    if (probe)
        QVERIFY(out.contains("x-ok"));
    // The private server has gone with the launcher.
    QTRY_VERIFY(!QFileInfo::exists("/tmp/.X11-unix/X" + QString::fromLatin1(number)));
}

void TestPhoneLauncher::failures_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("variable");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("message");

    QTest::addRow("phone folder not writable")
        << QStringList{"--phone", "/proc/version/phone", "true"} << ""
        << "" << QByteArray("is not writable");
    QTest::addRow("MPlayer missing")
        << QStringList{"--engine", "mplayer", "true"} << "MOVARA_MPLAYER"
        << "/nonexistent/mplayer" << QByteArray("MPlayer is missing");
    QTest::addRow("mpv missing") << QStringList{"--engine", "mpv", "true"} << "MOVARA_MPV"
                                 << "/nonexistent/mpv" << QByteArray("mpv is missing");
    QTest::addRow("unknown engine") << QStringList{"--engine", "vlc", "true"} << ""
                                    << "" << QByteArray("--engine wants mplayer or mpv");
    QTest::addRow("ffmpeg missing for a new phone folder")
        << QStringList{"--phone", "@fresh", "true"} << "MOVARA_FFMPEG"
        << "/nonexistent/ffmpeg" << QByteArray("ffmpeg is missing");
    QTest::addRow("no display and no Xvfb") << QStringList{"true"} << "MOVARA_XVFB"
                                            << "/nonexistent/Xvfb" << QByteArray("Xvfb is missing");
    QTest::addRow("tour folder not writable") << QStringList{"--tour", "/proc/version/tour"} << ""
                                              << "" << QByteArray("is not writable");
    QTest::addRow("a command with the tour") << QStringList{"--tour", "@fresh", "true"} << ""
                                             << "" << QByteArray("give no command");
    QTest::addRow("sandbox not allowed") << QStringList{"true"} << "PATH"
                                         << "@fakebwrap" << QByteArray("may not create a sandbox");
    QTest::addRow("sandbox not allowed since the last start")
        << QStringList{"true"} << "PATH"
        << "@fakebwrap-replaced" << QByteArray("may not create a sandbox");
    QTest::addRow("own root missing") << QStringList{"--video", "/nonexistent/Videos", "true"} << ""
                                      << "" << QByteArray("no such folder");
}

void TestPhoneLauncher::failures()
{
    QFETCH(QStringList, args);
    QFETCH(QString, variable);
    QFETCH(QString, value);
    QFETCH(QByteArray, message);

    args.replaceInStrings("@fresh", work.filePath("fresh-phone"));
    if (!args.contains("--phone"))
        args = QStringList{"--phone", phone} + args;
    if (value.startsWith("@fakebwrap")) {
        const QString bin = work.filePath("fakebin");
        QVERIFY(QDir().mkpath(bin));
        const auto writeBwrap = [&](const QByteArray &script) {
            QFile fake(bin + "/bwrap");
            fake.remove();
            QVERIFY(fake.open(QIODevice::WriteOnly));
            fake.write("#!/bin/sh\n" + script);
            fake.close();
            fake.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        };
        const QString path = bin + ":" + qEnvironmentVariable("PATH");
        if (value == "@fakebwrap-replaced") {
            // First one that works, so that the phone folder notes it may.
            writeBwrap("exec " + QFile::encodeName(QStandardPaths::findExecutable("bwrap")) +
                       " \"$@\"\n");
            QProcessEnvironment first;
            first.insert("PATH", path);
            QCOMPARE(launch({"--phone", phone, "true"}, first), 0);
        }
        // A bubblewrap that is refused its namespaces, as on a locked-down machine.
        writeBwrap("echo 'bwrap: No permissions to create new namespace' >&2\nexit 1\n");
        value = path;
    }
    QProcessEnvironment extra;
    if (!variable.isEmpty())
        extra.insert(variable, value);

    QVERIFY(launch(args, extra) != 0);
    QVERIFY2(err.contains(message), err.constData());
    QCOMPARE(err.count('\n'), 1);
    QVERIFY(err.startsWith("movara-phone: "));
}

void TestPhoneLauncher::interruptLeavesNothingBehind()
{
    const QByteArray marker =
        "movara-phone-test-" + QByteArray::number(QRandomGenerator::global()->generate());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    QProcess launcher;
    launcher.setProcessEnvironment(environment);
    launcher.start(launcherPath,
                   {"--phone", phone, "/bin/sh", "-c", "sleep 60; : " + QString(marker)});
    QVERIFY(launcher.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(!processesWith(marker).isEmpty(), 20000);
    QByteArray said;
    QTRY_VERIFY((said += launcher.readAllStandardError()).contains("Xvfb :"));
    const int at = said.indexOf("Xvfb :");
    QVERIFY2(at >= 0, said.constData());
    const QByteArray display = said.mid(at + 6).split(' ').first();
    const QString socket = "/tmp/.X11-unix/X" + QString::fromLatin1(display);
    QVERIFY(QFileInfo::exists(socket));

    ::kill(pid_t(launcher.processId()), SIGINT);
    QVERIFY(launcher.waitForFinished(5000));
    QTRY_VERIFY_WITH_TIMEOUT(processesWith(marker).isEmpty(), 3000);
    QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(socket), 3000);
}

void TestPhoneLauncher::engineChoiceIsRemembered()
{
    MOVARA_REQUIRE_TOOLS("/usr/bin/mpv", "/usr/bin/mplayer");
    // A phone folder without demo media: only the choice matters here.
    const QString own = work.filePath("engine-phone");
    for (const char *dir : {"video", "audio", "playlist", "card"})
        QVERIFY(QDir().mkpath(own + "/" + dir));
    for (const char *file : {"/.demo-made", "/ezx_system.cfg"}) {
        QFile made(own + file);
        QVERIFY(made.open(QIODevice::WriteOnly));
    }
    const QStringList show = {"/bin/sh", "-c", "echo engine=$MOVARA_ENGINE"};

    QCOMPARE(launch(QStringList{"--phone", own, "--engine", "mpv"} + show), 0);
    QVERIFY2(out.contains("engine=mpv\n"), out.constData());
    QCOMPARE(launch(QStringList{"--phone", own} + show), 0);
    QVERIFY2(out.contains("engine=mpv\n"), out.constData());
    QProcessEnvironment missing;
    missing.insert("MOVARA_MPV", "/nonexistent/mpv");
    QVERIFY(launch(QStringList{"--phone", own} + show, missing) != 0);
    QVERIFY2(err.contains("mpv is missing"), err.constData());
    QCOMPARE(launch(QStringList{"--phone", own, "--engine", "mplayer"} + show), 0);
    QVERIFY2(out.contains("engine=mplayer\n"), out.constData());
}

void TestPhoneLauncher::soundAndAddressesComeThrough_data()
{
    QTest::addColumn<QString>("variable");
    QTest::addColumn<QString>("socketIn"); // relative to a folder under /tmp
    QTest::addColumn<QString>("value");    // of the variable, "%1" the folder
    QTest::newRow("runtime folder under /tmp") << "XDG_RUNTIME_DIR"
                                               << "pulse/native"
                                               << "%1";
    QTest::newRow("sound server named under /tmp") << "PULSE_SERVER"
                                                   << "sound"
                                                   << "unix:%1/sound";
}

// The sound server's socket under /tmp, which the sandbox's own /tmp would
// hide, and where the phone's paths are on this machine.
void TestPhoneLauncher::soundAndAddressesComeThrough()
{
    QFETCH(QString, variable);
    QFETCH(QString, socketIn);
    QFETCH(QString, value);
    MOVARA_REQUIRE_TOOLS("python3");
    QTemporaryDir folder("/tmp/movara-sound-XXXXXX");
    QVERIFY(folder.isValid());
    const QString socketPath = folder.filePath(socketIn);
    QVERIFY(QDir().mkpath(QFileInfo(socketPath).path()));
    QCOMPARE(QProcess::execute("python3", {"-c",
                                           "import socket, sys; "
                                           "socket.socket(socket.AF_UNIX).bind(sys.argv[1])",
                                           socketPath}),
             0);

    QProcessEnvironment extra;
    extra.insert(variable, value.arg(folder.path()));
    QCOMPARE(launch({"--phone", phone, "/bin/sh", "-c",
                     "test -S " + socketPath + " && echo sound-ok; echo \"$MOVARA_HOST_PATHS\""},
                    extra),
             0);
    QVERIFY2(out.contains("sound-ok"), out.constData());
    for (const QString &binding : {"/mmc/mmca1=" + phone + "/card",
                                   "/ezxlocal/download/mystuff/MyPhotos=" + phone + "/video"})
        QVERIFY2(out.contains(binding.toUtf8() + '\n'), out.constData());
}

void TestPhoneLauncher::worksWithoutRoot()
{
    if (geteuid() != 0 || QStandardPaths::findExecutable("setpriv").isEmpty())
        QSKIP("needs root to become another user, and setpriv");
    // An ordinary user with a home of its own, running a copy of the launcher:
    // the build folder may sit where only its owner can enter (a 0700 home).
    QFile::setPermissions(work.path(), QFile::permissions(work.path()) | QFile::ExeOther);
    const QString closed = folderClosedToOthers(work.path());
    if (!closed.isEmpty())
        QSKIP(qPrintable(closed + " holds the temporary folder and other users cannot enter it"));
    const QString launcher = work.filePath("launcher/movara-phone");
    QVERIFY(QDir().mkpath(work.filePath("launcher")));
    QVERIFY(QFile::copy(launcherPath, launcher));
    QVERIFY(QFile::setPermissions(launcher, QFile::permissions(launcher) | QFile::ReadOther |
                                                QFile::ExeOther));
    const QString home = work.filePath("home-nobody");
    QVERIFY(QDir().mkpath(home));
    QCOMPARE(::chown(QFile::encodeName(home).constData(), 65534, 65534), 0);
    QProcessEnvironment extra;
    extra.insert("HOME", home);
    const int status =
        launch({"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", launcher,
                "--", "/bin/sh", "-c",
                "id -u; ls /ezxlocal/download/mystuff/MyRingTone; test -d /mmc/mmca1/Music"},
               extra, false);
    if (err.contains("may not create a sandbox"))
        QSKIP("this machine allows no user namespaces to ordinary users");
    QCOMPARE(status, 0);
    QVERIFY2(out.startsWith("65534\n") && out.contains("Ring tone.mp3"), out.constData());
    QVERIFY(QFileInfo::exists(home + "/.local/share/movara/phone/ezx_system.cfg"));
}

void TestPhoneLauncher::runtimeFolderIsChecked_data()
{
    QTest::addColumn<QString>("value"); // "%1": a folder under /tmp holding rt and rt-link -> rt
    QTest::addColumn<int>("owner");     // of rt, -1 this user
    QTest::addColumn<int>("mode");      // of rt
    QTest::addColumn<bool>("taken");
    QTest::newRow("own and closed") << "%1/rt" << -1 << 0700 << true;
    QTest::newRow("the parent of /tmp") << "/tmp/.." << -1 << 0700 << false;
    QTest::newRow("a link") << "%1/rt-link" << -1 << 0700 << false;
    QTest::newRow("another user's") << "%1/rt" << 65534 << 0700 << false;
    QTest::newRow("open to others") << "%1/rt" << -1 << 0755 << false;
}

// A runtime folder that is not the user's own real one is left out with a
// word, never bound: a file written there would land where it leads.
void TestPhoneLauncher::runtimeFolderIsChecked()
{
    QFETCH(QString, value);
    QFETCH(int, owner);
    QFETCH(int, mode);
    QFETCH(bool, taken);
    if (owner >= 0 && geteuid() != 0)
        QSKIP("needs root to give a folder to another user");
    QTemporaryDir folder("/tmp/movara-runtime-XXXXXX");
    QVERIFY(folder.isValid());
    const QByteArray rt = QFile::encodeName(folder.filePath("rt"));
    QCOMPARE(::mkdir(rt.constData(), mode_t(mode)), 0);
    QCOMPARE(::chmod(rt.constData(), mode_t(mode)), 0);
    if (owner >= 0)
        QCOMPARE(::chown(rt.constData(), uid_t(owner), gid_t(owner)), 0);
    QVERIFY(QFile::link(folder.filePath("rt"), folder.filePath("rt-link")));
    value.replace("%1", folder.path());
    const QString landing = QDir(value).canonicalPath();
    const QString probe =
        ".movara-runtime-probe-" + QString::number(QCoreApplication::applicationPid());

    const QStringList rootBefore = rootEntries();
    QProcessEnvironment extra;
    extra.insert("XDG_RUNTIME_DIR", value);
    const int status = launch({"--phone", phone, "/bin/sh", "-c",
                               "test -d /ezxlocal/download/mystuff/MyPhotos && echo phone-ok; "
                               "echo \"runtime=$XDG_RUNTIME_DIR\"; touch \"$XDG_RUNTIME_DIR/" +
                                   probe + "\" && echo wrote"},
                              extra);
    const bool landed = QFile::remove(landing + "/" + probe);
    QCOMPARE(status, 0);
    QVERIFY2(out.contains("phone-ok") && out.contains("wrote"), (out + err).constData());
    QCOMPARE(landed, taken);
    QCOMPARE(out.contains("runtime=" + value.toUtf8() + '\n'), taken);
    QCOMPARE(err.contains("runtime folder " + value.toUtf8()), !taken);
    QCOMPARE(rootEntries(), rootBefore);
}

// The machine's folders, home and the working folder are read-only inside;
// the phone's folders and the runtime folder are writable.
void TestPhoneLauncher::onlyThePhonesFoldersAreWritable()
{
    const QString home = work.filePath("home-own");
    QVERIFY(QDir().mkpath(home));
    const QStringList readOnly = {"/etc", "/usr", "/var/tmp", "/run", "$HOME", "$PWD"};
    const QStringList writable = {"/ezxlocal/download/mystuff/MyPlaylist",
                                  "/ezx_user/download/appwrite/movara", "$XDG_RUNTIME_DIR", "/tmp"};
    QString script;
    for (const QString &dir : readOnly + writable) {
        const QString probe = "\"" + dir + "/.movara-write-probe\"";
        script +=
            "touch " + probe + " 2>/dev/null && echo 'wrote " + dir + "'; rm -f " + probe + "; ";
    }
    QProcessEnvironment extra;
    extra.insert("HOME", home);
    QCOMPARE(launch({"--phone", phone, "/bin/sh", "-c", script}, extra), 0);
    QCOMPARE(out, "wrote " + writable.join("\nwrote ").toUtf8() + '\n');
}

// A folder whose name holds a line break or "%" stays one line of the map of
// phone paths to host paths.
void TestPhoneLauncher::hostPathsStayOneLineEach()
{
    const QString card = work.filePath("card\n/ezxlocal/download/mystuff/MyPhotos=/etc 100%41");
    QVERIFY(QDir().mkpath(card));
    QCOMPARE(launch({"--phone", phone, "--card", card, "/bin/sh", "-c",
                     "printf %s \"$MOVARA_HOST_PATHS\""}),
             0);
    const QList<QByteArray> lines = out.trimmed().split('\n');
    QCOMPARE(lines.size(), 5);
    QVERIFY(lines.at(3).startsWith("/mmc/mmca1="));
    QCOMPARE(QByteArray::fromPercentEncoding(lines.at(3).mid(11)), card.toUtf8());
}

QTEST_MAIN(TestPhoneLauncher)
#include "tst_phonelauncher.moc"

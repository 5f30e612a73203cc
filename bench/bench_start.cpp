// Return to the engine's start: the window (offscreen, in the phone's roots of
// phone-sandbox.sh) plays a 20 MB MP3 with a 2 MB picture inside and the same
// sound untagged, each twice in a row, by a Return key on its row, and stops it
// with F2 at once, so that the reader is still busy with the first play's tags
// as the second starts. Figures: from the key to the scripted engine's own start
// (its log's monotonic clock), medians with min and max, the tagged against
// the untagged. Prints figures; asserts nothing.
//   tests/phone-sandbox.sh --bind SRC --bind BUILD -- BUILD/bin/bench_start [rounds]

#include "support/enginetesthelpers.h"

#include "platform/phonescreen.h"
#include "platform/zapplication.h"
#include "platform/zmainwidget.h"
#include "ui/movara.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {
const QString audioRoot = QStringLiteral("/ezxlocal/download/mystuff/MyRingTone");
const QString folder = audioRoot + QStringLiteral("/Bench");

double monotonicMs()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

bool makeMedium(const QString &path, const QString &cover)
{
    QStringList args = {"-v", "error", "-y", "-f", "lavfi", "-i", "anoisesrc=d=1000:seed=7"};
    if (!cover.isEmpty()) {
        args += {"-i", cover, "-map", "0:a", "-map", "1", "-c:v", "copy"};
        args += {"-id3v2_version", "3", "-metadata", "title=Big", "-metadata", "artist=B"};
    }
    args += {"-b:a", "160k", path};
    return QProcess::execute(QStringLiteral("ffmpeg"), args) == 0;
}

struct Figures
{
    QList<double> ms;
    double median() const
    {
        QList<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        return sorted.isEmpty() ? 0 : sorted.at(sorted.size() / 2);
    }
    double min() const { return ms.isEmpty() ? 0 : *std::min_element(ms.begin(), ms.end()); }
    double max() const { return ms.isEmpty() ? 0 : *std::max_element(ms.begin(), ms.end()); }
};
} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ZApplication app(argc, argv);
    const int rounds = argc > 1 ? qMax(1, atoi(argv[1])) : 20;
    // Only in the phone's roots of a sandbox: the machine's own root is left alone.
    if (!QFileInfo(audioRoot).isDir() || !QDir(audioRoot).mkpath(QStringLiteral("Bench"))) {
        std::fprintf(stderr, "run in the phone's roots: tests/phone-sandbox.sh ... -- %s\n",
                     argv[0]);
        return 2;
    }
    // The media go with the bench, however it ends.
    const auto removeMedia = qScopeGuard([] { QDir(folder).removeRecursively(); });
    QTemporaryDir work;
    const QString cover = work.filePath(QStringLiteral("bench-cover.png"));
    QImage noise(1000, 700, QImage::Format_RGB32);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, QRandomGenerator::global()->generate());
    noise.save(cover);
    // By name: the untagged one is the folder's first row, the tagged its second.
    const QString plain = folder + QStringLiteral("/a plain.mp3");
    const QString tagged = folder + QStringLiteral("/b tagged.mp3");
    if (!makeMedium(plain, QString()) || !makeMedium(tagged, cover)) {
        std::fprintf(stderr, "ffmpeg could not make the media\n");
        return 1;
    }
    QFile::remove(cover);
    std::printf("media: untagged %.1f MB, tagged %.1f MB (cover %.1f MB)\n",
                QFile(plain).size() / 1e6, QFile(tagged).size() / 1e6,
                (QFile(tagged).size() - QFile(plain).size()) / 1e6);

    EngineFixture engine;
    if (!engine.installEngine())
        return 1;
    // No output: the engine waits for its commands.
    engine.setScript(QString());
    auto *window = new Movara("Movara");
    window->start();
    PhoneScreen *screen = PhoneScreen::of(window->mainWidget);
    if (!screen || !QTest::qWaitForWindowActive(screen))
        return 1;
    const auto key = [screen](Qt::Key k) { QTest::keyClick(screen->windowHandle(), k); };
    // The audio root (the second root), Bench, its first row.
    for (Qt::Key k : {Qt::Key_Down, Qt::Key_Return, Qt::Key_Return})
        key(k);

    Figures untaggedStart, taggedStart, untaggedKey, taggedKey;
    // Each medium twice in a row, the second start measured: it comes while the
    // reader is still at the first.
    for (int round = 0; round < rounds * 4; ++round) {
        const bool isTagged = round % 4 >= 2;
        const bool measured = round % 2 == 1;
        const int starts = int(engine.entries(QStringLiteral("start")).size());
        const double pressed = monotonicMs();
        key(Qt::Key_Return);
        const double handled = monotonicMs() - pressed;
        if (!QTest::qWaitFor(
                [&] { return engine.entries(QStringLiteral("start")).size() > starts; }, 10000)) {
            std::fprintf(stderr, "the engine did not start\n");
            return 1;
        }
        if (measured) {
            (isTagged ? taggedKey : untaggedKey).ms.append(handled);
            (isTagged ? taggedStart : untaggedStart)
                .ms.append(engine.lastEntryTime("start") - pressed);
        }
        key(Qt::Key_F2);
        if (!QTest::qWaitFor([window] { return !window->isPlayMode(); }, 10000))
            return 1;
        if (measured)
            key(isTagged ? Qt::Key_Up : Qt::Key_Down);
    }
    window->destroy();
    delete window;
    delete screen;
    const auto print = [](const char *what, const Figures &untagged, const Figures &tagged) {
        std::printf("%s, median (min to max):\n"
                    "  untagged %.2f ms (%.2f to %.2f)\n"
                    "  tagged   %.2f ms (%.2f to %.2f), %.2f x the untagged\n",
                    what, untagged.median(), untagged.min(), untagged.max(), tagged.median(),
                    tagged.min(), tagged.max(),
                    untagged.median() > 0 ? tagged.median() / untagged.median() : 0.0);
    };
    std::printf("%d rounds each\n", rounds);
    print("Return to the engine's start", untaggedStart, taggedStart);
    print("the window's handling of the key (the engine started from it)", untaggedKey, taggedKey);
    return 0;
}

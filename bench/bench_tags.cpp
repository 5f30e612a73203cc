// What reading a medium's tags and cover costs the window: a 20 MB MP3
// with a 2 MB picture inside, made by ffmpeg. The read runs on the reader's
// thread; the window thread pays for the request and waits on nothing. The
// longest gap of a 1 ms timer on the window thread while the read runs is
// set beside the same gap with nothing read. Prints figures; asserts nothing.

#include "player/mvtagreader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {
// The longest gap between 1 ms timer shots on this thread while `work` runs to `done`.
template <typename Start> double longestGapMs(Start start, const std::function<bool()> &done)
{
    QElapsedTimer since;
    double longest = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest = qMax(longest, since.nsecsElapsed() / 1e6);
        since.restart();
    });
    tick.start(1);
    since.start();
    start();
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return longest;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString cover = dir.filePath(QStringLiteral("cover.png"));
    QImage noise(1000, 700, QImage::Format_RGB32);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, QRandomGenerator::global()->generate());
    noise.save(cover);
    const QString medium = dir.filePath(QStringLiteral("big.mp3"));
    if (QProcess::execute(QStringLiteral("ffmpeg"), {"-v",
                                                     "error",
                                                     "-y",
                                                     "-f",
                                                     "lavfi",
                                                     "-i",
                                                     "anoisesrc=d=1000",
                                                     "-i",
                                                     cover,
                                                     "-map",
                                                     "0:a",
                                                     "-map",
                                                     "1",
                                                     "-c:v",
                                                     "copy",
                                                     "-b:a",
                                                     "160k",
                                                     "-id3v2_version",
                                                     "3",
                                                     "-metadata",
                                                     "title=Big",
                                                     medium}) != 0) {
        std::fprintf(stderr, "ffmpeg could not make the medium\n");
        return 1;
    }
    std::printf("medium %.1f MB, cover %.1f MB\n", QFile(medium).size() / 1e6,
                QFile(cover).size() / 1e6);

    MvTagReader reader;
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer timer;
        timer.start();
        const MvMediaTags tags = MvTagReader::read(medium, QSize(100, 100));
        const double readMs = timer.nsecsElapsed() / 1e6;

        bool answered = false;
        const auto connection =
            QObject::connect(&reader, &MvTagReader::tagsRead, [&answered] { answered = true; });
        double requestMs = 0;
        const double busy = longestGapMs(
            [&] {
                QElapsedTimer posting;
                posting.start();
                reader.request(medium);
                requestMs = posting.nsecsElapsed() / 1e6;
            },
            [&answered] { return answered; });
        QObject::disconnect(connection);
        QElapsedTimer idleFor;
        idleFor.start();
        const double idle = longestGapMs(
            [] {}, [&idleFor, readMs] { return idleFor.nsecsElapsed() / 1e6 > readMs; });
        std::printf("round %d: read %.1f ms on the reader's thread (cover %s); request on the "
                    "window thread %.3f ms; longest window-thread gap %.2f ms while reading, "
                    "%.2f ms idle (ratio %.2f)\n",
                    round + 1, readMs, tags.cover.isNull() ? "none" : "read", requestMs, busy, idle,
                    idle > 0 ? busy / idle : 0.0);
    }
    return 0;
}

// Opens a 10,000-entry .m3u8 to the first entry handed to the engine (read,
// parse, queue, resolve, check, write the one-line hand-off file) and
// compares it with a bare read-and-split of the same file and the same
// hand-off; measures the heap the loaded list holds against the entries' own
// text. Prints figures only.
#include "core/mvplaylist.h"
#include "player/mvplayqueue.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <malloc.h>
#include <memory>
#include <vector>

namespace {
constexpr int Entries = 10000;
constexpr int Runs = 21;

bool handOver(const QString &handoff, const QString &path)
{
    QFile file(handoff);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(QFile::encodeName(path) + '\n') > 0;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("Album")));
    QFile media(dir.filePath(QStringLiteral("Album/track 00001.mp3")));
    if (!media.open(QIODevice::WriteOnly))
        return 1;

    QByteArray text("#EXTM3U\n");
    qint64 ownText = 0;
    for (int i = 1; i <= Entries; ++i) {
        const QByteArray title =
            "Artist " + QByteArray::number(i % 37) + " - Title " + QByteArray::number(i);
        const QByteArray entry =
            "Album/track " + QByteArray::number(i).rightJustified(5, '0') + ".mp3";
        text += "#EXTINF:" + QByteArray::number(180 + i % 120) + ',' + title + '\n' + entry + '\n';
        ownText += title.size() + entry.size();
    }
    const QString listPath = dir.filePath(QStringLiteral("list.m3u8"));
    QFile out(listPath);
    out.open(QIODevice::WriteOnly);
    out.write(text);
    out.close();
    const QString handoff = dir.filePath(QStringLiteral("curmedia.name"));

    std::vector<double> bare, opened;
    for (int run = 0; run < Runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        {
            QFile file(listPath);
            file.open(QIODevice::ReadOnly);
            const QList<QByteArray> lines = file.readAll().split('\n');
            handOver(handoff, dir.filePath(QString::fromUtf8(lines.at(2))));
        }
        bare.push_back(timer.nsecsElapsed() / 1e6);

        timer.start();
        {
            auto list = std::make_shared<MvPlaylist>();
            list->load(listPath);
            MvPlayQueue queue;
            queue.setPlaylist(list, 0);
            const QString first = queue.path(queue.current());
            if (MvPlaylist::canHandOver(first))
                handOver(handoff, first);
        }
        opened.push_back(timer.nsecsElapsed() / 1e6);
    }

    const size_t before = mallinfo2().uordblks;
    auto kept = std::make_unique<MvPlaylist>();
    kept->load(listPath);
    const size_t held = mallinfo2().uordblks - before;

    const double b = median(bare), o = median(opened);
    std::printf("playlist of %d entries, %lld bytes\n", kept->count(), qlonglong(text.size()));
    std::printf("bare read and split + hand-off: %.2f ms (median of %d)\n", b, Runs);
    std::printf("open to first hand-off:         %.2f ms (median of %d)  ratio %.2f"
                "  (limits: 50 ms, 1.5)\n",
                o, Runs, o / b);
    std::printf("heap held: %.1f bytes/entry, entries' own text %.1f bytes/entry  ratio %.2f"
                "  (limit 2)\n",
                double(held) / Entries, double(ownText) / Entries, double(held) / ownText);
    return 0;
}

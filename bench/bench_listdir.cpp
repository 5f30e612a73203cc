// Lists a folder of 100,000 media files and 200 sub-folders with the browser
// and compares it with the least a listing can do the same way (readdir with
// the entry type, a stat only where the type is not known, the browser's media
// extensions, a QString per name, sort); measures the heap a row costs against
// that QString per name; scrolls the list; and times the Down key at three
// list sizes. Prints figures only.
#include "browser/mvfilebrowser.h"
#include "core/medialisting.h"
#include "core/mvsharepixmap.h"
#include "platform/qlistbox.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Files = 100000;
constexpr int Folders = 200;
constexpr int Runs = 5;
constexpr int WalkSizes[] = {1000, 10000, 100000};
constexpr int WalkKeys = 1000;
constexpr size_t ScrollFrames = 10000;

const QStringList Patterns =
    QStringLiteral("*.m* *.ogg *.avi *.rm* *.qt *.3* *.asf *.w* *.dat").split(QLatin1Char(' '));
const char *const Extensions[] = {".avi", ".mp3", ".ogg", ".mp4", ".3gp", ".wmv", ".wav"};

struct Entry
{
    QString name;
    bool dir;
};

// The reference: readdir trusting the entry type as the browser does, a
// QString per kept name, sorted folders first.
QList<Entry> plainListing(const QByteArray &folder)
{
    QList<Entry> entries;
    DIR *d = opendir(folder.constData());
    if (!d)
        return entries;
    while (dirent *e = readdir(d)) {
        const char *name = e->d_name;
        if (name[0] == '.')
            continue;
        bool dir = e->d_type == DT_DIR;
        if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
            struct stat st;
            if (fstatat(dirfd(d), name, &st, 0) != 0)
                continue;
            dir = S_ISDIR(st.st_mode);
            if (!dir && !S_ISREG(st.st_mode))
                continue;
        } else if (!dir && e->d_type != DT_REG) {
            continue;
        }
        QString text = QString::fromUtf8(name, qsizetype(std::strlen(name)));
        if (dir || mediaKindOf(text) != MediaKind::None)
            entries.append({std::move(text), dir});
    }
    closedir(d);
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        return a.dir != b.dir ? a.dir : QStringView(a.name).compare(QStringView(b.name)) < 0;
    });
    return entries;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Heap in use, counting the large blocks malloc maps on their own.
size_t heapInUse()
{
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

void makeFiles(const QString &folder, int files, int folders)
{
    QDir().mkpath(folder);
    for (int i = 0; i < folders; ++i)
        QDir().mkdir(folder + QString::asprintf("/Folder %03d", i));
    const QByteArray raw = QFile::encodeName(folder);
    for (int i = 0; i < files; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "/clip %06d%s", int((i * 7919LL) % files),
                      Extensions[i % 7]);
        ::close(::open((raw + name).constData(), O_CREAT | O_WRONLY, 0644));
    }
}

void layOut(QListBox *list)
{
    QCoreApplication::sendPostedEvents(list, QEvent::LayoutRequest);
    list->viewport()->repaint();
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    sharePixmap = new MvSharePixmap(&app);

    QTemporaryDir tmp;
    const QString folder = tmp.path() + "/big";
    makeFiles(folder, Files, Folders);
    const QByteArray raw = QFile::encodeName(folder);

    QWidget screen;
    screen.resize(240, 320);
    auto *browser = new MvFileBrowser(&screen, nullptr);
    auto *list = static_cast<QListBox *>(browser->listWidget());
    list->setGeometry(0, 0, 240, 320);
    screen.show();
    QApplication::processEvents();

    // Memory first, from a list that has held nothing bigger than the roots,
    // so the list's own arrays count too.
    browser->depth = 1;
    browser->listDir(tmp.path() + "/none", false);
    layOut(list);
    const size_t empty = heapInUse();
    browser->depth = 1;
    browser->listDir(folder, false);
    layOut(list);
    const int rows = list->count();
    const double programRow = double(heapInUse() - empty) / std::max(1, rows);
    browser->depth = 1;
    browser->listDir(tmp.path() + "/none", false);
    layOut(list);

    const size_t beforeNames = heapInUse();
    const QList<Entry> names = plainListing(raw);
    const double floorRow =
        double(heapInUse() - beforeNames) / std::max<qsizetype>(1, names.size());

    std::vector<double> plain, qt, browse;
    QElapsedTimer t;
    for (int run = 0; run < Runs; ++run) {
        t.start();
        plainListing(raw);
        plain.push_back(t.nsecsElapsed() / 1e6);

        t.start();
        QDir dir(folder);
        dir.setNameFilters(Patterns);
        dir.setSorting(QDir::Name | QDir::DirsFirst);
        dir.setFilter(QDir::Files | QDir::AllDirs | QDir::NoDotAndDotDot);
        const QFileInfoList infos = dir.entryInfoList();
        qt.push_back(t.nsecsElapsed() / 1e6);

        browser->depth = 1;
        t.start();
        browser->listDir(folder, false);
        layOut(list);
        browse.push_back(t.nsecsElapsed() / 1e6);
    }
    std::printf("listDir of %d files and %d folders (%d rows, plain listing %lld), median of %d:\n",
                Files, Folders, list->count(), static_cast<long long>(names.size()), Runs);
    std::printf("  plain readdir+d_type+filter+sort %8.2f ms\n", median(plain));
    std::printf("  QDir::entryInfoList              %8.2f ms  (%.2f x plain)\n", median(qt),
                median(qt) / median(plain));
    std::printf("  browser listDir + first paint    %8.2f ms  (%.2f x plain)\n", median(browse),
                median(browse) / median(plain));
    std::printf("heap per row, %d rows:\n", rows);
    std::printf("  a QString per name (floor)       %8.0f bytes\n", floorRow);
    std::printf("  browser rows                     %8.0f bytes  (%.2f x floor)\n", programRow,
                programRow / floorRow);

    QScrollBar *bar = list->verticalScrollBar();
    const int step = std::max(1, bar->singleStep());
    std::vector<double> frames;
    double slowest = 0;
    for (int v = 0; v <= bar->maximum() && frames.size() < ScrollFrames; v += step) {
        t.start();
        bar->setValue(v);
        list->viewport()->repaint();
        const double ms = t.nsecsElapsed() / 1e6;
        frames.push_back(ms);
        slowest = std::max(slowest, ms);
    }
    std::printf("scrolling down, one row (%d px) a frame, %zu frames:\n", step, frames.size());
    std::printf("  median frame %.3f ms, slowest frame %.3f ms\n", median(frames), slowest);

    frames.clear();
    slowest = 0;
    const int page = std::max(1, bar->pageStep());
    for (int v = 0; v <= bar->maximum(); v += page) {
        t.start();
        bar->setValue(v);
        list->viewport()->repaint();
        const double ms = t.nsecsElapsed() / 1e6;
        frames.push_back(ms);
        slowest = std::max(slowest, ms);
    }
    std::printf(
        "  top to bottom, a page (%d px) a frame, %zu frames: median %.3f ms, slowest %.3f ms\n",
        page, frames.size(), median(frames), slowest);

    // The last keys of a walk down the whole list: where a search from the
    // top would cost most. The repaint of each step is left to the event
    // loop, as on the phone between key presses.
    std::printf("Down key over the last %d rows, per key (median of %d walks):\n", WalkKeys, Runs);
    for (const int size : WalkSizes) {
        const QString walkFolder = size == Files ? folder : tmp.path() + QString::number(size);
        if (size != Files)
            makeFiles(walkFolder, size, 0);
        browser->depth = 1;
        browser->listDir(walkFolder, false);
        layOut(list);
        std::vector<double> perKey;
        for (int run = 0; run < Runs; ++run) {
            list->setCurrentItem(list->count() - WalkKeys);
            QApplication::processEvents();
            t.start();
            for (int k = 1; k < WalkKeys; ++k) {
                QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
                QApplication::sendEvent(list, &down);
            }
            perKey.push_back(t.nsecsElapsed() / 1e3 / (WalkKeys - 1));
            if (list->currentItem() != list->count() - 1)
                std::printf("  walk ended at row %d of %d\n", list->currentItem(), list->count());
        }
        std::printf("  %6d rows  %8.2f us\n", list->count(), median(perKey));
    }
    return 0;
}

// Lists a folder of 10,000 media files and 200 sub-folders with the browser
// and compares it with a plain readdir + stat + filter + sort of the same
// folder; then scrolls the list from top to bottom. Prints figures only.
#include "app/mvsharepixmap.h"
#include "browser/mvfilebrowser.h"
#include "platform/qlistbox.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <malloc.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Files = 10000;
constexpr int Folders = 200;
constexpr int Runs = 9;

const char *const Patterns[] = {"*.m*", "*.ogg", "*.avi", "*.rm*", "*.qt",
                                "*.3*", "*.asf", "*.w*",  "*.dat"};
const char *const Extensions[] = {".avi", ".mp3", ".ogg", ".mp4", ".3gp", ".wmv", ".wav"};

struct Entry
{
    std::string name;
    bool dir;
};

// The reference: what any listing has to do at the least.
size_t plainListing(const std::string &folder)
{
    std::vector<Entry> entries;
    DIR *d = opendir(folder.c_str());
    if (!d)
        return 0;
    while (dirent *e = readdir(d)) {
        const char *name = e->d_name;
        if (name[0] == '.')
            continue;
        struct stat st;
        if (fstatat(dirfd(d), name, &st, 0) != 0)
            continue;
        const bool dir = S_ISDIR(st.st_mode);
        bool keep = dir;
        for (const char *p : Patterns)
            keep = keep || fnmatch(p, name, 0) == 0;
        if (keep)
            entries.push_back({name, dir});
    }
    closedir(d);
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        return a.dir != b.dir ? a.dir : a.name < b.name;
    });
    return entries.size();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

size_t heapInUse()
{
    return mallinfo2().uordblks;
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
    QDir().mkpath(folder);
    for (int i = 0; i < Folders; ++i)
        QDir().mkdir(folder + QString::asprintf("/Folder %03d", i));
    const QByteArray raw = QFile::encodeName(folder);
    for (int i = 0; i < Files; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "/clip %05d%s", (i * 7919) % Files, Extensions[i % 7]);
        ::close(::open((raw + name).constData(), O_CREAT | O_WRONLY, 0644));
    }

    QWidget screen;
    screen.resize(240, 320);
    auto *browser = new MvFileBrowser(&screen, nullptr);
    auto *list = static_cast<QListBox *>(browser->listWidget());
    list->setGeometry(0, 0, 240, 320);
    screen.show();
    QApplication::processEvents();

    std::vector<double> plain, qt, browse;
    size_t plainRows = 0;
    QElapsedTimer t;
    for (int run = 0; run < Runs; ++run) {
        t.start();
        plainRows = plainListing(raw.toStdString());
        plain.push_back(t.nsecsElapsed() / 1e6);

        t.start();
        QDir dir(folder);
        dir.setNameFilters(QStringLiteral("*.m* *.ogg *.avi *.rm* *.qt *.3* *.asf *.w* *.dat")
                               .split(QLatin1Char(' ')));
        dir.setSorting(QDir::Name | QDir::DirsFirst);
        dir.setFilter(QDir::Files | QDir::AllDirs | QDir::NoDotAndDotDot);
        const QFileInfoList infos = dir.entryInfoList();
        qt.push_back(t.nsecsElapsed() / 1e6);

        browser->depth = 1;
        t.start();
        browser->listDir(folder, false);
        QCoreApplication::sendPostedEvents(list, QEvent::LayoutRequest);
        list->viewport()->repaint();
        browse.push_back(t.nsecsElapsed() / 1e6);
    }
    const int rows = list->count();
    std::printf("listDir of %d files and %d folders (%d rows, plain listing %zu), median of %d:\n",
                Files, Folders, rows, plainRows, Runs);
    std::printf("  plain readdir+stat+filter+sort  %8.2f ms\n", median(plain));
    std::printf("  QDir::entryInfoList             %8.2f ms  (%.2f x plain)\n", median(qt),
                median(qt) / median(plain));
    std::printf("  browser listDir + first paint   %8.2f ms  (%.2f x plain)\n", median(browse),
                median(browse) / median(plain));

    // Memory: the heap held by the rows, against the same list emptied.
    const size_t filled = heapInUse();
    browser->depth = 1;
    browser->listDir(tmp.path() + "/none", false);
    const size_t emptied = heapInUse();
    std::printf("  memory per row                  %8.0f bytes\n",
                double(filled - emptied) / std::max(1, rows));

    browser->depth = 1;
    browser->listDir(folder, false);
    QCoreApplication::sendPostedEvents(list, QEvent::LayoutRequest);
    list->viewport()->repaint();
    QScrollBar *bar = list->verticalScrollBar();
    const int step = std::max(1, bar->singleStep());
    std::vector<double> frames;
    double slowest = 0;
    for (int v = 0; v <= bar->maximum(); v += step) {
        t.start();
        bar->setValue(v);
        list->viewport()->repaint();
        const double ms = t.nsecsElapsed() / 1e6;
        frames.push_back(ms);
        slowest = std::max(slowest, ms);
    }
    std::printf("scrolling top to bottom, one row (%d px) a frame, %zu frames:\n", step,
                frames.size());
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
    std::printf("  a page (%d px) a frame, %zu frames: median %.3f ms, slowest %.3f ms\n", page,
                frames.size(), median(frames), slowest);
    return 0;
}

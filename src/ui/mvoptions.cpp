#include "ui/mvoptions.h"

#include "browser/mvfilebrowser.h"
#include "core/mvplaylist.h"
#include "core/rawfilename.h"
#include "platform/boardpaths.h"
#include "player/mvplaybacksession.h"
#include "player/mvplaybackstatus.h"
#include "player/mvresumetracker.h"
#include "player/mvsleeptimer.h"
#include "ui/mvlistmenu.h"
#include "ui/mvnotice.h"
#include "ui/mvnowplayingview.h"
#include "ui/mvoptionsmenu.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFontMetrics>

#include <algorithm>
#include <utility>

MvOptions::MvOptions(MvOptionsMenu *menu, MvPlaybackSession *session, MvFileBrowser *browser,
                     MvNotice *notice, std::function<bool()> playMode)
    : QObject(menu), session(session), browser(browser), notice(notice),
      playMode(std::move(playMode))
{
    addPlaceEntry(menu);
    addBrowserEntries(menu);
    addListeningEntries(menu);
    addPlaybackEntries(menu);
    addBookmarksEntry(menu);
}

namespace {
QString mediumName(const QString &path)
{
    return displayFileName(QFileInfo(path).fileName());
}
} // namespace

void MvOptions::addPlaceEntry(MvOptionsMenu *menu)
{
    const auto place = [this] {
        return !playMode() && browser && browser->depth != 0 ? session->placeIn(browser->path())
                                                             : MvFolderPlaces::Place();
    };
    menu->addEntry(
        [place] {
            const MvFolderPlaces::Place at = place();
            const QString name = QFontMetrics(QApplication::font())
                                     .elidedText(mediumName(at.medium), Qt::ElideMiddle, 120);
            return QCoreApplication::translate("Movara", "Continue: %1 at %2")
                .arg(name, MvNowPlayingView::clockText(at.position));
        },
        // As a pick of its row: the folder's ticked media from it.
        [this, place] {
            const QString medium = place().medium;
            browser->showEntry(medium);
            const QStringList media = browser->tickedMedia(medium);
            session->playFolder(media, int(media.indexOf(medium)));
        },
        [place] { return place().isValid(); });
}

void MvOptions::addBookmarksEntry(MvOptionsMenu *menu)
{
    menu->addEntry(
        QCoreApplication::translate("Movara", "Bookmarks"),
        [this, menu] { openBookmarks(menu->bottomLeft()); },
        [this] { return !session->bookmarks().isEmpty(); });
}

void MvOptions::openBookmarks(const QPoint &bottomLeft)
{
    if (!marksList)
        marksList = new MvListMenu(qobject_cast<QWidget *>(parent()->parent()));
    // The list as shown: a pick or a removal names the bookmark it showed.
    auto shown = std::make_shared<QList<MvBookmarks::Bookmark>>();
    MvListMenu::Source source;
    source.rows = [this, shown] {
        *shown = session->bookmarks();
        QVector<MvListMenu::Row> rows;
        for (const MvBookmarks::Bookmark &mark : *shown)
            rows.append({mediumName(mark.medium),
                         QStringLiteral(" \u00b7 ") + MvNowPlayingView::clockText(mark.position)});
        return rows;
    };
    source.pick = [this, shown](int row) { session->playBookmark(shown->at(row)); };
    source.remove = [this, shown](int row) { session->removeBookmark(shown->at(row)); };
    marksList->open(bottomLeft, source);
}

QStringList MvOptions::chapterRows(const QVector<MvChapter> &chapters)
{
    QStringList rows;
    rows.reserve(chapters.size());
    for (qsizetype i = 0; i < chapters.size(); ++i) {
        const MvChapter &chapter = chapters.at(i);
        const QString title = chapter.title.isEmpty()
                                  ? QCoreApplication::translate("Movara", "Chapter %1").arg(i + 1)
                                  : chapter.title;
        rows.append(title + QStringLiteral(" \u00b7 ") +
                    MvNowPlayingView::clockText(int(chapter.start)));
    }
    return rows;
}

void MvOptions::addListeningEntries(MvOptionsMenu *menu)
{
    const MvPlaybackStatus *status = session->status();
    menu->addEntry(
        QCoreApplication::translate("Movara", "Chapters"),
        [this, menu, status] {
            // Picked after the next medium began, it would jump in that one.
            menu->openList(chapterRows(status->chapters()), qMax(0, status->chapter()),
                           [this, status, medium = status->medium()](int index) {
                               if (status->medium() == medium)
                                   session->goToChapter(index);
                           });
        },
        [this, status] { return playMode() && !status->chapters().isEmpty(); });
    menu->addEntry(
        [status] {
            return QCoreApplication::translate("Movara", "Speed: %1")
                .arg(QString::number(status->speed()) + QStringLiteral("\u00d7"));
        },
        [this, menu, status] {
            QVector<double> steps = MvPlaybackSession::speedSteps();
            std::sort(steps.begin(), steps.end());
            QStringList rows;
            int current = 0;
            for (const double step : steps) {
                if (qAbs(step - status->speed()) < qAbs(steps.at(current) - status->speed()))
                    current = int(rows.size());
                rows.append(QString::number(step) + QStringLiteral("\u00d7"));
            }
            menu->openList(rows, current,
                           [this, steps](int index) { session->setSpeed(steps.at(index)); });
        },
        playMode);
}

void MvOptions::addBrowserEntries(MvOptionsMenu *menu)
{
    const auto inFolder = [this] { return !playMode() && browser && browser->depth != 0; };
    menu->addEntry(
        QCoreApplication::translate("Movara", "Play ticked"),
        [this] { session->playFromStart(browser->tickedMedia()); }, inFolder);
    menu->addEntry(
        QCoreApplication::translate("Movara", "Tick all"), [this] { browser->setAllTicked(true); },
        inFolder);
    menu->addEntry(
        QCoreApplication::translate("Movara", "Clear all"),
        [this] { browser->setAllTicked(false); }, inFolder);
    menu->addEntry(
        QCoreApplication::translate("Movara", "Save ticked as playlist"), [this] { saveTicked(); },
        inFolder);
}

void MvOptions::addPlaybackEntries(MvOptionsMenu *menu)
{
    menu->addEntry(
        [this] {
            return session->playQueue().isShuffle()
                       ? QCoreApplication::translate("Movara", "Shuffle: on")
                       : QCoreApplication::translate("Movara", "Shuffle: off");
        },
        [this] {
            session->setModes(!session->playQueue().isShuffle(), session->playQueue().repeatMode());
        });
    menu->addEntry(
        [this] {
            switch (session->playQueue().repeatMode()) {
            case MvPlayQueue::Repeat::One:
                return QCoreApplication::translate("Movara", "Repeat: one");
            case MvPlayQueue::Repeat::All:
                return QCoreApplication::translate("Movara", "Repeat: all");
            default:
                return QCoreApplication::translate("Movara", "Repeat: off");
            }
        },
        [this] {
            const auto mode = session->playQueue().repeatMode();
            session->setModes(session->playQueue().isShuffle(),
                              mode == MvPlayQueue::Repeat::Off   ? MvPlayQueue::Repeat::One
                              : mode == MvPlayQueue::Repeat::One ? MvPlayQueue::Repeat::All
                                                                 : MvPlayQueue::Repeat::Off);
        });
    menu->addEntry(
        [this] {
            return session->isResumeEnabled()
                       ? QCoreApplication::translate("Movara", "Resume: on")
                       : QCoreApplication::translate("Movara", "Resume: off");
        },
        [this] { session->setResumeEnabled(!session->isResumeEnabled()); });
    menu->addEntry(
        QCoreApplication::translate("Movara", "Continue"), [this] { session->continueLast(); },
        [this] {
            // A folder with a place of its own offers that instead.
            if (playMode() || !session->isResumeEnabled() ||
                (browser && browser->depth != 0 && session->placeIn(browser->path()).isValid()))
                return false;
            MvResumeTracker *resume = session->resumeTracker();
            return resume->folderPlaces().newest().isValid() || !resume->lastMedium().isEmpty();
        });
    menu->addEntry(
        [this] {
            const int minutes = session->sleepTimer()->minutes();
            if (minutes == MvSleepTimer::EndOfFile)
                return QCoreApplication::translate("Movara", "Sleep timer: end of file");
            if (minutes == MvSleepTimer::EndOfChapter)
                return QCoreApplication::translate("Movara", "Sleep timer: end of chapter");
            return minutes > 0
                       ? QCoreApplication::translate("Movara", "Sleep timer: %1 min").arg(minutes)
                       : QCoreApplication::translate("Movara", "Sleep timer: off");
        },
        [this] {
            // Off, 15, 30, 60 minutes, the end of the file, of the chapter
            // when the medium has chapters, off again.
            static const int steps[] = {
                0, 15, 30, 60, MvSleepTimer::EndOfFile, MvSleepTimer::EndOfChapter};
            const int count = session->status()->chapters().isEmpty() ? 5 : 6;
            const int now = session->sleepTimer()->minutes();
            int at = 0;
            while (at < count && steps[at] != now)
                ++at;
            session->setSleepTimer(steps[(at + 1) % count]);
        });
}

void MvOptions::saveTicked()
{
    if (!browser || !notice)
        return;
    const QStringList media = browser->tickedMedia();
    if (media.isEmpty()) {
        notice->showText(QCoreApplication::translate("Movara", "Nothing is ticked"));
        return;
    }
    const QString root = QString::fromStdString(boardPath(MvFileBrowser::mediaRoots[2].folder));
    const QString saved = MvPlaylist::save(root, QFileInfo(browser->path()).fileName(), media);
    notice->showText(saved.isEmpty()
                         ? QCoreApplication::translate("Movara", "Cannot save the playlist")
                         : QCoreApplication::translate("Movara", "Saved as %1")
                               .arg(notice->fitted(displayFileName(QFileInfo(saved).fileName()))));
    notice->raise();
    // The playlists' own folder shows the new list at once.
    if (!saved.isEmpty() && browser->path() == root)
        browser->listDir(root, false);
}

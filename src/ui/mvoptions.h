#pragma once

#include "player/mvchapter.h"

#include <QObject>
#include <QStringList>
#include <QVector>

#include <functional>

class MvFileBrowser;
class MvListMenu;
class MvNotice;
class MvOptionsMenu;
class MvPlaybackSession;

// What the options menu offers and does: in a folder of the browser, its
// place to continue from, its ticks and saving them as a playlist; while
// playing, the medium's chapters and the speed; always the play modes,
// resume and the sleep timer, each worded as it stands; the last stopped
// folder to continue; the bookmarks, in a list of their own.
// Its texts are translated as the window's, under "Movara".
class MvOptions : public QObject
{
    Q_OBJECT

public:
    // Fills `menu`, which owns it; `playMode` tells whether the window plays.
    MvOptions(MvOptionsMenu *menu, MvPlaybackSession *session, MvFileBrowser *browser,
              MvNotice *notice, std::function<bool()> playMode);

    // The bookmarks' list, once opened.
    MvListMenu *bookmarksList() const { return marksList; }

    // The chapters list's rows: "title · 12:34".
    static QStringList chapterRows(const QVector<MvChapter> &chapters);

private:
    void addPlaceEntry(MvOptionsMenu *menu);
    // While a medium plays: its chapters to jump to, its folder's speed.
    void addListeningEntries(MvOptionsMenu *menu);
    void addBrowserEntries(MvOptionsMenu *menu);
    void addPlaybackEntries(MvOptionsMenu *menu);
    void addBookmarksEntry(MvOptionsMenu *menu);
    void saveTicked();
    void openBookmarks(const QPoint &bottomLeft);

    MvPlaybackSession *session;
    MvFileBrowser *browser;
    MvNotice *notice;
    std::function<bool()> playMode;
    MvListMenu *marksList = nullptr;
};

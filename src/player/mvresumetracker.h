#pragma once

#include "player/mvchapter.h"
#include "player/mvfolderplaces.h"
#include "player/mvresumestore.h"

#include <QElapsedTimer>
#include <QString>
#include <QVector>

// Follows the medium that plays for resuming: where it was stopped goes to
// the store and to its folder's place, and a medium stopped part-way starts
// there when played again, a little before it (MvStepBack). A long medium
// resumes by the store's rules; any other by its folder's place, when it is
// the medium last stopped there. The places are kept beside the store.
// A process ended by exit() from anywhere (the display's connection lost, as
// at a logout) keeps the place all the same.
class MvResumeTracker
{
public:
    // How long after a resume a Previous or Left press starts the medium over.
    static constexpr int startOverMs = 5000;

    explicit MvResumeTracker(
        const QString &storePath = QString::fromLatin1(MvResumeStore::defaultPath));
    ~MvResumeTracker();
    MvResumeTracker(const MvResumeTracker &) = delete;
    MvResumeTracker &operator=(const MvResumeTracker &) = delete;

    void setEnabled(bool on);
    bool isEnabled() const { return store.isEnabled(); }

    // A new medium is to play; the one playing, if any, was stopped.
    void started(const QString &path);
    // The engine told the length, and the chapters known by then. Returns
    // where to seek to, once per medium, or -1.
    int lengthKnown(float seconds, const QVector<MvChapter> &chapters = {});
    // The medium just started goes to `seconds` as it is, rather than to a
    // place kept for it.
    void jumpTo(int seconds);
    void elapsed(int seconds);
    // Playing stopped part-way (a key, the sleep timer, the program's end).
    void stopped();
    // The medium played to its end.
    void ended();
    // The user moved within the medium.
    void userSeeked()
    {
        seekPending = false;
        floor = -1;
    }
    // Whether a Previous or Left press now means "from the start" (once).
    bool takeStartOver();

    // The most recently stopped medium, to continue, or "".
    QString lastMedium() const { return store.lastMedium(); }
    QString current() const { return medium; }
    int position() const { return at; }
    MvResumeStore &records() { return store; }
    MvFolderPlaces &folderPlaces() { return places; }

private:
    // Where the medium is kept as being: never before the place it resumed
    // from, until it plays past that place or the user moves.
    int kept() const { return qMax(at, floor); }

    MvResumeStore store;
    MvFolderPlaces places;
    QString medium;
    int at = -1;
    int length = -1;
    int resumeAt = -1;
    // The place came from the folder's, whatever the medium's length.
    bool folderPlace = false;
    // Seconds since the place resumed from was left; -1 unknown.
    qint64 away = -1;
    int floor = -1;
    int jumpAt = -1;
    // Readings from before the resume seek took effect are not the medium's place.
    bool seekPending = false;
    QElapsedTimer resumedSince;
};

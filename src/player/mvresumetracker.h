#pragma once

#include "player/mvresumestore.h"

#include <QElapsedTimer>
#include <QString>

// Follows the medium that plays for resuming: where it was stopped goes to
// the store, and a medium stopped part-way starts there when played again.
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
    // The engine told the length. Returns where to seek to, once per medium, or -1.
    int lengthKnown(float seconds);
    void elapsed(int seconds);
    // Playing stopped part-way (a key, the sleep timer, the program's end).
    void stopped();
    // The medium played to its end.
    void ended();
    // The user moved within the medium.
    void userSeeked() { seekPending = false; }
    // Whether a Previous or Left press now means "from the start" (once).
    bool takeStartOver();

    // The most recently stopped medium, to continue, or "".
    QString lastMedium() const { return store.lastMedium(); }
    QString current() const { return medium; }
    int position() const { return at; }
    MvResumeStore &records() { return store; }

private:
    MvResumeStore store;
    QString medium;
    int at = -1;
    int length = -1;
    int resumeAt = -1;
    // Readings from before the resume seek took effect are not the medium's place.
    bool seekPending = false;
    QElapsedTimer resumedSince;
};

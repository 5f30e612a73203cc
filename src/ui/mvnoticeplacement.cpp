#include "ui/mvnoticeplacement.h"

#include "core/rawfilename.h"
#include "platform/phonescreen.h"
#include "platform/zmainwidget.h"
#include "ui/mvnotice.h"
#include "ui/mvnowplayingview.h"

#include <QCoreApplication>
#include <QFileInfo>

MvNoticePlacement::MvNoticePlacement(ZMainWidget *frame, QObject *parent)
    : QObject(parent), frame(frame), notice(new MvNotice(frame))
{
    connect(notice, &MvNotice::finished, this, &MvNoticePlacement::changed);
}

void MvNoticePlacement::newMedium()
{
    pictureDrawn = false;
    move(pictureNotice, notice);
}

void MvNoticePlacement::backToFrame()
{
    move(pictureNotice, notice);
}

void MvNoticePlacement::pictureStarted()
{
    pictureDrawn = true;
    // A notice still up goes over the picture rather than holding it back.
    if (notice->isVisible())
        move(notice, overPicture());
    emit changed();
}

MvNotice *MvNoticePlacement::overPicture()
{
    if (!pictureNotice && frame->phoneScreen()) {
        pictureNotice = new MvNotice(frame->phoneScreen()->videoSurface());
        pictureNotice->setAttribute(Qt::WA_NativeWindow);
    }
    return pictureNotice;
}

void MvNoticePlacement::move(MvNotice *from, MvNotice *to)
{
    if (!from || !to || from->isHidden())
        return;
    to->showText(from->text());
    from->hide();
}

MvNotice *MvNoticePlacement::onTop()
{
    MvNotice *shown = pictureDrawn ? overPicture() : nullptr;
    return shown ? shown : notice;
}

void MvNoticePlacement::cannotPlay(const QString &path)
{
    MvNotice *shown = onTop();
    shown->showText(QCoreApplication::translate("Movara", "Cannot play %1")
                        .arg(shown->fitted(displayFileName(QFileInfo(path).fileName()))));
    emit changed();
}

void MvNoticePlacement::show(MvPlaybackSession::Notice what, const QString &name, int more)
{
    using Notice = MvPlaybackSession::Notice;
    const QString fitted = notice->fitted(name);
    switch (what) {
    case Notice::CannotPlay:
        notice->showText(more > 0
                             ? QCoreApplication::translate("Movara", "Cannot play %1 and %2 more")
                                   .arg(fitted)
                                   .arg(more)
                             : QCoreApplication::translate("Movara", "Cannot play %1").arg(fitted));
        break;
    case Notice::NotFound:
        notice->showText(more > 0
                             ? QCoreApplication::translate("Movara", "Not found: %1 and %2 more")
                                   .arg(fitted)
                                   .arg(more)
                             : QCoreApplication::translate("Movara", "Not found: %1").arg(fitted));
        break;
    case Notice::OnlyFirst:
        notice->showText(
            QCoreApplication::translate("Movara", "Only the first %1 entries play").arg(name));
        break;
    case Notice::ResumingAt:
        notice->showText(QCoreApplication::translate("Movara", "Resuming at %1")
                             .arg(MvNowPlayingView::clockText(more)));
        break;
    case Notice::NothingTicked:
        notice->showText(QCoreApplication::translate("Movara", "Nothing is ticked"));
        return;
    case Notice::PlacesNotKept:
        onTop()->showText(
            QCoreApplication::translate("Movara", "Cannot keep places: %1").arg(name));
        break;
    case Notice::Bookmarked:
        notice->showText(QCoreApplication::translate("Movara", "Bookmark at %1")
                             .arg(MvNowPlayingView::clockText(more)));
        break;
    case Notice::BookmarksNotKept:
        notice->showText(QCoreApplication::translate("Movara", "Cannot keep bookmarks"));
        break;
    case Notice::SleepExtended:
        notice->showText(QCoreApplication::translate("Movara", "Sleep in %1")
                             .arg(MvNowPlayingView::clockText(more)));
        break;
    case Notice::Chapter:
        onTop()->showText(name.isEmpty()
                              ? QCoreApplication::translate("Movara", "Chapter %1").arg(more)
                              : fitted);
        break;
    }
    emit changed();
    notice->raise();
}

#include "ui/mvnowplayingview.h"

#include "core/rawfilename.h"
#include "platform/lcdsleeptimer.h"
#include "player/mvmediatags.h"
#include "player/mvplaybacksession.h"
#include "player/mvplaybackstatus.h"
#include "player/mvsleeptimer.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QStringList>

namespace {
constexpr int Margin = 10;
constexpr int VolumeShownMs = 1500;
constexpr int ElapsedReadMs = 500;
const QRect IconBox(70, 40, 100, 100);
constexpr int NameTop = 156;
constexpr int TimeTop = 186;
constexpr int BarTop = 214;
constexpr int PlaceTop = 228;
constexpr int ChapterTop = 248;
constexpr int PausedTop = 268;
constexpr int VolumeTop = 290;
constexpr int SleepTop = 302;
constexpr int ArtistTop = 12;

const QColor Accent(0x6f, 0x9b, 0xe0);
const QColor Dim(0x80, 0x90, 0xa8);
const QColor Bright(0xc8, 0xd0, 0xe0);
const QColor Mark(0xff, 0xd8, 0x60);

QFont face(int pixels, bool bold = false)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}
} // namespace

MvNowPlayingView::MvNowPlayingView(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("MvNowPlayingView"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    nameFont = face(16, true);
    timeFont = face(15);
    smallFont = face(13);
    markFont = face(14, true);
    volumeTimer.setSingleShot(true);
    connect(&volumeTimer, &QTimer::timeout, this, [this] { update(volumeRect()); });
    elapsedTimer.setInterval(ElapsedReadMs);
    connect(&elapsedTimer, &QTimer::timeout, this, &MvNowPlayingView::readElapsed);
    // Nothing is drawn for a dark screen; lit again, it shows the time at once.
    connect(LcdSleepTimer::instance(), &LcdSleepTimer::darkChanged, this, [this](bool dark) {
        if (dark) {
            elapsedTimer.stop();
        } else if (isVisible()) {
            readElapsed();
            elapsedTimer.start();
        }
    });
}

void MvNowPlayingView::follow(const MvPlaybackSession *session)
{
    const MvPlaybackStatus *status = session->status();
    connect(status, &MvPlaybackStatus::mediumChanged, this, [this, status](const QString &path) {
        setMedium(displayFileName(QFileInfo(path).fileName()), status->place(), status->count());
        setGivenTitle(status->title());
    });
    // The status's title is the playlist's, else the tags'.
    connect(status, &MvPlaybackStatus::titleChanged, this, &MvNowPlayingView::setGivenTitle);
    connect(status, &MvPlaybackStatus::lengthChanged, this, [this](double seconds) {
        if (seconds >= 0)
            setLength(float(seconds));
    });
    connect(status, &MvPlaybackStatus::positionChanged, this,
            [this](double seconds) { setElapsedSeconds(seconds < 0 ? -1 : int(seconds)); });
    connect(status, &MvPlaybackStatus::pausedChanged, this, &MvNowPlayingView::setPaused);
    const auto showChapter = [this, status] {
        const int at = status->chapter();
        const QVector<MvChapter> chapters = status->chapters();
        setChapter(at + 1, int(chapters.size()), chapters.value(at).title);
    };
    connect(status, &MvPlaybackStatus::chapterChanged, this, showChapter);
    connect(status, &MvPlaybackStatus::chaptersChanged, this, showChapter);
    connect(status, &MvPlaybackStatus::speedChanged, this, &MvNowPlayingView::setSpeed);
    connect(session, &MvPlaybackSession::tagsRead, this, [this](const MvMediaTags &tags) {
        setTags(tags.title, tags.artist, tags.album);
        setCover(tags.cover);
    });
    // Translated as the window's texts.
    const MvSleepTimer *sleep = session->sleepTimer();
    setSleepSource([sleep] {
        if (sleep->stopsAtEnd())
            return QCoreApplication::translate("Movara", "Sleep at the end");
        const int left = sleep->secondsLeft();
        return left < 0 ? QString()
                        : QCoreApplication::translate("Movara", "Sleep in %1").arg(clockText(left));
    });
}

void MvNowPlayingView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!LcdSleepTimer::instance()->isDark())
        elapsedTimer.start();
}

void MvNowPlayingView::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    elapsedTimer.stop();
}

QString MvNowPlayingView::clockText(int seconds)
{
    const int h = seconds / 3600;
    const int m = seconds / 60 % 60;
    const int s = seconds % 60;
    if (h > 0)
        return QStringLiteral("%1:%2:%3")
            .arg(h)
            .arg(m, 2, 10, QLatin1Char('0'))
            .arg(s, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(m).arg(s, 2, 10, QLatin1Char('0'));
}

void MvNowPlayingView::setMedium(const QString &medium, int at, int total)
{
    name = medium;
    place = at;
    count = total;
    elapsed = -1;
    length = -1;
    paused = false;
    tagTitle.clear();
    givenTitle.clear();
    artistLine.clear();
    cover = QImage();
    staleElapsed = elapsedNow;
    updateName();
    update();
}

void MvNowPlayingView::setTags(const QString &title, const QString &artist, const QString &album)
{
    tagTitle = title;
    artistLine = artist.isEmpty() || album.isEmpty() ? artist + album
                                                     : artist + QStringLiteral(" \u2013 ") + album;
    updateName();
    update();
}

void MvNowPlayingView::setGivenTitle(const QString &title)
{
    givenTitle = title;
    updateName();
    update();
}

void MvNowPlayingView::setChapter(int number, int total, const QString &title)
{
    chapterLine =
        number > 0 && total > 0 ? QStringLiteral("%1 / %2").arg(number).arg(total) : QString();
    if (!chapterLine.isEmpty() && !title.isEmpty())
        chapterLine += QStringLiteral(" \u00b7 ") + title;
    const QString before = elidedChapter;
    updateName();
    if (elidedChapter != before)
        update(chapterRect());
}

void MvNowPlayingView::setSpeed(double factor)
{
    if (factor == speed)
        return;
    speed = factor;
    update(QRect(0, PlaceTop, width(), 20));
}

QString MvNowPlayingView::speedText() const
{
    return speed == 1 ? QString() : QString::number(speed) + QStringLiteral("\u00d7");
}

QRect MvNowPlayingView::chapterRect() const
{
    return QRect(0, ChapterTop, width(), 18);
}

void MvNowPlayingView::setCover(const QImage &image)
{
    cover = image;
    update(IconBox);
}

void MvNowPlayingView::readElapsed()
{
    const QString sleeping = sleepSource ? sleepSource() : QString();
    if (sleeping != sleepLine) {
        sleepLine = sleeping;
        update(QRect(0, SleepTop, width(), 18));
    }
    const int seconds = elapsedNow;
    if (seconds == staleElapsed)
        return;
    staleElapsed = -1;
    if (seconds < 0 || seconds == elapsed)
        return;
    // Only the digits and the part of the bar that change are repainted.
    const QFontMetrics metrics(timeFont);
    const QString before = timeText();
    const int filled = barFill();
    elapsed = seconds;
    const int textWidth =
        qMax(metrics.horizontalAdvance(before), metrics.horizontalAdvance(timeText())) + 4;
    update(QRect((width() - textWidth) / 2, TimeTop, textWidth, 22));
    if (barFill() != filled)
        update(barRect());
}

int MvNowPlayingView::barFill() const
{
    if (length <= 0 || elapsed <= 0)
        return 0;
    return barRect().width() * qMin(elapsed, length) / length;
}

QRect MvNowPlayingView::barRect() const
{
    return QRect(Margin + 10, BarTop, width() - 2 * Margin - 20, 4);
}

void MvNowPlayingView::setLength(float seconds)
{
    const int whole = seconds >= 0 && seconds < 1e7f ? int(seconds) : -1;
    if (whole == length)
        return;
    length = whole;
    update(timeRect());
}

void MvNowPlayingView::setPaused(bool on)
{
    if (on == paused)
        return;
    paused = on;
    update();
}

void MvNowPlayingView::showVolume(int v)
{
    volume = v;
    volumeTimer.start(VolumeShownMs);
    update(volumeRect());
}

QString MvNowPlayingView::timeText() const
{
    const QString now = clockText(elapsed < 0 ? 0 : elapsed);
    // A length guessed short by the engine grows with the time rather than fall behind it.
    return length > 0 ? now + QStringLiteral(" / ") + clockText(qMax(length, elapsed)) : now;
}

QString MvNowPlayingView::placeText() const
{
    return count > 0 && place > 0 ? QStringLiteral("%1 / %2").arg(place).arg(count) : QString();
}

void MvNowPlayingView::updateName()
{
    const QFontMetrics metrics(nameFont);
    const QString shown = !givenTitle.isEmpty() ? givenTitle
                          : !tagTitle.isEmpty() ? tagTitle
                                                : name;
    elidedName = metrics.elidedText(shown, Qt::ElideRight, width() - 2 * Margin);
    elidedArtist =
        QFontMetrics(smallFont).elidedText(artistLine, Qt::ElideRight, width() - 2 * Margin);
    elidedChapter =
        QFontMetrics(smallFont).elidedText(chapterLine, Qt::ElideRight, width() - 2 * Margin);
}

void MvNowPlayingView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    updateName();
}

QRect MvNowPlayingView::timeRect() const
{
    return QRect(0, TimeTop, width(), BarTop + 6 - TimeTop);
}

QRect MvNowPlayingView::volumeRect() const
{
    return QRect(0, VolumeTop, width(), 30);
}

QRect MvNowPlayingView::textArea() const
{
    return QRect(0, NameTop, width(), volumeRect().bottom() + 1 - NameTop);
}

void MvNowPlayingView::paintIcon(QPainter &painter, const QRect &box) const
{
    QRadialGradient glow(box.center(), box.width() / 2.0);
    glow.setColorAt(0, QColor(0x2c, 0x3c, 0x62));
    glow.setColorAt(1, QColor(0x14, 0x1b, 0x2c));
    painter.setPen(QPen(QColor(0x4a, 0x5d, 0x86), 2));
    painter.setBrush(glow);
    painter.drawEllipse(box.adjusted(1, 1, -1, -1));
    painter.setPen(Qt::NoPen);
    const QPoint c = box.center();
    if (paused) {
        painter.setBrush(Mark);
        painter.drawRoundedRect(c.x() - 18, c.y() - 22, 12, 44, 2, 2);
        painter.drawRoundedRect(c.x() + 6, c.y() - 22, 12, 44, 2, 2);
        return;
    }
    // A pair of quavers: two heads, two stems, one beam.
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPoint(c.x() - 14, c.y() + 18), 10, 8);
    painter.drawEllipse(QPoint(c.x() + 18, c.y() + 12), 10, 8);
    painter.drawRect(c.x() - 6, c.y() - 22, 4, 40);
    painter.drawRect(c.x() + 26, c.y() - 28, 4, 40);
    painter.drawPolygon(QPolygon({QPoint(c.x() - 6, c.y() - 22), QPoint(c.x() + 30, c.y() - 28),
                                  QPoint(c.x() + 30, c.y() - 18), QPoint(c.x() - 6, c.y() - 12)}));
}

void MvNowPlayingView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::black);
    painter.setRenderHint(QPainter::Antialiasing);
    const int w = width() - 2 * Margin;

    if (event->rect().intersects(IconBox)) {
        if (cover.isNull()) {
            paintIcon(painter, IconBox);
        } else {
            QRect place(QPoint(), cover.size().scaled(IconBox.size(), Qt::KeepAspectRatio));
            place.moveCenter(IconBox.center());
            painter.drawImage(place, cover);
            if (paused) {
                const QPoint c = IconBox.center();
                painter.setPen(Qt::NoPen);
                painter.setBrush(Mark);
                painter.drawRoundedRect(c.x() - 18, c.y() - 22, 12, 44, 2, 2);
                painter.drawRoundedRect(c.x() + 6, c.y() - 22, 12, 44, 2, 2);
            }
        }
    }

    if (!elidedArtist.isEmpty() && event->rect().intersects(QRect(0, ArtistTop, width(), 20))) {
        painter.setPen(Bright);
        painter.setFont(smallFont);
        painter.drawText(QRect(Margin, ArtistTop, w, 20), Qt::AlignCenter | Qt::TextSingleLine,
                         elidedArtist);
    }

    // Time passing repaints only the time line and the bar.
    const QRect nameLine(Margin, NameTop, w, 24);
    if (event->rect().intersects(nameLine)) {
        painter.setPen(Qt::white);
        painter.setFont(nameFont);
        painter.drawText(nameLine, Qt::AlignCenter | Qt::TextSingleLine, elidedName);
    }

    painter.setPen(Bright);
    painter.setFont(timeFont);
    painter.drawText(QRect(Margin, TimeTop, w, 22), Qt::AlignCenter, timeText());

    // The share played, once the length is known.
    const QRect bar = barRect();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(bar, QColor(0x30, 0x34, 0x40));
    painter.fillRect(bar.x(), bar.y(), barFill(), bar.height(), Accent);

    if (event->rect().bottom() < PlaceTop)
        return;

    painter.setPen(Dim);
    painter.setFont(smallFont);
    painter.drawText(QRect(Margin, PlaceTop, w, 20), Qt::AlignCenter, placeText());

    if (speed != 1) {
        painter.setPen(Mark);
        painter.drawText(QRect(Margin, PlaceTop, w, 20), Qt::AlignRight | Qt::AlignVCenter,
                         speedText());
    }
    if (!elidedChapter.isEmpty()) {
        painter.setPen(Bright);
        painter.drawText(QRect(Margin, ChapterTop, w, 18), Qt::AlignCenter | Qt::TextSingleLine,
                         elidedChapter);
    }

    if (paused) {
        painter.setPen(Mark);
        painter.setFont(markFont);
        painter.drawText(QRect(Margin, PausedTop, w, 22), Qt::AlignCenter, tr("Paused"));
    }

    if (!sleepLine.isEmpty()) {
        painter.setPen(Dim);
        painter.setFont(smallFont);
        painter.drawText(QRect(Margin, SleepTop, w, 18), Qt::AlignRight | Qt::AlignVCenter,
                         sleepLine);
    }

    if (volumeTimer.isActive()) {
        painter.setPen(Bright);
        painter.setFont(smallFont);
        const QRect label(Margin + 10, VolumeTop, 90, 20);
        painter.drawText(label, Qt::AlignLeft | Qt::AlignVCenter, tr("Volume %1").arg(volume));
        const QRect level(label.right() + 6, VolumeTop + 7, w - 20 - label.width() - 6, 6);
        painter.fillRect(level, QColor(0x30, 0x34, 0x40));
        painter.fillRect(level.x(), level.y(), level.width() * volume / 100, level.height(),
                         Accent);
    }
}

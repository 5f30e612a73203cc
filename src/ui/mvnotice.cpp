#include "ui/mvnotice.h"

#include <QFontMetrics>
#include <QPainter>

namespace {
constexpr int Width = 216;
constexpr int Padding = 10;
constexpr int MaxLines = 3;
constexpr int TopGap = 12;
} // namespace

MvNotice::MvNotice(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("MvNotice"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    QFont face(QStringLiteral("DejaVu Sans"));
    face.setPixelSize(14);
    face.setBold(true);
    setFont(face);
    hideTimer.setSingleShot(true);
    connect(&hideTimer, &QTimer::timeout, this, [this] {
        hide();
        emit finished();
    });
    hide();
}

void MvNotice::showText(const QString &text)
{
    message = text;
    const QFontMetrics metrics(font());
    const int lineWidth = Width - 2 * Padding;
    QRect needed = metrics.boundingRect(QRect(0, 0, lineWidth, 1000), Qt::TextWordWrap, text);
    const int height = qMin(needed.height(), MaxLines * metrics.lineSpacing()) + 2 * Padding;
    const QWidget *area = parentWidget();
    const int areaWidth = area ? area->width() : Width;
    // High on the screen, over the now-playing view's picture: its name, time,
    // place, paused mark and volume stay clear whatever the notice's lines.
    setGeometry((areaWidth - Width) / 2, TopGap, Width, height);
    raise();
    show();
    update();
    hideTimer.start(ShownMs);
}

QString MvNotice::fitted(const QString &name) const
{
    return QFontMetrics(font()).elidedText(name, Qt::ElideMiddle, Width - 2 * Padding);
}

void MvNotice::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0xff, 0xd8, 0x60), 2));
    painter.setBrush(QColor(0x1b, 0x24, 0x3a, 235));
    painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 8, 8);
    painter.setPen(Qt::white);
    painter.drawText(rect().adjusted(Padding, Padding, -Padding, -Padding),
                     Qt::AlignCenter | Qt::TextWordWrap, message);
}

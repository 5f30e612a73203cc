#include "platform/res_icon_reader.h"

#include <QCoreApplication>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace {

using Cache = QHash<QByteArray, QPixmap>;

Cache *cache = nullptr;

// Pixmaps must go before the GUI application does.
void dropCache()
{
    delete cache;
    cache = nullptr;
}

QPixmap blank()
{
    QPixmap pm(RES_ICON_Reader::IconSize, RES_ICON_Reader::IconSize);
    pm.fill(Qt::transparent);
    return pm;
}

void drawFolder(QPainter &p, const QColor &body, const QColor &edge)
{
    p.setPen(QPen(edge, 1));
    p.setBrush(body.darker(115));
    p.drawRoundedRect(QRectF(1.5, 3.5, 8, 4), 1, 1);
    p.setBrush(body);
    p.drawRoundedRect(QRectF(1.5, 5.5, 17, 12), 1.5, 1.5);
}

void drawPage(QPainter &p, const QColor &fill)
{
    QPainterPath page;
    page.moveTo(4.5, 1.5);
    page.lineTo(12.5, 1.5);
    page.lineTo(16.5, 5.5);
    page.lineTo(16.5, 18.5);
    page.lineTo(4.5, 18.5);
    page.closeSubpath();
    p.setPen(QPen(QColor(0x55, 0x55, 0x55), 1));
    p.setBrush(fill);
    p.drawPath(page);
    p.setBrush(QColor(0xdd, 0xdd, 0xdd));
    p.drawPolygon(QPolygonF({{12.5, 1.5}, {12.5, 5.5}, {16.5, 5.5}}));
}

void drawNote(QPainter &p, const QColor &ink, qreal x, qreal y, qreal scale)
{
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawEllipse(QRectF(x, y + 6 * scale, 3.6 * scale, 2.8 * scale));
    p.drawRect(QRectF(x + 2.6 * scale, y, 1.0 * scale, 7.4 * scale));
    p.drawPolygon(QPolygonF({{x + 2.6 * scale, y},
                             {x + 6 * scale, y + 1.6 * scale},
                             {x + 6 * scale, y + 3 * scale},
                             {x + 3.6 * scale, y + 1.8 * scale}}));
}

void drawPlay(QPainter &p, const QColor &ink, const QPointF &c, qreal r)
{
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawPolygon(QPolygonF(
        {{c.x() - r * 0.6, c.y() - r}, {c.x() + r, c.y()}, {c.x() - r * 0.6, c.y() + r}}));
}

const QColor FolderBody(0xf2, 0xc2, 0x4b);
const QColor FolderEdge(0x9a, 0x6e, 0x10);

QPixmap makeIcon(const QByteArray &key)
{
    QPixmap pm = blank();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    if (key == "FMMS_Folder_Video_S") {
        drawFolder(p, FolderBody, FolderEdge);
        drawPlay(p, QColor(0xb0, 0x20, 0x20), QPointF(10.5, 11.5), 3.5);
    } else if (key == "FMMS_Folder_Audio_S") {
        drawFolder(p, FolderBody, FolderEdge);
        drawNote(p, QColor(0x20, 0x40, 0xa0), 7.5, 7.5, 1.0);
    } else if (key == "FMMS_Personal_Folder_S") {
        drawFolder(p, FolderBody, FolderEdge);
    } else if (key == "FMMS_Mmc_S") {
        QPainterPath card;
        card.moveTo(4.5, 1.5);
        card.lineTo(12.5, 1.5);
        card.lineTo(15.5, 4.5);
        card.lineTo(15.5, 18.5);
        card.lineTo(4.5, 18.5);
        card.closeSubpath();
        p.setPen(QPen(QColor(0x10, 0x20, 0x40), 1));
        p.setBrush(QColor(0x2c, 0x4a, 0x86));
        p.drawPath(card);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xe0, 0xb0, 0x30));
        for (int i = 0; i < 4; ++i)
            p.drawRect(QRectF(6 + 2.2 * i, 3, 1.3, 3.5));
        p.setBrush(QColor(0xf0, 0xf0, 0xf0));
        p.drawRect(QRectF(6, 10, 8, 6));
    } else if (key == "FMMS_File_Audio_S") {
        drawPage(p, QColor(0xf4, 0xf7, 0xff));
        drawNote(p, QColor(0x20, 0x40, 0xa0), 7, 6, 1.15);
    } else if (key == "FMMS_File_Video_S") {
        drawPage(p, QColor(0xff, 0xf6, 0xf2));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x30, 0x30, 0x30));
        p.drawRect(QRectF(6, 7, 9, 8));
        p.setBrush(QColor(0xff, 0xff, 0xff));
        for (int i = 0; i < 3; ++i) {
            p.drawRect(QRectF(6.5, 7.6 + 2.6 * i, 1.2, 1.2));
            p.drawRect(QRectF(13.3, 7.6 + 2.6 * i, 1.2, 1.2));
        }
        drawPlay(p, QColor(0xff, 0xff, 0xff), QPointF(10.7, 11), 2.2);
    } else {
        p.end();
        return QPixmap();
    }
    return pm;
}

} // namespace

QPixmap RES_ICON_Reader::getIcon(const char *name, bool)
{
    if (!name)
        return QPixmap();
    QByteArray key(name);
    const int dot = int(key.indexOf('.'));
    if (dot >= 0)
        key.truncate(dot);
    if (!cache) {
        cache = new Cache;
        qAddPostRoutine(dropCache);
    }
    auto it = cache->constFind(key);
    if (it == cache->constEnd())
        it = cache->insert(key, makeIcon(key));
    return *it;
}

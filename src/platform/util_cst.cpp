#include "platform/util_cst.h"

#include "platform/phonegeometry.h"
#include "platform/zpushbutton.h"

#include <QHBoxLayout>
#include <QLinearGradient>
#include <QPainter>

UTIL_CST::UTIL_CST(QWidget *parent, const QString &left, const QString &middle,
                   const QString &right)
    : QWidget(parent), leftBtn(new ZPushButton(left, this)), midBtn(new ZPushButton(middle, this)),
      rightBtn(new ZPushButton(right, this))
{
    setObjectName(QStringLiteral("UTIL_CST"));
    resize(PhoneGeometry::ScreenWidth, PhoneGeometry::SoftKeyBarHeight);
    setStyleSheet(QStringLiteral("ZPushButton { color: white; font-weight: bold; border: none; }"
                                 "ZPushButton:pressed { color: #ffd860; }"
                                 "ZPushButton:disabled { color: #7f8ea8; }"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(2, 1, 2, 1);
    row->setSpacing(0);
    for (ZPushButton *button : {leftBtn, midBtn, rightBtn}) {
        button->setMinimumWidth(0);
        row->addWidget(button, 1);
    }
}

void UTIL_CST::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QLinearGradient shade(0, 0, 0, height());
    shade.setColorAt(0, QColor(0x4a, 0x5d, 0x86));
    shade.setColorAt(1, QColor(0x1b, 0x24, 0x3a));
    painter.fillRect(rect(), shade);
    painter.setPen(QColor(0x8d, 0xa2, 0xcc));
    painter.drawLine(0, 0, width(), 0);
}

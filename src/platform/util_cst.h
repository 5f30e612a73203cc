#pragma once

#include <QWidget>

class ZPushButton;

// The soft-key bar at the bottom of a frame: left, middle and right key.
class UTIL_CST : public QWidget
{
    Q_OBJECT

public:
    UTIL_CST(QWidget *parent, const QString &left, const QString &middle, const QString &right);

    ZPushButton *getLeftBtn() const { return leftBtn; }
    ZPushButton *getMidBtn() const { return midBtn; }
    ZPushButton *getRightBtn() const { return rightBtn; }

protected:
    void paintEvent(QPaintEvent *event) override;

    ZPushButton *leftBtn;
    ZPushButton *midBtn;
    ZPushButton *rightBtn;
};

#pragma once

#include <QWidget>

#include <memory>

class QCustomMenuItem;

// Shows one custom item inside a menu: sizes itself by the item's size hint
// and hands painting to the item. Owns the item.
class CustomMenuItemWidget : public QWidget
{
    Q_OBJECT

public:
    CustomMenuItemWidget(QCustomMenuItem *item, QWidget *parent);
    ~CustomMenuItemWidget() override;

    QCustomMenuItem *item() const { return custom.get(); }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

    std::unique_ptr<QCustomMenuItem> custom;
    bool active = false;
};

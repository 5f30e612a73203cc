#pragma once

#include "widgets/mvobject.h"

#include <QPointer>

class QCustomMenuItem;
class QPopupMenu;
class QWidget;

// Wraps a pop-up menu: its mouse and key presses are traced on standard
// output and still reach the menu.
class MvPopupMenu : public MvObject
{
    Q_OBJECT

public:
    MvPopupMenu(QWidget *parent, const char *name);
    ~MvPopupMenu() override;

    int insertItem(QCustomMenuItem *item, int id, int index);

    bool mousePressEvent(QMouseEvent *event) override;
    bool keyPressEvent(QKeyEvent *event) override;
    bool paintEvent(QPaintEvent *event) override;
    bool resizeEvent(QResizeEvent *event) override;

public slots:
    void slotAboutToShow();

public:
    // Guarded: the menu is a child of the parent widget, which may delete it first.
    QPointer<QPopupMenu> popupMenu;
};

#pragma once

#include "platform/qlistbox.h"

#include <QString>

// The phone's list box: a QListBox with the phone's font and colours.
class UTIL_ListBox : public QListBox
{
    Q_OBJECT

public:
    UTIL_ListBox(const QString &title, QWidget *parent = nullptr, unsigned int flags = 0);
    explicit UTIL_ListBox(QWidget *parent = nullptr, unsigned int flags = 0);

    // The phone's list font: readable on the 240-pixel-wide screen.
    static QFont phoneFont();

private:
    void setupLook();
};

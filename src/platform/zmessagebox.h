#pragma once

#include <QDialog>

class QPixmap;

// The platform's modal message box: an optional picture, rich text and up to
// three buttons.
class ZMessageBox : public QDialog
{
    Q_OBJECT

public:
    ZMessageBox(QWidget *parent, const QPixmap &icon, const QString &text,
                const QStringList &buttons, int defaultButton);

    // Returns the index of the pressed button, or -1 when the box was closed otherwise.
    static int information(QWidget *parent, const QPixmap &icon, const QString &text,
                           const QString &button0, const QString &button1 = QString(),
                           const QString &button2 = QString(), int defaultButton = 0);
};

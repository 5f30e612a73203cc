#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>

// A short message over whatever the screen shows, gone by itself after a
// moment. It takes no taps and no keys: the phone goes on as if it were not there.
class MvNotice : public QWidget
{
    Q_OBJECT

public:
    static constexpr int ShownMs = 2000;

    explicit MvNotice(QWidget *parent);

    // Shows the text, replacing one still shown, for ShownMs.
    void showText(const QString &text);
    QString text() const { return message; }
    // A name shortened in the middle to one line of the notice.
    QString fitted(const QString &name) const;

signals:
    // The notice has gone by itself.
    void finished();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString message;
    QTimer hideTimer;
};

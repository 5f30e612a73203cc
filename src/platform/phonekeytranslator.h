#pragma once

#include <QHash>
#include <QObject>

// Gives the phone's screen the keys no desktop keyboard has: a desktop key
// pressed on the phone is delivered to the same widget as the phone's key.
// Escape and BackSpace press the right soft key while the frame shows it.
class PhoneKeyTranslator : public QObject
{
    Q_OBJECT

public:
    explicit PhoneKeyTranslator(QObject *parent = nullptr);

    // The phone key a desktop key stands for, or the key itself.
    static int translated(int qtKey);

    bool eventFilter(QObject *watched, QEvent *event) override;
};

#include "platform/zmessagebox.h"

#include "platform/zpushbutton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

ZMessageBox::ZMessageBox(QWidget *parent, const QPixmap &icon, const QString &text,
                         const QStringList &buttons, int defaultButton)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ZMessageBox"));
    setModal(true);
    setMaximumWidth(232);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(8, 8, 8, 8);
    auto *row = new QHBoxLayout;
    if (!icon.isNull()) {
        auto *picture = new QLabel(this);
        picture->setPixmap(icon);
        picture->setAlignment(Qt::AlignTop);
        row->addWidget(picture);
    }
    auto *message = new QLabel(this);
    message->setObjectName(QStringLiteral("MessageText"));
    message->setTextFormat(Qt::RichText);
    message->setWordWrap(true);
    message->setText(text);
    row->addWidget(message, 1);
    column->addLayout(row);

    auto *keys = new QHBoxLayout;
    for (int index = 0; index < buttons.size(); ++index) {
        if (buttons.at(index).isEmpty())
            continue;
        auto *button = new ZPushButton(buttons.at(index), this);
        button->setObjectName(QStringLiteral("button%1").arg(index));
        button->setFlat(false);
        button->setFocusPolicy(Qt::StrongFocus);
        button->setAutoDefault(index == defaultButton);
        button->setDefault(index == defaultButton);
        // Results count from 1: 0 is a box closed without a button.
        connect(button, &QPushButton::clicked, this, [this, index] { done(index + 1); });
        keys->addWidget(button);
    }
    column->addLayout(keys);
}

int ZMessageBox::information(QWidget *parent, const QPixmap &icon, const QString &text,
                             const QString &button0, const QString &button1, const QString &button2,
                             int defaultButton)
{
    ZMessageBox box(parent, icon, text, {button0, button1, button2}, defaultButton);
    box.setWindowTitle(parent ? parent->windowTitle() : QString());
    return box.exec() - 1;
}

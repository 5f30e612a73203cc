#pragma once

#include <QPushButton>

// A soft key. Texts that are resource ids ("CST_Exit") show the platform's
// label for that id.
class ZPushButton : public QPushButton
{
    Q_OBJECT

public:
    explicit ZPushButton(const QString &text = QString(), QWidget *parent = nullptr);

    void setResourceID(const QString &id);
    QString resourceID() const { return resource; }

    // The label the platform shows for a resource id; other texts unchanged.
    static QString resourceLabel(const QString &text);

protected:
    QString resource;
};

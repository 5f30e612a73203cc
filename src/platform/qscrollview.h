#pragma once

#include <QScrollArea>

// The old toolkit's scroll view: children are added at a position inside a
// content area that follows the viewport's size.
class QScrollView : public QScrollArea
{
    Q_OBJECT

public:
    explicit QScrollView(QWidget *parent = nullptr, const char *name = nullptr);

    void addChild(QWidget *child, int x = 0, int y = 0);
    QWidget *contents() const { return widget(); }
};

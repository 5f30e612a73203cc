#pragma once

#include <QObject>

class QPixmap;

// Process-wide holder of the two 18 x 18 check-box pictures that list rows
// paint: built from their XPM text on construction, released on destruction.
class MvSharePixmap : public QObject
{
    Q_OBJECT

public:
    explicit MvSharePixmap(QObject *parent = nullptr);
    ~MvSharePixmap() override;

    QPixmap *checkedPixmap = nullptr;
    QPixmap *uncheckedPixmap = nullptr;
};

// Created at start-up, deleted with the application object; null until then.
extern MvSharePixmap *sharePixmap;

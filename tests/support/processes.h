#pragma once

#include <QByteArray>
#include <QList>

// Live processes (zombies left out) whose command line contains text.
QList<qint64> processesWith(const QByteArray &text);

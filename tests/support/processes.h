#pragma once

#include <QByteArray>
#include <QList>

// Live processes (zombies left out) whose command line contains text.
QList<qint64> processesWith(const QByteArray &text);

// Live processes whose parent is the given process.
QList<qint64> childrenOf(qint64 parent);

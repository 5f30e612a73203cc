#include "support/processes.h"

#include <QDir>
#include <QFile>

QList<qint64> processesWith(const QByteArray &text)
{
    QList<qint64> found;
    const QStringList entries = QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        if (!numeric)
            continue;
        QFile cmdline("/proc/" + entry + "/cmdline");
        QFile stat("/proc/" + entry + "/stat");
        if (!cmdline.open(QIODevice::ReadOnly) || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray status = stat.readAll();
        const QByteArray state = status.mid(status.lastIndexOf(')') + 2, 1);
        if (state != "Z" && cmdline.readAll().contains(text))
            found << pid;
    }
    return found;
}

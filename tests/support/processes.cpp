#include "support/processes.h"

#include <QDir>
#include <QFile>

namespace {
// Each live process's id with its /proc stat fields after the name (state,
// parent, ...); zombies are left out.
template <typename Visit> void forEachProcess(Visit visit)
{
    const QStringList entries = QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        if (!numeric)
            continue;
        QFile stat("/proc/" + entry + "/stat");
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray status = stat.readAll();
        const QList<QByteArray> fields = status.mid(status.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields.at(0) != "Z")
            visit(pid, fields);
    }
}
} // namespace

QList<qint64> processesWith(const QByteArray &text)
{
    QList<qint64> found;
    forEachProcess([&](qint64 pid, const QList<QByteArray> &) {
        QFile cmdline("/proc/" + QString::number(pid) + "/cmdline");
        if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains(text))
            found << pid;
    });
    return found;
}

QList<qint64> childrenOf(qint64 parent)
{
    QList<qint64> children;
    forEachProcess([&](qint64 pid, const QList<QByteArray> &fields) {
        if (fields.at(1).toLongLong() == parent)
            children << pid;
    });
    return children;
}

#pragma once

#include <QFile>
#include <QString>
#include <QStringList>
#include <QVector>

// The scripted engine's log: "<monotonic ms> <pid> <kind> <text>" per line,
// kinds start, arg, cwd, in, out, err, exit, signal.
class EngineLog
{
public:
    struct Entry
    {
        double ms = 0;
        qint64 pid = 0;
        QString kind;
        QString text;
    };

    explicit EngineLog(const QString &path) : path(path) {}

    QVector<Entry> read() const
    {
        QVector<Entry> entries;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return entries;
        for (const QByteArray &raw : file.readAll().split('\n')) {
            if (raw.isEmpty())
                continue;
            const QString line = QString::fromUtf8(raw);
            const QStringList head = line.section(QLatin1Char(' '), 0, 2).split(QLatin1Char(' '));
            if (head.size() < 3)
                continue;
            Entry entry;
            entry.ms = head[0].toDouble();
            entry.pid = head[1].toLongLong();
            entry.kind = head[2];
            entry.text = line.section(QLatin1Char(' '), 3);
            entries.append(entry);
        }
        return entries;
    }

    QStringList texts(const QString &kind) const
    {
        QStringList result;
        for (const Entry &entry : read())
            if (entry.kind == kind)
                result.append(entry.text);
        return result;
    }

    // Lines the engines read on stdin, in order.
    QStringList stdinLines() const { return texts(QStringLiteral("in")); }

private:
    QString path;
};

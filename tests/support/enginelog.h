#pragma once

#include <QFile>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

// The scripted engine's log: "<monotonic ms> <pid> <kind> <text>" per line,
// kinds start, arg, cwd, deathsig, in, out, err, exit, signal. It is read while
// engines write it: a line without its end and an engine whose start block
// has not reached its "deathsig" entry are left out until they are whole.
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
        QByteArray text = file.readAll();
        text.truncate(text.lastIndexOf('\n') + 1);
        QHash<qint64, qsizetype> startingAt;
        for (const QByteArray &raw : text.split('\n')) {
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
            if (entry.kind == QLatin1String("start"))
                startingAt.insert(entry.pid, entries.size());
            else if (entry.kind == QLatin1String("deathsig"))
                startingAt.remove(entry.pid);
            entries.append(entry);
        }
        if (startingAt.isEmpty())
            return entries;
        QVector<Entry> whole;
        for (qsizetype i = 0; i < entries.size(); ++i)
            if (i < startingAt.value(entries[i].pid, entries.size()))
                whole.append(entries[i]);
        return whole;
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

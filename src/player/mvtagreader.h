#pragma once

#include "player/mvmediatags.h"

#include <QObject>
#include <QSize>
#include <QString>

#include <atomic>
#include <memory>

class QTemporaryDir;
class QThread;

// Reads a medium's tags and cover on a thread of its own, so that a big file
// never holds up the window or the medium's start. Only the newest request
// is answered; a damaged tag or picture leaves its fields empty.
class MvTagReader : public QObject
{
    Q_OBJECT

public:
    // Longest text kept of a tag; pictures with more pixels are refused.
    static constexpr int maxTextLength = 256;
    static constexpr qint64 maxCoverPixels = 40LL * 1000 * 1000;
    static constexpr qint64 maxCoverBytes = 16 * 1024 * 1024;

    explicit MvTagReader(QObject *parent = nullptr, QSize coverBox = QSize(100, 100));
    ~MvTagReader() override;

    void request(const QString &path);
    // From now on a cover inside a medium is also kept as a file, for others
    // to show; the files go with the reader.
    void keepCoverFiles();
    QString coverFolder() const;

    // The work itself, on the calling thread. With a folder given, a cover
    // inside the medium is written there once and named in coverFile.
    static MvMediaTags read(const QString &path, QSize coverBox,
                            const QString &coverFolder = QString());
    // A picture's bytes, decoded no larger than the box; null when refused or damaged.
    static QImage decodeCover(const QByteArray &bytes, QSize box);

signals:
    void tagsRead(const MvMediaTags &tags);

private:
    QThread *thread;
    QObject *worker;
    QSize box;
    std::unique_ptr<QTemporaryDir> covers;
    std::shared_ptr<std::atomic<quint64>> newest;
};

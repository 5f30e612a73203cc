#pragma once

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTime>

// A real medium made by ffmpeg: a tone (3 s unless told), with a moving test
// picture when withVideo. Long enough for the engine's start-up lines to be
// read before it ends.
inline bool makeTestMedium(const QString &path, bool withVideo, double seconds = 3)
{
    QStringList args = {QStringLiteral("-v"),
                        QStringLiteral("error"),
                        QStringLiteral("-y"),
                        QStringLiteral("-f"),
                        QStringLiteral("lavfi"),
                        QStringLiteral("-i"),
                        QStringLiteral("sine=frequency=440:duration=%1").arg(seconds)};
    if (withVideo)
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
             << QStringLiteral("testsrc=size=160x120:rate=10:duration=%1").arg(seconds)
             << QStringLiteral("-c:v") << QStringLiteral("mpeg4") << QStringLiteral("-shortest");
    args << path;
    return QProcess::execute(QStringLiteral("ffmpeg"), args) == 0;
}

// A tone of `count` chapters of `chapterSeconds` each, made by ffmpeg, the
// format following the path's extension: AAC in .m4b, .m4a and .mp4, ID3v2.3
// CHAP frames in .mp3, Vorbis in .mkv and .webm with their own chapters,
// CHAPTERnn comments (at most 999) in .ogg, .opus and .flac. Chapter i (from
// 0) is titled titles[i], else "Chapter i+1".
inline bool makeChapteredMedium(const QString &path, int count, double chapterSeconds,
                                const QStringList &titles = {})
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    const bool comments = QStringList{"ogg", "opus", "flac"}.contains(suffix);
    QString metadata = QStringLiteral(";FFMETADATA1\n");
    for (int i = 0; i < count; ++i) {
        QString title = titles.value(i, QStringLiteral("Chapter %1").arg(i + 1));
        title.replace(QRegularExpression(QStringLiteral("([\\\\=;#\n])")), QStringLiteral("\\\\1"));
        const int start = qRound(i * chapterSeconds * 1000),
                  end = qRound((i + 1) * chapterSeconds * 1000);
        const QString key =
            QStringLiteral("CHAPTER%1").arg(i + 1, count < 100 ? 2 : 3, 10, QLatin1Char('0'));
        metadata += comments
                        ? QStringLiteral("%1=%2\n%1NAME=%3\n")
                              .arg(key,
                                   QTime::fromMSecsSinceStartOfDay(start).toString(
                                       QStringLiteral("hh:mm:ss.zzz")),
                                   title)
                        : QStringLiteral("[CHAPTER]\nTIMEBASE=1/1000\nSTART=%1\nEND=%2\ntitle=%3\n")
                              .arg(start)
                              .arg(end)
                              .arg(title);
    }
    QFile file(path + QStringLiteral(".ffmetadata"));
    if (!file.open(QIODevice::WriteOnly) || file.write(metadata.toUtf8()) < 0)
        return false;
    file.close();
    const QHash<QString, QStringList> codecs = {
        {"mp3", {"-c:a", "libmp3lame", "-id3v2_version", "3"}},
        {"mkv", {"-c:a", "libvorbis"}},
        {"webm", {"-c:a", "libvorbis"}},
        {"ogg", {"-c:a", "libvorbis"}},
        {"opus", {"-c:a", "libopus"}},
        {"flac", {}}};
    const QStringList args = {
        "-nostdin",
        "-v",
        "error",
        "-y",
        "-f",
        "lavfi",
        "-i",
        QStringLiteral("sine=frequency=440:duration=%1").arg(count * chapterSeconds),
        "-i",
        file.fileName(),
        "-map_metadata",
        "1",
        "-map_chapters",
        comments ? "-1" : "1"};
    const bool made = QProcess::execute(QStringLiteral("ffmpeg"),
                                        args + codecs.value(suffix, {"-c:a", "aac", "-f", "mp4"}) +
                                            QStringList{path}) == 0;
    file.remove();
    return made;
}

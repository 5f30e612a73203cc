#pragma once

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>

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
    const bool comments = suffix == QLatin1String("ogg") || suffix == QLatin1String("opus") ||
                          suffix == QLatin1String("flac");
    auto escaped = [](QString text) {
        for (const char *special : {"\\", "=", ";", "#", "\n"})
            text.replace(QLatin1String(special), QLatin1Char('\\') + QLatin1String(special));
        return text;
    };
    QString metadata = QStringLiteral(";FFMETADATA1\n");
    for (int i = 0; i < count; ++i) {
        const QString title = escaped(titles.value(i, QStringLiteral("Chapter %1").arg(i + 1)));
        const qint64 start = qRound64(i * chapterSeconds * 1000);
        if (comments) {
            const QString key =
                QStringLiteral("CHAPTER%1").arg(i + 1, count < 100 ? 2 : 3, 10, QLatin1Char('0'));
            metadata += QStringLiteral("%1=%2:%3:%4.%5\n%1NAME=%6\n")
                            .arg(key)
                            .arg(start / 3600000, 2, 10, QLatin1Char('0'))
                            .arg(start / 60000 % 60, 2, 10, QLatin1Char('0'))
                            .arg(start / 1000 % 60, 2, 10, QLatin1Char('0'))
                            .arg(start % 1000, 3, 10, QLatin1Char('0'))
                            .arg(title);
        } else {
            metadata += QStringLiteral("[CHAPTER]\nTIMEBASE=1/1000\nSTART=%1\nEND=%2\ntitle=%3\n")
                            .arg(start)
                            .arg(qRound64((i + 1) * chapterSeconds * 1000))
                            .arg(title);
        }
    }
    QFile file(path + QStringLiteral(".ffmetadata"));
    if (!file.open(QIODevice::WriteOnly) || file.write(metadata.toUtf8()) < 0)
        return false;
    file.close();
    QStringList codec;
    if (suffix == QLatin1String("mp3"))
        codec = {"-c:a", "libmp3lame", "-id3v2_version", "3"};
    else if (suffix == QLatin1String("mkv") || suffix == QLatin1String("webm") ||
             suffix == QLatin1String("ogg"))
        codec = {"-c:a", "libvorbis"};
    else if (suffix == QLatin1String("opus"))
        codec = {"-c:a", "libopus"};
    else if (suffix != QLatin1String("flac"))
        codec = {"-c:a", "aac", "-f", "mp4"};
    const QStringList args =
        QStringList{"-nostdin",
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
                    comments ? "-1" : "1"} +
        codec + QStringList{path};
    const bool made = QProcess::execute(QStringLiteral("ffmpeg"), args) == 0;
    file.remove();
    return made;
}

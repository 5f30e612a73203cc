// The adapter's mpv side without mpv: slave commands to IPC, IPC to the
// lines the front-end reads, the JSON underneath, and mpv's argument list.
#include "jsonvalue.h"
#include "mpvcommandline.h"
#include "mpvtranslator.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

// What mpv is told to play after the last medium, as request `id`.
QByteArray playOut(int id)
{
    return "{\"command\":[\"loadfile\",\"av://lavfi:anullsrc=r=44100:cl=stereo:d=1\","
           "\"append\"],\"request_id\":" +
           QByteArray::number(id) + "}\n";
}

std::string bytes(const QByteArray &data)
{
    return std::string(data.constData(), size_t(data.size()));
}

QByteArray fromStd(const std::string &text)
{
    return QByteArray(text.data(), qsizetype(text.size()));
}

} // namespace

class TestMpvTranslation : public QObject
{
    Q_OBJECT

private slots:
    void commands_data();
    void commands();
    void events_data();
    void events();
    void queuedMedium_data();
    void queuedMedium();
    void statusPieces();
    void json_data();
    void json();
    void commandLine();
    void commandLineMedia_data();
    void commandLineMedia();
};

void TestMpvTranslation::commands_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("ipc");

    QTest::addRow("seek ends a pause")
        << QByteArray("seek 10\n")
        << QByteArray("{\"command\":[\"seek\",10.000,\"relative\"],\"request_id\":1}\n"
                      "{\"command\":[\"set_property\",\"pause\",false],\"request_id\":2}\n");
    QTest::addRow("relative seek as the program sends it")
        << QByteArray("seek -15 \n")
        << QByteArray("{\"command\":[\"seek\",-15.000,\"relative\"],\"request_id\":1}\n"
                      "{\"command\":[\"set_property\",\"pause\",false],\"request_id\":2}\n");
    QTest::addRow("seek that keeps the pause")
        << QByteArray("pausing_keep_force seek 50 1")
        << QByteArray("{\"command\":[\"seek\",50.000,\"absolute-percent\"],\"request_id\":1}\n");
    QTest::addRow("seek that toggles the pause")
        << QByteArray("pausing_toggle seek 7 2\n")
        << QByteArray("{\"command\":[\"seek\",7.000,\"absolute\"],\"request_id\":1}\n"
                      "{\"command\":[\"cycle\",\"pause\"],\"request_id\":2}\n");
    QTest::addRow("mute, paused after")
        << QByteArray("pausing mute\n")
        << QByteArray("{\"command\":[\"cycle\",\"mute\"],\"request_id\":1}\n"
                      "{\"command\":[\"set_property\",\"pause\",true],\"request_id\":2}\n");
    // mpv's volume cubes: 50 % is 10 dB below full, as with MPlayer.
    QTest::addRow("absolute volume")
        << QByteArray("pausing_keep_force volume 50 100\n")
        << QByteArray("{\"command\":[\"set_property\",\"volume\",68.129],\"request_id\":1}\n");
    QTest::addRow("absolute volume, full")
        << QByteArray("volume 100 1\n")
        << QByteArray("{\"command\":[\"set_property\",\"volume\",100.000],\"request_id\":1}\n");
    QTest::addRow("relative volume")
        << QByteArray("volume -5\n")
        << QByteArray("{\"command\":[\"add\",\"volume\",-5.000],\"request_id\":1}\n");
    QTest::addRow("length") << QByteArray("get_time_length\n")
                            << QByteArray("{\"command\":[\"get_property\",\"duration\"],"
                                          "\"request_id\":1}\n");
    QTest::addRow("quit with a status")
        << QByteArray("quit 3\n") << QByteArray("{\"command\":[\"quit\",3],\"request_id\":1}\n");
    QTest::addRow("pause while idle is ignored, as MPlayer does")
        << QByteArray("pause\n") << QByteArray();
    QTest::addRow("no counterpart") << QByteArray("key_down_event 13\n") << QByteArray();
    QTest::addRow("name with a quote, a tab and bytes that are not UTF-8")
        << QByteArray("loadfile /m/a\"\tb\xff.mp3\n")
        << QByteArray("{\"command\":[\"set_property\",\"pause\",false],\"request_id\":1}\n"
                      "{\"command\":[\"loadfile\",\"/m/a\\\"\\u0009b\xff.mp3\",\"replace\"],"
                      "\"request_id\":2}\n" +
                      playOut(3));
    QTest::addRow("playlist file: the first replaces, the rest follow")
        << QByteArray("loadlist @list\n")
        << QByteArray("{\"command\":[\"set_property\",\"pause\",false],\"request_id\":1}\n"
                      "{\"command\":[\"loadfile\",\"/m/one two.mp3\",\"replace\"],"
                      "\"request_id\":2}\n"
                      "{\"command\":[\"loadfile\",\"/m/2.ogg\",\"append\"],\"request_id\":3}\n" +
                      playOut(4));
    QTest::addRow("queued: in place of what was queued, the pause kept")
        << QByteArray("loadlist @list 1\n")
        << QByteArray("{\"command\":[\"playlist-clear\"],\"request_id\":1}\n"
                      "{\"command\":[\"loadfile\",\"/m/one two.mp3\",\"append\"],"
                      "\"request_id\":2}\n"
                      "{\"command\":[\"loadfile\",\"/m/2.ogg\",\"append\"],\"request_id\":3}\n" +
                      playOut(4));
}

void TestMpvTranslation::commands()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, ipc);

    QTemporaryDir dir;
    const QByteArray list = QFile::encodeName(dir.filePath("list name"));
    QFile file(dir.filePath("list name"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("/m/one two.mp3\n\n/m/2.ogg\n");
    file.close();
    line.replace("@list", list);

    MpvTranslator translator("sdl", "x11");
    std::string sent = translator.commands(bytes(line));
    sent += translator.finishCommands();
    QCOMPARE(fromStd(sent), ipc);
}

void TestMpvTranslation::events_data()
{
    QTest::addColumn<QByteArray>("medium");
    QTest::addColumn<QByteArray>("ipc");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");

    // Requests 1 to 4 follow properties, 5 and 6 load the medium, 7 the silence
    // after it, 8 asks its tracks.
    const QByteArray started = "{\"request_id\":6,\"error\":\"success\",\"data\":"
                               "{\"playlist_entry_id\":1}}\n"
                               "{\"event\":\"start-file\",\"playlist_entry_id\":1}\n";
    const QByteArray loaded = started + "{\"event\":\"file-loaded\"}\n";
    const QByteArray audioTrack =
        "{\"type\":\"audio\",\"selected\":true,\"demux-samplerate\":44100,"
        "\"demux-channel-count\":2}";
    const QByteArray audioHeader = "Audio file file format detected.\n"
                                   "AO: [sdl] 44100Hz 2ch s16le (2 bytes per sample)\n"
                                   "Video: no video\nStarting playback...\n";

    QTest::addRow("song plays to its end")
        << QByteArray("/m/a.mp3")
        << loaded + "{\"request_id\":8,\"error\":\"success\",\"data\":[" + audioTrack +
               "]}\n{\"event\":\"end-file\",\"reason\":\"eof\",\"playlist_entry_id\":1}\n"
               "{\"event\":\"idle\"}\n"
        << "Playing /m/a.mp3.\n" + audioHeader + "EOF code: 1\n"
        << QByteArray();
    QTest::addRow("cover picture is no video, a name not UTF-8 stays as it is")
        << QByteArray("/m/\xff.mp3")
        << loaded +
               "{\"request_id\":8,\"error\":\"success\",\"data\":[{\"type\":\"video\","
               "\"selected\":true,\"albumart\":true,\"title\":\"\xfe\"}," +
               audioTrack + "]}\n"
        << "Playing /m/\xff.mp3.\n" + audioHeader << QByteArray();
    const QByteArray videoTracks =
        loaded +
        "{\"request_id\":8,\"error\":\"success\",\"data\":[{\"type\":\"video\","
        "\"selected\":true,\"codec\":\"mpeg4\",\"demux-w\":160,\"demux-h\":120,"
        "\"demux-fps\":15}," +
        audioTrack + "]}\n";
    const QByteArray videoHeader = "libavformat file format detected.\n"
                                   "VIDEO:  [mpeg4]  160x120  24bpp  15.000 fps\n"
                                   "AO: [sdl] 44100Hz 2ch s16le (2 bytes per sample)\n"
                                   "VO: [x11] 160x120 => 160x120\nStarting playback...\n";
    const QByteArray restart = "{\"event\":\"playback-restart\"}\n";
    // The front-end shows its window on a video's header: not before mpv's own is up.
    QTest::addRow("video header held until playback begins")
        << QByteArray("/m/v.avi") << videoTracks << QByteArray("Playing /m/v.avi.\n")
        << QByteArray();
    QTest::addRow("video with sound") << QByteArray("/m/v.avi") << videoTracks + restart
                                      << "Playing /m/v.avi.\n" + videoHeader << QByteArray();
    QTest::addRow("video that began before its tracks were told")
        << QByteArray("/m/v.avi")
        << started + "{\"event\":\"file-loaded\"}\n" + restart + videoTracks.mid(loaded.size())
        << "Playing /m/v.avi.\n" + videoHeader << QByteArray();
    QTest::addRow("medium replaced: no end line")
        << QByteArray("/m/a.mp3")
        << loaded + "{\"request_id\":8,\"error\":\"success\",\"data\":[" + audioTrack +
               "]}\n{\"event\":\"end-file\",\"reason\":\"stop\",\"playlist_entry_id\":1}\n"
        << "Playing /m/a.mp3.\n" + audioHeader << QByteArray();
    QTest::addRow("missing file refused with mpv's reason")
        << QByteArray("/nonexistent/a.mp3")
        << started + "{\"event\":\"end-file\",\"reason\":\"error\",\"file_error\":"
                     "\"loading failed\"}\n"
        << QByteArray("Playing /nonexistent/a.mp3.\n")
        << QByteArray("File not found: '/nonexistent/a.mp3' (loading failed)\n");
    QTest::addRow("unreadable file refused with mpv's reason")
        << QByteArray("/dev/null")
        << started + "{\"event\":\"end-file\",\"reason\":\"error\",\"file_error\":"
                     "\"unrecognized file format\"}\n"
        << QByteArray("Playing /dev/null.\n")
        << QByteArray("Failed to recognize file format (unrecognized file format)\n");
    QTest::addRow("malformed lines are skipped")
        << QByteArray("/m/a.mp3")
        << "{\"event\":\"start-file\"\n\xff\xfe}\n[[[1,2\n{\"event\":\"x\",}\n\"\\ud800\n" + started
        << QByteArray("Playing /m/a.mp3.\n") << QByteArray();
}

void TestMpvTranslation::events()
{
    QFETCH(QByteArray, medium);
    QFETCH(QByteArray, ipc);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);

    // Whole, and split at every byte.
    for (const qsizetype chunk : {ipc.size(), qsizetype(1)}) {
        MpvTranslator translator("sdl", "x11");
        translator.start({bytes(medium)});
        std::string said, complained;
        for (qsizetype i = 0; i < ipc.size(); i += chunk)
            translator.events(bytes(ipc.mid(i, chunk)), said, complained);
        QCOMPARE(fromStd(said), out);
        QCOMPARE(fromStd(complained), err);
    }
}

void TestMpvTranslation::queuedMedium_data()
{
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<QByteArray>("out");
    // Requests 1 to 6 follow properties and load /m/a.mp3, 7 the silence after
    // it, 8 to 10 queue /m/b.mp3 and the silence, 11 asks a's tracks.
    QTest::addRow("goes on to it")
        << QByteArray("{\"event\":\"start-file\",\"playlist_entry_id\":2}\n")
        << QByteArray("EOF code: 1\nPlaying /m/b.mp3.\n");
    QTest::addRow("idle after all")
        << QByteArray("{\"event\":\"idle\"}\n") << QByteArray("EOF code: 1\n");
}

// With a medium queued, the current one's end is told together with what
// comes next, in one piece for the front-end.
void TestMpvTranslation::queuedMedium()
{
    QFETCH(QByteArray, after);
    QFETCH(QByteArray, out);
    MpvTranslator translator("sdl", "x11");
    translator.start({"/m/a.mp3"});
    translator.command("loadfile /m/b.mp3 1");
    std::string said, complained;
    translator.events(
        "{\"request_id\":6,\"error\":\"success\",\"data\":{\"playlist_entry_id\":1}}\n"
        "{\"request_id\":9,\"error\":\"success\",\"data\":{\"playlist_entry_id\":2}}\n"
        "{\"event\":\"start-file\",\"playlist_entry_id\":1}\n"
        "{\"event\":\"file-loaded\"}\n"
        "{\"request_id\":11,\"error\":\"success\",\"data\":[{\"type\":\"audio\","
        "\"selected\":true}]}\n"
        "{\"event\":\"end-file\",\"reason\":\"eof\",\"playlist_entry_id\":1}\n",
        said, complained);
    QVERIFY2(!fromStd(said).contains("EOF"), said.c_str());
    said.clear();
    translator.events(bytes(after), said, complained);
    QCOMPARE(fromStd(said), out);
}

void TestMpvTranslation::statusPieces()
{
    MpvTranslator translator("sdl", "x11");
    translator.start({"/m/a.mp3"});
    std::string out, err;
    translator.events(
        "{\"request_id\":6,\"error\":\"success\",\"data\":{\"playlist_entry_id\":1}}\n"
        "{\"event\":\"start-file\",\"playlist_entry_id\":1}\n"
        "{\"event\":\"file-loaded\"}\n"
        "{\"event\":\"property-change\",\"id\":4,\"name\":\"duration\",\"data\":75.4}\n"
        "{\"request_id\":8,\"error\":\"success\",\"data\":[{\"type\":\"audio\","
        "\"selected\":true}]}\n",
        out, err);
    QVERIFY(translator.statusDue());
    // Each reply answers the one request out; a position standing still goes silent.
    QStringList pieces;
    for (double position : {61.5, 61.5, 61.5, 61.5, 61.5, 61.5, 61.5, 62.0}) {
        const std::string asked = translator.statusRequest();
        QVERIFY(translator.statusRequest().empty());
        static const QRegularExpression id("\"request_id\":([0-9]+)");
        const QString requestId = id.match(QString::fromStdString(asked)).captured(1);
        QVERIFY(!requestId.isEmpty());
        out.clear();
        translator.events("{\"request_id\":" + requestId.toStdString() +
                              ",\"error\":\"success\",\"data\":" + std::to_string(position) + "}\n",
                          out, err);
        pieces << QString::fromStdString(out);
    }
    QCOMPARE(pieces.first(), QString("A:  61.5 (01:01.5) of 75.4 (01:15.4)  0.0% \r"));
    QCOMPARE(pieces.count(pieces.first()), 5);
    QCOMPARE(pieces.count(QString()), 2);
    QVERIFY(pieces.last().startsWith("A:  62.0 (01:02.0)"));
    // Playback beginning asks its first position at once, not at the next pace.
    const std::string asked = translator.events("{\"event\":\"playback-restart\"}\n", out, err);
    QVERIFY(asked.find("\"time-pos\"") != std::string::npos);
    QVERIFY(translator.statusRequest().empty());
}

void TestMpvTranslation::json_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QByteArray>("string"); // the value of member "s", when valid

    QTest::addRow("escapes") << QByteArray(R"({"s":"a\"\\\/\n\u00e9"})") << true
                             << QByteArray("a\"\\/\n\xc3\xa9");
    QTest::addRow("surrogate pair")
        << QByteArray(R"({"s":"\ud83d\ude00"})") << true << QByteArray("\xf0\x9f\x98\x80");
    QTest::addRow("lone surrogate")
        << QByteArray(R"({"s":"\ud800x"})") << true << QByteArray("\xef\xbf\xbdx");
    QTest::addRow("bytes not UTF-8 kept")
        << QByteArray("{\"s\":\"\xff\xc3(\"}") << true << QByteArray("\xff\xc3(");
    QTest::addRow("trailing text") << QByteArray(R"({"s":"a"} x)") << false << QByteArray();
    QTest::addRow("raw control byte") << QByteArray("{\"s\":\"a\nb\"}") << false << QByteArray();
    QTest::addRow("unterminated") << QByteArray(R"({"s":"a)") << false << QByteArray();
    QTest::addRow("nested too deep") << QByteArray(1000, '[') << false << QByteArray();
}

void TestMpvTranslation::json()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, valid);
    QFETCH(QByteArray, string);

    const std::optional<JsonValue> value = JsonValue::parse(bytes(text));
    QCOMPARE(value.has_value(), valid);
    if (valid)
        QCOMPARE(fromStd(std::string(value->text("s"))), string);
}

void TestMpvTranslation::commandLine()
{
    const MpvCommandLine line =
        mpvCommandLine({"-ao",          "pulse,oss,sdl,null",
                        "-vo",          "x11,null",
                        "-wid",         "123",
                        "-nolirc",      "-slave",
                        "-mixer",       "/dev/mixer",
                        "-vf",          "rotate=10,expand=0:0:::1,scale=-2:320,crop=240:320",
                        "-af",          "channels=2,resample=44100:0:0",
                        "-sws",         "0",
                        "-framedrop",   "-fs",
                        "-idle",        "-softvol",
                        "-softvol-max", "100",
                        "-volume",      "31.62",
                        "/m/a b.mp3"},
                       3);
    QStringList args;
    for (const std::string &arg : line.arguments)
        args << QString::fromStdString(arg);
    for (const char *expected :
         {"--input-ipc-client=fd://3", "--idle=yes", "--no-config", "--osd-level=0", "--osc=no",
          "--wid=123", "--ao=pulse,sdl,null", "--vo=x11,null",
          "--vf=lavfi=[transpose=2,scale=-2:320,crop='min(iw,240)':'min(ih,320)']",
          "--audio-channels=stereo", "--audio-samplerate=44100", "--sws-scaler=fast-bilinear",
          "--volume=68.13"})
        QVERIFY2(args.contains(QLatin1String(expected)), expected);
    QCOMPARE(line.media, std::vector<std::string>{"/m/a b.mp3"});
    QCOMPARE(line.audioDriver, std::string("pulse"));
}

void TestMpvTranslation::commandLineMedia_data()
{
    QTest::addColumn<QByteArray>("list"); // the hand-off file, when given by -playlist
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArrayList>("media");
    QTest::newRow("a hand-off file, name not UTF-8")
        << QByteArray("/m/caf\xe9.mp3\n") << QStringList{"-idle", "-playlist", "@"}
        << QByteArrayList{"/m/caf\xe9.mp3"};
    QTest::newRow("a hand-off file with CRLF and a blank line")
        << QByteArray("/m/a.mp3\r\n\r\n/m/b.mp3") << QStringList{"-playlist", "@", "-fs"}
        << QByteArrayList{"/m/a.mp3", "/m/b.mp3"};
    QTest::newRow("white space at the ends, a comment")
        << QByteArray(" /m/a.mp3 \t\n# note\n\t/m/b c.mp3\n") << QStringList{"-playlist", "@"}
        << QByteArrayList{"/m/a.mp3", "/m/b c.mp3"};
}

void TestMpvTranslation::commandLineMedia()
{
    QFETCH(QByteArray, list);
    QFETCH(QStringList, arguments);
    QFETCH(QByteArrayList, media);
    QTemporaryDir dir;
    const QString listPath = dir.filePath(QStringLiteral("curmedia.name"));
    QFile file(listPath);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(list) == list.size());
    file.close();
    std::vector<std::string> args;
    for (const QString &arg : arguments)
        args.push_back((arg == QLatin1String("@") ? listPath : arg).toStdString());
    QByteArrayList got;
    for (const std::string &medium : mpvCommandLine(args, 3).media)
        got << QByteArray::fromStdString(medium);
    QCOMPARE(got, media);
}

QTEST_MAIN(TestMpvTranslation)
#include "tst_mpvtranslation.moc"

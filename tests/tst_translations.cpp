#include "platform/util_cst.h"
#include "platform/zpushbutton.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTest>
#include <QTranslator>
#include <QXmlStreamReader>

// Each translation in the tree: complete, compiled into the build, and its
// soft-key labels fit a key of the phone's 240-pixel bar.
class TestTranslations : public QObject
{
    Q_OBJECT

private slots:
    void translation_data();
    void translation();
};

void TestTranslations::translation_data()
{
    QTest::addColumn<QString>("language");
    const QStringList sources = QDir(QStringLiteral(MOVARA_SOURCE_DIR "/translations"))
                                    .entryList({QStringLiteral("movara_*.ts")});
    QVERIFY(sources.size() >= 2);
    for (const QString &file : sources)
        QTest::newRow(qPrintable(file)) << file.mid(7).chopped(3);
}

void TestTranslations::translation()
{
    QFETCH(QString, language);
    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral(MOVARA_BIN_DIR "/translations/movara_") + language));
    QCoreApplication::installTranslator(&translator);
    UTIL_CST bar(nullptr, QString(), QString(), QString());
    bar.show();
    ZPushButton *key = bar.getMidBtn();
    key->ensurePolished();

    QFile ts(QStringLiteral(MOVARA_SOURCE_DIR "/translations/movara_%1.ts").arg(language));
    QVERIFY(ts.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&ts);
    QString context, source;
    int softKeys = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"name")
            context = xml.readElementText();
        else if (xml.name() == u"source")
            source = xml.readElementText();
        else if (xml.name() == u"translation") {
            // Texts the program no longer has are kept for reference only.
            const QString type = xml.attributes().value(QLatin1String("type")).toString();
            if (type == u"vanished" || type == u"obsolete")
                continue;
            const QString text = xml.readElementText();
            QVERIFY2(type.isEmpty() && !text.isEmpty(), qPrintable(context + ": " + source));
            const QByteArray utf8 = source.toUtf8();
            QCOMPARE(QCoreApplication::translate(qPrintable(context), utf8.constData()), text);
            if (context == u"ZPushButton" || source == u"Main Page") {
                ++softKeys;
                QVERIFY2(key->fontMetrics().horizontalAdvance(text) <= key->width() - 4,
                         qPrintable(text));
            }
        }
    }
    QVERIFY(!xml.hasError());
    QVERIFY(softKeys >= 3);
    bar.getRightBtn()->setResourceID(QStringLiteral("CST_Back"));
    QCOMPARE(bar.getRightBtn()->text(), QCoreApplication::translate("ZPushButton", "Back"));
    QVERIFY(bar.getRightBtn()->text() != u"Back");
    QCoreApplication::removeTranslator(&translator);
}

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"

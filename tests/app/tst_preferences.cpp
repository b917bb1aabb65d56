#include "app/Preferences.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <limits>

using namespace Qt::StringLiterals;

using Key = Preferences::Key;

namespace {

const QString printArgument = u"--print-preferences"_s;
const QString geometryKey = u"Clipwell.HistoryWindow.v2"_s;

// Every typed read of the store, one line each; what a second process sees.
QStringList typedReads(const Preferences& preferences)
{
    const std::optional<QString> language = preferences.stringValue(Key::appLanguage);
    return {
        u"appLanguage="_s + (language ? *language : u"<none>"_s),
        u"recordingPaused="_s + (preferences.boolValue(Key::recordingPaused) ? u"true"_s : u"false"_s),
        u"quickPasteEnabled="_s + (preferences.boolValue(Key::quickPasteEnabled) ? u"true"_s : u"false"_s),
        u"accessibilityGuideLaunchPresentationCount="_s +
            QString::number(preferences.intValue(Key::accessibilityGuideLaunchPresentationCount)),
        u"historySidebarWidth="_s + QString::number(preferences.doubleValue(Key::historySidebarWidth)),
        geometryKey + u'=' + QString::fromLatin1(preferences.bytesValue(geometryKey).toHex()),
    };
}

QString uniqueFile(const QTemporaryDir& directory)
{
    static int counter = 0;
    return directory.filePath(u"prefs-%1.conf"_s.arg(++counter));
}

} // namespace

class TestPreferences : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_directory;

private Q_SLOTS:
    void standardLocation()
    {
        QStandardPaths::setTestModeEnabled(true);
        QCOMPARE(Preferences::standard().filePath(),
                 QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                     u"/Clipwell/Clipwell.conf"_s);
    }

    void readsInASecondProcess_data()
    {
        QTest::addColumn<bool>("write");
        QTest::addColumn<QString>("language");
        QTest::addColumn<bool>("paused");
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("width");
        QTest::addColumn<QByteArray>("geometry");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("nothing written")
            << false << QString() << false << 0 << 0.0 << QByteArray()
            << QStringList{u"appLanguage=<none>"_s,      u"recordingPaused=false"_s,
                           u"quickPasteEnabled=false"_s, u"accessibilityGuideLaunchPresentationCount=0"_s,
                           u"historySidebarWidth=0"_s,   geometryKey + u'='};
        QTest::newRow("true and fractions")
            << true << u"zh-Hant"_s << true << 7 << 1.5 << QByteArray("\x01\xd9\xd0\xcb", 4)
            << QStringList{u"appLanguage=zh-Hant"_s,     u"recordingPaused=true"_s,
                           u"quickPasteEnabled=true"_s,  u"accessibilityGuideLaunchPresentationCount=7"_s,
                           u"historySidebarWidth=1.5"_s, geometryKey + u"=01d9d0cb"_s};
        QTest::newRow("false, negative, empty string")
            << true << QString() << false << -3 << -250.25 << QByteArray("=,")
            << QStringList{u"appLanguage="_s,
                           u"recordingPaused=false"_s,
                           u"quickPasteEnabled=false"_s,
                           u"accessibilityGuideLaunchPresentationCount=-3"_s,
                           u"historySidebarWidth=-250.25"_s,
                           geometryKey + u"=3d2c"_s};
    }

    // The INI file keeps no types: a fresh process reads booleans and numbers back from text. The
    // writer stays alive, so this also shows that each write reaches the file at once.
    void readsInASecondProcess()
    {
        QFETCH(bool, write);
        QFETCH(QString, language);
        QFETCH(bool, paused);
        QFETCH(int, count);
        QFETCH(double, width);
        QFETCH(QByteArray, geometry);
        QFETCH(QStringList, expected);

        const QString path = uniqueFile(m_directory);
        Preferences preferences(path);
        if (write) {
            preferences.setString(Key::appLanguage, language);
            preferences.setBool(Key::recordingPaused, paused);
            preferences.setBool(Key::quickPasteEnabled, paused);
            preferences.setInt(Key::accessibilityGuideLaunchPresentationCount, count);
            preferences.setDouble(Key::historySidebarWidth, width);
            preferences.setBytes(geometryKey, geometry);
        }
        QCOMPARE(typedReads(preferences), expected);

        QProcess reader;
        reader.start(QCoreApplication::applicationFilePath(), {printArgument, path});
        QVERIFY(reader.waitForFinished(60000));
        QCOMPARE(reader.exitCode(), 0);
        const QString output = QString::fromUtf8(reader.readAllStandardOutput());
        QCOMPARE(output.split(u'\n', Qt::SkipEmptyParts), expected);
    }

    void storedUnderTheirNames()
    {
        const QString path = uniqueFile(m_directory);
        Preferences preferences(path);
        preferences.setString(Key::appTheme, u"dark"_s);
        preferences.setInt(Key::accessibilityGuideLaunchPresentationCount, 2);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray contents = file.readAll();
        QVERIFY2(contents.contains("\nappTheme=dark\n"), contents.constData());
        QVERIFY2(contents.contains("\naccessibilityGuideLaunchPresentationCount=2\n"), contents.constData());
    }

    // Values written by hand or by an older version: anything unusable reads as the zero value.
    void rawValues_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<bool>("boolean");
        QTest::addColumn<int>("integer");
        QTest::addColumn<double>("real");

        QTest::newRow("true") << QByteArray("true") << true << 0 << 0.0;
        QTest::newRow("True") << QByteArray("True") << true << 0 << 0.0;
        QTest::newRow("false") << QByteArray("false") << false << 0 << 0.0;
        QTest::newRow("1") << QByteArray("1") << true << 1 << 1.0;
        QTest::newRow("0") << QByteArray("0") << false << 0 << 0.0;
        QTest::newRow("yes") << QByteArray("yes") << false << 0 << 0.0;
        QTest::newRow("word") << QByteArray("sometimes") << false << 0 << 0.0;
        QTest::newRow("negative") << QByteArray("-5") << false << -5 << -5.0;
        QTest::newRow("fraction") << QByteArray("1.9") << false << 1 << 1.9;
        QTest::newRow("negative fraction") << QByteArray("-1.9") << false << -1 << -1.9;
        QTest::newRow("exponent") << QByteArray("2.5e2") << false << 250 << 250.0;
        QTest::newRow("beyond int") << QByteArray("99999999999") << false << std::numeric_limits<int>::max()
                                    << 99999999999.0;
        QTest::newRow("below int") << QByteArray("-99999999999") << false << std::numeric_limits<int>::min()
                                   << -99999999999.0;
        QTest::newRow("nan") << QByteArray("nan") << false << 0 << 0.0;
        QTest::newRow("inf") << QByteArray("inf") << false << 0 << 0.0;
        QTest::newRow("list") << QByteArray("1, 2") << false << 0 << 0.0;
        QTest::newRow("empty") << QByteArray("") << false << 0 << 0.0;
    }

    void rawValues()
    {
        QFETCH(QByteArray, raw);
        QFETCH(bool, boolean);
        QFETCH(int, integer);
        QFETCH(double, real);

        const QString path = uniqueFile(m_directory);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[General]\nvalue=" + raw + "\n");
        file.close();

        const Preferences preferences(path);
        const QString key = u"value"_s;
        QCOMPARE(preferences.boolValue(key), boolean);
        QCOMPARE(preferences.intValue(key), integer);
        QCOMPARE(preferences.doubleValue(key), real);
    }

    void unknownLanguageStaysInTheStore()
    {
        const QString path = uniqueFile(m_directory);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[General]\nappLanguage=tlh\nappTheme=sepia\n");
        file.close();

        Preferences preferences(path);
        QCOMPARE(preferences.stringValue(Key::appLanguage), std::optional(u"tlh"_s));
        QCOMPARE(preferences.stringValue(Key::appTheme), std::optional(u"sepia"_s));
    }
};

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 3 && arguments.at(1) == printArgument) {
        const Preferences preferences(arguments.at(2));
        QTextStream out(stdout);
        for (const QString& line : typedReads(preferences))
            out << line << '\n';
        return 0;
    }
    TestPreferences test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_preferences.moc"

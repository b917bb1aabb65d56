#include "app/Preferences.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <limits>

using namespace Qt::StringLiterals;

using Key = Preferences::Key;

namespace {

const QString printArgument = u"--print-preferences"_s;

// Every typed read of the store; what a second process sees.
QString typedReads(const Preferences& preferences)
{
    return QStringList{preferences.stringValue(Key::appLanguage).value_or(u"<none>"_s),
                       preferences.stringValue(Key::appTheme).value_or(u"<none>"_s),
                       QString::number(preferences.boolValue(Key::recordingPaused)),
                       QString::number(preferences.boolValue(Key::quickPasteEnabled)),
                       QString::number(preferences.intValue(Key::accessibilityGuideLaunchPresentationCount)),
                       QString::number(preferences.doubleValue(Key::historySidebarWidth)),
                       QString::fromLatin1(preferences.bytesValue(u"geometry"_s).toHex())}
        .join(u' ');
}

} // namespace

class TestPreferences : public QObject {
    Q_OBJECT

    QTemporaryDir m_directory;
    int m_files = 0;

    QString file(const QByteArray& contents = {})
    {
        const QString path = m_directory.filePath(u"prefs-%1.conf"_s.arg(++m_files));
        QFile file(path);
        if (!contents.isEmpty() && file.open(QIODevice::WriteOnly))
            file.write("[General]\n" + contents);
        return path;
    }

private Q_SLOTS:
    void standardLocation()
    {
        QStandardPaths::setTestModeEnabled(true);
        QCOMPARE(Preferences::standard().filePath(),
                 QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                     u"/Clipwell/Clipwell.conf"_s);
    }

    // The INI file keeps no types: a fresh process reads booleans and numbers back from text. The
    // writer stays alive, so this also shows that each write reaches the file at once.
    void readsInASecondProcess_data()
    {
        QTest::addColumn<bool>("flag");
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("width");
        QTest::addColumn<QByteArray>("geometry");
        QTest::addColumn<QString>("expected");
        QTest::newRow("nothing written") << false << 0 << 0.0 << QByteArray() << u"<none> <none> 0 0 0 0 "_s;
        QTest::newRow("true and fractions")
            << true << 7 << 1.5 << QByteArray("\x01\xd9\xd0\xcb", 4) << u"zh-Hant dark 1 1 7 1.5 01d9d0cb"_s;
        QTest::newRow("false, negative")
            << false << -3 << -250.25 << QByteArray("=,") << u"zh-Hant dark 0 0 -3 -250.25 3d2c"_s;
    }

    void readsInASecondProcess()
    {
        QFETCH(bool, flag);
        QFETCH(int, count);
        QFETCH(double, width);
        QFETCH(QByteArray, geometry);
        QFETCH(QString, expected);
        const QString path = file();
        Preferences preferences(path);
        if (QTest::currentDataTag() != "nothing written"_ba) {
            preferences.setString(Key::appLanguage, u"zh-Hant"_s);
            preferences.setString(Key::appTheme, u"dark"_s);
            preferences.setBool(Key::recordingPaused, flag);
            preferences.setBool(Key::quickPasteEnabled, flag);
            preferences.setInt(Key::accessibilityGuideLaunchPresentationCount, count);
            preferences.setDouble(Key::historySidebarWidth, width);
            preferences.setBytes(u"geometry"_s, geometry);
        }
        QCOMPARE(typedReads(preferences), expected);
        QProcess reader;
        reader.start(QCoreApplication::applicationFilePath(), {printArgument, path});
        QVERIFY(reader.waitForFinished(60000));
        QCOMPARE(QString::fromUtf8(reader.readAllStandardOutput()), expected);
    }

    // What an older version or a hand wrote is read under the same names, and an unknown value stays.
    void storedUnderTheirNames()
    {
        const Preferences preferences(
            file("appLanguage=tlh\nappTheme=sepia\nrecordingPaused=true\nquickPasteEnabled="
                 "1\naccessibilityGuideLaunchPresentationCount=2\nhistorySidebarWidth=9\n"));
        QCOMPARE(typedReads(preferences), u"tlh sepia 1 1 2 9 "_s);
    }

    // Values written by hand or by an older version: anything unusable reads as the zero value.
    void rawValues_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<bool>("boolean");
        QTest::addColumn<int>("integer");
        QTest::addColumn<double>("real");

        QTest::newRow("True") << QByteArray("True") << true << 0 << 0.0;
        QTest::newRow("false") << QByteArray("false") << false << 0 << 0.0;
        QTest::newRow("1") << QByteArray("1") << true << 1 << 1.0;
        QTest::newRow("0") << QByteArray("0") << false << 0 << 0.0;
        QTest::newRow("yes") << QByteArray("yes") << false << 0 << 0.0;
        QTest::newRow("negative fraction") << QByteArray("-1.9") << false << -1 << -1.9;
        QTest::newRow("exponent") << QByteArray("2.5e2") << false << 250 << 250.0;
        QTest::newRow("beyond int") << QByteArray("99999999999") << false << std::numeric_limits<int>::max()
                                    << 99999999999.0;
        QTest::newRow("below int") << QByteArray("-99999999999") << false << std::numeric_limits<int>::min()
                                   << -99999999999.0;
        QTest::newRow("nan") << QByteArray("nan") << false << 0 << 0.0;
        QTest::newRow("inf") << QByteArray("inf") << false << 0 << 0.0;
        QTest::newRow("list") << QByteArray("1, 2") << false << 0 << 0.0;
    }

    void rawValues()
    {
        QFETCH(QByteArray, raw);
        QFETCH(bool, boolean);
        QFETCH(int, integer);
        QFETCH(double, real);
        const Preferences preferences(file("value=" + raw + "\n"));
        QCOMPARE(preferences.boolValue(u"value"_s), boolean);
        QCOMPARE(preferences.intValue(u"value"_s), integer);
        QCOMPARE(preferences.doubleValue(u"value"_s), real);
    }
};

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 3 && arguments.at(1) == printArgument) {
        QFile out;
        return out.open(stdout, QIODevice::WriteOnly) &&
                       out.write(typedReads(Preferences(arguments.at(2))).toUtf8()) > 0
                   ? 0
                   : 1;
    }
    TestPreferences test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_preferences.moc"

#include "l10n/Localization.h"
#include "models/ClipboardEntry.h"
#include "models/PasteboardType.h"

#include <QStandardPaths>
#include <QTest>

Q_DECLARE_METATYPE(ClipboardEntry)

namespace {

ClipboardEntry entry(ClipboardKind kind, std::optional<QString> plainText,
                     QList<PasteboardItemSnapshot> items = {})
{
    ClipboardEntry result;
    result.kind = kind;
    result.title = QStringLiteral("stored title, never shown");
    result.plainText = std::move(plainText);
    result.items = std::move(items);
    return result;
}

QList<PasteboardItemSnapshot> files(const QList<QByteArray>& urls)
{
    QList<PasteboardItemSnapshot> items;
    for (const QByteArray& url : urls)
        items.append({{{PasteboardType::fileURL, url}}});
    return items;
}

} // namespace

class TestEntryDisplay : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        AppLocalization::shared().select(AppLanguage::english);
    }

    void displayTitle_data()
    {
        QTest::addColumn<ClipboardEntry>("entry");
        QTest::addColumn<QString>("title");

        QTest::newRow("first line of text")
            << entry(ClipboardKind::text, QStringLiteral("\n  first\nsecond")) << QStringLiteral("  first");
        QTest::newRow("a link shows its address")
            << entry(ClipboardKind::link, QStringLiteral("https://example.com/a"))
            << QStringLiteral("https://example.com/a");
        QTest::newRow("only newlines")
            << entry(ClipboardKind::text, QStringLiteral("\n\n\n")) << L10n::text(L10n::Key::kindText);
        QTest::newRow("no plain text")
            << entry(ClipboardKind::text, std::nullopt) << L10n::text(L10n::Key::richTextTitle);
        QTest::newRow("image") << entry(ClipboardKind::image, QStringLiteral("caption"))
                               << L10n::text(L10n::Key::copiedImage);
        QTest::newRow("one file") << entry(ClipboardKind::file, std::nullopt,
                                           files({"file:///home/u/notes%201.txt"}))
                                  << QStringLiteral("notes 1.txt");
        QTest::newRow("three files") << entry(ClipboardKind::file, std::nullopt,
                                              files({"file:///a/first.txt", "file:///b", "file:///c/"}))
                                     << L10n::format(L10n::Key::multipleFiles, QStringLiteral("first.txt"),
                                                     3);
        QTest::newRow("files after the first with a bad escape or another scheme not counted")
            << entry(ClipboardKind::file, std::nullopt,
                     files({"file:///a/first.txt", "file:///b%zz", "https://c", "file:///d%41"}))
            << L10n::format(L10n::Key::multipleFiles, QStringLiteral("first.txt"), 2);
        QTest::newRow("a file entry holding a web address")
            << entry(ClipboardKind::file, std::nullopt, files({"https://example.com/x.txt"}))
            << L10n::text(L10n::Key::kindFile);
    }

    void displayTitle()
    {
        QFETCH(ClipboardEntry, entry);
        QFETCH(QString, title);
        QCOMPARE(entry.displayTitle(), title);
    }

    void displaySourceName_data()
    {
        QTest::addColumn<QString>("sourceName");
        QTest::addColumn<QString>("shown");
        QTest::newRow("empty") << QString() << L10n::text(L10n::Key::otherApp);
        QTest::newRow("placeholder of older histories")
            << QStringLiteral("其他应用") << L10n::text(L10n::Key::otherApp);
        QTest::newRow("a single space is a name") << QStringLiteral(" ") << QStringLiteral(" ");
        QTest::newRow("a name") << QStringLiteral("Editor") << QStringLiteral("Editor");
    }

    void displaySourceName()
    {
        QFETCH(QString, sourceName);
        QFETCH(QString, shown);
        ClipboardEntry e;
        e.sourceName = sourceName;
        QCOMPARE(e.displaySourceName(), shown);
    }

    void textsFollowTheLanguage()
    {
        const ClipboardEntry image = entry(ClipboardKind::image, std::nullopt);
        const ClipboardEntry threeFiles =
            entry(ClipboardKind::file, std::nullopt, files({"file:///a/x.txt", "file:///b", "file:///c"}));
        const QString englishImage = image.displayTitle();
        const QString englishKind = ClipboardKinds::title(ClipboardKind::link);

        AppLocalization::shared().select(AppLanguage::simplifiedChinese);
        QVERIFY(image.displayTitle() != englishImage);
        QVERIFY(ClipboardKinds::title(ClipboardKind::link) != englishKind);
        QVERIFY(threeFiles.displayTitle().contains(QStringLiteral("x.txt")));
        QVERIFY(threeFiles.displayTitle().contains(u'3'));

        AppLocalization::shared().select(AppLanguage::english);
        QCOMPARE(image.displayTitle(), englishImage);
    }
};

QTEST_GUILESS_MAIN(TestEntryDisplay)
#include "tst_entrydisplay.moc"

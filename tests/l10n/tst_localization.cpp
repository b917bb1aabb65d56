#include "l10n/AppMessage.h"
#include "l10n/Localization.h"

#include <QDir>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

using Key = L10n::Key;
Q_DECLARE_METATYPE(L10n::Key)

namespace {

const QStringList identifiers{u"en"_s, u"zh-Hans"_s, u"zh-Hant"_s};

// The placeholders each format takes, as its callers fill them; every other text takes none.
QStringList requiredPlaceholders(Key key)
{
    switch (key) {
    case Key::itemCountOne:
    case Key::itemCountOther:
    case Key::previewTextTruncated:
        return {u"%L1"_s};
    case Key::multipleFiles:
        return {u"%1"_s, u"%L2"_s};
    case Key::imageDimensions:
    case Key::previewFilesTruncated:
        return {u"%L1"_s, u"%L2"_s};
    case Key::missingFile:
    case Key::pasteDestination:
    case Key::quickPasteSelection:
    case Key::historyReadFailed:
    case Key::historySaveFailed:
    case Key::diskFull:
    case Key::diskQuotaExceeded:
    case Key::permissionDenied:
    case Key::readOnlyDisk:
    case Key::unreadableHistoryKept:
        return {u"%1"_s};
    default:
        return {};
    }
}

QStringList placeholdersIn(const QString& text)
{
    static const QRegularExpression placeholder(u"%L?[0-9]+"_s);
    QStringList found;
    for (const QRegularExpressionMatch& match : placeholder.globalMatch(text))
        found.append(match.captured());
    found.sort();
    return found;
}

bool containsHan(const QString& text)
{
    for (const QChar c : text) {
        if (c.script() == QChar::Script_Han)
            return true;
    }
    return false;
}

Timestamp secondsBefore(const Timestamp& now, double seconds)
{
    return Timestamp{now.secondsSinceReferenceDate - seconds};
}

// A localization over its own store and a preferred-language list that the test changes.
struct Harness {
    std::optional<QString> storedValue;
    QStringList preferred{u"en-US"_s};
    std::unique_ptr<AppLocalization> localization;

    explicit Harness(const QString& stored = QString(), const QStringList& preferredLanguages = {u"en-US"_s})
        : preferred(preferredLanguages)
    {
        if (!stored.isNull())
            storedValue = stored;
        localization = std::make_unique<AppLocalization>(
            LanguageStore{[this] { return storedValue; },
                          [this](const QString& value) { storedValue = value; }},
            [this] { return preferred; });
    }

    std::optional<QString> stored() const { return storedValue; }
};

} // namespace

class TestLocalization : public QObject {
    Q_OBJECT

    std::optional<QString> sharedStored;

private Q_SLOTS:
    void initTestCase()
    {
        AppLocalization::shared().useStore(
            {[this] { return sharedStored; }, [this](const QString& value) { sharedStored = value; }});
    }

    void stringTables_data()
    {
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<Key>("key");
        for (const QString& identifier : identifiers) {
            for (const Key key : L10n::allKeys()) {
                QTest::addRow("%s %s", qPrintable(identifier), qPrintable(L10n::keyName(key)))
                    << identifier << key;
            }
        }
    }

    void stringTables()
    {
        QFETCH(QString, identifier);
        QFETCH(Key, key);
        const StringTable table(identifier);
        QVERIFY(table.isLoaded());
        const std::optional<QString> text = table.text(key);
        QVERIFY(text);
        QVERIFY(!text->trimmed().isEmpty());
        QVERIFY(*text != L10n::keyName(key));
        QCOMPARE(placeholdersIn(*text), requiredPlaceholders(key));
        if (identifier != u"en")
            QVERIFY2(containsHan(*text), qPrintable(*text));
    }

    void resolve_data()
    {
        QTest::addColumn<AppLanguage>("selection");
        QTest::addColumn<QStringList>("preferred");
        QTest::addColumn<QString>("identifier");

        const AppLanguage system = AppLanguage::system;
        QTest::newRow("zh-TW") << system << QStringList{u"zh-TW"_s} << u"zh-Hant"_s;
        QTest::newRow("zh-HK") << system << QStringList{u"zh-HK"_s} << u"zh-Hant"_s;
        QTest::newRow("zh-MO") << system << QStringList{u"zh-MO"_s} << u"zh-Hant"_s;
        QTest::newRow("zh-Hant-TW") << system << QStringList{u"zh-Hant-TW"_s} << u"zh-Hant"_s;
        QTest::newRow("zh_TW, POSIX form") << system << QStringList{u"zh_TW"_s} << u"zh-Hant"_s;
        QTest::newRow("zh_HK.UTF-8") << system << QStringList{u"zh_HK.UTF-8"_s} << u"zh-Hant"_s;
        QTest::newRow("zh-Hant-CN") << system << QStringList{u"zh-Hant-CN"_s} << u"zh-Hant"_s;
        QTest::newRow("zh-CN") << system << QStringList{u"zh-CN"_s} << u"zh-Hans"_s;
        QTest::newRow("zh-SG") << system << QStringList{u"zh-SG"_s} << u"zh-Hans"_s;
        QTest::newRow("zh") << system << QStringList{u"zh"_s} << u"zh-Hans"_s;
        QTest::newRow("zh-Hans") << system << QStringList{u"zh-Hans"_s} << u"zh-Hans"_s;
        QTest::newRow("zh_CN") << system << QStringList{u"zh_CN"_s} << u"zh-Hans"_s;
        QTest::newRow("en-GB") << system << QStringList{u"en-GB"_s} << u"en"_s;
        QTest::newRow("fr, de, then zh-TW")
            << system << QStringList{u"fr"_s, u"de"_s, u"zh-TW"_s} << u"zh-Hant"_s;
        QTest::newRow("first match wins")
            << system << QStringList{u"zh-CN"_s, u"zh-TW"_s, u"en"_s} << u"zh-Hans"_s;
        QTest::newRow("English before Chinese") << system << QStringList{u"en-AU"_s, u"zh-TW"_s} << u"en"_s;
        QTest::newRow("only fr and de") << system << QStringList{u"fr"_s, u"de"_s} << u"en"_s;
        QTest::newRow("Cantonese is another language") << system << QStringList{u"yue-HK"_s} << u"en"_s;
        QTest::newRow("C locale") << system << QStringList{u"C"_s} << u"en"_s;
        QTest::newRow("garbage") << system << QStringList{u"?!"_s, u""_s} << u"en"_s;
        QTest::newRow("empty list") << system << QStringList() << u"en"_s;
        QTest::newRow("explicit Simplified ignores preferences")
            << AppLanguage::simplifiedChinese << QStringList{u"zh-TW"_s} << u"zh-Hans"_s;
        QTest::newRow("explicit Traditional ignores preferences")
            << AppLanguage::traditionalChinese << QStringList{u"en"_s} << u"zh-Hant"_s;
        QTest::newRow("explicit English ignores preferences")
            << AppLanguage::english << QStringList{u"zh-CN"_s} << u"en"_s;
    }

    void resolve()
    {
        QFETCH(AppLanguage, selection);
        QFETCH(QStringList, preferred);
        QFETCH(QString, identifier);
        QCOMPARE(AppLocalization::resolve(selection, preferred), identifier);
    }

    void construction_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<AppLanguage>("selection");
        QTest::addColumn<QString>("identifier");

        QTest::newRow("nothing stored") << QString() << AppLanguage::system << u"zh-Hant"_s;
        QTest::newRow("system") << u"system"_s << AppLanguage::system << u"zh-Hant"_s;
        QTest::newRow("English") << u"en"_s << AppLanguage::english << u"en"_s;
        QTest::newRow("Simplified") << u"zh-Hans"_s << AppLanguage::simplifiedChinese << u"zh-Hans"_s;
        QTest::newRow("unknown value") << u"tlh"_s << AppLanguage::system << u"zh-Hant"_s;
    }

    void construction()
    {
        QFETCH(QString, stored);
        QFETCH(AppLanguage, selection);
        QFETCH(QString, identifier);
        Harness h(stored, {u"zh-TW"_s});
        QCOMPARE(h.localization->selection(), selection);
        QCOMPARE(h.localization->languageIdentifier(), identifier);
        QCOMPARE(h.localization->text(Key::cancel), StringTable(identifier).text(Key::cancel).value());
        // Reading never rewrites what is stored.
        QCOMPARE(h.stored(), stored.isNull() ? std::nullopt : std::optional(stored));
    }

    void select_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QStringList>("preferred");
        QTest::addColumn<AppLanguage>("choice");
        QTest::addColumn<int>("selectionChanges");
        QTest::addColumn<int>("languageChanges");
        QTest::addColumn<QString>("identifier");

        QTest::newRow("system to the English it resolves to")
            << u"system"_s << QStringList{u"en-GB"_s} << AppLanguage::english << 1 << 0 << u"en"_s;
        QTest::newRow("system to Simplified") << u"system"_s << QStringList{u"en-GB"_s}
                                              << AppLanguage::simplifiedChinese << 1 << 1 << u"zh-Hans"_s;
        QTest::newRow("Traditional to the system that resolves to it")
            << u"zh-Hant"_s << QStringList{u"zh-HK"_s} << AppLanguage::system << 1 << 0 << u"zh-Hant"_s;
        QTest::newRow("Simplified to a system without Chinese")
            << u"zh-Hans"_s << QStringList{u"fr"_s} << AppLanguage::system << 1 << 1 << u"en"_s;
        QTest::newRow("Simplified to Traditional")
            << u"zh-Hans"_s << QStringList{u"fr"_s} << AppLanguage::traditionalChinese << 1 << 1
            << u"zh-Hant"_s;
        QTest::newRow("same choice again")
            << u"en"_s << QStringList{u"zh-CN"_s} << AppLanguage::english << 0 << 0 << u"en"_s;
    }

    void select()
    {
        QFETCH(QString, stored);
        QFETCH(QStringList, preferred);
        QFETCH(AppLanguage, choice);
        QFETCH(int, selectionChanges);
        QFETCH(int, languageChanges);
        QFETCH(QString, identifier);

        Harness h(stored, preferred);
        // Something else overwrote the store since launch: the choice is stored even when unchanged.
        h.storedValue = u"stale"_s;
        QSignalSpy selectionSpy(h.localization.get(), &AppLocalization::selectionChanged);
        QSignalSpy identifierSpy(h.localization.get(), &AppLocalization::languageIdentifierChanged);
        QSignalSpy didChangeSpy(h.localization.get(), &AppLocalization::appLanguageDidChange);

        h.localization->select(choice);

        QCOMPARE(h.localization->selection(), choice);
        QCOMPARE(h.stored(), std::optional(AppLanguages::rawValue(choice)));
        QCOMPARE(selectionSpy.count(), selectionChanges);
        QCOMPARE(identifierSpy.count(), languageChanges);
        QCOMPARE(didChangeSpy.count(), languageChanges);
        QCOMPARE(h.localization->languageIdentifier(), identifier);
        QCOMPARE(h.localization->text(Key::selectAll), StringTable(identifier).text(Key::selectAll).value());
    }

    void refreshSystemLanguage_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<int>("languageChanges");
        QTest::addColumn<QString>("identifier");

        QTest::newRow("system, English to Traditional")
            << u"system"_s << QStringList{u"en-US"_s} << QStringList{u"zh-TW"_s} << 1 << u"zh-Hant"_s;
        QTest::newRow("system, one English to another")
            << u"system"_s << QStringList{u"en-GB"_s} << QStringList{u"en-US"_s} << 0 << u"en"_s;
        QTest::newRow("system, same script elsewhere")
            << u"system"_s << QStringList{u"zh-CN"_s} << QStringList{u"zh-SG"_s} << 0 << u"zh-Hans"_s;
        QTest::newRow("system, Simplified to Traditional")
            << u"system"_s << QStringList{u"zh-CN"_s} << QStringList{u"zh-HK"_s} << 1 << u"zh-Hant"_s;
        QTest::newRow("explicit English stays")
            << u"en"_s << QStringList{u"en-US"_s} << QStringList{u"zh-TW"_s} << 0 << u"en"_s;
    }

    void refreshSystemLanguage()
    {
        QFETCH(QString, stored);
        QFETCH(QStringList, before);
        QFETCH(QStringList, after);
        QFETCH(int, languageChanges);
        QFETCH(QString, identifier);

        Harness h(stored, before);
        QSignalSpy selectionSpy(h.localization.get(), &AppLocalization::selectionChanged);
        QSignalSpy didChangeSpy(h.localization.get(), &AppLocalization::appLanguageDidChange);
        h.preferred = after;
        h.localization->refreshSystemLanguage();
        h.localization->refreshSystemLanguage();

        QCOMPARE(didChangeSpy.count(), languageChanges);
        QCOMPARE(selectionSpy.count(), 0);
        QCOMPARE(h.localization->languageIdentifier(), identifier);
        QCOMPARE(h.stored(), std::optional(stored));
    }

    void relativeTime_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("expected");

        const double minute = 60;
        const double day = 86400;
        QTest::newRow("en now") << u"en"_s << 0.0 << u"Just now"_s;
        QTest::newRow("en 59 s") << u"en"_s << 59.0 << u"Just now"_s;
        QTest::newRow("en 59.9 s") << u"en"_s << 59.9 << u"Just now"_s;
        QTest::newRow("en 60 s") << u"en"_s << 60.0 << u"1 minute ago"_s;
        QTest::newRow("en 119 s") << u"en"_s << 119.0 << u"1 minute ago"_s;
        QTest::newRow("en 59 min 59 s") << u"en"_s << 3599.0 << u"59 minutes ago"_s;
        QTest::newRow("en 60 min") << u"en"_s << 60 * minute << u"1 hour ago"_s;
        QTest::newRow("en 1439 min") << u"en"_s << 1439 * minute << u"23 hours ago"_s;
        QTest::newRow("en 1440 min") << u"en"_s << 1440 * minute << u"1 day ago"_s;
        QTest::newRow("en 400 days") << u"en"_s << 400 * day << u"400 days ago"_s;
        QTest::newRow("en 1234 days") << u"en"_s << 1234 * day << u"1,234 days ago"_s;
        QTest::newRow("en future") << u"en"_s << -3600.0 << u"Just now"_s;
        QTest::newRow("zh-Hans 59 s") << u"zh-Hans"_s << 59.0 << u"刚刚"_s;
        QTest::newRow("zh-Hans 60 s") << u"zh-Hans"_s << 60.0 << u"1分钟前"_s;
        QTest::newRow("zh-Hans 59 min 59 s") << u"zh-Hans"_s << 3599.0 << u"59分钟前"_s;
        QTest::newRow("zh-Hans 60 min") << u"zh-Hans"_s << 60 * minute << u"1小时前"_s;
        QTest::newRow("zh-Hans 1439 min") << u"zh-Hans"_s << 1439 * minute << u"23小时前"_s;
        QTest::newRow("zh-Hans 1440 min") << u"zh-Hans"_s << 1440 * minute << u"1天前"_s;
        QTest::newRow("zh-Hans 400 days") << u"zh-Hans"_s << 400 * day << u"400天前"_s;
        QTest::newRow("zh-Hans future") << u"zh-Hans"_s << -1.0 << u"刚刚"_s;
        QTest::newRow("zh-Hant 60 min") << u"zh-Hant"_s << 60 * minute << u"1 小時前"_s;
        QTest::newRow("zh-Hant 1440 min") << u"zh-Hant"_s << 1440 * minute << u"1 天前"_s;
    }

    void relativeTime()
    {
        QFETCH(QString, language);
        QFETCH(double, seconds);
        QFETCH(QString, expected);
        Harness h(language);
        const Timestamp now{750'000'000.25};
        QCOMPARE(h.localization->relativeTime(secondsBefore(now, seconds), now), expected);
    }

    void relativeTimeFollowsTheLanguage()
    {
        Harness h(u"en"_s);
        const Timestamp now{750'000'000};
        QCOMPARE(h.localization->relativeTime(secondsBefore(now, 7200), now), u"2 hours ago"_s);
        h.localization->select(AppLanguage::simplifiedChinese);
        QCOMPARE(h.localization->relativeTime(secondsBefore(now, 7200), now), u"2小时前"_s);
    }

    void format_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<Key>("key");
        QTest::addColumn<QVariantList>("arguments");
        QTest::addColumn<QString>("expected");

        QTest::newRow("en count") << u"en"_s << Key::itemCountOther << QVariantList{1234} << u"1,234 items"_s;
        QTest::newRow("zh-Hans count")
            << u"zh-Hans"_s << Key::itemCountOther << QVariantList{1234} << u"1,234 项"_s;
        QTest::newRow("en zero") << u"en"_s << Key::itemCountOther << QVariantList{0} << u"0 items"_s;
        QTest::newRow("en dimensions")
            << u"en"_s << Key::imageDimensions << QVariantList{1920, 1080} << u"1,920 × 1,080 pixels"_s;
        QTest::newRow("en files") << u"en"_s << Key::multipleFiles << QVariantList{u"a.pdf"_s, 3}
                                  << u"3 files: a.pdf, …"_s;
        QTest::newRow("zh-Hant files")
            << u"zh-Hant"_s << Key::multipleFiles << QVariantList{u"報告.pdf"_s, 12345}
            << u"報告.pdf 等 12,345 個檔案"_s;
        // The file name is never read as a placeholder itself.
        QTest::newRow("name with placeholders")
            << u"en"_s << Key::missingFile << QVariantList{u"%1 %L2.txt"_s}
            << u"The file “%1 %L2.txt” no longer exists."_s;
        QTest::newRow("name with digits")
            << u"en"_s << Key::multipleFiles << QVariantList{u"100%2"_s, 2} << u"2 files: 100%2, …"_s;
    }

    // Qt's own %L follows the default locale; ours follows the interface language whatever it is.
    void format()
    {
        QFETCH(QString, language);
        QFETCH(Key, key);
        QFETCH(QVariantList, arguments);
        QFETCH(QString, expected);
        Harness h(language);
        const QLocale previous;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const QString formatted = h.localization->format(key, arguments);
        QLocale::setDefault(previous);
        QCOMPARE(formatted, expected);
    }

    void fillPlaceholders_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVariantList>("arguments");
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("expected");

        const QLocale german(QLocale::German, QLocale::Germany);
        const QLocale english(QLocale::English, QLocale::UnitedStates);
        QTest::newRow("localized") << u"%L1"_s << QVariantList{1234567} << german << u"1.234.567"_s;
        QTest::newRow("plain") << u"%1"_s << QVariantList{1234567} << german << u"1234567"_s;
        QTest::newRow("negative") << u"%L1"_s << QVariantList{-1234} << english << u"-1,234"_s;
        QTest::newRow("64-bit") << u"%L1"_s << QVariantList{qlonglong(5'000'000'000)} << english
                                << u"5,000,000,000"_s;
        QTest::newRow("order in text")
            << u"%2 before %1"_s << QVariantList{u"a"_s, u"b"_s} << english << u"b before a"_s;
        QTest::newRow("missing argument")
            << u"%1 and %2"_s << QVariantList{u"a"_s} << english << u"a and %2"_s;
        QTest::newRow("lone percent") << u"100% of %1"_s << QVariantList{u"a"_s} << english << u"100% of a"_s;
        QTest::newRow("string ignores L") << u"%L1"_s << QVariantList{u"1234"_s} << german << u"1234"_s;
    }

    void fillPlaceholders()
    {
        QFETCH(QString, text);
        QFETCH(QVariantList, arguments);
        QFETCH(QLocale, locale);
        QFETCH(QString, expected);
        QCOMPARE(L10n::fillPlaceholders(text, arguments, locale), expected);
    }

    void variadicFormat()
    {
        AppLocalization::shared().select(AppLanguage::english);
        const qsizetype count = 2048;
        QCOMPARE(L10n::format(Key::itemCountOther, count), u"2,048 items"_s);
        QCOMPARE(L10n::format(Key::multipleFiles, u"a.txt"_s, 2u), u"2 files: a.txt, …"_s);
        QCOMPARE(L10n::format(Key::pasteDestination, u"Firefox"_s), u"Paste into Firefox"_s);
    }

    void appMessage_data()
    {
        QTest::addColumn<std::optional<Key>>("key");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("simplified");

        QTest::newRow("neither") << std::optional<Key>() << QString() << QString() << QString();
        QTest::newRow("error only") << std::optional<Key>() << u"Disk full"_s << u"Disk full"_s
                                    << u"Disk full"_s;
        QTest::newRow("key only") << std::optional(Key::pasteCancelled) << QString() << u"Paste cancelled"_s
                                  << u"已取消粘贴"_s;
        QTest::newRow("key and error")
            << std::optional(Key::historySaveFailed) << u"Disk full"_s
            << u"Your history could not be saved: Disk full"_s << u"无法保存历史记录：Disk full"_s;
    }

    // The text is made on each read, so a message on screen follows a language change.
    void appMessage()
    {
        QFETCH(std::optional<Key>, key);
        QFETCH(QString, error);
        QFETCH(QString, english);
        QFETCH(QString, simplified);

        AppMessage message{key, error.isNull() ? std::nullopt : std::optional(AppError::fixed(error))};
        AppLocalization::shared().select(AppLanguage::english);
        QCOMPARE(message.text(), english);
        AppLocalization::shared().select(AppLanguage::simplifiedChinese);
        QCOMPARE(message.text(), simplified);
    }

    void errorDescribedByKeyFollowsTheLanguage()
    {
        const AppMessage message{Key::historyReadFailed, AppError::fromKey(Key::archiveTooLarge)};
        AppLocalization::shared().select(AppLanguage::english);
        QVERIFY(message.text().startsWith(
            u"Your history could not be read. The history file is too large to open. Clear History"_s));
        AppLocalization::shared().select(AppLanguage::traditionalChinese);
        QVERIFY(
            message.text().startsWith(u"無法讀取歷史記錄。歷史記錄檔案太大，無法開啟。「清除歷史記錄」"_s));
    }

    void sharedInstanceDrivesTheApplication_data()
    {
        QTest::addColumn<AppLanguage>("choice");
        QTest::addColumn<QString>("localeName");
        QTest::addColumn<QString>("cancel");
        QTest::addColumn<QString>("followSystem");
        // Qt's own, as in a text field's context menu.
        QTest::addColumn<QString>("qtCopy");

        QTest::newRow("Simplified") << AppLanguage::simplifiedChinese << u"zh_CN"_s << u"取消"_s
                                    << u"跟随系统"_s << u"复制(&C)"_s;
        QTest::newRow("Traditional") << AppLanguage::traditionalChinese << u"zh_TW"_s << u"取消"_s
                                     << u"跟隨系統"_s << u"複製(&C)"_s;
        QTest::newRow("English") << AppLanguage::english << u"en_US"_s << u"Cancel"_s << u"Follow System"_s
                                 << u"&Copy"_s;
    }

    void sharedInstanceDrivesTheApplication()
    {
        QFETCH(AppLanguage, choice);
        QFETCH(QString, localeName);
        QFETCH(QString, cancel);
        QFETCH(QString, followSystem);
        QFETCH(QString, qtCopy);

        AppLocalization::shared().select(choice);
        QCOMPARE(QLocale().name(), localeName);
        QCOMPARE(qtTrId("cancel"), cancel);
        QCOMPARE(QCoreApplication::translate("QLineEdit", "&Copy"), qtCopy);
        QCOMPARE(AppLanguages::title(AppLanguage::system), followSystem);
        QCOMPARE(AppLanguages::title(AppLanguage::traditionalChinese), u"繁體中文"_s);
        QCOMPARE(sharedStored, std::optional(AppLanguages::rawValue(choice)));
    }
};

QTEST_GUILESS_MAIN(TestLocalization)
#include "tst_localization.moc"

#include "l10n/AppMessage.h"
#include "l10n/Localization.h"
#include "support/TestColumns.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

using Key = L10n::Key;
Q_DECLARE_METATYPE(L10n::Key)

namespace {

QStringList placeholdersIn(const QString& text)
{
    static const QRegularExpression placeholder(u"%L?[0-9]+"_s);
    QStringList found;
    for (const QRegularExpressionMatch& match : placeholder.globalMatch(text))
        found.append(match.captured());
    found.sort();
    return found;
}

// A localization over its own store and a preferred-language list that the test changes.
struct Harness {
    std::optional<QString> stored;
    QStringList preferred;
    std::unique_ptr<AppLocalization> localization;

    explicit Harness(const QString& storedValue, const QStringList& preferredLanguages = {u"en-US"_s})
        : stored(storedValue), preferred(preferredLanguages)
    {
        localization = std::make_unique<AppLocalization>(
            LanguageStore{[this] { return stored; }, [this](const QString& value) { stored = value; }},
            [this] { return preferred; });
    }
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

    // Every text is translated, and takes the placeholders the English text, which callers fill, takes.
    void stringTables_data()
    {
        QTest::addColumn<QString>("identifier");
        for (const char* identifier : {"en", "zh-Hans", "zh-Hant"})
            QTest::newRow(identifier) << QString::fromLatin1(identifier);
    }

    void stringTables()
    {
        QFETCH(QString, identifier);
        const StringTable table(identifier);
        const StringTable english(u"en"_s);
        QVERIFY(table.isLoaded());
        for (const Key key : L10n::allKeys()) {
            const QString name = L10n::keyName(key);
            const QString text = table.text(key).value_or(QString());
            QVERIFY2(!text.trimmed().isEmpty() && text != name, qPrintable(name));
            QVERIFY2(identifier == u"en" || text.contains(QRegularExpression(u"\\p{Han}"_s)),
                     qPrintable(text));
            QCOMPARE(placeholdersIn(text), placeholdersIn(english.text(key).value_or(QString())));
        }
    }

    void aMissingTableFallsBackToEnglish()
    {
        Harness h(u"en"_s);
        Q_CLEANUP_RESOURCE(clipwell_translations);
        h.localization->select(AppLanguage::traditionalChinese);
        const QString cancel = h.localization->text(Key::cancel);
        Q_INIT_RESOURCE(clipwell_translations);
        QCOMPARE(cancel, u"Cancel"_s);
    }

    void resolve_data()
    {
        QTest::addColumn<QString>("preferred");
        QTest::addColumn<QString>("identifier");

        const QList<std::pair<QString, QString>> system{
            {u"zh-TW"_s, u"zh-Hant"_s},       {u"zh-HK"_s, u"zh-Hant"_s},  {u"zh-Hant-CN"_s, u"zh-Hant"_s},
            {u"zh_HK.UTF-8"_s, u"zh-Hant"_s}, {u"zh-CN"_s, u"zh-Hans"_s},  {u"zh"_s, u"zh-Hans"_s},
            {u"zh_CN"_s, u"zh-Hans"_s},       {u"en-GB"_s, u"en"_s},       {u"fr,de,zh-TW"_s, u"zh-Hant"_s},
            {u"zh-CN,zh-TW"_s, u"zh-Hans"_s}, {u"en-AU,zh-TW"_s, u"en"_s}, {u"fr,de"_s, u"en"_s},
            {u"yue-HK"_s, u"en"_s},           {u"C,?!,"_s, u"en"_s},       {QString(), u"en"_s}};
        for (const auto& [preferred, identifier] : system)
            QTest::addRow("%s", qPrintable(preferred)) << preferred << identifier;
    }

    void resolve()
    {
        QFETCH(QString, preferred);
        QFETCH(QString, identifier);
        QCOMPARE(AppLocalization::resolve(AppLanguage::system, preferred.split(u',', Qt::SkipEmptyParts)),
                 identifier);
    }

    // At launch, then after a choice (select) or a change of the system's languages (refresh).
    void languageChanges_data()
    {
        addColumns<QString, QString, AppLanguage, std::optional<AppLanguage>, QString, int, int, QString>(
            "stored", "preferred", "initial", "choice", "after", "selectionChanges", "languageChanges",
            "identifier");

        const auto system = AppLanguage::system;
        const std::optional<AppLanguage> refresh;
        QTest::newRow("unknown value")
            << u"tlh"_s << u"zh-TW"_s << system << refresh << u"zh-TW"_s << 0 << 0 << u"zh-Hant"_s;
        QTest::newRow("select the English system resolves to")
            << u"system"_s << u"en-GB"_s << system << std::optional(AppLanguage::english) << QString() << 1
            << 0 << u"en"_s;
        QTest::newRow("select Simplified")
            << u"system"_s << u"en-GB"_s << system << std::optional(AppLanguage::simplifiedChinese)
            << QString() << 1 << 1 << u"zh-Hans"_s;
        QTest::newRow("select a system without Chinese")
            << u"zh-Hans"_s << u"fr"_s << AppLanguage::simplifiedChinese << std::optional(system) << QString()
            << 1 << 1 << u"en"_s;
        QTest::newRow("select the same again")
            << u"en"_s << u"zh-CN"_s << AppLanguage::english << std::optional(AppLanguage::english)
            << QString() << 0 << 0 << u"en"_s;
        QTest::newRow("system, English to Traditional")
            << u"system"_s << u"en-US"_s << system << refresh << u"zh-TW"_s << 0 << 1 << u"zh-Hant"_s;
        QTest::newRow("system, one English to another")
            << u"system"_s << u"en-GB"_s << system << refresh << u"en-US"_s << 0 << 0 << u"en"_s;
        QTest::newRow("explicit English stays")
            << u"en"_s << u"en-US"_s << AppLanguage::english << refresh << u"zh-TW"_s << 0 << 0 << u"en"_s;
    }

    void languageChanges()
    {
        QFETCH(QString, stored);
        QFETCH(QString, preferred);
        QFETCH(AppLanguage, initial);
        QFETCH(std::optional<AppLanguage>, choice);
        QFETCH(QString, after);
        QFETCH(int, selectionChanges);
        QFETCH(int, languageChanges);
        QFETCH(QString, identifier);
        Harness h(stored, {preferred});
        QCOMPARE(h.localization->selection(), initial);
        QCOMPARE(h.stored, std::optional(stored)); // never rewritten by reading
        // Something else overwrote the store since launch: a choice is stored even when unchanged.
        h.stored = u"stale"_s;
        QSignalSpy selectionSpy(h.localization.get(), &AppLocalization::selectionChanged);
        QSignalSpy identifierSpy(h.localization.get(), &AppLocalization::languageIdentifierChanged);
        QSignalSpy didChangeSpy(h.localization.get(), &AppLocalization::appLanguageDidChange);
        if (choice) {
            h.localization->select(*choice);
        } else {
            h.preferred = {after};
            h.localization->refreshSystemLanguage();
            h.localization->refreshSystemLanguage();
        }
        QCOMPARE(h.localization->selection(), choice.value_or(initial));
        QCOMPARE(h.stored, std::optional(choice ? AppLanguages::rawValue(*choice) : u"stale"_s));
        QCOMPARE(selectionSpy.count(), selectionChanges);
        QCOMPARE(identifierSpy.count(), languageChanges);
        QCOMPARE(didChangeSpy.count(), languageChanges);
        QCOMPARE(h.localization->text(Key::selectAll), StringTable(identifier).text(Key::selectAll).value());
    }

    void relativeTime_data()
    {
        addColumns<QString, double, QString>("language", "seconds", "expected");
        const double minute = 60;
        const double day = 86400;
        QTest::newRow("en 59.9 s") << u"en"_s << 59.9 << u"Just now"_s;
        QTest::newRow("en 60 s") << u"en"_s << 60.0 << u"1 minute ago"_s;
        QTest::newRow("en 59 min 59 s") << u"en"_s << 3599.0 << u"59 minutes ago"_s;
        QTest::newRow("en 60 min") << u"en"_s << 60 * minute << u"1 hour ago"_s;
        QTest::newRow("en 1439 min") << u"en"_s << 1439 * minute << u"23 hours ago"_s;
        QTest::newRow("en 1440 min") << u"en"_s << 1440 * minute << u"1 day ago"_s;
        QTest::newRow("en 1234 days") << u"en"_s << 1234 * day << u"1,234 days ago"_s;
        QTest::newRow("en future") << u"en"_s << -3600.0 << u"Just now"_s;
        QTest::newRow("zh-Hant 60 min") << u"zh-Hant"_s << 60 * minute << u"1 小時前"_s;
    }

    // Each row first formats in English, so a formatter kept from the previous language shows.
    void relativeTime()
    {
        QFETCH(QString, language);
        QFETCH(double, seconds);
        QFETCH(QString, expected);
        Harness h(u"en"_s);
        const Timestamp now{750'000'000.25};
        QCOMPARE(h.localization->relativeTime(Timestamp{now.secondsSinceReferenceDate - 7200}, now),
                 u"2 hours ago"_s);
        h.localization->select(AppLanguages::fromRawValue(language).value());
        QCOMPARE(h.localization->relativeTime(Timestamp{now.secondsSinceReferenceDate - seconds}, now),
                 expected);
    }

    void format_data()
    {
        addColumns<QString, Key, QVariantList, QString>("language", "key", "arguments", "expected");

        QTest::newRow("en dimensions")
            << u"en"_s << Key::imageDimensions << QVariantList{1920, 1080} << u"1,920 × 1,080 pixels"_s;
        QTest::newRow("zh-Hant files")
            << u"zh-Hant"_s << Key::multipleFiles << QVariantList{u"報告.pdf"_s, 12345}
            << u"報告.pdf 等 12,345 個檔案"_s;
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
        addColumns<QString, QVariantList, QString>("text", "arguments", "expected");
        QTest::newRow("localized") << u"%L1"_s << QVariantList{1234567} << u"1.234.567"_s;
        QTest::newRow("plain") << u"%1"_s << QVariantList{1234567} << u"1234567"_s;
        QTest::newRow("64-bit") << u"%L1"_s << QVariantList{qlonglong(-5'000'000'000)} << u"-5.000.000.000"_s;
        QTest::newRow("order in text")
            << u"%2 before %1"_s << QVariantList{u"a"_s, u"b"_s} << u"b before a"_s;
        QTest::newRow("missing argument") << u"%1 and %2"_s << QVariantList{u"a"_s} << u"a and %2"_s;
        QTest::newRow("lone percent") << u"100% of %1"_s << QVariantList{u"a"_s} << u"100% of a"_s;
        QTest::newRow("an argument is never read as a placeholder")
            << u"“%1” %2"_s << QVariantList{u"%2 %L1"_s, u"x"_s} << u"“%2 %L1” x"_s;
        QTest::newRow("string ignores L") << u"%L1"_s << QVariantList{u"1234"_s} << u"1234"_s;
    }

    void fillPlaceholders()
    {
        QFETCH(QString, text);
        QFETCH(QVariantList, arguments);
        QFETCH(QString, expected);
        QCOMPARE(L10n::fillPlaceholders(text, arguments, QLocale(QLocale::German, QLocale::Germany)),
                 expected);
    }

    void appMessage_data()
    {
        addColumns<std::optional<Key>, std::optional<AppError>, QString, QString>("key", "error", "english",
                                                                                  "traditional");

        const std::optional<Key> none;
        const auto disk = std::optional(AppError::fixed(u"Disk full"_s));
        QTest::newRow("error only") << none << disk << u"Disk full"_s << u"Disk full"_s;
        QTest::newRow("key only") << std::optional(Key::pasteCancelled) << std::optional<AppError>()
                                  << u"Paste cancelled"_s << u"已取消貼上"_s;
        QTest::newRow("key and error")
            << std::optional(Key::historySaveFailed) << disk
            << u"Your history could not be saved: Disk full"_s << u"無法儲存歷史記錄：Disk full"_s;
        QTest::newRow("error by key")
            << std::optional(Key::historyReadFailed) << std::optional(AppError::fromKey(Key::archiveTooLarge))
            << u"Your history could not be read. The history file is too large to open."_s
            << u"無法讀取歷史記錄。歷史記錄檔案太大，無法開啟。"_s;
    }

    // The text is made on each read, so a message on screen follows a language change.
    void appMessage()
    {
        QFETCH(std::optional<Key>, key);
        QFETCH(std::optional<AppError>, error);
        QFETCH(QString, english);
        QFETCH(QString, traditional);
        const AppMessage message{key, error};
        AppLocalization::shared().select(AppLanguage::english);
        QVERIFY2(message.text().startsWith(english), qPrintable(message.text()));
        AppLocalization::shared().select(AppLanguage::traditionalChinese);
        QVERIFY2(message.text().startsWith(traditional), qPrintable(message.text()));
    }

    void sharedInstanceDrivesTheApplication_data()
    {
        QTest::addColumn<AppLanguage>("choice");
        QTest::addColumn<QString>("texts");
        QTest::newRow("Simplified") << AppLanguage::simplifiedChinese << u"zh_CN 取消 跟随系统 复制(&C)"_s;
        QTest::newRow("Traditional") << AppLanguage::traditionalChinese << u"zh_TW 取消 跟隨系統 複製(&C)"_s;
        QTest::newRow("English") << AppLanguage::english << u"en_US Cancel Follow System &Copy"_s;
    }

    // The locale, our texts and Qt's own (a text field's context menu) follow the shared choice.
    void sharedInstanceDrivesTheApplication()
    {
        QFETCH(AppLanguage, choice);
        QFETCH(QString, texts);
        AppLocalization::shared().select(choice);
        QCOMPARE(QStringList({QLocale().name(), qtTrId("cancel"), AppLanguages::title(AppLanguage::system),
                              QCoreApplication::translate("QLineEdit", "&Copy")})
                     .join(u' '),
                 texts);
        QCOMPARE(sharedStored, std::optional(AppLanguages::rawValue(choice)));
    }
};

QTEST_GUILESS_MAIN(TestLocalization)
#include "tst_localization.moc"

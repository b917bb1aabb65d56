#include "l10n/Localization.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <cmath>
#include <unicode/reldatefmt.h>
#include <unicode/uloc.h>

// The string tables live in clipwell_core, a static library: registering them by name before the
// first lookup makes them available in every executable that links it. Q_INIT_RESOURCE must be
// used outside any namespace.
static void registerTranslationResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(clipwell_translations);
        return true;
    }();
    Q_UNUSED(registered);
}

namespace {

const QString english = QStringLiteral("en");
const QString simplifiedChinese = QStringLiteral("zh-Hans");
const QString traditionalChinese = QStringLiteral("zh-Hant");

// Language and script of a preferred-language tag after adding ICU's likely subtags, so that zh-TW
// reads as Traditional and a bare zh as Simplified Chinese.
std::optional<QString> supportedLanguage(const QString& preference)
{
    QString tag = preference.trimmed();
    // POSIX forms such as "zh_TW.UTF-8" or "sr_RS@latin".
    for (const char16_t separator : {u'.', u'@'}) {
        if (const qsizetype at = tag.indexOf(separator); at >= 0)
            tag.truncate(at);
    }
    tag.replace(u'_', u'-');
    if (tag.isEmpty())
        return std::nullopt;
    for (const QChar c : std::as_const(tag)) {
        if (c.unicode() > 0x7f)
            return std::nullopt;
    }

    // Each buffer keeps its last byte zero: ICU does not terminate a string that fills it exactly.
    const QByteArray bcp47 = tag.toLatin1();
    UErrorCode status = U_ZERO_ERROR;
    char localeId[ULOC_FULLNAME_CAPACITY] = {};
    int32_t parsedLength = 0;
    uloc_forLanguageTag(bcp47.constData(), localeId, sizeof localeId - 1, &parsedLength, &status);
    if (U_FAILURE(status) || parsedLength <= 0)
        return std::nullopt;

    char maximized[ULOC_FULLNAME_CAPACITY] = {};
    uloc_addLikelySubtags(localeId, maximized, sizeof maximized - 1, &status);
    char language[ULOC_LANG_CAPACITY] = {};
    uloc_getLanguage(maximized, language, sizeof language - 1, &status);
    char script[ULOC_SCRIPT_CAPACITY] = {};
    uloc_getScript(maximized, script, sizeof script - 1, &status);
    if (U_FAILURE(status))
        return std::nullopt;

    const QLatin1StringView languageCode(language);
    const QLatin1StringView scriptCode(script);
    if (languageCode == QLatin1StringView("en"))
        return english;
    if (languageCode == QLatin1StringView("zh")) {
        if (scriptCode == QLatin1StringView("Hans"))
            return simplifiedChinese;
        if (scriptCode == QLatin1StringView("Hant"))
            return traditionalChinese;
    }
    return std::nullopt;
}

bool isInteger(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return true;
    default:
        return false;
    }
}

bool isFloatingPoint(const QVariant& value)
{
    return value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float;
}

QString argumentText(const QVariant& value, bool localized, const QLocale& locale)
{
    if (isInteger(value)) {
        if (value.typeId() == QMetaType::ULongLong || value.typeId() == QMetaType::ULong) {
            const qulonglong number = value.toULongLong();
            return localized ? locale.toString(number) : QString::number(number);
        }
        const qlonglong number = value.toLongLong();
        return localized ? locale.toString(number) : QString::number(number);
    }
    if (isFloatingPoint(value)) {
        const double number = value.toDouble();
        return localized ? locale.toString(number, 'g', QLocale::FloatingPointShortest)
                         : QString::number(number, 'g', QLocale::FloatingPointShortest);
    }
    return value.toString();
}

QString underscoredName(const QString& languageIdentifier)
{
    QString name = languageIdentifier;
    name.replace(u'-', u'_');
    return name;
}

} // namespace

namespace AppLanguages {

QString rawValue(AppLanguage language)
{
    switch (language) {
    case AppLanguage::system:
        return QStringLiteral("system");
    case AppLanguage::simplifiedChinese:
        return simplifiedChinese;
    case AppLanguage::traditionalChinese:
        return traditionalChinese;
    case AppLanguage::english:
        return english;
    }
    return QString();
}

std::optional<AppLanguage> fromRawValue(const QString& raw)
{
    for (const AppLanguage language : allCases) {
        if (rawValue(language) == raw)
            return language;
    }
    return std::nullopt;
}

QString title(AppLanguage language)
{
    switch (language) {
    case AppLanguage::system:
        return L10n::text(L10n::Key::followSystem);
    case AppLanguage::simplifiedChinese:
        return QStringLiteral("简体中文");
    case AppLanguage::traditionalChinese:
        return QStringLiteral("繁體中文");
    case AppLanguage::english:
        return QStringLiteral("English");
    }
    return QString();
}

} // namespace AppLanguages

StringTable::StringTable(const QString& identifier) : m_translator(std::make_unique<QTranslator>())
{
    registerTranslationResources();
    m_loaded = m_translator->load(QStringLiteral(":/i18n/clipwell_%1.qm").arg(underscoredName(identifier)));
}

StringTable::~StringTable() = default;

std::optional<QString> StringTable::text(L10n::Key key) const
{
    if (!m_loaded)
        return std::nullopt;
    // Id-based tables key every message by its id alone, in the empty context.
    const QString found = m_translator->translate("", L10n::keyName(key).toLatin1().constData());
    if (found.isEmpty())
        return std::nullopt;
    return found;
}

struct AppLocalization::Tables {
    std::unique_ptr<StringTable> current;
    std::unique_ptr<StringTable> english;
    // Qt's own texts (standard buttons, a text field's menu); none for English, Qt's own language.
    std::unique_ptr<QTranslator> qt;
    // Made on first use per language; rows of the history list ask for it many times.
    std::unique_ptr<icu::RelativeDateTimeFormatter> relativeFormatter;
};

AppLocalization& AppLocalization::shared()
{
    static AppLocalization* const instance = [] {
        // Never destroyed: views may still ask for texts while the process winds down.
        auto* localization = new AppLocalization(LanguageStore(), &systemPreferredLanguages);
        if (QCoreApplication* application = QCoreApplication::instance())
            localization->moveToThread(application->thread());
        localization->m_appliesToApplication = true;
        localization->applyToApplication();
        return localization;
    }();
    return *instance;
}

AppLocalization::AppLocalization(LanguageStore store, PreferredLanguages preferredLanguages, QObject* parent)
    : QObject(parent), m_store(std::move(store)), m_preferredLanguages(std::move(preferredLanguages)),
      m_tables(std::make_unique<Tables>())
{
    m_selection = storedSelection();
    m_languageIdentifier =
        resolve(m_selection, m_preferredLanguages ? m_preferredLanguages() : QStringList());
    m_tables->english = std::make_unique<StringTable>(english);
    loadTables();
}

AppLocalization::~AppLocalization()
{
    if (m_appliesToApplication && m_tables->current)
        QCoreApplication::removeTranslator(&m_tables->current->translator());
    if (m_tables->qt)
        QCoreApplication::removeTranslator(m_tables->qt.get());
}

void AppLocalization::useStore(LanguageStore store)
{
    m_store = std::move(store);
    const AppLanguage stored = storedSelection();
    if (stored != m_selection) {
        m_selection = stored;
        Q_EMIT selectionChanged();
    }
    refreshSystemLanguage();
}

AppLanguage AppLocalization::storedSelection() const
{
    // An unknown stored value means system and stays in the store as it is.
    if (const std::optional<QString> stored = m_store.load ? m_store.load() : std::nullopt) {
        if (const std::optional<AppLanguage> language = AppLanguages::fromRawValue(*stored))
            return *language;
    }
    return AppLanguage::system;
}

void AppLocalization::select(AppLanguage language)
{
    if (language != m_selection) {
        m_selection = language;
        Q_EMIT selectionChanged();
    }
    if (m_store.save)
        m_store.save(AppLanguages::rawValue(language));
    refreshSystemLanguage();
}

void AppLocalization::refreshSystemLanguage()
{
    const QString resolved =
        resolve(m_selection, m_preferredLanguages ? m_preferredLanguages() : QStringList());
    if (resolved == m_languageIdentifier)
        return;
    m_languageIdentifier = resolved;
    loadTables();
    applyToApplication();
    Q_EMIT languageIdentifierChanged();
    Q_EMIT appLanguageDidChange();
}

QString AppLocalization::resolve(AppLanguage selection, const QStringList& preferredLanguages)
{
    switch (selection) {
    case AppLanguage::simplifiedChinese:
        return simplifiedChinese;
    case AppLanguage::traditionalChinese:
        return traditionalChinese;
    case AppLanguage::english:
        return english;
    case AppLanguage::system:
        break;
    }
    for (const QString& preference : preferredLanguages) {
        if (const std::optional<QString> language = supportedLanguage(preference))
            return *language;
    }
    return english;
}

QStringList AppLocalization::systemPreferredLanguages()
{
    return QLocale::system().uiLanguages();
}

QLocale AppLocalization::localeFor(const QString& languageIdentifier)
{
    if (languageIdentifier == simplifiedChinese)
        return QLocale(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China);
    if (languageIdentifier == traditionalChinese)
        return QLocale(QLocale::Chinese, QLocale::TraditionalChineseScript, QLocale::Taiwan);
    return QLocale(QLocale::English, QLocale::UnitedStates);
}

QString AppLocalization::text(L10n::Key key) const
{
    if (const std::optional<QString> found = m_tables->current->text(key))
        return *found;
    if (const std::optional<QString> found = m_tables->english->text(key))
        return *found;
    return L10n::keyName(key);
}

QString AppLocalization::format(L10n::Key key, const QVariantList& arguments) const
{
    return L10n::fillPlaceholders(text(key), arguments, locale());
}

QString AppLocalization::relativeTime(const Timestamp& since, const Timestamp& now) const
{
    double interval = now.secondsSinceReferenceDate - since.secondsSinceReferenceDate;
    if (!(interval > 0))
        interval = 0;
    const double minutes = std::trunc(interval / 60);
    if (minutes < 1)
        return text(L10n::Key::justNow);

    double amount = minutes;
    URelativeDateTimeUnit unit = UDAT_REL_UNIT_MINUTE;
    if (minutes >= 1440) {
        amount = std::trunc(minutes / 1440);
        unit = UDAT_REL_UNIT_DAY;
    } else if (minutes >= 60) {
        amount = std::trunc(minutes / 60);
        unit = UDAT_REL_UNIT_HOUR;
    }

    UErrorCode status = U_ZERO_ERROR;
    if (!m_tables->relativeFormatter) {
        const QByteArray localeName = underscoredName(m_languageIdentifier).toLatin1();
        m_tables->relativeFormatter = std::make_unique<icu::RelativeDateTimeFormatter>(
            icu::Locale(localeName.constData()), nullptr, UDAT_STYLE_LONG, UDISPCTX_CAPITALIZATION_NONE,
            status);
        if (U_FAILURE(status)) {
            m_tables->relativeFormatter.reset();
            return QString();
        }
    }
    icu::UnicodeString formatted;
    // The numeric form always names the amount: "1 day ago", never "yesterday".
    m_tables->relativeFormatter->formatNumeric(-amount, unit, formatted, status);
    if (U_FAILURE(status))
        return QString();
    return QString::fromUtf16(formatted.getBuffer(), formatted.length());
}

void AppLocalization::loadTables()
{
    m_tables->relativeFormatter.reset();
    if (m_appliesToApplication && m_tables->current)
        QCoreApplication::removeTranslator(&m_tables->current->translator());
    m_tables->current = std::make_unique<StringTable>(m_languageIdentifier);
}

void AppLocalization::applyToApplication()
{
    if (!m_appliesToApplication)
        return;
    // Installing posts a LanguageChange event to every widget; Qt's own formatting (dates, numbers
    // in views) follows the default locale.
    if (QCoreApplication::instance()) {
        QCoreApplication::installTranslator(&m_tables->current->translator());
        installQtTranslations();
    }
    QLocale::setDefault(locale());
}

void AppLocalization::installQtTranslations()
{
    if (m_tables->qt) {
        QCoreApplication::removeTranslator(m_tables->qt.get());
        m_tables->qt.reset();
    }
    if (m_languageIdentifier == english)
        return;
    // From the system's Qt (qtbase_zh_CN.qm, qtbase_zh_TW.qm); without the file Qt's texts stay English.
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(locale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return;
    QCoreApplication::installTranslator(translator.get());
    m_tables->qt = std::move(translator);
}

namespace L10n {

QString text(Key key)
{
    return AppLocalization::shared().text(key);
}

QString format(Key key, const QVariantList& arguments)
{
    return AppLocalization::shared().format(key, arguments);
}

QString fillPlaceholders(const QString& text, const QVariantList& arguments, const QLocale& locale)
{
    QString result;
    result.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text.at(i);
        if (c != u'%') {
            result.append(c);
            ++i;
            continue;
        }
        qsizetype j = i + 1;
        const bool localized = j < text.size() && text.at(j) == u'L';
        if (localized)
            ++j;
        int number = 0;
        int digits = 0;
        while (j < text.size() && digits < 2 && text.at(j) >= u'0' && text.at(j) <= u'9') {
            number = number * 10 + text.at(j).digitValue();
            ++j;
            ++digits;
        }
        if (digits == 0 || number < 1 || number > arguments.size()) {
            result.append(c);
            ++i;
            continue;
        }
        result.append(argumentText(arguments.at(number - 1), localized, locale));
        i = j;
    }
    return result;
}

QString relativeTime(const Timestamp& since, const Timestamp& now)
{
    return AppLocalization::shared().relativeTime(since, now);
}

} // namespace L10n

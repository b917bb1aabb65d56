#pragma once

#include "l10n/L10nKey.h"
#include "l10n/Timestamp.h"

#include <QLocale>
#include <QObject>
#include <QStringList>
#include <QVariantList>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>

class QTranslator;

// The interface language the user chose; raw values are what the preferences store.
enum class AppLanguage { system, simplifiedChinese, traditionalChinese, english };
Q_DECLARE_METATYPE(AppLanguage)

namespace AppLanguages {

// Also the order of the language picker.
inline constexpr std::array<AppLanguage, 4> allCases{AppLanguage::system, AppLanguage::simplifiedChinese,
                                                     AppLanguage::traditionalChinese, AppLanguage::english};

QString rawValue(AppLanguage language);
std::optional<AppLanguage> fromRawValue(const QString& rawValue);
// The picker's label: each language by its own name, and "follow system" in the current language.
QString title(AppLanguage language);

} // namespace AppLanguages

// One language's compiled string table (":/i18n/clipwell_<identifier>.qm").
class StringTable {
public:
    // identifier: "en", "zh-Hans" or "zh-Hant".
    explicit StringTable(const QString& identifier);
    ~StringTable();
    StringTable(const StringTable&) = delete;
    StringTable& operator=(const StringTable&) = delete;

    bool isLoaded() const { return m_loaded; }
    // The table's own text for the key, without any fallback.
    std::optional<QString> text(L10n::Key key) const;
    QTranslator& translator() const { return *m_translator; }

private:
    std::unique_ptr<QTranslator> m_translator;
    bool m_loaded = false;
};

// Where the language choice is kept. The preferences live above this floor and are handed in.
struct LanguageStore {
    std::function<std::optional<QString>()> load;
    std::function<void(const QString&)> save;
};

// The process-wide interface language and the string table in use. Lives on the main thread.
class AppLocalization : public QObject {
    Q_OBJECT
    Q_PROPERTY(AppLanguage selection READ selection NOTIFY selectionChanged)
    Q_PROPERTY(QString languageIdentifier READ languageIdentifier NOTIFY languageIdentifierChanged)
    Q_PROPERTY(QLocale locale READ locale NOTIFY languageIdentifierChanged)

public:
    using PreferredLanguages = std::function<QStringList()>;

    // Made on first use over the system's preferred languages, keeping its choice nowhere until the
    // application hands in its store (useStore). Only this
    // instance installs its translator in the application and sets the default QLocale.
    static AppLocalization& shared();

    AppLocalization(LanguageStore store, PreferredLanguages preferredLanguages, QObject* parent = nullptr);
    ~AppLocalization() override;

    AppLanguage selection() const { return m_selection; }
    // Exactly one of "zh-Hans", "zh-Hant" and "en".
    QString languageIdentifier() const { return m_languageIdentifier; }
    QLocale locale() const { return localeFor(m_languageIdentifier); }

    // Keeps the choice in the store from now on and switches to the choice stored there.
    void useStore(LanguageStore store);
    // Stores the choice (even when unchanged) and switches to the language it resolves to.
    void select(AppLanguage language);
    // Re-resolves the current choice against the system's preferred languages.
    void refreshSystemLanguage();

    // An explicit choice gives its own language; system takes the first preferred language that is
    // English or Chinese in either script, English when none is.
    static QString resolve(AppLanguage selection, const QStringList& preferredLanguages);
    // Follows LANGUAGE, LC_ALL, LC_MESSAGES and LANG, most preferred first.
    static QStringList systemPreferredLanguages();
    static QLocale localeFor(const QString& languageIdentifier);

    // The current table's text, else English's, else the key's name.
    QString text(L10n::Key key) const;
    QString format(L10n::Key key, const QVariantList& arguments) const;
    QString relativeTime(const Timestamp& since, const Timestamp& now) const;

Q_SIGNALS:
    void selectionChanged();
    void languageIdentifierChanged();
    // "app.clipwell.languageDidChange": the resolved language really changed; every view re-translates.
    void appLanguageDidChange();

private:
    struct Tables;

    AppLanguage storedSelection() const;
    void loadTables();
    void applyToApplication();
    void installQtTranslations();

    LanguageStore m_store;
    PreferredLanguages m_preferredLanguages;
    AppLanguage m_selection = AppLanguage::system;
    QString m_languageIdentifier;
    std::unique_ptr<Tables> m_tables;
    bool m_appliesToApplication = false;
};

namespace L10n {

// All of these speak the shared AppLocalization's language.
QString text(Key key);

// Fills Qt's numbered placeholders in order: %1, %2 take strings and integers as they are, %L1, %L2
// format numbers with the interface language's locale.
QString format(Key key, const QVariantList& arguments);

namespace detail {
inline QVariant argument(const QVariant& value)
{
    return value;
}
inline QVariant argument(const QString& value)
{
    return value;
}
template <typename T>
requires(std::is_integral_v<T> && !std::is_same_v<T, bool>) QVariant argument(T value)
{
    return QVariant::fromValue(static_cast<qlonglong>(value));
}
} // namespace detail

template <typename... Arguments> QString format(Key key, const Arguments&... arguments)
{
    return format(key, QVariantList{detail::argument(arguments)...});
}

// The same filling for any text and locale.
QString fillPlaceholders(const QString& text, const QVariantList& arguments, const QLocale& locale);

// How long ago, in whole minutes, hours or days ("5 minutes ago"); under a minute, or a time in the
// future, is "just now".
QString relativeTime(const Timestamp& since, const Timestamp& now);

} // namespace L10n

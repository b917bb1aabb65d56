#pragma once

#include "l10n/Localization.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class QSettings;
class QVariant;

// The per-user settings store: typed reads and writes over one INI file. An absent key reads as the
// zero value (no string, false, 0, 0.0); each reader turns that into its own default. No defaults are
// registered here, and every write reaches the file at once.
class Preferences {
public:
    enum class Key {
        appLanguage,
        appTheme,
        recordingPaused,
        quickPasteEnabled,
        accessibilityGuideLaunchPresentationCount,
        historySidebarWidth,
        // Window classes of the user's own that paste with Control+Shift+V or Shift+Insert.
        pasteWithControlShiftV,
        pasteWithShiftInsert,
    };
    static QString keyName(Key key);

    // ~/.config/Clipwell/Clipwell.conf: the user-scope store of organisation and application
    // "Clipwell".
    Preferences();
    // An INI file at the given path.
    explicit Preferences(const QString& filePath);
    ~Preferences();
    Preferences(const Preferences&) = delete;
    Preferences& operator=(const Preferences&) = delete;

    // The process-wide store at the standard location, made on first use.
    static Preferences& standard();

    QString filePath() const;
    // The interface language's place in this store, for the localisation to keep its choice in.
    LanguageStore languageStore();

    std::optional<QString> stringValue(Key key) const { return stringValue(keyName(key)); }
    bool boolValue(Key key) const { return boolValue(keyName(key)); }
    int intValue(Key key) const { return intValue(keyName(key)); }
    double doubleValue(Key key) const { return doubleValue(keyName(key)); }
    // A comma-separated list, each value trimmed, empty ones left out.
    QStringList stringListValue(Key key) const;

    void setString(Key key, const QString& value) { setString(keyName(key), value); }
    void setBool(Key key, bool value) { setBool(keyName(key), value); }
    void setInt(Key key, int value) { setInt(keyName(key), value); }
    void setDouble(Key key, double value) { setDouble(keyName(key), value); }

    // The same operations under any name, for state that is not one of the fixed keys (window
    // geometry). Names with '/' address INI groups.
    std::optional<QString> stringValue(const QString& key) const;
    bool boolValue(const QString& key) const;
    int intValue(const QString& key) const;
    double doubleValue(const QString& key) const;
    QByteArray bytesValue(const QString& key) const;

    void setString(const QString& key, const QString& value);
    void setBool(const QString& key, bool value);
    void setInt(const QString& key, int value);
    void setDouble(const QString& key, double value);
    void setBytes(const QString& key, const QByteArray& value);

    bool contains(const QString& key) const;
    void remove(const QString& key);

private:
    void write(const QString& key, const QVariant& value);

    std::unique_ptr<QSettings> m_settings;
};

#include "app/Preferences.h"

#include <QLocale>
#include <QSettings>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace {

constexpr std::array<const char*, 8> keyNames = {
    "appLanguage",
    "appTheme",
    "recordingPaused",
    "quickPasteEnabled",
    "accessibilityGuideLaunchPresentationCount",
    "historySidebarWidth",
    "pasteWithControlShiftV",
    "pasteWithShiftInsert",
};

bool isNumber(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

// The INI file keeps no types: a value written as a bool or a number comes back from a fresh process
// as a string, so every read also accepts the textual form.
std::optional<double> numberFrom(const QVariant& value)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? 1.0 : 0.0;
    if (isNumber(value))
        return value.toDouble();
    if (value.typeId() == QMetaType::QString) {
        bool ok = false;
        const double number = QLocale::c().toDouble(value.toString().trimmed(), &ok);
        if (ok)
            return number;
    }
    return std::nullopt;
}

int clampedInt(double number)
{
    if (!std::isfinite(number))
        return 0;
    constexpr double lowest = std::numeric_limits<int>::min();
    constexpr double highest = std::numeric_limits<int>::max();
    return static_cast<int>(std::trunc(std::clamp(number, lowest, highest)));
}

} // namespace

QString Preferences::keyName(Key key)
{
    return QString::fromLatin1(keyNames[static_cast<std::size_t>(key)]);
}

// QSettings resolves the user-scope location once per process, at its first use; tests must enable
// QStandardPaths' test mode before anything reads a setting. The native format on Linux is the INI
// text format, kept in a ".conf" file.
Preferences::Preferences()
    : m_settings(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                             QStringLiteral("Clipwell"), QStringLiteral("Clipwell")))
{
}

Preferences::Preferences(const QString& filePath)
    : m_settings(std::make_unique<QSettings>(filePath, QSettings::IniFormat))
{
}

Preferences::~Preferences() = default;

LanguageStore Preferences::languageStore()
{
    return {[this] { return stringValue(Key::appLanguage); },
            [this](const QString& value) { setString(Key::appLanguage, value); }};
}

Preferences& Preferences::standard()
{
    static Preferences preferences;
    return preferences;
}

QString Preferences::filePath() const
{
    return m_settings->fileName();
}

std::optional<QString> Preferences::stringValue(const QString& key) const
{
    const QVariant value = m_settings->value(key);
    if (value.typeId() == QMetaType::QString)
        return value.toString();
    if (value.typeId() == QMetaType::Bool || isNumber(value))
        return value.toString();
    return std::nullopt;
}

QStringList Preferences::stringListValue(Key key) const
{
    // The INI format reads "a, b" as a list and "a" as a string.
    const QVariant value = m_settings->value(keyName(key));
    const QStringList raw =
        value.typeId() == QMetaType::QStringList ? value.toStringList() : value.toString().split(u',');
    QStringList values;
    for (const QString& item : raw) {
        if (!item.trimmed().isEmpty())
            values << item.trimmed();
    }
    return values;
}

bool Preferences::boolValue(const QString& key) const
{
    const QVariant value = m_settings->value(key);
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString().trimmed();
        return text.compare(u"true", Qt::CaseInsensitive) == 0 || text == u"1";
    }
    const std::optional<double> number = numberFrom(value);
    return number && *number != 0.0 && !std::isnan(*number);
}

int Preferences::intValue(const QString& key) const
{
    const QVariant value = m_settings->value(key);
    if (value.typeId() == QMetaType::QString) {
        bool ok = false;
        const qlonglong whole = value.toString().trimmed().toLongLong(&ok);
        if (ok)
            return clampedInt(static_cast<double>(whole));
    }
    return clampedInt(numberFrom(value).value_or(0.0));
}

double Preferences::doubleValue(const QString& key) const
{
    const double number = numberFrom(m_settings->value(key)).value_or(0.0);
    return std::isfinite(number) ? number : 0.0;
}

QByteArray Preferences::bytesValue(const QString& key) const
{
    const QVariant value = m_settings->value(key);
    return value.typeId() == QMetaType::QByteArray ? value.toByteArray() : QByteArray();
}

void Preferences::setString(const QString& key, const QString& value)
{
    write(key, value);
}

void Preferences::setBool(const QString& key, bool value)
{
    write(key, value);
}

void Preferences::setInt(const QString& key, int value)
{
    write(key, value);
}

void Preferences::setDouble(const QString& key, double value)
{
    write(key, value);
}

void Preferences::setBytes(const QString& key, const QByteArray& value)
{
    write(key, value);
}

bool Preferences::contains(const QString& key) const
{
    return m_settings->contains(key);
}

void Preferences::remove(const QString& key)
{
    m_settings->remove(key);
    m_settings->sync();
}

void Preferences::write(const QString& key, const QVariant& value)
{
    m_settings->setValue(key, value);
    m_settings->sync();
}

#include "platform/linux/DesktopEntryIndex.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

QString unescape(QStringView value)
{
    QString result;
    result.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\' || i + 1 == value.size()) {
            result.append(value[i]);
            continue;
        }
        const QChar next = value[++i];
        switch (next.unicode()) {
        case u's':
            result.append(u' ');
            break;
        case u'n':
            result.append(u'\n');
            break;
        case u't':
            result.append(u'\t');
            break;
        case u'r':
            result.append(u'\r');
            break;
        default:
            result.append(next);
        }
    }
    return result;
}

QStringList applicationDirectories(const QStringList& dataDirectories)
{
    if (dataDirectories.isEmpty())
        return QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
    QStringList directories;
    for (const QString& directory : dataDirectories)
        directories.append(directory + QStringLiteral("/applications"));
    return directories;
}

QIcon themeIcon(const QString& name)
{
    if (name.isEmpty())
        return {};
    if (QFileInfo(name).isAbsolute())
        return QFile::exists(name) ? QIcon(name) : QIcon();
    QIcon icon = QIcon::fromTheme(name);
    if (!icon.isNull())
        return icon;
    // Older packages still install their icon only here, outside every theme.
    for (const char* suffix : {".png", ".svg", ".xpm"}) {
        const QString path = QStringLiteral("/usr/share/pixmaps/") + name + QLatin1StringView(suffix);
        if (QFile::exists(path))
            return QIcon(path);
    }
    return {};
}

} // namespace

QString DesktopEntryIndex::Entry::nameFor(const QString& localeName) const
{
    if (const auto exact = localizedNames.constFind(localeName); exact != localizedNames.cend())
        return *exact;
    const QString language = localeName.section(u'_', 0, 0);
    if (const auto general = localizedNames.constFind(language); general != localizedNames.cend())
        return *general;
    return name;
}

DesktopEntryIndex::DesktopEntryIndex(QStringList dataDirectories)
    : m_directories(applicationDirectories(dataDirectories))
{
}

std::optional<DesktopEntryIndex::Entry> DesktopEntryIndex::parse(const QByteArray& contents,
                                                                 const QString& id)
{
    Entry entry;
    entry.id = id;
    bool inMainGroup = false;
    bool application = false;
    for (const QByteArray& rawLine : contents.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            inMainGroup = line == QLatin1StringView("[Desktop Entry]");
            continue;
        }
        if (!inMainGroup)
            continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0)
            continue;
        const QString key = line.first(equals).trimmed();
        const QString value = unescape(QStringView(line).sliced(equals + 1).trimmed());
        if (key == QLatin1StringView("Type")) {
            application = value == QLatin1StringView("Application");
        } else if (key == QLatin1StringView("Name")) {
            entry.name = value;
        } else if (key.startsWith(QLatin1StringView("Name[")) && key.endsWith(u']')) {
            // Encoding modifiers (lang_COUNTRY.ENCODING@MODIFIER) are not used for matching.
            QString locale = key.sliced(5, key.size() - 6);
            locale = locale.section(u'@', 0, 0).section(u'.', 0, 0);
            entry.localizedNames.insert(locale, value);
        } else if (key == QLatin1StringView("StartupWMClass")) {
            entry.startupWMClass = value;
        } else if (key == QLatin1StringView("Icon")) {
            entry.icon = value;
        } else if (key == QLatin1StringView("NoDisplay")) {
            entry.noDisplay = value == QLatin1StringView("true");
        } else if ((key == QLatin1StringView("Hidden")) && value == QLatin1StringView("true")) {
            return std::nullopt;
        }
    }
    if (!application || entry.name.isEmpty())
        return std::nullopt;
    return entry;
}

QIcon DesktopEntryIndex::icon(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const std::optional<Entry> entry = parse(file.read(1 << 20), QFileInfo(path).completeBaseName());
    return entry ? themeIcon(entry->icon) : QIcon();
}

void DesktopEntryIndex::rebuildIfChanged()
{
    QHash<QString, QDateTime> times;
    for (const QString& directory : m_directories)
        times.insert(directory, QFileInfo(directory).lastModified());
    if (m_built && times == m_directoryTimes)
        return;
    m_directoryTimes = times;
    m_built = true;
    m_entries.clear();
    QSet<QString> seen;
    // Earlier directories take precedence, as in the XDG lookup order.
    for (const QString& directory : m_directories) {
        QDirIterator it(directory, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QString id = QDir(directory).relativeFilePath(path);
            id.chop(8);
            id.replace(u'/', u'-');
            if (seen.contains(id))
                continue;
            seen.insert(id);
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                continue;
            if (std::optional<Entry> entry = parse(file.read(1 << 20), id)) {
                entry->path = path;
                m_entries.append(std::move(*entry));
            }
        }
    }
}

std::optional<DesktopEntryIndex::Entry> DesktopEntryIndex::find(const QString& wmInstance,
                                                                const QString& wmClass)
{
    rebuildIfChanged();
    if (!wmClass.isEmpty()) {
        for (const Entry& entry : std::as_const(m_entries)) {
            if (entry.startupWMClass.compare(wmClass, Qt::CaseInsensitive) == 0)
                return entry;
        }
    }
    for (const QString& name : {wmClass, wmInstance}) {
        if (name.isEmpty())
            continue;
        for (const Entry& entry : std::as_const(m_entries)) {
            if (entry.id.compare(name, Qt::CaseInsensitive) == 0)
                return entry;
        }
    }
    return std::nullopt;
}

std::optional<DesktopEntryIndex::Entry> DesktopEntryIndex::entry(const QString& id)
{
    rebuildIfChanged();
    for (const Entry& candidate : std::as_const(m_entries)) {
        if (candidate.id == id)
            return candidate;
    }
    return std::nullopt;
}

QList<DesktopEntryIndex::Entry> DesktopEntryIndex::named(const QString& name)
{
    rebuildIfChanged();
    QList<Entry> result;
    for (const Entry& candidate : std::as_const(m_entries)) {
        const QList<QString> localized = candidate.localizedNames.values();
        if (candidate.name == name || localized.contains(name))
            result.append(candidate);
    }
    return result;
}

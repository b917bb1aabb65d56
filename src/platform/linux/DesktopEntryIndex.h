#pragma once

#include <QDateTime>
#include <QHash>
#include <QIcon>
#include <QString>
#include <QStringList>
#include <optional>

// The installed applications' desktop entries, for naming the application behind a window.
class DesktopEntryIndex {
public:
    struct Entry {
        // The desktop-file id: the path below applications/ with '/' as '-', without ".desktop".
        QString id;
        QString name;
        // Name[locale] values by locale key (e.g. "zh_CN").
        QHash<QString, QString> localizedNames;
        QString startupWMClass;
        QString icon;
        // Installed, but kept out of menus.
        bool noDisplay = false;
        // The desktop file; empty for an entry parsed from memory.
        QString path;

        // The Name for the locale, falling back from language_COUNTRY to language to the plain Name.
        QString nameFor(const QString& localeName) const;
    };

    // Directories holding applications/ folders; empty means the XDG data directories.
    explicit DesktopEntryIndex(QStringList dataDirectories = {});

    // The entry whose StartupWMClass matches the window's class, or whose id matches the class
    // or the instance name, ignoring case.
    std::optional<Entry> find(const QString& wmInstance, const QString& wmClass);
    // The entry with exactly this desktop-file id.
    std::optional<Entry> entry(const QString& id);
    // The entries whose Name or any localised Name is exactly `name`.
    QList<Entry> named(const QString& name);

    static std::optional<Entry> parse(const QByteArray& contents, const QString& id);
    // The icon the desktop file at that path names, from the icon theme; null when there is none.
    static QIcon icon(const QString& path);

private:
    void rebuildIfChanged();

    QStringList m_directories;
    QHash<QString, QDateTime> m_directoryTimes;
    QList<Entry> m_entries;
    bool m_built = false;
};

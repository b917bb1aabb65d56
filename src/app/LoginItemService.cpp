#include "app/LoginItemService.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <filesystem>
#include <system_error>

namespace {

const QString entryFileName = QStringLiteral("clipwell.desktop");

QString fileSystemError(const QString& path, const QString& message)
{
    return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), message);
}

// The [Desktop Entry] keys that decide whether a session starts the entry.
struct EntryFlags {
    bool hidden = false;
    bool gnomeDisabled = false;
};

EntryFlags readFlags(const QByteArray& contents)
{
    EntryFlags flags;
    bool inMainGroup = false;
    for (const QByteArray& rawLine : contents.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (line.startsWith('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inMainGroup)
            continue;
        const qsizetype equals = line.indexOf('=');
        if (equals < 0)
            continue;
        const QByteArray key = line.left(equals).trimmed();
        const QByteArray value = line.mid(equals + 1).trimmed();
        if (key == "Hidden")
            flags.hidden = value == "true";
        else if (key == "X-GNOME-Autostart-enabled")
            flags.gnomeDisabled = value == "false";
    }
    return flags;
}

// What versions before the background option wrote: a quoted path to a clipwell binary and nothing
// else. A quote inside the path is escaped with a (doubled) backslash.
bool isOlderExecValue(const QByteArray& value)
{
    if (value.size() < 3 || !value.startsWith('"') || !value.endsWith("/clipwell\""))
        return false;
    for (qsizetype i = 1; i < value.size() - 1; ++i) {
        if (value[i] == '"' && value[i - 1] != '\\')
            return false;
    }
    return true;
}

} // namespace

XdgAutostartLoginItemService::XdgAutostartLoginItemService()
    : XdgAutostartLoginItemService(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
                                   loginBinary(QStringLiteral(CLIPWELL_INSTALLED_BINARY),
                                               QCoreApplication::applicationFilePath()))
{
}

QString XdgAutostartLoginItemService::loginBinary(const QString& installedBinary, const QString& runningBinary)
{
    const QFileInfo installed(installedBinary);
    return installed.isFile() && installed.isExecutable() ? installedBinary : runningBinary;
}

XdgAutostartLoginItemService::XdgAutostartLoginItemService(const QString& configDirectory,
                                                           const QString& binaryPath)
    : openUrl(&QDesktopServices::openUrl), m_configDirectory(configDirectory), m_binaryPath(binaryPath)
{
}

QString XdgAutostartLoginItemService::autostartDirectory() const
{
    return QDir(m_configDirectory).filePath(QStringLiteral("autostart"));
}

QString XdgAutostartLoginItemService::entryPath() const
{
    return QDir(autostartDirectory()).filePath(entryFileName);
}

QString XdgAutostartLoginItemService::execValue(const QString& binaryPath)
{
    // The binary is always quoted, with ", `, $ and \ escaped inside the quotes; a literal % is
    // doubled so it is no field code. Then the value as a whole gets the string escapes, which double
    // every backslash again.
    QString quoted = QStringLiteral("\"");
    for (const QChar c : binaryPath) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted.append(u'\\');
        quoted.append(c);
    }
    quoted.append(u'"');
    quoted.replace(u'%', QStringLiteral("%%"));
    quoted += u' ' + backgroundArgument;

    QString value;
    for (const QChar c : std::as_const(quoted)) {
        if (c == u'\\')
            value.append(QStringLiteral("\\\\"));
        else if (c == u'\n')
            value.append(QStringLiteral("\\n"));
        else if (c == u'\t')
            value.append(QStringLiteral("\\t"));
        else if (c == u'\r')
            value.append(QStringLiteral("\\r"));
        else
            value.append(c);
    }
    return value;
}

LoginItemService::Status XdgAutostartLoginItemService::status() const
{
    const QFileInfo info(entryPath());
    if (!info.exists() && !info.isSymLink())
        return Status::notRegistered;
    QFile file(entryPath());
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        return Status::notFound;
    const EntryFlags flags = readFlags(file.readAll());
    if (flags.hidden || flags.gnomeDisabled)
        return Status::notRegistered;
    return Status::enabled;
}

std::optional<AppError> XdgAutostartLoginItemService::registerItem()
{
    const QString directory = autostartDirectory();
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(directory.toStdU16String()), error);
    if (error)
        return AppError::fixed(fileSystemError(directory, QString::fromLocal8Bit(error.message())));

    QSaveFile file(entryPath());
    if (!file.open(QIODevice::WriteOnly))
        return AppError::fixed(file.errorString());
    const QString contents = QStringLiteral("[Desktop Entry]\n"
                                            "Type=Application\n"
                                            "Name=Clipwell\n"
                                            "Icon=clipwell\n"
                                            "Exec=%1\n"
                                            "Terminal=false\n"
                                            "X-GNOME-Autostart-enabled=true\n")
                                 .arg(execValue(m_binaryPath));
    file.write(contents.toUtf8());
    if (!file.commit())
        return AppError::fixed(file.errorString());
    return std::nullopt;
}

std::optional<AppError> XdgAutostartLoginItemService::unregisterItem()
{
    QFile file(entryPath());
    const QFileInfo info(entryPath());
    if (!info.exists() && !info.isSymLink())
        return std::nullopt;
    if (!file.remove())
        return AppError::fixed(fileSystemError(entryPath(), file.errorString()));
    return std::nullopt;
}

std::optional<AppError> XdgAutostartLoginItemService::updateOlderEntry()
{
    // A switched-off entry stays as the user left it.
    if (status() != Status::enabled)
        return std::nullopt;
    QFile entry(entryPath());
    if (!entry.open(QIODevice::ReadOnly))
        return AppError::fixed(fileSystemError(entryPath(), entry.errorString()));
    QList<QByteArray> lines = entry.readAll().split('\n');
    entry.close();
    bool inMainGroup = false;
    bool changed = false;
    for (QByteArray& line : lines) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith('[')) {
            inMainGroup = trimmed == "[Desktop Entry]";
            continue;
        }
        const qsizetype equals = trimmed.indexOf('=');
        if (!inMainGroup || equals < 0 || trimmed.left(equals).trimmed() != "Exec")
            continue;
        const QByteArray value = trimmed.mid(equals + 1).trimmed();
        if (isOlderExecValue(value)) {
            line = "Exec=" + value + ' ' + backgroundArgument.toUtf8();
            changed = true;
        }
    }
    if (!changed)
        return std::nullopt;
    QSaveFile file(entryPath());
    if (!file.open(QIODevice::WriteOnly))
        return AppError::fixed(fileSystemError(entryPath(), file.errorString()));
    file.write(lines.join('\n'));
    if (!file.commit())
        return AppError::fixed(fileSystemError(entryPath(), file.errorString()));
    return std::nullopt;
}

void XdgAutostartLoginItemService::openSystemSettingsLoginItems()
{
    const QString directory = autostartDirectory();
    QDir().mkpath(directory);
    if (openUrl)
        openUrl(QUrl::fromLocalFile(directory));
}

LaunchAtLoginSwitch LaunchAtLoginSwitch::initial(const LoginItemService& service)
{
    return LaunchAtLoginSwitch{service.status() == LoginItemService::Status::enabled, std::nullopt};
}

void LaunchAtLoginSwitch::set(bool newValue, LoginItemService& service)
{
    isOn = newValue;
    const LoginItemService::Status before = service.status();
    const bool registered =
        before == LoginItemService::Status::enabled || before == LoginItemService::Status::requiresApproval;
    if (newValue == registered)
        return;

    message.reset();
    const std::optional<AppError> failure = newValue ? service.registerItem() : service.unregisterItem();
    if (failure) {
        message = AppMessage{std::nullopt, failure};
        isOn = service.status() == LoginItemService::Status::enabled;
        return;
    }
    if (service.status() == LoginItemService::Status::requiresApproval) {
        message = AppMessage{L10n::Key::loginApproval, std::nullopt};
        service.openSystemSettingsLoginItems();
    }
}

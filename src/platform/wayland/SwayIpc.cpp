#include "platform/wayland/SwayIpc.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <cstring>

namespace SwayIpc {

namespace {

constexpr QByteArrayView magic("i3-ipc");
constexpr qsizetype headerSize = 6 + 2 * sizeof(quint32);
constexpr char chordCommand[] = "nop clipwell-quick-paste";

QJsonObject objectOf(const QByteArray& payload)
{
    return QJsonDocument::fromJson(payload).object();
}

// The modifiers and the key of a key combination, in one spelling: sway reads modifier names
// without regard to case, with Ctrl and Alt as other names of Control and Mod1, and folds the key's
// case (Mod4+Shift+V replaces Mod4+Shift+v).
QString normalisedCombo(const QString& combo)
{
    QStringList parts = combo.split(QLatin1Char('+'));
    const QString key = parts.takeLast().toLower();
    QStringList modifiers;
    for (const QString& part : std::as_const(parts)) {
        QString name = part.toLower();
        if (name == QLatin1String("ctrl"))
            name = QStringLiteral("control");
        else if (name == QLatin1String("alt"))
            name = QStringLiteral("mod1");
        // A binding for one layout group still takes the chord in that group.
        if (!name.startsWith(QLatin1String("group")))
            modifiers.append(name);
    }
    modifiers.sort();
    modifiers.removeDuplicates();
    return modifiers.join(QLatin1Char('+')) + QLatin1Char('+') + key;
}

// The physical lines of a configuration joined where a line ends in a backslash.
QStringList logicalLines(const QString& config)
{
    QStringList lines;
    QString pending;
    for (const QString& raw : config.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.endsWith(QLatin1Char('\\'))) {
            pending += line.chopped(1) + QLatin1Char(' ');
            continue;
        }
        lines.append(pending + line);
        pending.clear();
    }
    if (!pending.isEmpty())
        lines.append(pending);
    return lines;
}

} // namespace

QByteArray encode(quint32 type, const QByteArray& payload)
{
    const auto length = static_cast<quint32>(payload.size());
    QByteArray message;
    message.reserve(headerSize + payload.size());
    message.append(magic);
    message.append(reinterpret_cast<const char*>(&length), sizeof length);
    message.append(reinterpret_cast<const char*>(&type), sizeof type);
    message.append(payload);
    return message;
}

void Decoder::feed(QByteArrayView bytes, QList<Message>& messages)
{
    if (m_broken)
        return;
    m_buffer.append(bytes);
    qsizetype offset = 0;
    while (true) {
        const QByteArrayView rest = QByteArrayView(m_buffer).sliced(offset);
        const qsizetype known = std::min(rest.size(), magic.size());
        if (rest.first(known) != magic.first(known)) {
            m_broken = true;
            break;
        }
        if (rest.size() < headerSize)
            break;
        quint32 length = 0;
        quint32 type = 0;
        std::memcpy(&length, rest.data() + magic.size(), sizeof length);
        std::memcpy(&type, rest.data() + magic.size() + sizeof length, sizeof type);
        if (length > MaxPayload) {
            m_broken = true;
            break;
        }
        if (rest.size() < headerSize + qsizetype(length))
            break;
        messages.append({type, rest.sliced(headerSize, length).toByteArray()});
        offset += headerSize + length;
    }
    if (m_broken)
        m_buffer.clear();
    else
        m_buffer.remove(0, offset);
}

QByteArray bindChordCommand()
{
    return QByteArray("bindsym --no-repeat Mod4+Shift+v ") + chordCommand;
}

QByteArray unbindChordCommand()
{
    return "unbindsym Mod4+Shift+v";
}

QByteArray subscribePayload()
{
    return R"(["binding","workspace","shutdown"])";
}

CommandResult parseCommandReply(const QByteArray& payload)
{
    const QJsonDocument document = QJsonDocument::fromJson(payload);
    const QJsonArray results = document.isObject() ? QJsonArray{document.object()} : document.array();
    if (results.isEmpty())
        return {};
    for (const QJsonValue& result : results) {
        if (!result.toObject().value(QLatin1String("success")).toBool())
            return {false, result.toObject().value(QLatin1String("error")).toString()};
    }
    return {true, {}};
}

Event classify(const Message& message)
{
    switch (message.type) {
    case BindingEvent: {
        const QJsonObject binding = objectOf(message.payload).value(QLatin1String("binding")).toObject();
        return binding.value(QLatin1String("command")).toString() == QLatin1String(chordCommand)
                   ? Event::QuickPasteBinding
                   : Event::Other;
    }
    case WorkspaceEvent:
        return objectOf(message.payload).value(QLatin1String("change")).toString() == QLatin1String("reload")
                   ? Event::Reload
                   : Event::Other;
    case ShutdownEvent:
        return Event::Shutdown;
    default:
        return Event::Other;
    }
}

QString parseConfigReply(const QByteArray& payload)
{
    return objectOf(payload).value(QLatin1String("config")).toString();
}

QString parseConfigPath(const QByteArray& payload)
{
    return objectOf(payload).value(QLatin1String("loaded_config_file_name")).toString();
}

namespace {

// Reads configuration files the way sway does, one line at a time, with the variables set so far.
class ConfigScan {
public:
    explicit ConfigScan(const IncludeResolver& resolve) : m_resolve(resolve) {}

    std::optional<ConfigLine> scan(const ConfigFile& file);

private:
    QString substitute(QString text) const
    {
        for (const auto& [name, value] : std::as_const(m_variables))
            text.replace(name, value);
        return text;
    }

    const IncludeResolver& m_resolve;
    // Variables as sway substitutes them: the longest name first.
    QList<QPair<QString, QString>> m_variables;
    // sway reads a file only once, which also ends include loops.
    QStringList m_included;
};

std::optional<ConfigLine> ConfigScan::scan(const ConfigFile& file)
{
    static const QRegularExpression space(QStringLiteral("\\s+"));
    static const QString chord = normalisedCombo(QStringLiteral("Mod4+Shift+v"));
    m_included.append(file.path);
    // The heads of the blocks the line is in; sway prepends them to each line inside.
    QStringList blocks;
    for (const QString& line : logicalLines(file.text)) {
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line == QLatin1String("}")) {
            if (!blocks.isEmpty())
                blocks.removeLast();
            continue;
        }
        if (line.endsWith(QLatin1Char('{'))) {
            blocks.append(line.chopped(1).trimmed());
            continue;
        }
        const QString command = (blocks + QStringList{line}).join(QLatin1Char(' '));
        QStringList words = command.split(space, Qt::SkipEmptyParts);
        if (words.size() >= 3 && words[0] == QLatin1String("set") && words[1].startsWith(QLatin1Char('$'))) {
            const QString name = words[1];
            const QString value = substitute(command.section(space, 2, -1, QString::SectionSkipEmpty));
            m_variables.removeIf([&](const auto& variable) { return variable.first == name; });
            m_variables.append({name, value});
            std::sort(m_variables.begin(), m_variables.end(),
                      [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
            continue;
        }
        words = substitute(command).split(space, Qt::SkipEmptyParts);
        if (words.size() >= 2 && words[0] == QLatin1String("include") && m_resolve) {
            const QString argument = substitute(command.section(space, 1, -1, QString::SectionSkipEmpty));
            for (const ConfigFile& included : m_resolve(argument, file.path)) {
                if (m_included.contains(included.path))
                    continue;
                if (std::optional<ConfigLine> found = scan(included))
                    return found;
            }
            continue;
        }
        // Bindings of another mode only act in that mode.
        if (!words.isEmpty() && words[0] == QLatin1String("mode")) {
            qsizetype name = 1;
            while (name < words.size() && words[name].startsWith(QLatin1String("--")))
                ++name;
            if (name >= words.size() || words[name].remove(QLatin1Char('"')) != QLatin1String("default"))
                continue;
            words = words.mid(name + 1);
        }
        if (words.isEmpty() || words[0] != QLatin1String("bindsym"))
            continue;
        qsizetype index = 1;
        while (index < words.size() && words[index].startsWith(QLatin1String("--")))
            ++index;
        if (index >= words.size() || normalisedCombo(words[index]) != chord)
            continue;
        if (words.mid(index + 1).join(QLatin1Char(' ')) != QLatin1String(chordCommand))
            return ConfigLine{file.path, line};
    }
    return std::nullopt;
}

} // namespace

std::optional<ConfigLine> conflictingBinding(const ConfigFile& config, const IncludeResolver& resolve)
{
    return ConfigScan(resolve).scan(config);
}

} // namespace SwayIpc

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

// sway's IPC as data: the framing of its messages, the few requests and events quick paste uses,
// and what their JSON says. No socket here (see SwayIpcConnection).
namespace SwayIpc {

// Message and event types (events carry the high bit).
inline constexpr quint32 RunCommand = 0;
inline constexpr quint32 Subscribe = 2;
inline constexpr quint32 GetVersion = 7;
inline constexpr quint32 GetConfig = 9;
inline constexpr quint32 WorkspaceEvent = 0x80000000u;
inline constexpr quint32 BindingEvent = 0x80000005u;
inline constexpr quint32 ShutdownEvent = 0x80000006u;

// Far above any reply quick paste asks for; a longer frame means the stream is out of step.
inline constexpr quint32 MaxPayload = 1024 * 1024;

struct Message {
    quint32 type = 0;
    QByteArray payload;

    bool isEvent() const { return type & 0x80000000u; }
    friend bool operator==(const Message&, const Message&) = default;
};

QByteArray encode(quint32 type, const QByteArray& payload);

// Frames messages out of the bytes of a stream as they arrive, in pieces of any size.
class Decoder {
public:
    // Appends every message completed by these bytes. A bad magic string or an oversized payload
    // breaks the stream for good: nothing after it is trusted.
    void feed(QByteArrayView bytes, QList<Message>& messages);
    bool isBroken() const { return m_broken; }

private:
    QByteArray m_buffer;
    bool m_broken = false;
};

// The runtime binding of the quick-paste chord and its removal.
QByteArray bindChordCommand();
QByteArray unbindChordCommand();
// The events a quick-paste client follows: its binding, reloads (they drop runtime bindings), exit.
QByteArray subscribePayload();

struct CommandResult {
    bool success = false;
    // sway's own words for the first failure; empty when its answer was missing or not understood.
    QString error;
};

// A RUN_COMMAND reply (one result per command) or a SUBSCRIBE reply (one result).
CommandResult parseCommandReply(const QByteArray& payload);

enum class Event { Other, QuickPasteBinding, Reload, Shutdown };
Event classify(const Message& message);

// The text of a GET_CONFIG reply (sway gives the main file only); empty when the reply holds none.
QString parseConfigReply(const QByteArray& payload);
// The main configuration file's path in a GET_VERSION reply.
QString parseConfigPath(const QByteArray& payload);

struct ConfigFile {
    QString path;
    QString text;
};
struct ConfigLine {
    QString path;
    QString text;
};
// The files an include line names: its argument (variables substituted) and the including file.
using IncludeResolver =
    std::function<QList<ConfigFile>(const QString& argument, const QString& includingPath)>;

// The line of a sway configuration that binds the chord in the default mode to something else (a
// runtime bindsym would silently replace it), if any. Variables, blocks and (with a resolver)
// includes are followed; a bindcode, or a binding another client added at runtime, is not seen.
std::optional<ConfigLine> conflictingBinding(const ConfigFile& config, const IncludeResolver& resolve = {});

} // namespace SwayIpc

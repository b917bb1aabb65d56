#pragma once

// A throw-away home for the real binary, the histories benchmarks fill it with, and a watch on the
// windows it maps.
#include "models/PasteboardType.h"
#include "services/HistoryRepository.h"
#include "support/EntryBuilder.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdlib>
#include <functional>
#include <poll.h>
#include <xcb/xcb.h>

inline QTextStream out(stdout);

struct Home {
    QTemporaryDir root;

    explicit Home(const QList<ClipboardEntry>& history)
    {
        for (const char* folder : {"config", "data", "cache", "runtime"})
            QDir().mkpath(root.filePath(QString::fromLatin1(folder)));
        QFile::setPermissions(root.filePath(QStringLiteral("runtime")),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        if (!history.isEmpty())
            HistoryRepository::write(root.filePath(QStringLiteral("data/Clipwell")), history);
    }

    void enableQuickPaste() const
    {
        QDir().mkpath(root.filePath(QStringLiteral("config/Clipwell")));
        QFile settings(root.filePath(QStringLiteral("config/Clipwell/Clipwell.conf")));
        if (settings.open(QIODevice::WriteOnly))
            settings.write("[General]\nquickPasteEnabled=true\n");
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), root.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), root.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), root.filePath(QStringLiteral("data")));
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), root.filePath(QStringLiteral("cache")));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), root.filePath(QStringLiteral("runtime")));
        return environment;
    }
};

// Waits for top-level windows to be mapped; watches the root window, so it must be made before
// whatever maps them.
class MapWatcher {
public:
    MapWatcher() : m_connection(xcb_connect(nullptr, nullptr))
    {
        if (xcb_connection_has_error(m_connection))
            return;
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_connection, screen->root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(m_connection);
    }
    ~MapWatcher() { xcb_disconnect(m_connection); }

    bool isValid() const { return !xcb_connection_has_error(m_connection); }

    // A window of class "Clipwell" managed by the window manager.
    bool waitForClipwell(int timeoutMs)
    {
        return waitFor(timeoutMs,
                       [this](const xcb_map_notify_event_t* map) { return isClipwell(map->window); });
    }

    bool waitFor(int timeoutMs, const std::function<bool(const xcb_map_notify_event_t*)>& matches)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < timeoutMs) {
            pollfd descriptor{xcb_get_file_descriptor(m_connection), POLLIN, 0};
            ::poll(&descriptor, 1, 50);
            while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
                const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY &&
                                    matches(reinterpret_cast<xcb_map_notify_event_t*>(event));
                std::free(event);
                if (mapped)
                    return true;
            }
        }
        return false;
    }

private:
    // A window of class "Clipwell", or a window manager's frame around one.
    bool isClipwell(xcb_window_t window, int depth = 0)
    {
        if (depth < 3) {
            xcb_query_tree_reply_t* tree =
                xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, window), nullptr);
            bool found = false;
            for (int i = 0; tree && !found && i < xcb_query_tree_children_length(tree); ++i)
                found = isClipwell(xcb_query_tree_children(tree)[i], depth + 1);
            std::free(tree);
            if (found)
                return true;
        }
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            m_connection,
            xcb_get_property(m_connection, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 64), nullptr);
        if (!reply)
            return false;
        const QByteArray value(static_cast<const char*>(xcb_get_property_value(reply)),
                               xcb_get_property_value_length(reply));
        std::free(reply);
        return value.split('\0').contains("Clipwell");
    }

    xcb_connection_t* m_connection;
};

inline QList<ClipboardEntry> textHistory()
{
    QList<ClipboardEntry> entries;
    for (int i = 0; i < HistoryRepository::maxEntries; ++i)
        entries.append(makeEntry(QStringLiteral("Entry %1 of the benchmark history, with some text").arg(i),
                                 1000.0 - i));
    return entries;
}

// Screenshots of noise, which PNG cannot shrink, filling the 64 MiB the history keeps.
inline QList<ClipboardEntry> imageHistory()
{
    const qint64 bytesEach = HistoryRepository::maxTotalBytes / HistoryRepository::maxEntries - 4096;
    QList<ClipboardEntry> entries;
    QRandomGenerator random(7);
    for (int i = 0; i < HistoryRepository::maxEntries; ++i) {
        QImage image(320, 340, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<quint32*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                line[x] = random.generate();
        }
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        if (png.size() > bytesEach)
            qFatal("image %d is larger than its share of the history", i);

        ClipboardEntry entry = makeEntry(QStringLiteral("Image %1").arg(i), 1000.0 - i);
        entry.kind = ClipboardKind::image;
        entry.plainText.reset();
        entry.items = {{{{PasteboardType::png, png}}}};
        entry.fingerprint = ClipboardEntry::fingerprintOf(entry.items);
        entry.deduplicationKey =
            ClipboardEntry::makeDeduplicationKey(entry.sourceName, std::nullopt, entry.fingerprint);
        entries.append(entry);
    }
    return entries;
}

// The history quick paste is measured over: 200 entries, one in ten an image.
inline QList<ClipboardEntry> mixedHistory()
{
    QList<ClipboardEntry> entries = textHistory();
    const QList<ClipboardEntry> images = imageHistory();
    for (int i = 5; i < entries.size(); i += 10)
        entries[i] = images.at(i);
    return entries;
}

// Reads the process's output until a line starts so; false after the timeout.
inline bool waitForLine(QProcess& process, const QByteArray& start, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        while (process.canReadLine()) {
            if (process.readLine().startsWith(start))
                return true;
        }
        process.waitForReadyRead(5);
    }
    return false;
}

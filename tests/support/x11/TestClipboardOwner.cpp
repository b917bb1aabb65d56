// A scriptable CLIPBOARD owner for X11 integration tests. It talks XCB directly so that the
// code under test never shares a toolkit, an event loop or a connection with its peer.
//
//   test_clipboard_owner [--hang] [--hang-target NAME] [--delay-ms N] [--log PATH]
//                        [--wm-class INSTANCE,CLASS] [--pid N] [--incr-targets]
//                        NAME=TEXT | NAME=@PATH | --pad-targets N ...
//
//   --hang            answer no request at all, not even TARGETS
//   --hang-target N   never answer requests for target N (repeatable); serve the rest
//   --delay-ms N      answer each request N ms after it arrives
//   --log PATH        append the name of every requested target, one per line
//   --pad-targets N   list N more targets (one unserved filler name) at this point of TARGETS
//   --incr-targets    send a TARGETS list larger than one chunk incrementally
//
// Prints "ready" once it owns the selection; exits 0 on SelectionClear, SIGTERM or SIGINT.

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <map>
#include <memory>
#include <optional>
#include <poll.h>
#include <set>
#include <string>
#include <string_view>
#include <unistd.h>
#include <utility>
#include <vector>
#include <xcb/xcb.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kIncrThreshold = 256 * 1024;
// Room for the ChangeProperty header, including the BIG-REQUESTS length field.
constexpr std::size_t kRequestOverhead = 64;
constexpr auto kIncrStallTimeout = std::chrono::seconds(5);

struct FreeDeleter {
    void operator()(void* p) const noexcept { std::free(p); }
};
template <typename T> using XcbPtr = std::unique_ptr<T, FreeDeleter>;

struct FileCloser {
    void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};

struct Target {
    std::string name;
    std::string data;
    xcb_atom_t atom = XCB_ATOM_NONE;
};

struct Options {
    std::vector<Target> targets;
    bool hang = false;
    std::vector<std::string> hangTargets;
    int delayMs = 0;
    std::string logPath;
    std::optional<std::pair<std::string, std::string>> wmClass;
    std::optional<std::uint32_t> pid;
    // (number of named targets before it, count)
    std::vector<std::pair<std::size_t, std::size_t>> padding;
    bool incrTargets = false;
};

int g_signalPipeWrite = -1;

extern "C" void onTerminationSignal(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    if (write(g_signalPipeWrite, &byte, 1) < 0) {
        // Nothing useful to do inside a signal handler; a full pipe already means "quit".
    }
    errno = savedErrno;
}

[[noreturn]] void usageError(const std::string& message)
{
    std::fprintf(stderr,
                 "test_clipboard_owner: %s\n"
                 "usage: test_clipboard_owner [--hang] [--hang-target NAME] [--delay-ms N] [--log PATH]\n"
                 "                            [--wm-class INSTANCE,CLASS] [--pid N] [--incr-targets]\n"
                 "                            NAME=TEXT|NAME=@PATH|--pad-targets N...\n",
                 message.c_str());
    std::exit(2);
}

template <typename Int> Int parseNumber(std::string_view text, std::string_view option)
{
    Int value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        usageError("invalid number for " + std::string(option) + ": " + std::string(text));
    return value;
}

std::string readFile(const std::string& path)
{
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file)
        usageError("cannot open " + path + ": " + std::strerror(errno));
    std::string data;
    std::array<char, 64 * 1024> buffer{};
    std::size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), file.get())) > 0)
        data.append(buffer.data(), n);
    if (std::ferror(file.get()))
        usageError("cannot read " + path);
    return data;
}

Options parseOptions(int argc, char** argv)
{
    Options options;
    bool optionsDone = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&]() -> std::string_view {
            if (i + 1 >= argc)
                usageError("missing value for " + std::string(arg));
            return argv[++i];
        };
        if (!optionsDone && arg == "--") {
            optionsDone = true;
        } else if (!optionsDone && arg == "--hang") {
            options.hang = true;
        } else if (!optionsDone && arg == "--hang-target") {
            options.hangTargets.emplace_back(value());
        } else if (!optionsDone && arg == "--delay-ms") {
            options.delayMs = parseNumber<int>(value(), arg);
            if (options.delayMs < 0)
                usageError("--delay-ms must not be negative");
        } else if (!optionsDone && arg == "--log") {
            options.logPath = value();
        } else if (!optionsDone && arg == "--wm-class") {
            const std::string_view v = value();
            const auto comma = v.find(',');
            if (comma == std::string_view::npos)
                usageError("--wm-class expects INSTANCE,CLASS");
            options.wmClass.emplace(std::string(v.substr(0, comma)), std::string(v.substr(comma + 1)));
        } else if (!optionsDone && arg == "--pid") {
            options.pid = parseNumber<std::uint32_t>(value(), arg);
        } else if (!optionsDone && arg == "--pad-targets") {
            options.padding.emplace_back(options.targets.size(), parseNumber<std::size_t>(value(), arg));
        } else if (!optionsDone && arg == "--incr-targets") {
            options.incrTargets = true;
        } else if (!optionsDone && arg.starts_with("--")) {
            usageError("unknown option " + std::string(arg));
        } else {
            const auto eq = arg.find('=');
            if (eq == std::string_view::npos || eq == 0)
                usageError("expected NAME=TEXT or NAME=@PATH, got " + std::string(arg));
            Target target;
            target.name = std::string(arg.substr(0, eq));
            const std::string_view rest = arg.substr(eq + 1);
            target.data = rest.starts_with('@') ? readFile(std::string(rest.substr(1))) : std::string(rest);
            if (target.name == "TARGETS" || target.name == "TIMESTAMP")
                usageError(target.name + " is served implicitly");
            const bool duplicate = std::any_of(options.targets.begin(), options.targets.end(),
                                               [&](const Target& t) { return t.name == target.name; });
            if (duplicate)
                usageError("duplicate target " + target.name);
            options.targets.push_back(std::move(target));
        }
    }
    return options;
}

class ClipboardOwner {
public:
    ClipboardOwner(xcb_connection_t* connection, int screenNumber, Options options, int signalFd)
        : m_conn(connection), m_screenNumber(screenNumber), m_options(std::move(options)),
          m_signalFd(signalFd)
    {
    }

    int run()
    {
        if (!setUp())
            return 1;
        std::fputs("ready\n", stdout);
        std::fflush(stdout);
        return loop();
    }

private:
    struct PendingRequest {
        Clock::time_point due;
        xcb_selection_request_event_t event;
    };
    struct Transfer {
        const Target* target = nullptr;
        std::size_t offset = 0;
        Clock::time_point deadline;
    };
    // Several requestors (or one requestor using several properties) may be mid-INCR at once.
    using TransferKey = std::pair<xcb_window_t, xcb_atom_t>;

    xcb_atom_t intern(std::string_view name)
    {
        const auto cookie = xcb_intern_atom(m_conn, 0, static_cast<std::uint16_t>(name.size()), name.data());
        XcbPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(m_conn, cookie, nullptr));
        if (!reply)
            return XCB_ATOM_NONE;
        m_atomNames.emplace(reply->atom, std::string(name));
        return reply->atom;
    }

    std::string atomName(xcb_atom_t atom)
    {
        if (const auto it = m_atomNames.find(atom); it != m_atomNames.end())
            return it->second;
        XcbPtr<xcb_get_atom_name_reply_t> reply(
            xcb_get_atom_name_reply(m_conn, xcb_get_atom_name(m_conn, atom), nullptr));
        if (!reply)
            return "ATOM#" + std::to_string(atom);
        std::string name(xcb_get_atom_name_name(reply.get()),
                         static_cast<std::size_t>(xcb_get_atom_name_name_length(reply.get())));
        m_atomNames.emplace(atom, name);
        return name;
    }

    bool changeProperty(xcb_window_t window, xcb_atom_t property, xcb_atom_t type, std::uint8_t format,
                        std::size_t count, const void* data)
    {
        const auto cookie = xcb_change_property_checked(m_conn, XCB_PROP_MODE_REPLACE, window, property, type,
                                                        format, static_cast<std::uint32_t>(count), data);
        XcbPtr<xcb_generic_error_t> error(xcb_request_check(m_conn, cookie));
        return !error;
    }

    bool setUp()
    {
        const xcb_setup_t* setup = xcb_get_setup(m_conn);
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(setup);
        for (int i = 0; i < m_screenNumber && it.rem > 0; ++i)
            xcb_screen_next(&it);
        if (it.rem <= 0 || it.data == nullptr) {
            std::fputs("test_clipboard_owner: no such screen\n", stderr);
            return false;
        }
        const xcb_window_t root = it.data->root;

        m_clipboard = intern("CLIPBOARD");
        m_targetsAtom = intern("TARGETS");
        m_timestampAtom = intern("TIMESTAMP");
        m_incrAtom = intern("INCR");
        const xcb_atom_t netWmPid = intern("_NET_WM_PID");
        for (Target& target : m_options.targets)
            target.atom = intern(target.name);
        for (const std::string& name : m_options.hangTargets)
            m_hangTargets.insert(intern(name));
        m_targetList.name = "TARGETS";
        m_targetList.atom = XCB_ATOM_ATOM;
        m_targetList.data =
            targetList(m_options.padding.empty() ? xcb_atom_t{XCB_ATOM_NONE} : intern("x-test/padding"));

        const std::size_t maxRequestBytes = std::size_t{xcb_get_maximum_request_length(m_conn)} * 4;
        if (maxRequestBytes <= kRequestOverhead * 2) {
            std::fputs("test_clipboard_owner: server request limit too small\n", stderr);
            return false;
        }
        m_chunkSize = std::min(kIncrThreshold, maxRequestBytes - kRequestOverhead);

        if (!m_options.logPath.empty()) {
            m_log.reset(std::fopen(m_options.logPath.c_str(), "a"));
            if (!m_log) {
                std::fprintf(stderr, "test_clipboard_owner: cannot open log %s: %s\n",
                             m_options.logPath.c_str(), std::strerror(errno));
                return false;
            }
        }

        m_window = xcb_generate_id(m_conn);
        const std::uint32_t eventMask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(m_conn, 0, m_window, root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                          XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &eventMask);

        if (m_options.wmClass) {
            std::string value = m_options.wmClass->first;
            value.push_back('\0');
            value += m_options.wmClass->second;
            value.push_back('\0');
            xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, m_window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING,
                                8, static_cast<std::uint32_t>(value.size()), value.data());
        }
        if (m_options.pid) {
            const std::uint32_t pid = *m_options.pid;
            xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, m_window, netWmPid, XCB_ATOM_CARDINAL, 32, 1,
                                &pid);
        }

        // SetSelectionOwner with CurrentTime is discouraged by ICCCM; a property change yields a
        // real server time to own the selection with and to answer TIMESTAMP.
        const std::string_view title = "test_clipboard_owner";
        xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, m_window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                            static_cast<std::uint32_t>(title.size()), title.data());
        xcb_flush(m_conn);
        for (;;) {
            XcbPtr<xcb_generic_event_t> event(xcb_wait_for_event(m_conn));
            if (!event) {
                std::fputs("test_clipboard_owner: lost the X connection\n", stderr);
                return false;
            }
            if ((event->response_type & 0x7F) != XCB_PROPERTY_NOTIFY)
                continue;
            const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event.get());
            if (notify->window == m_window && notify->atom == XCB_ATOM_WM_NAME) {
                m_ownershipTime = notify->time;
                break;
            }
        }

        xcb_set_selection_owner(m_conn, m_window, m_clipboard, m_ownershipTime);
        XcbPtr<xcb_get_selection_owner_reply_t> owner(
            xcb_get_selection_owner_reply(m_conn, xcb_get_selection_owner(m_conn, m_clipboard), nullptr));
        if (!owner || owner->owner != m_window) {
            std::fputs("test_clipboard_owner: could not acquire CLIPBOARD\n", stderr);
            return false;
        }
        return true;
    }

    int loop()
    {
        while (!m_exitCode) {
            drainEvents();
            if (m_exitCode)
                break;
            runTimers();
            // Timer work does round trips, which may have queued events that poll() cannot see.
            drainEvents();
            if (m_exitCode)
                break;
            if (xcb_connection_has_error(m_conn)) {
                std::fputs("test_clipboard_owner: lost the X connection\n", stderr);
                return 1;
            }
            xcb_flush(m_conn);

            std::array<pollfd, 2> fds{};
            fds[0] = {xcb_get_file_descriptor(m_conn), POLLIN, 0};
            fds[1] = {m_signalFd, POLLIN, 0};
            if (poll(fds.data(), fds.size(), pollTimeoutMs()) < 0 && errno != EINTR) {
                std::perror("test_clipboard_owner: poll");
                return 1;
            }
            if (fds[1].revents & POLLIN)
                m_exitCode = 0;
        }
        return *m_exitCode;
    }

    int pollTimeoutMs() const
    {
        std::optional<Clock::time_point> next;
        auto consider = [&](Clock::time_point t) { next = next ? std::min(*next, t) : t; };
        if (!m_pending.empty())
            consider(m_pending.front().due);
        for (const auto& entry : m_transfers)
            consider(entry.second.deadline);
        if (!next)
            return -1;
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - Clock::now()).count();
        return static_cast<int>(std::clamp<decltype(wait)>(wait, 0, 60'000));
    }

    void drainEvents()
    {
        while (!m_exitCode) {
            XcbPtr<xcb_generic_event_t> event(xcb_poll_for_event(m_conn));
            if (!event)
                return;
            handleEvent(event.get());
        }
    }

    void runTimers()
    {
        const auto now = Clock::now();
        // All requests share one delay, so the queue is already ordered by due time.
        while (!m_pending.empty() && m_pending.front().due <= now) {
            const xcb_selection_request_event_t request = m_pending.front().event;
            m_pending.pop_front();
            answer(request);
        }
        std::vector<TransferKey> stalled;
        for (const auto& [key, transfer] : m_transfers) {
            if (transfer.deadline <= now)
                stalled.push_back(key);
        }
        for (const TransferKey& key : stalled) {
            std::fprintf(stderr, "test_clipboard_owner: abandoning stalled INCR transfer to window 0x%x\n",
                         key.first);
            endTransfer(key);
        }
    }

    void handleEvent(const xcb_generic_event_t* event)
    {
        switch (event->response_type & 0x7F) {
        case 0:
            // Errors are expected when a requestor window vanishes; unchecked requests land here.
            break;
        case XCB_SELECTION_REQUEST:
            onSelectionRequest(*reinterpret_cast<const xcb_selection_request_event_t*>(event));
            break;
        case XCB_SELECTION_CLEAR: {
            const auto* clear = reinterpret_cast<const xcb_selection_clear_event_t*>(event);
            if (clear->selection == m_clipboard && clear->owner == m_window)
                m_exitCode = 0;
            break;
        }
        case XCB_PROPERTY_NOTIFY: {
            const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
            if (notify->state == XCB_PROPERTY_DELETE)
                sendNextChunk({notify->window, notify->atom});
            break;
        }
        case XCB_DESTROY_NOTIFY: {
            const auto* destroy = reinterpret_cast<const xcb_destroy_notify_event_t*>(event);
            dropTransfersTo(destroy->window);
            break;
        }
        default:
            break;
        }
    }

    void onSelectionRequest(const xcb_selection_request_event_t& request)
    {
        if (m_log) {
            std::fprintf(m_log.get(), "%s\n", atomName(request.target).c_str());
            std::fflush(m_log.get());
        }
        if (m_options.hang || m_hangTargets.contains(request.target))
            return;
        if (m_options.delayMs > 0) {
            m_pending.push_back({Clock::now() + std::chrono::milliseconds(m_options.delayMs), request});
            return;
        }
        answer(request);
    }

    std::string targetList(xcb_atom_t padding) const
    {
        std::vector<xcb_atom_t> atoms;
        const auto pad = [&](std::size_t position) {
            for (const auto& [at, count] : m_options.padding) {
                if (at == position)
                    atoms.insert(atoms.end(), count, padding);
            }
        };
        for (std::size_t i = 0; i < m_options.targets.size(); ++i) {
            pad(i);
            atoms.push_back(m_options.targets[i].atom);
        }
        pad(m_options.targets.size());
        atoms.push_back(m_targetsAtom);
        atoms.push_back(m_timestampAtom);
        return {reinterpret_cast<const char*>(atoms.data()), atoms.size() * sizeof(xcb_atom_t)};
    }

    const Target* findTarget(xcb_atom_t atom) const
    {
        const auto it = std::find_if(m_options.targets.begin(), m_options.targets.end(),
                                     [&](const Target& t) { return t.atom == atom; });
        return it == m_options.targets.end() ? nullptr : &*it;
    }

    void answer(const xcb_selection_request_event_t& request)
    {
        // ICCCM: a None property comes from an obsolete client; use the target name instead.
        const xcb_atom_t property = request.property == XCB_ATOM_NONE ? request.target : request.property;
        const bool stale =
            request.time != XCB_CURRENT_TIME && static_cast<std::int32_t>(request.time - m_ownershipTime) < 0;
        bool served = false;
        if (request.selection != m_clipboard || request.owner != m_window || stale) {
            // Refused: not ours, or asked about a time before we owned it.
        } else if (request.target == m_targetsAtom) {
            const std::string& atoms = m_targetList.data;
            if (m_options.incrTargets && atoms.size() > m_chunkSize)
                served = startTransfer(request.requestor, property, m_targetList);
            else
                served = changeProperty(request.requestor, property, XCB_ATOM_ATOM, 32,
                                        atoms.size() / sizeof(xcb_atom_t), atoms.data());
        } else if (request.target == m_timestampAtom) {
            served = changeProperty(request.requestor, property, XCB_ATOM_INTEGER, 32, 1, &m_ownershipTime);
        } else if (const Target* target = findTarget(request.target)) {
            if (target->data.size() > m_chunkSize)
                served = startTransfer(request.requestor, property, *target);
            else
                served = changeProperty(request.requestor, property, target->atom, 8, target->data.size(),
                                        target->data.data());
        }
        notify(request, served ? property : xcb_atom_t{XCB_ATOM_NONE});
    }

    void notify(const xcb_selection_request_event_t& request, xcb_atom_t property)
    {
        xcb_selection_notify_event_t event{};
        event.response_type = XCB_SELECTION_NOTIFY;
        event.time = request.time;
        event.requestor = request.requestor;
        event.selection = request.selection;
        event.target = request.target;
        event.property = property;
        // SendEvent always reads 32 bytes, more than the event struct holds.
        std::array<char, 32> buffer{};
        static_assert(sizeof(event) <= buffer.size());
        std::memcpy(buffer.data(), &event, sizeof(event));
        xcb_send_event(m_conn, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, buffer.data());
        xcb_flush(m_conn);
    }

    bool startTransfer(xcb_window_t requestor, xcb_atom_t property, const Target& target)
    {
        // Watch for deletions (the requestor's "next chunk, please") and for the window going away.
        const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        XcbPtr<xcb_generic_error_t> error(xcb_request_check(
            m_conn, xcb_change_window_attributes_checked(m_conn, requestor, XCB_CW_EVENT_MASK, &mask)));
        if (error)
            return false;
        const std::uint32_t size = static_cast<std::uint32_t>(target.data.size());
        if (!changeProperty(requestor, property, m_incrAtom, 32, 1, &size)) {
            releaseWindowIfIdle(requestor);
            return false;
        }
        m_transfers[{requestor, property}] = Transfer{&target, 0, Clock::now() + kIncrStallTimeout};
        return true;
    }

    void sendNextChunk(const TransferKey& key)
    {
        const auto it = m_transfers.find(key);
        if (it == m_transfers.end())
            return;
        Transfer& transfer = it->second;
        const std::string& data = transfer.target->data;
        const std::size_t length = std::min(m_chunkSize, data.size() - transfer.offset);
        if (!changeProperty(key.first, key.second, transfer.target->atom, 8, length,
                            data.data() + transfer.offset)) {
            endTransfer(key);
            return;
        }
        transfer.offset += length;
        transfer.deadline = Clock::now() + kIncrStallTimeout;
        // The zero-length chunk just written marks the end of the transfer.
        if (length == 0)
            endTransfer(key);
    }

    void endTransfer(const TransferKey& key)
    {
        m_transfers.erase(key);
        releaseWindowIfIdle(key.first);
    }

    void dropTransfersTo(xcb_window_t window)
    {
        std::erase_if(m_transfers, [&](const auto& entry) { return entry.first.first == window; });
    }

    void releaseWindowIfIdle(xcb_window_t window)
    {
        const bool busy = std::any_of(m_transfers.begin(), m_transfers.end(),
                                      [&](const auto& entry) { return entry.first.first == window; });
        if (busy || window == m_window)
            return;
        // Unchecked: the window may already be gone, and the resulting error is harmless.
        const std::uint32_t mask = XCB_EVENT_MASK_NO_EVENT;
        xcb_change_window_attributes(m_conn, window, XCB_CW_EVENT_MASK, &mask);
    }

    xcb_connection_t* m_conn;
    int m_screenNumber;
    Options m_options;
    int m_signalFd;

    std::unique_ptr<std::FILE, FileCloser> m_log;
    std::map<xcb_atom_t, std::string> m_atomNames;
    std::set<xcb_atom_t> m_hangTargets;
    Target m_targetList;
    xcb_window_t m_window = XCB_WINDOW_NONE;
    xcb_atom_t m_clipboard = XCB_ATOM_NONE;
    xcb_atom_t m_targetsAtom = XCB_ATOM_NONE;
    xcb_atom_t m_timestampAtom = XCB_ATOM_NONE;
    xcb_atom_t m_incrAtom = XCB_ATOM_NONE;
    xcb_timestamp_t m_ownershipTime = XCB_CURRENT_TIME;
    std::size_t m_chunkSize = kIncrThreshold;

    std::deque<PendingRequest> m_pending;
    std::map<TransferKey, Transfer> m_transfers;
    std::optional<int> m_exitCode;
};

} // namespace

int main(int argc, char** argv)
{
    Options options = parseOptions(argc, argv);

    std::array<int, 2> signalPipe{};
    if (pipe2(signalPipe.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("test_clipboard_owner: pipe2");
        return 1;
    }
    g_signalPipeWrite = signalPipe[1];
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    // A test that stops reading our stdout must not kill us with SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);

    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection)) {
        std::fputs("test_clipboard_owner: cannot connect to the X server\n", stderr);
        xcb_disconnect(connection);
        return 1;
    }

    int status = 0;
    {
        ClipboardOwner owner(connection, screenNumber, std::move(options), signalPipe[0]);
        status = owner.run();
    }
    xcb_disconnect(connection);
    close(signalPipe[0]);
    close(signalPipe[1]);
    return status;
}

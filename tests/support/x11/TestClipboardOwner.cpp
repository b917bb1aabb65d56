// A scriptable CLIPBOARD owner for X11 tests. It talks XCB directly so that the code under test
// never shares a toolkit, an event loop or a connection with its peer.
//
//   test_clipboard_owner [--hang] [--hang-target NAME] [--delay-ms N] [--log PATH] [--incr-targets]
//                        NAME=TEXT | NAME=@PATH | --pad-targets N ...
//
//   --hang            answer no request at all, not even TARGETS
//   --hang-target N   never answer requests for target N (repeatable); serve the rest
//   --delay-ms N      answer each request N ms after it arrives
//   --log PATH        append the name of every requested target, one per line
//   --pad-targets N   list N more targets (one unserved filler name) at this point of TARGETS
//   --incr-targets    send a TARGETS list larger than one chunk incrementally (data always is)
//
// Prints "ready" once it owns the selection; exits 0 on SelectionClear, SIGTERM or SIGINT.

#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <poll.h>
#include <set>
#include <string>
#include <sys/signalfd.h>
#include <thread>
#include <utility>
#include <vector>
#include <xcb/xcb.h>

namespace {

struct Target {
    std::string name;
    std::string data;
    xcb_atom_t atom = XCB_ATOM_NONE;
};

xcb_connection_t* c = nullptr;
xcb_window_t window = XCB_WINDOW_NONE;
xcb_atom_t clipboardAtom, targetsAtom, timestampAtom, incrAtom;
xcb_timestamp_t ownedSince = XCB_CURRENT_TIME;
std::size_t chunkSize = 256 * 1024;

std::vector<Target> targets;
Target targetList{"TARGETS", {}, XCB_ATOM_ATOM};
std::vector<std::pair<std::size_t, std::size_t>> padding; // (targets named before, count)
std::set<std::string> hangNames;
bool hangAll = false;
bool incrTargets = false;
std::chrono::milliseconds delay{0};
std::FILE* logFile = nullptr;

// Transfers in flight, by requestor window and property.
std::map<std::pair<xcb_window_t, xcb_atom_t>, std::pair<const Target*, std::size_t>> transfers;

[[noreturn]] void fail(const std::string& message)
{
    std::fprintf(stderr, "test_clipboard_owner: %s\n", message.c_str());
    std::exit(2);
}

void parse(int argc, char** argv)
{
    std::string logPath;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&] {
            if (++i >= argc)
                fail("missing value for " + arg);
            return std::string(argv[i]);
        };
        const auto eq = arg.find('=');
        if (arg == "--hang")
            hangAll = true;
        else if (arg == "--hang-target")
            hangNames.insert(value());
        else if (arg == "--delay-ms")
            delay = std::chrono::milliseconds(std::stoi(value()));
        else if (arg == "--log")
            logPath = value();
        else if (arg == "--pad-targets")
            padding.emplace_back(targets.size(), std::stoul(value()));
        else if (arg == "--incr-targets")
            incrTargets = true;
        else if (!arg.starts_with("--") && eq != std::string::npos && eq > 0) {
            std::string data = arg.substr(eq + 1);
            if (data.starts_with('@')) {
                std::ifstream file(data.substr(1), std::ios::binary);
                if (!file)
                    fail("cannot open " + data.substr(1));
                data.assign(std::istreambuf_iterator<char>(file), {});
            }
            targets.push_back({arg.substr(0, eq), std::move(data)});
        } else {
            fail("usage: see the comment at the top of TestClipboardOwner.cpp; got " + arg);
        }
    }
    if (!logPath.empty() && !(logFile = std::fopen(logPath.c_str(), "a")))
        fail("cannot open " + logPath);
}

xcb_atom_t intern(const std::string& name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.data()), nullptr);
    if (!reply)
        fail("cannot intern " + name);
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}

std::string nameOf(xcb_atom_t atom)
{
    xcb_get_atom_name_reply_t* reply = xcb_get_atom_name_reply(c, xcb_get_atom_name(c, atom), nullptr);
    if (!reply)
        return "ATOM#" + std::to_string(atom);
    std::string name(xcb_get_atom_name_name(reply),
                     static_cast<std::size_t>(xcb_get_atom_name_name_length(reply)));
    std::free(reply);
    return name;
}

// Checked, because the requestor's window may be gone.
bool put(xcb_window_t requestor, xcb_atom_t property, xcb_atom_t type, std::uint8_t format, std::size_t count,
         const void* data)
{
    xcb_generic_error_t* error =
        xcb_request_check(c, xcb_change_property_checked(c, XCB_PROP_MODE_REPLACE, requestor, property, type,
                                                         format, static_cast<std::uint32_t>(count), data));
    const bool ok = error == nullptr;
    std::free(error);
    return ok;
}

void setUp()
{
    for (Target& target : targets)
        target.atom = intern(target.name);
    clipboardAtom = intern("CLIPBOARD");
    targetsAtom = intern("TARGETS");
    timestampAtom = intern("TIMESTAMP");
    incrAtom = intern("INCR");
    const xcb_atom_t filler = padding.empty() ? xcb_atom_t{XCB_ATOM_NONE} : intern("x-test/padding");
    std::vector<xcb_atom_t> atoms;
    for (std::size_t i = 0; i <= targets.size(); ++i) {
        for (const auto& [at, count] : padding) {
            if (at == i)
                atoms.insert(atoms.end(), count, filler);
        }
        if (i < targets.size())
            atoms.push_back(targets[i].atom);
    }
    atoms.push_back(targetsAtom);
    atoms.push_back(timestampAtom);
    targetList.data.assign(reinterpret_cast<const char*>(atoms.data()), atoms.size() * sizeof(xcb_atom_t));
    // Also enables BIG-REQUESTS, which the longest unchunked TARGETS lists need. 64 bytes leave room
    // for the ChangeProperty header.
    chunkSize = std::min(chunkSize, std::size_t{xcb_get_maximum_request_length(c)} * 4 - 64);

    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    window = xcb_generate_id(c);
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c, 0, window, root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT,
                      XCB_CW_EVENT_MASK, &mask);
    // ICCCM discourages owning with CurrentTime; a property change yields a real server time.
    const std::string title = "test_clipboard_owner";
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        static_cast<std::uint32_t>(title.size()), title.data());
    xcb_flush(c);
    while (ownedSince == XCB_CURRENT_TIME) {
        xcb_generic_event_t* event = xcb_wait_for_event(c);
        if (!event)
            fail("lost the X connection");
        if ((event->response_type & 0x7F) == XCB_PROPERTY_NOTIFY)
            ownedSince = reinterpret_cast<xcb_property_notify_event_t*>(event)->time;
        std::free(event);
    }
    xcb_set_selection_owner(c, window, clipboardAtom, ownedSince);
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, clipboardAtom), nullptr);
    const bool owned = owner && owner->owner == window;
    std::free(owner);
    if (!owned)
        fail("could not acquire CLIPBOARD");
}

void sendNextChunk(xcb_window_t requestor, xcb_atom_t property)
{
    const auto it = transfers.find({requestor, property});
    if (it == transfers.end())
        return;
    auto& [target, offset] = it->second;
    const std::size_t length = std::min(chunkSize, target->data.size() - offset);
    // The zero-length chunk marks the end.
    if (!put(requestor, property, target->atom, 8, length, target->data.data() + offset) || length == 0)
        transfers.erase(it);
    else
        offset += length;
}

bool startTransfer(xcb_window_t requestor, xcb_atom_t property, const Target& target)
{
    // Deleting the property is the requestor's "next chunk, please".
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, requestor, XCB_CW_EVENT_MASK, &mask);
    const auto size = static_cast<std::uint32_t>(target.data.size());
    if (!put(requestor, property, incrAtom, 32, 1, &size))
        return false;
    transfers[{requestor, property}] = {&target, 0};
    return true;
}

void answer(const xcb_selection_request_event_t& request)
{
    // ICCCM: a None property comes from an obsolete client; use the target name instead.
    const xcb_atom_t property = request.property == XCB_ATOM_NONE ? request.target : request.property;
    const auto found = std::find_if(targets.begin(), targets.end(),
                                    [&](const Target& t) { return t.atom == request.target; });
    const Target* target = request.target == targetsAtom ? &targetList
                           : found != targets.end()      ? &*found
                                                         : nullptr;
    bool served = false;
    if (request.selection != clipboardAtom || request.owner != window) {
        // Not ours.
    } else if (request.target == timestampAtom) {
        served = put(request.requestor, property, XCB_ATOM_INTEGER, 32, 1, &ownedSince);
    } else if (target && target->data.size() > chunkSize && (target != &targetList || incrTargets)) {
        served = startTransfer(request.requestor, property, *target);
    } else if (target) {
        const std::uint8_t format = target == &targetList ? 32 : 8;
        served = put(request.requestor, property, target->atom, format, target->data.size() / (format / 8),
                     target->data.data());
    }
    xcb_selection_notify_event_t event{};
    event.response_type = XCB_SELECTION_NOTIFY;
    event.time = request.time;
    event.requestor = request.requestor;
    event.selection = request.selection;
    event.target = request.target;
    event.property = served ? property : xcb_atom_t{XCB_ATOM_NONE};
    // SendEvent always reads 32 bytes, more than the event struct holds.
    std::array<char, 32> buffer{};
    std::memcpy(buffer.data(), &event, sizeof(event));
    xcb_send_event(c, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, buffer.data());
}

// Returns false once the owner should quit.
bool handle(const xcb_generic_event_t* event)
{
    switch (event->response_type & 0x7F) {
    case XCB_SELECTION_REQUEST: {
        const auto& request = *reinterpret_cast<const xcb_selection_request_event_t*>(event);
        const std::string name = nameOf(request.target);
        if (logFile) {
            std::fprintf(logFile, "%s\n", name.c_str());
            std::fflush(logFile);
        }
        if (hangAll || hangNames.contains(name))
            return true;
        std::this_thread::sleep_for(delay);
        answer(request);
        return true;
    }
    case XCB_SELECTION_CLEAR:
        return reinterpret_cast<const xcb_selection_clear_event_t*>(event)->owner != window;
    case XCB_PROPERTY_NOTIFY: {
        const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        if (notify->state == XCB_PROPERTY_DELETE)
            sendNextChunk(notify->window, notify->atom);
        return true;
    }
    case XCB_DESTROY_NOTIFY: {
        const xcb_window_t gone = reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window;
        std::erase_if(transfers, [&](const auto& transfer) { return transfer.first.first == gone; });
        return true;
    }
    default: // Errors land here when a requestor's window vanishes; they are expected.
        return true;
    }
}

} // namespace

int main(int argc, char** argv)
{
    parse(argc, argv);
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    const int signalFd = signalfd(-1, &signals, SFD_CLOEXEC);
    // A test that stops reading our stdout must not kill us with SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);

    c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        fail("cannot connect to the X server");
    setUp();
    std::puts("ready");
    std::fflush(stdout);
    for (bool running = true; running;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            running = running && handle(event);
            std::free(event);
        }
        if (xcb_connection_has_error(c))
            fail("lost the X connection");
        xcb_flush(c);
        std::array<pollfd, 2> fds{{{xcb_get_file_descriptor(c), POLLIN, 0}, {signalFd, POLLIN, 0}}};
        if (running && poll(fds.data(), fds.size(), -1) > 0 && (fds[1].revents & POLLIN))
            running = false;
    }
    xcb_disconnect(c);
    return 0;
}

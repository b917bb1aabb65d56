// A scriptable CLIPBOARD owner for X11 tests, on plain XCB so that it shares nothing with the code
// under test. Prints "ready" once it owns the selection; runs until it loses it or is signalled.
//   test_clipboard_owner [--hang] [--hang-target NAME]... [--log PATH] [--incr-targets]
//                        (NAME=TEXT | NAME=@PATH | --pad-targets N)...
// --hang answers nothing, not even TARGETS; --hang-target never answers NAME; --log appends every
// requested target's name; --pad-targets lists N filler targets at that point of TARGETS;
// --incr-targets sends a TARGETS list longer than one chunk incrementally, as data always is.
// --exit-after NAME quits once it has answered NAME; --save-on-exit first asks the clipboard manager
// to save its targets, and prints "saved" or "refused"; --destroy-window then destroys its window and
// stays connected until another client owns CLIPBOARD. --manager PATH owns CLIPBOARD_MANAGER instead
// and appends the UTF8_STRING of every clipboard it is asked to save to PATH.

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>

namespace {

struct Target {
    xcb_atom_t type;
    std::string data;
};

xcb_connection_t* c = nullptr;
xcb_window_t window = XCB_WINDOW_NONE;
xcb_atom_t clipboardAtom, targetsAtom, incrAtom, managerAtom, saveAtom;
std::size_t chunkSize = 256 * 1024;

std::map<xcb_atom_t, Target> targets; // TARGETS included
std::map<xcb_atom_t, std::string> names;
std::vector<xcb_atom_t> listed; // what TARGETS answers
std::set<std::string> hangNames;
bool hangAll = false;
bool incrTargets = false;
std::FILE* logFile = nullptr;
std::string exitAfter;
bool saveOnExit = false;
bool destroyWindow = false;
std::FILE* managerLog = nullptr;

// Transfers in flight, by requestor window and property.
std::map<std::pair<xcb_window_t, xcb_atom_t>, std::pair<const Target*, std::size_t>> transfers;

[[noreturn]] void fail(const std::string& message)
{
    std::fprintf(stderr, "test_clipboard_owner: %s\n", message.c_str());
    std::exit(2);
}

xcb_atom_t intern(const std::string& name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.data()), nullptr);
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    names[atom] = name;
    return atom;
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
        else if (arg == "--log")
            logPath = value();
        else if (arg == "--pad-targets")
            listed.insert(listed.end(), std::stoul(value()), intern("x-test/padding"));
        else if (arg == "--incr-targets")
            incrTargets = true;
        else if (arg == "--exit-after")
            exitAfter = value();
        else if (arg == "--save-on-exit")
            saveOnExit = true;
        else if (arg == "--destroy-window")
            destroyWindow = true;
        else if (arg == "--manager") {
            if (!(managerLog = std::fopen(value().c_str(), "a")))
                fail("cannot open the manager log");
        } else if (!arg.starts_with("--") && eq != std::string::npos && eq > 0) {
            std::string data = arg.substr(eq + 1);
            if (data.starts_with('@')) {
                std::ifstream file(data.substr(1), std::ios::binary);
                if (!file)
                    fail("cannot open " + data.substr(1));
                data.assign(std::istreambuf_iterator<char>(file), {});
            }
            const xcb_atom_t atom = intern(arg.substr(0, eq));
            targets[atom] = {atom, std::move(data)};
            listed.push_back(atom);
        } else {
            fail("usage: see the comment at the top of TestClipboardOwner.cpp; got " + arg);
        }
    }
    if (!logPath.empty() && !(logFile = std::fopen(logPath.c_str(), "a")))
        fail("cannot open " + logPath);
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

void sendNextChunk(xcb_window_t requestor, xcb_atom_t property)
{
    const auto it = transfers.find({requestor, property});
    if (it == transfers.end())
        return;
    auto& [target, offset] = it->second;
    const std::size_t length = std::min(chunkSize, target->data.size() - offset);
    // The zero-length chunk marks the end.
    if (!put(requestor, property, target->type, 8, length, target->data.data() + offset) || length == 0)
        transfers.erase(it);
    else
        offset += length;
}

bool startTransfer(xcb_window_t requestor, xcb_atom_t property, const Target& target)
{
    // Deleting the property is the requestor's "next chunk, please".
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(c, requestor, XCB_CW_EVENT_MASK, &mask);
    const auto size = static_cast<std::uint32_t>(target.data.size());
    if (!put(requestor, property, incrAtom, 32, 1, &size))
        return false;
    transfers[{requestor, property}] = {&target, 0};
    return true;
}

void answer(const xcb_selection_request_event_t& request)
{
    const xcb_atom_t property = request.property;
    const auto found = targets.find(request.target);
    const bool list = request.target == targetsAtom;
    bool served = false;
    if (found != targets.end()) {
        const Target& target = found->second;
        if (target.data.size() > chunkSize && (!list || incrTargets))
            served = startTransfer(request.requestor, property, target);
        else
            served = put(request.requestor, property, target.type, list ? 32 : 8,
                         target.data.size() / (list ? 4 : 1), target.data.data());
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
    xcb_flush(c);
}

bool handle(const xcb_generic_event_t* event);

// Converts selection to target on our window and waits for the answer, serving requests meanwhile.
// Returns the property's value, or nothing when refused.
std::optional<std::string> convert(xcb_atom_t selection, xcb_atom_t target)
{
    const xcb_atom_t property = intern("TEST_OWNER_CONVERSION");
    xcb_convert_selection(c, window, selection, target, property, XCB_CURRENT_TIME);
    xcb_flush(c);
    while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
        const auto* notify = reinterpret_cast<const xcb_selection_notify_event_t*>(event);
        if ((event->response_type & 0x7F) != XCB_SELECTION_NOTIFY || notify->selection != selection) {
            handle(event);
            std::free(event);
            continue;
        }
        const bool refused = notify->property == XCB_ATOM_NONE;
        std::free(event);
        if (refused)
            return std::nullopt;
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            c, xcb_get_property(c, 1, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 20), nullptr);
        std::string value(static_cast<const char*>(xcb_get_property_value(reply)),
                          std::size_t(xcb_get_property_value_length(reply)));
        std::free(reply);
        return value;
    }
    fail("lost the X connection");
}

// Returns false once the owner should quit.
bool handle(const xcb_generic_event_t* event)
{
    switch (event->response_type & 0x7F) {
    case XCB_SELECTION_REQUEST: {
        const auto& request = *reinterpret_cast<const xcb_selection_request_event_t*>(event);
        const std::string name = names.contains(request.target) ? names[request.target] : "?";
        if (logFile) {
            std::fprintf(logFile, "%s\n", name.c_str());
            std::fflush(logFile);
        }
        if (hangAll || hangNames.contains(name))
            return true;
        if (managerLog && request.target == saveAtom) {
            const std::optional<std::string> text = convert(clipboardAtom, intern("UTF8_STRING"));
            std::fprintf(managerLog, "%s\n", text.value_or("(refused)").c_str());
            std::fflush(managerLog);
            targets[saveAtom] = {XCB_ATOM_ATOM, {}};
        }
        answer(request);
        return name != exitAfter;
    }
    case XCB_SELECTION_CLEAR:
        return reinterpret_cast<const xcb_selection_clear_event_t*>(event)->owner != window;
    case XCB_PROPERTY_NOTIFY: {
        const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        if (notify->state == XCB_PROPERTY_DELETE)
            sendNextChunk(notify->window, notify->atom);
        return true;
    }
    default: // Errors land here when a requestor's window vanishes; they are expected.
        return true;
    }
}

} // namespace

int main(int argc, char** argv)
{
    c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        fail("cannot connect to the X server");
    clipboardAtom = intern("CLIPBOARD");
    managerAtom = intern("CLIPBOARD_MANAGER");
    saveAtom = intern("SAVE_TARGETS");
    incrAtom = intern("INCR");
    listed.push_back(targetsAtom = intern("TARGETS"));
    parse(argc, argv);
    targets[targetsAtom] = {XCB_ATOM_ATOM, {reinterpret_cast<const char*>(listed.data()), listed.size() * 4}};
    // Also enables BIG-REQUESTS, which the longest unchunked TARGETS lists need. 64 bytes leave room
    // for the ChangeProperty header.
    chunkSize = std::min(chunkSize, std::size_t{xcb_get_maximum_request_length(c)} * 4 - 64);

    window = xcb_generate_id(c);
    xcb_create_window(c, 0, window, xcb_setup_roots_iterator(xcb_get_setup(c)).data->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    const xcb_atom_t owned = managerLog ? managerAtom : clipboardAtom;
    xcb_set_selection_owner(c, window, owned, XCB_CURRENT_TIME);
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, owned), nullptr);
    const bool ours = owner && owner->owner == window;
    std::free(owner);
    if (!ours)
        fail("could not acquire " + names[owned]);
    std::puts("ready");
    std::fflush(stdout);
    bool owning = true;
    while (xcb_generic_event_t* event = owning ? xcb_wait_for_event(c) : nullptr) {
        owning = handle(event);
        std::free(event);
    }
    if (saveOnExit) {
        std::puts(convert(managerAtom, saveAtom) ? "saved" : "refused");
        std::fflush(stdout);
    }
    for (int wait = 0; destroyWindow && wait < 2000; ++wait) {
        if (wait == 0)
            xcb_destroy_window(c, window);
        xcb_get_selection_owner_reply_t* now =
            xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, clipboardAtom), nullptr);
        const bool taken = now && now->owner != XCB_WINDOW_NONE;
        std::free(now);
        if (taken)
            break;
        usleep(10'000);
    }
    // A round trip first: the server may drop what a client sent just before it went away.
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    xcb_disconnect(c);
    return owning ? 1 : 0;
}

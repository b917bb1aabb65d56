// A clipboard owner for Wayland tests, on plain libwayland-client and data-control, so that it shares
// nothing with the code under test. Sets the selection of the first seat to the given MIME types,
// serves them from memory, prints "ready" once the selection is set and runs until another client
// takes the selection or it is signalled.
//   test_wayland_owner [--log PATH] [--never-write] [--flood N] [--stamp] (MIME VALUE)...
// VALUE is the text itself, @PATH for a file's bytes, or - for standard input. --log appends every
// requested MIME type; --never-write keeps each requestor's pipe open without writing a byte;
// --flood N first sets N selections in a row, each replacing the one before; --stamp adds to "ready"
// the steady clock's nanoseconds when the selection was set.
#include "ext-data-control-v1-client-protocol.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>
#include <wayland-client.h>

namespace {

// ext and wlr data-control have the same requests and events in the same order, so one set of calls
// drives either; only the bind names the interface.
wl_seat* seat = nullptr;
zwlr_data_control_manager_v1* manager = nullptr;
const wl_interface* managerInterface = nullptr;
zwlr_data_control_source_v1* current = nullptr;

std::vector<std::pair<std::string, std::string>> offers;
std::FILE* logFile = nullptr;
std::mutex logMutex;
bool neverWrite = false;
std::vector<int> heldPipes;

[[noreturn]] void fail(const std::string& message)
{
    std::fprintf(stderr, "test_wayland_owner: %s\n", message.c_str());
    std::exit(2);
}

std::string valueOf(const std::string& argument)
{
    if (argument == "-")
        return {std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
    if (!argument.starts_with('@'))
        return argument;
    std::ifstream file(argument.substr(1), std::ios::binary);
    if (!file)
        fail("cannot read " + argument.substr(1));
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void global(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t version)
{
    const std::string_view found(interface);
    if (found == wl_seat_interface.name && !seat) {
        seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (found == ext_data_control_manager_v1_interface.name) {
        if (manager && managerInterface != &ext_data_control_manager_v1_interface)
            wl_proxy_destroy(reinterpret_cast<wl_proxy*>(manager));
        managerInterface = &ext_data_control_manager_v1_interface;
        manager =
            static_cast<zwlr_data_control_manager_v1*>(wl_registry_bind(registry, name, managerInterface, 1));
    } else if (found == zwlr_data_control_manager_v1_interface.name && version >= 2 && !manager) {
        managerInterface = &zwlr_data_control_manager_v1_interface;
        manager =
            static_cast<zwlr_data_control_manager_v1*>(wl_registry_bind(registry, name, managerInterface, 2));
    }
}

void globalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener registryListener{global, globalRemove};

void serve(std::string mimeType, int fd)
{
    const auto found = std::find_if(offers.begin(), offers.end(),
                                    [&](const auto& offer) { return offer.first == mimeType; });
    std::size_t written = 0;
    while (found != offers.end() && written < found->second.size()) {
        const ssize_t n = ::write(fd, found->second.data() + written, found->second.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += std::size_t(n);
    }
    ::close(fd);
}

void send(void*, zwlr_data_control_source_v1*, const char* mimeType, int32_t fd)
{
    if (logFile) {
        const std::lock_guard lock(logMutex);
        std::fprintf(logFile, "%s\n", mimeType);
        std::fflush(logFile);
    }
    if (neverWrite) {
        heldPipes.push_back(fd);
        return;
    }
    // A requestor that reads slowly holds up nobody else.
    std::thread(serve, std::string(mimeType), fd).detach();
}

void cancelled(void*, zwlr_data_control_source_v1* source)
{
    const bool ours = source == current;
    zwlr_data_control_source_v1_destroy(source);
    if (ours)
        std::exit(0);
}

const zwlr_data_control_source_v1_listener sourceListener{send, cancelled};

} // namespace

int main(int argc, char** argv)
{
    std::signal(SIGPIPE, SIG_IGN);
    int flood = 0;
    bool stamp = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--log" && i + 1 < argc) {
            logFile = std::fopen(argv[++i], "a");
            if (!logFile)
                fail(std::string("cannot open the log ") + argv[i]);
        } else if (argument == "--never-write") {
            neverWrite = true;
        } else if (argument == "--stamp") {
            stamp = true;
        } else if (argument == "--flood" && i + 1 < argc) {
            flood = std::atoi(argv[++i]);
        } else if (i + 1 < argc) {
            offers.emplace_back(argument, valueOf(argv[i + 1]));
            ++i;
        } else {
            fail("usage: test_wayland_owner [--log PATH] [--never-write] [--flood N] [--stamp] (MIME "
                 "VALUE)...");
        }
    }
    if (offers.empty())
        fail("nothing to offer");

    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        fail("cannot connect to the Wayland display");
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, nullptr);
    wl_display_roundtrip(display);
    if (!seat || !manager)
        fail("the compositor offers no seat or no data-control manager");
    zwlr_data_control_device_v1* device = zwlr_data_control_manager_v1_get_data_device(manager, seat);

    const auto setAt = std::chrono::steady_clock::now().time_since_epoch();
    for (int round = 0; round <= flood; ++round) {
        current = zwlr_data_control_manager_v1_create_data_source(manager);
        zwlr_data_control_source_v1_add_listener(current, &sourceListener, nullptr);
        for (const auto& [mimeType, value] : offers)
            zwlr_data_control_source_v1_offer(current, mimeType.c_str());
        zwlr_data_control_device_v1_set_selection(device, current);
    }
    if (wl_display_roundtrip(display) < 0)
        fail("the compositor refused the selection");
    if (stamp)
        std::printf("ready %lld\n", static_cast<long long>(std::chrono::nanoseconds(setAt).count()));
    else
        std::printf("ready\n");
    std::fflush(stdout);
    while (wl_display_dispatch(display) >= 0) {
    }
    fail("the compositor closed the connection");
}

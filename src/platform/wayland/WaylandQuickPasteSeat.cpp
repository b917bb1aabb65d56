#include "platform/wayland/WaylandQuickPasteSeat.h"

#include "fake-input-client-protocol.h"
#include "l10n/Localization.h"
#include "models/QuickPasteLog.h"
#include "platform/wayland/WaylandKeyTranslator.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"

#include <QImage>
#include <QLoggingCategory>
#include <QMutex>
#include <QObject>
#include <QRecursiveMutex>
#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <linux/input-event-codes.h>
#include <optional>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t compositorVersion = 4; // damage_buffer
constexpr uint32_t seatVersion = 5;       // repeat_info, release
constexpr uint32_t outputVersion = 2;     // scale, done
constexpr uint32_t layerShellVersion = 4;
constexpr uint32_t fakeInputVersion = 4; // keyboard_key
constexpr auto setupPatience = std::chrono::seconds(10);
constexpr char layerNamespace[] = "clipwell-quick-paste";

qint64 milliseconds()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}

template <typename T>
T* bind(wl_registry* registry, uint32_t name, const wl_interface& interface, uint32_t offered,
        uint32_t wanted)
{
    return static_cast<T*>(wl_registry_bind(registry, name, &interface, std::min(offered, wanted)));
}

// A sealed, unlinked file holding data, for the requests that take a file descriptor.
int memoryFile(const char* name, const char* data, size_t size)
{
    const int fd = ::memfd_create(name, MFD_CLOEXEC);
    if (fd < 0)
        return -1;
    if (::ftruncate(fd, off_t(size)) != 0) {
        ::close(fd);
        return -1;
    }
    if (data && size > 0) {
        void* map = ::mmap(nullptr, size, PROT_WRITE, MAP_SHARED, fd, 0);
        if (map == MAP_FAILED) {
            ::close(fd);
            return -1;
        }
        std::memcpy(map, data, size);
        ::munmap(map, size);
    }
    return fd;
}

} // namespace

// What the GUI thread and the seat thread share; a keystroke may outlive the seat and holds it too.
struct WaylandQuickPasteSeat::Shared {
    // A modifier key: its evdev code and the keymap's modifier bits it sets.
    struct Modifier {
        quint32 code = 0;
        quint32 mask = 0;
    };
    // A key typed with modifiers held, pressed in order and released in reverse.
    struct Post {
        QByteArray keymap;
        quint32 code = 0;
        quint32 group = 0;
        QList<Modifier> modifiers;
    };
    // The keys the shortcuts type in the popup keyboard's keymap.
    struct Keymap {
        QByteArray text;
        std::optional<WaylandKeyTranslator::Location> v;
        std::optional<WaylandKeyTranslator::Location> insert;
        Modifier control;
        Modifier shift;
    };

    ~Shared()
    {
        if (wakeFd >= 0)
            ::close(wakeFd);
    }
    void wake() const
    {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(wakeFd, &one, sizeof one);
    }

    int wakeFd = -1;
    std::atomic<bool> alive{true};
    std::atomic<bool> stop{false};
    std::atomic<quint64> flags{0};
    // Once ready, the seat thread writes what follows no more.
    std::atomic<State> state{State::connecting};
    bool layerShell = false;
    bool virtualKeyboard = false;
    // KWin's fake input, used where no virtual keyboard is offered.
    bool fakeInput = false;
    bool typingNeedsGrant = false;

    QRecursiveMutex handlerMutex;
    std::function<void(TapEvent&)> handler;

    mutable QMutex mutex;
    // Guarded by mutex: what the GUI thread asks for,
    std::optional<QImage> frame;
    bool hide = false;
    QList<Post> posts;
    // and what the seat thread knows.
    int scale = 1;
    QSize available;
    Keymap keymap;
    QList<quint32> keysDown;
};

class WaylandQuickPasteSeat::Keystroke final : public KeystrokePoster::Keystroke {
public:
    Keystroke(std::shared_ptr<Shared> shared, Shared::Post post) : m_shared(std::move(shared)), m_post(post)
    {
    }
    bool keysAreUp() const override
    {
        const QMutexLocker lock(&m_shared->mutex);
        return !m_shared->keysDown.contains(m_post.code);
    }
    bool post() override
    {
        if (!m_shared->alive || !keysAreUp())
            return false;
        {
            const QMutexLocker lock(&m_shared->mutex);
            m_shared->posts.append(m_post);
        }
        m_shared->wake();
        return true;
    }

private:
    std::shared_ptr<Shared> m_shared;
    Shared::Post m_post;
};

// Everything on the connection; used by one thread at a time (the creating one, then the seat's).
struct WaylandQuickPasteSeat::Worker {
    struct Output {
        Worker* worker = nullptr;
        wl_output* proxy = nullptr;
        uint32_t name = 0;
        int scale = 1;
        QSize mode;
        bool rotated = false;
    };
    struct Buffer {
        wl_buffer* proxy = nullptr;
        uchar* data = nullptr;
        size_t bytes = 0;
        QSize size;
        // The compositor holds it: nothing may be written into it.
        bool busy = false;
    };

    WaylandQuickPasteSeat* owner = nullptr;
    std::shared_ptr<Shared> shared;
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    wl_seat* seat = nullptr;
    wl_keyboard* keyboard = nullptr;
    zwlr_layer_shell_v1* layerShell = nullptr;
    zwp_virtual_keyboard_manager_v1* keyboardManager = nullptr;
    zwp_virtual_keyboard_v1* virtualKeyboard = nullptr;
    QByteArray virtualKeymap;
    org_kde_kwin_fake_input* fakeInput = nullptr;
    bool fakeInputOffered = false;
    // KWin names its own globals so; it offers fake input only to the programs it grants it.
    bool kwin = false;
    std::vector<std::unique_ptr<Output>> outputs;
    // The display's name, for the log, and why fake input is asked for, in the interface language.
    QString name;
    QByteArray typingReason;

    wl_surface* surface = nullptr;
    zwlr_layer_surface_v1* layerSurface = nullptr;
    wl_callback* frameCallback = nullptr;
    bool configured = false;
    QSize surfaceSize;
    wl_output* entered = nullptr;
    std::array<Buffer, 2> buffers;
    // The newest frame not shown yet.
    std::optional<QImage> frame;
    int publishedScale = 0;

    WaylandKeyTranslator translator{[this](TapEvent& record) { deliver(record); }};

    ~Worker()
    {
        unmap();
        for (Buffer& buffer : buffers)
            release(buffer);
        if (virtualKeyboard)
            zwp_virtual_keyboard_v1_destroy(virtualKeyboard);
        if (keyboardManager)
            zwp_virtual_keyboard_manager_v1_destroy(keyboardManager);
        if (fakeInput)
            org_kde_kwin_fake_input_destroy(fakeInput);
        // Versions before these have no destructor request: the proxy alone goes.
        if (layerShell &&
            zwlr_layer_shell_v1_get_version(layerShell) >= ZWLR_LAYER_SHELL_V1_DESTROY_SINCE_VERSION)
            zwlr_layer_shell_v1_destroy(layerShell);
        else if (layerShell)
            wl_proxy_destroy(reinterpret_cast<wl_proxy*>(layerShell));
        if (keyboard && wl_keyboard_get_version(keyboard) >= WL_KEYBOARD_RELEASE_SINCE_VERSION)
            wl_keyboard_release(keyboard);
        else if (keyboard)
            wl_keyboard_destroy(keyboard);
        for (const std::unique_ptr<Output>& output : outputs)
            wl_output_destroy(output->proxy);
        if (seat)
            wl_seat_destroy(seat);
        if (shm)
            wl_shm_destroy(shm);
        if (compositor)
            wl_compositor_destroy(compositor);
        if (registry)
            wl_registry_destroy(registry);
        if (display)
            wl_display_disconnect(display);
    }

    // Set-up only: waits for the compositor to answer everything asked so far, until the deadline or
    // the seat's end.
    bool roundTrip(Clock::time_point deadline)
    {
        bool done = false;
        wl_callback* callback = wl_display_sync(display);
        static constexpr wl_callback_listener listener{
            [](void* data, wl_callback*, uint32_t) { *static_cast<bool*>(data) = true; }};
        wl_callback_add_listener(callback, &listener, &done);
        const int fd = wl_display_get_fd(display);
        while (!done && !shared->stop) {
            if (wl_display_prepare_read(display) != 0) {
                if (wl_display_dispatch_pending(display) < 0)
                    break;
                continue;
            }
            wl_display_flush(display);
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            pollfd fds[] = {{fd, POLLIN, 0}, {shared->wakeFd, POLLIN, 0}};
            const int ready = left > 0 ? ::poll(fds, 2, int(left)) : 0;
            if (ready > 0 && fds[1].revents != 0) {
                // What the GUI thread asked for meanwhile waits for run(), which looks at it first.
                uint64_t value = 0;
                [[maybe_unused]] const ssize_t drained = ::read(shared->wakeFd, &value, sizeof value);
            }
            if (ready <= 0 || (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
                wl_display_cancel_read(display);
                if (ready > 0 || (ready < 0 && errno == EINTR))
                    continue;
                break;
            }
            if (wl_display_read_events(display) < 0 || wl_display_dispatch_pending(display) < 0)
                break;
        }
        wl_callback_destroy(callback);
        return done;
    }

    // Asks what the compositor offers. Runs on the seat's thread: a compositor may take seconds to
    // answer a new client (KWin reads the client's executable first).
    bool setUp()
    {
        registry = wl_display_get_registry(display);
        wl_registry_add_listener(registry, &registryListener, this);
        // The globals, then what the outputs and the seat say about themselves.
        const Clock::time_point deadline = Clock::now() + setupPatience;
        QString reason;
        if (!roundTrip(deadline) || !roundTrip(deadline))
            reason = QStringLiteral("the Wayland compositor on \"%1\" did not answer").arg(name);
        else if (!offer(deadline))
            reason = QStringLiteral("the Wayland compositor on \"%1\" refused a virtual keyboard").arg(name);
        if (!reason.isEmpty()) {
            if (!shared->stop)
                qCInfo(lcQuickPaste).noquote() << "Quick paste has no connection of its own:" << reason;
            shared->alive = false;
            shared->state = State::failed;
            return false;
        }
        publishOutput();
        shared->state = State::ready;
        return true;
    }

    // Settles how the seat types; false when the compositor refused the virtual keyboard.
    bool offer(Clock::time_point deadline)
    {
        shared->layerShell = layerShell && compositor && shm;
        shared->virtualKeyboard = keyboardManager && seat;
        if (shared->virtualKeyboard && fakeInput) {
            org_kde_kwin_fake_input_destroy(fakeInput);
            fakeInput = nullptr;
        }
        shared->fakeInput = fakeInput;
        // Offered too old to type is no matter of a grant.
        shared->typingNeedsGrant = kwin && !keyboardManager && !fakeInputOffered;
        if (fakeInput)
            org_kde_kwin_fake_input_authenticate(fakeInput, "Clipwell", typingReason.constData());
        // Once, now: a compositor may refuse it (ending the connection), and a seat whose only keyboards
        // are virtual has none to give the popup while no other program holds one.
        if (!shared->virtualKeyboard)
            return true;
        virtualKeyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(keyboardManager, seat);
        return roundTrip(deadline) && roundTrip(deadline);
    }

    // Registry, outputs, seat and keyboard.
    static void global(void* data, wl_registry* registry, uint32_t name, const char* interface,
                       uint32_t version)
    {
        auto* worker = static_cast<Worker*>(data);
        const auto is = [interface](const wl_interface& known) {
            return std::strcmp(interface, known.name) == 0;
        };
        if (is(wl_compositor_interface) && !worker->compositor) {
            worker->compositor =
                bind<wl_compositor>(registry, name, wl_compositor_interface, version, compositorVersion);
        } else if (is(wl_shm_interface) && !worker->shm) {
            worker->shm = bind<wl_shm>(registry, name, wl_shm_interface, version, 1);
        } else if (is(wl_seat_interface) && !worker->seat) {
            worker->seat = bind<wl_seat>(registry, name, wl_seat_interface, version, seatVersion);
            wl_seat_add_listener(worker->seat, &seatListener, worker);
        } else if (is(wl_output_interface)) {
            auto output = std::make_unique<Output>();
            output->worker = worker;
            output->name = name;
            output->proxy = bind<wl_output>(registry, name, wl_output_interface, version, outputVersion);
            wl_output_add_listener(output->proxy, &outputListener, output.get());
            worker->outputs.push_back(std::move(output));
        } else if (is(zwlr_layer_shell_v1_interface) && !worker->layerShell) {
            worker->layerShell = bind<zwlr_layer_shell_v1>(registry, name, zwlr_layer_shell_v1_interface,
                                                           version, layerShellVersion);
        } else if (is(zwp_virtual_keyboard_manager_v1_interface) && !worker->keyboardManager) {
            worker->keyboardManager = bind<zwp_virtual_keyboard_manager_v1>(
                registry, name, zwp_virtual_keyboard_manager_v1_interface, version, 1);
        } else if (is(org_kde_kwin_fake_input_interface) && !worker->fakeInput &&
                   version >= fakeInputVersion) {
            worker->fakeInput = bind<org_kde_kwin_fake_input>(
                registry, name, org_kde_kwin_fake_input_interface, version, fakeInputVersion);
        }
        if (is(org_kde_kwin_fake_input_interface))
            worker->fakeInputOffered = true;
        if (std::strncmp(interface, "org_kde_kwin_", 13) == 0)
            worker->kwin = true;
    }
    static void globalRemove(void* data, wl_registry*, uint32_t name)
    {
        auto* worker = static_cast<Worker*>(data);
        std::erase_if(worker->outputs, [&](const std::unique_ptr<Output>& output) {
            if (output->name != name)
                return false;
            if (worker->entered == output->proxy)
                worker->entered = nullptr;
            wl_output_destroy(output->proxy);
            return true;
        });
        worker->publishOutput();
    }
    static constexpr wl_registry_listener registryListener{global, globalRemove};

    static void geometry(void* data, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*,
                         const char*, int32_t transform)
    {
        // Quarter turns swap the mode's width and height.
        static_cast<Output*>(data)->rotated = transform % 2 == 1;
    }
    static void mode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t)
    {
        if (flags & WL_OUTPUT_MODE_CURRENT)
            static_cast<Output*>(data)->mode = QSize(width, height);
    }
    static void outputDone(void* data, wl_output*) { static_cast<Output*>(data)->worker->publishOutput(); }
    static void outputScale(void* data, wl_output*, int32_t factor)
    {
        static_cast<Output*>(data)->scale = std::max(factor, 1);
    }
    static void outputText(void*, wl_output*, const char*) {}
    static constexpr wl_output_listener outputListener{geometry,    mode,       outputDone,
                                                       outputScale, outputText, outputText};

    static void capabilities(void* data, wl_seat* seat, uint32_t capabilities)
    {
        auto* worker = static_cast<Worker*>(data);
        const bool hasKeyboard = capabilities & WL_SEAT_CAPABILITY_KEYBOARD;
        if (hasKeyboard && !worker->keyboard) {
            worker->keyboard = wl_seat_get_keyboard(seat);
            wl_keyboard_add_listener(worker->keyboard, &keyboardListener, worker);
        } else if (!hasKeyboard && worker->keyboard) {
            if (wl_keyboard_get_version(worker->keyboard) >= WL_KEYBOARD_RELEASE_SINCE_VERSION)
                wl_keyboard_release(worker->keyboard);
            else
                wl_keyboard_destroy(worker->keyboard);
            worker->keyboard = nullptr;
            worker->translator.leave();
            worker->publishKeys();
        }
    }
    static void seatName(void*, wl_seat*, const char*) {}
    static constexpr wl_seat_listener seatListener{capabilities, seatName};

    static void keymap(void* data, wl_keyboard*, uint32_t format, int32_t fd, uint32_t size)
    {
        auto* worker = static_cast<Worker*>(data);
        QByteArray text;
        if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0) {
            void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
            if (map != MAP_FAILED) {
                const auto* chars = static_cast<const char*>(map);
                text = QByteArray(chars, qsizetype(::strnlen(chars, size)));
                ::munmap(map, size);
            }
        }
        ::close(fd);
        if (text.isEmpty() || text == worker->translator.keymapText())
            return;
        if (!worker->translator.setKeymap(text)) {
            qCWarning(lcQuickPaste) << "The compositor sent a keymap that does not compile.";
            return;
        }
        const auto modifier = [&translator = worker->translator](xkb_keysym_t keysym, quint64 flag) {
            const std::optional<WaylandKeyTranslator::Location> key = translator.locate(keysym);
            return Shared::Modifier{key ? key->code : 0, translator.modifierMask(flag)};
        };
        Shared::Keymap known{text, worker->translator.locate(XKB_KEY_v),
                             worker->translator.locate(XKB_KEY_Insert),
                             modifier(XKB_KEY_Control_L, TapEvent::controlFlag),
                             modifier(XKB_KEY_Shift_L, TapEvent::shiftFlag)};
        {
            const QMutexLocker lock(&worker->shared->mutex);
            worker->shared->keymap = std::move(known);
        }
        worker->publishKeys();
    }
    static void enter(void* data, wl_keyboard*, uint32_t, wl_surface*, wl_array* keys)
    {
        auto* worker = static_cast<Worker*>(data);
        QList<quint32> down;
        const auto* codes = static_cast<const uint32_t*>(keys->data);
        for (size_t i = 0; i < keys->size / sizeof(uint32_t); ++i)
            down.append(codes[i]);
        worker->translator.enter(down);
        worker->publishKeys();
    }
    static void leave(void* data, wl_keyboard*, uint32_t, wl_surface*)
    {
        auto* worker = static_cast<Worker*>(data);
        worker->translator.leave();
        worker->publishKeys();
    }
    static void key(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t code, uint32_t state)
    {
        auto* worker = static_cast<Worker*>(data);
        worker->translator.key(code, state == WL_KEYBOARD_KEY_STATE_PRESSED, milliseconds());
        worker->publishKeys();
    }
    static void modifiers(void* data, wl_keyboard*, uint32_t, uint32_t depressed, uint32_t latched,
                          uint32_t locked, uint32_t group)
    {
        auto* worker = static_cast<Worker*>(data);
        worker->translator.modifiers(depressed, latched, locked, group);
        worker->shared->flags = worker->translator.flags();
    }
    static void repeatInfo(void* data, wl_keyboard*, int32_t rate, int32_t delay)
    {
        static_cast<Worker*>(data)->translator.setRepeat(rate, delay);
    }
    static constexpr wl_keyboard_listener keyboardListener{keymap, enter, leave, key, modifiers, repeatInfo};

    // The popup's surface.
    static void surfaceEnter(void* data, wl_surface*, wl_output* output)
    {
        auto* worker = static_cast<Worker*>(data);
        worker->entered = output;
        worker->publishOutput();
    }
    static void surfaceLeave(void* data, wl_surface*, wl_output* output)
    {
        auto* worker = static_cast<Worker*>(data);
        if (worker->entered == output) {
            worker->entered = nullptr;
            worker->publishOutput();
        }
    }
    static constexpr wl_surface_listener surfaceListener{surfaceEnter, surfaceLeave};

    static void configure(void* data, zwlr_layer_surface_v1* layerSurface, uint32_t serial, uint32_t,
                          uint32_t)
    {
        auto* worker = static_cast<Worker*>(data);
        zwlr_layer_surface_v1_ack_configure(layerSurface, serial);
        worker->configured = true;
        if (!worker->draw())
            wl_surface_commit(worker->surface);
    }
    static void closed(void* data, zwlr_layer_surface_v1*)
    {
        // Shown again by the next frame.
        static_cast<Worker*>(data)->unmap();
    }
    static constexpr zwlr_layer_surface_v1_listener layerSurfaceListener{configure, closed};

    static void released(void* data, wl_buffer* proxy)
    {
        auto* worker = static_cast<Worker*>(data);
        for (Buffer& buffer : worker->buffers) {
            if (buffer.proxy == proxy)
                buffer.busy = false;
        }
        // A frame that found both buffers held goes out now.
        worker->draw();
    }

    static void frameDone(void* data, wl_callback* callback, uint32_t)
    {
        auto* worker = static_cast<Worker*>(data);
        wl_callback_destroy(callback);
        worker->frameCallback = nullptr;
        worker->queue([](WaylandQuickPasteSeat& popup) {
            if (popup.onFrameDone)
                popup.onFrameDone();
        });
    }
    static constexpr wl_callback_listener frameListener{frameDone};

    void deliver(TapEvent& record)
    {
        const QMutexLocker lock(&shared->handlerMutex);
        if (shared->handler)
            shared->handler(record);
    }

    void publishKeys()
    {
        QList<quint32> down;
        for (quint32 code : {shared->keymap.v ? shared->keymap.v->code : 0u,
                             shared->keymap.insert ? shared->keymap.insert->code : 0u}) {
            if (translator.isDown(code))
                down.append(code);
        }
        const QMutexLocker lock(&shared->mutex);
        shared->keysDown = down;
    }

    // The output the popup is on, else the one with the largest scale.
    void publishOutput()
    {
        const Output* chosen = nullptr;
        for (const std::unique_ptr<Output>& output : outputs) {
            if (output->proxy == entered) {
                chosen = output.get();
                break;
            }
            if (!chosen || output->scale > chosen->scale)
                chosen = output.get();
        }
        const int scale = chosen ? chosen->scale : 1;
        QSize available;
        if (chosen && !chosen->mode.isEmpty()) {
            const QSize pixels = chosen->rotated ? chosen->mode.transposed() : chosen->mode;
            available = QSize(pixels.width() / scale, pixels.height() / scale);
        }
        {
            const QMutexLocker lock(&shared->mutex);
            shared->scale = scale;
            shared->available = available;
        }
        // The first is no change; the callbacks exist once the seat does.
        const int previous = std::exchange(publishedScale, scale);
        if (previous != 0 && previous != scale && owner)
            queue([](WaylandQuickPasteSeat& popup) {
                if (popup.onScaleChanged)
                    popup.onScaleChanged();
            });
    }

    void release(Buffer& buffer)
    {
        if (buffer.proxy)
            wl_buffer_destroy(buffer.proxy);
        if (buffer.data)
            ::munmap(buffer.data, buffer.bytes);
        buffer = Buffer();
    }

    bool allocate(Buffer& buffer, QSize size)
    {
        release(buffer);
        const int stride = size.width() * 4;
        const size_t bytes = size_t(stride) * size_t(size.height());
        const int fd = memoryFile("clipwell-popup", nullptr, bytes);
        if (fd < 0)
            return false;
        void* data = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (data == MAP_FAILED) {
            ::close(fd);
            return false;
        }
        wl_shm_pool* pool = wl_shm_create_pool(shm, fd, int32_t(bytes));
        buffer.proxy =
            wl_shm_pool_create_buffer(pool, 0, size.width(), size.height(), stride, WL_SHM_FORMAT_ARGB8888);
        wl_shm_pool_destroy(pool);
        ::close(fd);
        buffer.data = static_cast<uchar*>(data);
        buffer.bytes = bytes;
        buffer.size = size;
        wl_buffer_add_listener(buffer.proxy, &bufferListener, this);
        return true;
    }
    static constexpr wl_buffer_listener bufferListener{released};

    void map(QSize size)
    {
        surface = wl_compositor_create_surface(compositor);
        wl_surface_add_listener(surface, &surfaceListener, this);
        layerSurface = zwlr_layer_shell_v1_get_layer_surface(
            layerShell, surface, nullptr, ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, layerNamespace);
        zwlr_layer_surface_v1_add_listener(layerSurface, &layerSurfaceListener, this);
        zwlr_layer_surface_v1_set_size(layerSurface, uint32_t(size.width()), uint32_t(size.height()));
        zwlr_layer_surface_v1_set_anchor(layerSurface, 0);
        zwlr_layer_surface_v1_set_keyboard_interactivity(
            layerSurface, ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
        surfaceSize = size;
        configured = false;
        // Answered by the first configure, which draws.
        wl_surface_commit(surface);
    }

    void unmap()
    {
        if (frameCallback)
            wl_callback_destroy(frameCallback);
        if (layerSurface)
            zwlr_layer_surface_v1_destroy(layerSurface);
        if (surface)
            wl_surface_destroy(surface);
        frameCallback = nullptr;
        layerSurface = nullptr;
        surface = nullptr;
        entered = nullptr;
        configured = false;
        frame.reset();
        // A buffer the compositor still holds may never come back from a destroyed surface.
        for (Buffer& buffer : buffers) {
            if (buffer.busy)
                release(buffer);
        }
    }

    // Shows the newest frame when the surface is ready for it and a buffer is free.
    bool draw()
    {
        if (!frame || !configured)
            return false;
        const auto free =
            std::find_if(buffers.begin(), buffers.end(), [](const Buffer& b) { return !b.busy; });
        if (free == buffers.end())
            return false;
        const QImage image = frame->convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const int scale = std::max(1, qRound(image.devicePixelRatio()));
        // A buffer a whole number of surface pixels wide and high; the frame fills it from the top left.
        const QSize size((image.width() + scale - 1) / scale, (image.height() + scale - 1) / scale);
        if (free->size != size * scale && !allocate(*free, size * scale))
            return false;
        const int stride = free->size.width() * 4;
        if (image.size() != free->size)
            std::memset(free->data, 0, free->bytes);
        for (int y = 0; y < image.height(); ++y)
            std::memcpy(free->data + size_t(y) * size_t(stride), image.constScanLine(y),
                        size_t(image.width()) * 4);
        if (size != surfaceSize) {
            zwlr_layer_surface_v1_set_size(layerSurface, uint32_t(size.width()), uint32_t(size.height()));
            surfaceSize = size;
        }
        wl_surface_set_buffer_scale(surface, scale);
        wl_surface_attach(surface, free->proxy, 0, 0);
        wl_surface_damage_buffer(surface, 0, 0, INT32_MAX, INT32_MAX);
        if (!frameCallback) {
            frameCallback = wl_surface_frame(surface);
            wl_callback_add_listener(frameCallback, &frameListener, this);
        }
        wl_surface_commit(surface);
        free->busy = true;
        frame.reset();
        return true;
    }

    // The virtual keyboard brings the keymap along; fake input types in the compositor's own.
    bool prepareTyping(const Shared::Post& post)
    {
        if (!shared->virtualKeyboard)
            return fakeInput;
        if (!virtualKeyboard)
            virtualKeyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(keyboardManager, seat);
        if (post.keymap != virtualKeymap) {
            // The compositor reads it as a C string.
            const int fd =
                memoryFile("clipwell-keymap", post.keymap.constData(), size_t(post.keymap.size()) + 1);
            if (fd < 0)
                return false;
            zwp_virtual_keyboard_v1_keymap(virtualKeyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                           uint32_t(post.keymap.size()) + 1);
            ::close(fd);
            virtualKeymap = post.keymap;
        }
        return true;
    }

    // One key going down or up; modifiers then holds the modifier bits down after it.
    void send(quint32 code, bool pressed, bool isModifier, quint32 modifiers, quint32 group)
    {
        const uint32_t state = pressed ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED;
        if (!shared->virtualKeyboard)
            org_kde_kwin_fake_input_keyboard_key(fakeInput, code, state);
        else if (isModifier)
            zwp_virtual_keyboard_v1_modifiers(virtualKeyboard, modifiers, 0, 0, modifiers ? group : 0);
        else
            zwp_virtual_keyboard_v1_key(virtualKeyboard, uint32_t(milliseconds()), code, state);
    }

    // Every key pressed here is released here: nothing can fail between the two.
    void type(const Shared::Post& post)
    {
        if (!prepareTyping(post))
            return;
        quint32 held = 0;
        for (const Shared::Modifier& modifier : post.modifiers)
            send(modifier.code, true, true, held |= modifier.mask, post.group);
        send(post.code, true, false, held, post.group);
        send(post.code, false, false, held, post.group);
        for (auto modifier = post.modifiers.crbegin(); modifier != post.modifiers.crend(); ++modifier)
            send(modifier->code, false, true, held &= ~modifier->mask, post.group);
    }

    // What the GUI thread asked for since the last turn.
    void apply()
    {
        std::optional<QImage> newFrame;
        bool hide = false;
        QList<Shared::Post> posts;
        {
            const QMutexLocker lock(&shared->mutex);
            newFrame.swap(shared->frame);
            hide = std::exchange(shared->hide, false);
            posts.swap(shared->posts);
        }
        if (hide)
            unmap();
        if (newFrame && layerShell && compositor && shm) {
            frame = std::move(newFrame);
            const int scale = std::max(1, qRound(frame->devicePixelRatio()));
            if (!layerSurface)
                map(QSize((frame->width() + scale - 1) / scale, (frame->height() + scale - 1) / scale));
            else
                draw();
        }
        for (const Shared::Post& post : posts)
            type(post);
    }

    void run()
    {
        const int displayFd = wl_display_get_fd(display);
        while (!shared->stop) {
            apply();
            if (wl_display_prepare_read(display) != 0) {
                if (wl_display_dispatch_pending(display) < 0)
                    break;
                continue;
            }
            // A full socket buffer goes out on the next turn.
            wl_display_flush(display);
            int timeout = -1;
            if (const std::optional<qint64> due = translator.nextRepeat())
                timeout = int(std::clamp<qint64>(*due - milliseconds(), 0, 60'000));
            pollfd fds[] = {{displayFd, POLLIN, 0}, {shared->wakeFd, POLLIN, 0}};
            const int ready = ::poll(fds, 2, timeout);
            if (ready > 0 && fds[1].revents != 0) {
                uint64_t value = 0;
                [[maybe_unused]] const ssize_t drained = ::read(shared->wakeFd, &value, sizeof value);
            }
            if (ready <= 0 || (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
                wl_display_cancel_read(display);
                if (ready < 0 && errno != EINTR)
                    break;
            } else if (wl_display_read_events(display) < 0) {
                break;
            }
            if (wl_display_dispatch_pending(display) < 0)
                break;
            translator.advance(milliseconds());
        }
        if (!shared->stop)
            qCWarning(lcQuickPaste) << "Lost the connection to the Wayland compositor; quick paste stops.";
        shared->alive = false;
        shared->flags = 0;
    }

    // Runs call on the GUI thread, unless the seat is gone by then.
    void queue(void (*call)(WaylandQuickPasteSeat&))
    {
        QMetaObject::invokeMethod(
            owner->m_context.get(), [popup = owner, call] { call(*popup); }, Qt::QueuedConnection);
    }
};

std::unique_ptr<WaylandQuickPasteSeat> WaylandQuickPasteSeat::create(const QByteArray& waylandDisplay,
                                                                     QString* reason)
{
    auto worker = std::make_unique<Worker>();
    worker->shared = std::make_shared<Shared>();
    worker->shared->wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    worker->name = waylandDisplay.isEmpty() ? qEnvironmentVariable("WAYLAND_DISPLAY")
                                            : QString::fromLocal8Bit(waylandDisplay);
    // Here: the interface language is the GUI thread's.
    worker->typingReason = L10n::text(L10n::Key::quickPasteTypingReason).toUtf8();
    worker->display = wl_display_connect(waylandDisplay.isEmpty() ? nullptr : waylandDisplay.constData());
    if (!worker->display || worker->shared->wakeFd < 0) {
        if (reason)
            *reason = QStringLiteral("no Wayland compositor answers on \"%1\"").arg(worker->name);
        return nullptr;
    }
    return std::unique_ptr<WaylandQuickPasteSeat>(new WaylandQuickPasteSeat(std::move(worker)));
}

WaylandQuickPasteSeat::WaylandQuickPasteSeat(std::unique_ptr<Worker> worker)
    : m_shared(worker->shared), m_worker(std::move(worker)), m_context(std::make_unique<QObject>())
{
    m_worker->owner = this;
    m_thread = std::thread([this] {
        if (m_worker->setUp())
            m_worker->run();
    });
}

WaylandQuickPasteSeat::~WaylandQuickPasteSeat()
{
    m_shared->stop = true;
    m_shared->wake();
    m_thread.join();
    // Drops the callbacks still queued.
    m_context.reset();
}

QuickPasteSeat::State WaylandQuickPasteSeat::state() const
{
    return m_shared->state;
}

bool WaylandQuickPasteSeat::hasLayerShell() const
{
    return state() == State::ready && m_shared->layerShell;
}

bool WaylandQuickPasteSeat::canType() const
{
    return state() == State::ready && (m_shared->virtualKeyboard || m_shared->fakeInput);
}

bool WaylandQuickPasteSeat::typingNeedsGrant() const
{
    return state() == State::ready && m_shared->typingNeedsGrant;
}

void WaylandQuickPasteSeat::setEventHandler(std::function<void(TapEvent&)> handler)
{
    const QMutexLocker lock(&m_shared->handlerMutex);
    m_shared->handler = std::move(handler);
}

quint64 WaylandQuickPasteSeat::currentModifierFlags() const
{
    return m_shared->flags;
}

std::unique_ptr<KeystrokePoster::Keystroke> WaylandQuickPasteSeat::createKeystroke(PasteShortcut shortcut)
{
    if (!canType() || !m_shared->alive)
        return nullptr;
    const QMutexLocker lock(&m_shared->mutex);
    Shared::Keymap keymap = m_shared->keymap;
    if (keymap.text.isEmpty()) {
        // The virtual keyboard needs a keymap to send; fake input's keys are the usual evdev ones.
        if (!m_shared->fakeInput)
            return nullptr;
        keymap.v = WaylandKeyTranslator::Location{KEY_V, 0};
        keymap.insert = WaylandKeyTranslator::Location{KEY_INSERT, 0};
        keymap.control.code = KEY_LEFTCTRL;
        keymap.shift.code = KEY_LEFTSHIFT;
    }
    const bool insert = shortcut == PasteShortcut::shiftInsert;
    const std::optional<WaylandKeyTranslator::Location> key = insert ? keymap.insert : keymap.v;
    QList<Shared::Modifier> modifiers;
    if (!insert)
        modifiers.append(keymap.control);
    if (shortcut != PasteShortcut::controlV)
        modifiers.append(keymap.shift);
    // Fake input presses the modifier keys; the virtual keyboard sends the keymap's modifier bits.
    const bool complete = std::ranges::all_of(modifiers, [&](const Shared::Modifier& modifier) {
        return m_shared->fakeInput ? modifier.code != 0 : modifier.mask != 0;
    });
    if (!key || !complete)
        return nullptr;
    return std::make_unique<Keystroke>(m_shared, Shared::Post{keymap.text, key->code, key->group, modifiers});
}

int WaylandQuickPasteSeat::scale() const
{
    const QMutexLocker lock(&m_shared->mutex);
    return m_shared->scale;
}

QSize WaylandQuickPasteSeat::availableSize() const
{
    const QMutexLocker lock(&m_shared->mutex);
    return m_shared->available;
}

void WaylandQuickPasteSeat::present(const QImage& frame)
{
    if (!m_shared->alive || !hasLayerShell() || frame.isNull())
        return;
    {
        // Shares the pixels; the seat thread copies them into shared memory.
        const QMutexLocker lock(&m_shared->mutex);
        m_shared->frame = frame;
    }
    m_shared->wake();
}

void WaylandQuickPasteSeat::hide()
{
    if (!m_shared->alive)
        return;
    {
        const QMutexLocker lock(&m_shared->mutex);
        m_shared->frame.reset();
        m_shared->hide = true;
    }
    m_shared->wake();
}

bool WaylandQuickPasteSeat::isConnected() const
{
    return m_shared->alive;
}

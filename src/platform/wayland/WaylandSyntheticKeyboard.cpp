#include "platform/wayland/WaylandSyntheticKeyboard.h"

#include "platform/Log.h"
#include "platform/x11/KeyTranslation.h"

#include "virtual-keyboard-unstable-v1-client.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSocketNotifier>

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <cstring>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

namespace kelvo::wayland {

namespace {

// A file holding `text` and its terminating zero, for the keymap request.
int keymapFile(const QByteArray &text)
{
    const int fd = memfd_create("kelvo-keymap", MFD_CLOEXEC);
    if (fd < 0)
        return -1;
    const qint64 size = text.size() + 1;
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = write(fd, text.constData() + done, size_t(size - done));
        if (n <= 0) {
            close(fd);
            return -1;
        }
        done += n;
    }
    return fd;
}

} // namespace

class WaylandSyntheticKeyboard::Connection {
public:
    explicit Connection(const QString &displayName)
    {
        const QByteArray name = QFile::encodeName(displayName);
        display_ = wl_display_connect(displayName.isEmpty() ? nullptr : name.constData());
        if (!display_)
            return;
        registry_ = wl_display_get_registry(display_);
        wl_registry_add_listener(registry_, &registryListener, this);
        wl_display_roundtrip(display_);
        if (!manager_ || !seat_)
            return;
        // Capabilities, and the seat keyboard's map when there is a keyboard.
        wl_display_roundtrip(display_);
        wl_display_roundtrip(display_);
        QByteArray map = seatKeymap_;
        xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
        xkb_keymap *keymap = nullptr;
        if (context && !map.isEmpty())
            keymap = xkb_keymap_new_from_string(context, map.constData(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                                XKB_KEYMAP_COMPILE_NO_FLAGS);
        if (context && !keymap)
            keymap = xkb_keymap_new_from_names(context, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS);
        if (keymap) {
            char *text = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
            map = QByteArray(text);
            std::free(text);
            const xkb_mod_index_t control = xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_CTRL);
            if (control != XKB_MOD_INVALID)
                controlMask_ = 1u << control;
            xkb_keymap_unref(keymap);
        }
        if (context)
            xkb_context_unref(context);
        const int fd = map.isEmpty() ? -1 : keymapFile(map);
        if (fd < 0 || !controlMask_) {
            if (fd >= 0)
                close(fd);
            logLine(QStringLiteral("No keyboard map for synthetic key events."));
            return;
        }
        keyboard_ = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(manager_, seat_);
        zwp_virtual_keyboard_v1_keymap(keyboard_, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, uint32_t(map.size() + 1));
        close(fd);
        wl_display_roundtrip(display_);
        valid_ = wl_display_get_error(display_) == 0;
        clock_.start();
    }

    ~Connection()
    {
        if (keyboard_)
            zwp_virtual_keyboard_v1_destroy(keyboard_);
        if (seatKeyboard_)
            wl_keyboard_destroy(seatKeyboard_);
        if (manager_)
            zwp_virtual_keyboard_manager_v1_destroy(manager_);
        if (seat_)
            wl_seat_destroy(seat_);
        if (registry_)
            wl_registry_destroy(registry_);
        if (display_)
            wl_display_disconnect(display_);
    }

    bool isValid() const { return valid_ && wl_display_get_error(display_) == 0; }
    int fd() const { return display_ ? wl_display_get_fd(display_) : -1; }

    void pump()
    {
        if (!display_ || wl_display_get_error(display_) != 0)
            return;
        while (wl_display_prepare_read(display_) != 0)
            wl_display_dispatch_pending(display_);
        wl_display_flush(display_);
        pollfd p{wl_display_get_fd(display_), POLLIN, 0};
        if (poll(&p, 1, 0) > 0)
            wl_display_read_events(display_);
        else
            wl_display_cancel_read(display_);
        wl_display_dispatch_pending(display_);
    }

    void send(const QList<Pending> &events)
    {
        if (!isValid())
            return;
        for (const Pending &e : events) {
            zwp_virtual_keyboard_v1_modifiers(keyboard_, controlMask_, 0, 0, 0);
            zwp_virtual_keyboard_v1_key(keyboard_, uint32_t(clock_.elapsed()), e.evdevCode,
                                        e.down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
        }
        zwp_virtual_keyboard_v1_modifiers(keyboard_, 0, 0, 0, 0);
        wl_display_flush(display_);
    }

private:
    static void onGlobal(void *data, wl_registry *registry, uint32_t name, const char *interface, uint32_t)
    {
        auto *self = static_cast<Connection *>(data);
        if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0 && !self->manager_) {
            self->manager_ = static_cast<zwp_virtual_keyboard_manager_v1 *>(
                wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
        } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self->seat_) {
            self->seat_ = static_cast<wl_seat *>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
            wl_seat_add_listener(self->seat_, &seatListener, self);
        }
    }
    static constexpr wl_registry_listener registryListener = {onGlobal, [](void *, wl_registry *, uint32_t) {}};

    static void onCapabilities(void *data, wl_seat *seat, uint32_t capabilities)
    {
        auto *self = static_cast<Connection *>(data);
        if ((capabilities & WL_SEAT_CAPABILITY_KEYBOARD) && !self->seatKeyboard_) {
            self->seatKeyboard_ = wl_seat_get_keyboard(seat);
            wl_keyboard_add_listener(self->seatKeyboard_, &keyboardListener, self);
        }
    }
    static constexpr wl_seat_listener seatListener = {onCapabilities, [](void *, wl_seat *, const char *) {}};

    static void onKeymap(void *data, wl_keyboard *, uint32_t format, int32_t fd, uint32_t size)
    {
        auto *self = static_cast<Connection *>(data);
        if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0 && size < (16u << 20)) {
            void *map = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
            if (map != MAP_FAILED) {
                self->seatKeymap_ = QByteArray(static_cast<const char *>(map), int(strnlen(static_cast<const char *>(map), size)));
                munmap(map, size);
            }
        }
        close(fd);
    }
    static constexpr wl_keyboard_listener keyboardListener = {
        onKeymap,
        [](void *, wl_keyboard *, uint32_t, wl_surface *, wl_array *) {},
        [](void *, wl_keyboard *, uint32_t, wl_surface *) {},
        [](void *, wl_keyboard *, uint32_t, uint32_t, uint32_t, uint32_t) {},
        [](void *, wl_keyboard *, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {},
        [](void *, wl_keyboard *, int32_t, int32_t) {}};

    wl_display *display_ = nullptr;
    wl_registry *registry_ = nullptr;
    wl_seat *seat_ = nullptr;
    wl_keyboard *seatKeyboard_ = nullptr;
    zwp_virtual_keyboard_manager_v1 *manager_ = nullptr;
    zwp_virtual_keyboard_v1 *keyboard_ = nullptr;
    QByteArray seatKeymap_;
    uint32_t controlMask_ = 0;
    bool valid_ = false;
    QElapsedTimer clock_;
};

WaylandSyntheticKeyboard::WaylandSyntheticKeyboard(const QString &displayName, QObject *parent)
    : QObject(parent), connection_(std::make_unique<Connection>(displayName))
{
    if (connection_->fd() < 0)
        return;
    auto *notifier = new QSocketNotifier(connection_->fd(), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] { connection_->pump(); });
}

WaylandSyntheticKeyboard::~WaylandSyntheticKeyboard() = default;

bool WaylandSyntheticKeyboard::isValid() const
{
    return connection_->isValid();
}

bool WaylandSyntheticKeyboard::isTrusted()
{
    return connection_->isValid();
}

bool WaylandSyntheticKeyboard::createKeyEvent(quint32 keyCode, bool keyDown)
{
    if (!connection_->isValid())
        return false;
    const auto code = x11::evdevCodeForVirtualKey(keyCode);
    if (!code)
        return false;
    pending_.append({*code, keyDown});
    return true;
}

void WaylandSyntheticKeyboard::postPendingEvents()
{
    connection_->send(pending_);
    pending_.clear();
}

void WaylandSyntheticKeyboard::discardPendingEvents()
{
    pending_.clear();
}

} // namespace kelvo::wayland

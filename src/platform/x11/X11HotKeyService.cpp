#include "platform/x11/X11HotKeyService.h"

#include "platform/Log.h"

#include "platform/x11/KeyTranslation.h"

#include <QSocketNotifier>

#include <xcb/xcb_keysyms.h>

#include <cstdlib>

namespace kelvo::x11 {

namespace {
constexpr quint32 kNumLockKeysym = 0xff7f;
constexpr quint16 kRelevantModifiers = X11Mod::Shift | X11Mod::Control | X11Mod::Mod1 | X11Mod::Mod4;
} // namespace

X11HotKeyService::X11HotKeyService(const QString &displayName, QObject *parent)
    : QObject(parent), connection_(std::make_unique<X11Connection>(displayName))
{
    if (!connection_->isValid())
        return;
    numLockMask_ = queryNumLockMask();
    notifier_ = new QSocketNotifier(xcb_get_file_descriptor(connection_->get()), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &X11HotKeyService::readEvents);
}

X11HotKeyService::~X11HotKeyService()
{
    for (const Grab &g : std::as_const(grabs_))
        ungrab(g);
    if (connection_->isValid())
        xcb_flush(connection_->get());
}

void X11HotKeyService::installHandler(std::function<void()> onPressed)
{
    onPressed_ = std::move(onPressed);
}

quint16 X11HotKeyService::queryNumLockMask()
{
    xcb_connection_t *c = connection_->get();
    xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(c);
    if (!symbols)
        return 0;
    xcb_keycode_t *numLockCodes = xcb_key_symbols_get_keycode(symbols, kNumLockKeysym);
    xcb_key_symbols_free(symbols);
    if (!numLockCodes)
        return 0;

    quint16 mask = 0;
    xcb_generic_error_t *error = nullptr;
    xcb_get_modifier_mapping_reply_t *map =
        xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), &error);
    std::free(error);
    if (map) {
        const xcb_keycode_t *codes = xcb_get_modifier_mapping_keycodes(map);
        const int perModifier = map->keycodes_per_modifier;
        for (int modifier = 0; modifier < 8 && !mask; ++modifier) {
            for (int k = 0; k < perModifier && !mask; ++k) {
                const xcb_keycode_t code = codes[modifier * perModifier + k];
                for (const xcb_keycode_t *n = numLockCodes; code && *n != XCB_NO_SYMBOL; ++n)
                    if (*n == code)
                        mask = quint16(1u << modifier);
            }
        }
        std::free(map);
    }
    std::free(numLockCodes);
    return mask;
}

qint32 X11HotKeyService::grab(Grab &g)
{
    xcb_connection_t *c = connection_->get();
    g.variants = withLockVariants(g.modifiers, numLockMask_);
    QList<xcb_void_cookie_t> cookies;
    for (quint16 mask : std::as_const(g.variants))
        cookies.append(xcb_grab_key_checked(c, 1, connection_->root(), mask, g.keyCode,
                                            XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    qint32 status = 0;
    for (const xcb_void_cookie_t &cookie : std::as_const(cookies)) {
        if (xcb_generic_error_t *error = xcb_request_check(c, cookie)) {
            if (!status)
                status = error->error_code;
            std::free(error);
        }
    }
    if (status) {
        ungrab(g); // releases only what this client got
        xcb_flush(c);
    }
    scheduleRead();
    return status;
}

void X11HotKeyService::ungrab(const Grab &g)
{
    for (quint16 mask : g.variants)
        xcb_ungrab_key(connection_->get(), g.keyCode, connection_->root(), mask);
}

HotKeyRegistration X11HotKeyService::registerHotKey(quint32 keyCode, quint32 modifiers)
{
    HotKeyRegistration result;
    if (!connection_->isValid()) {
        result.status = NoDisplayStatus;
        return result;
    }
    const auto x11KeyCode = x11KeyCodeForVirtualKey(keyCode);
    if (!x11KeyCode) {
        result.status = UnknownKeyStatus;
        return result;
    }
    Grab g;
    g.keyCode = *x11KeyCode;
    g.modifiers = x11ModifiersForCarbon(modifiers);
    if (const qint32 status = grab(g)) {
        result.status = status;
        return result;
    }
    const quint64 handle = nextHandle_++;
    grabs_.insert(handle, g);
    result.handle = handle;
    return result;
}

void X11HotKeyService::unregisterHotKey(quint64 handle)
{
    auto it = grabs_.find(handle);
    if (it == grabs_.end())
        return;
    ungrab(*it);
    grabs_.erase(it);
    connection_->sync();
    scheduleRead();
}

void X11HotKeyService::regrabAll()
{
    for (auto it = grabs_.begin(); it != grabs_.end();) {
        ungrab(*it);
        if (const qint32 status = grab(*it)) {
            // The key is dead now: say so, and let the next registration of
            // the combination try again.
            logLine(QStringLiteral("[HotKeyManager] Failed to register hotkey: %1").arg(status));
            it = grabs_.erase(it);
        } else {
            ++it;
        }
    }
}

void X11HotKeyService::scheduleRead()
{
    // A reply waited for may have pulled events off the socket into the
    // connection's queue, where the socket notifier no longer sees them.
    if (readScheduled_)
        return;
    readScheduled_ = true;
    QMetaObject::invokeMethod(this, [this] { readEvents(); }, Qt::QueuedConnection);
}

void X11HotKeyService::readEvents()
{
    readScheduled_ = false;
    xcb_connection_t *c = connection_->get();
    if (!c)
        return;
    if (xcb_connection_has_error(c)) {
        if (notifier_)
            notifier_->setEnabled(false);
        return;
    }
    int presses = 0;
    bool mappingChanged = false;
    while (xcb_generic_event_t *event = xcb_poll_for_event(c)) {
        switch (event->response_type & 0x7f) {
        case XCB_KEY_PRESS: {
            const auto *press = reinterpret_cast<const xcb_key_press_event_t *>(event);
            // Auto-repeat sends release and press with one time stamp.
            const auto last = lastReleaseTime_.constFind(press->detail);
            const bool repeat = last != lastReleaseTime_.constEnd() && *last == press->time;
            const quint16 mods = press->state & kRelevantModifiers;
            if (!repeat) {
                for (const Grab &g : std::as_const(grabs_))
                    if (g.keyCode == press->detail && g.modifiers == mods) {
                        ++presses;
                        break;
                    }
            }
            break;
        }
        case XCB_KEY_RELEASE: {
            const auto *release = reinterpret_cast<const xcb_key_release_event_t *>(event);
            lastReleaseTime_.insert(release->detail, release->time);
            break;
        }
        case XCB_MAPPING_NOTIFY: {
            const auto *mapping = reinterpret_cast<const xcb_mapping_notify_event_t *>(event);
            if (mapping->request == XCB_MAPPING_MODIFIER || mapping->request == XCB_MAPPING_KEYBOARD)
                mappingChanged = true;
            break;
        }
        default:
            break;
        }
        std::free(event);
    }
    if (mappingChanged) {
        const quint16 mask = queryNumLockMask();
        if (mask != numLockMask_) {
            numLockMask_ = mask;
            regrabAll();
        }
    }
    for (int i = 0; i < presses; ++i)
        if (onPressed_)
            onPressed_();
}

} // namespace kelvo::x11

#include "platform/x11/X11SyntheticKeyboard.h"

#include "platform/x11/KeyTranslation.h"

#include <xcb/xtest.h>

#include <cstdlib>

namespace kelvo::x11 {

namespace {
constexpr int kLockModifierIndex = 1;    // Caps Lock toggles on press: leave it
constexpr int kControlModifierIndex = 2;
} // namespace

X11SyntheticKeyboard::X11SyntheticKeyboard(const QString &displayName)
    : connection_(std::make_unique<X11Connection>(displayName))
{
}

X11SyntheticKeyboard::~X11SyntheticKeyboard() = default;

bool X11SyntheticKeyboard::isTrusted()
{
    if (!connection_->isValid())
        return false;
    const xcb_query_extension_reply_t *ext = xcb_get_extension_data(connection_->get(), &xcb_test_id);
    return ext && ext->present;
}

bool X11SyntheticKeyboard::requestTrust()
{
    return isTrusted();
}

bool X11SyntheticKeyboard::createKeyEvent(quint32 keyCode, bool keyDown)
{
    if (!isTrusted())
        return false;
    const auto x11KeyCode = x11KeyCodeForVirtualKey(keyCode);
    if (!x11KeyCode)
        return false;
    pending_.append({*x11KeyCode, keyDown});
    return true;
}

void X11SyntheticKeyboard::fakeKey(quint8 keyCode, bool down)
{
    xcb_test_fake_input(connection_->get(), down ? XCB_KEY_PRESS : XCB_KEY_RELEASE, keyCode,
                        XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0, 0, 0);
}

QList<quint8> X11SyntheticKeyboard::heldModifierKeys()
{
    QList<quint8> held;
    xcb_connection_t *c = connection_->get();
    if (!c)
        return held;
    xcb_generic_error_t *error = nullptr;
    xcb_query_keymap_reply_t *keymap = xcb_query_keymap_reply(c, xcb_query_keymap(c), &error);
    std::free(error);
    xcb_get_modifier_mapping_reply_t *map =
        xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), &error);
    std::free(error);
    if (keymap && map) {
        const xcb_keycode_t *codes = xcb_get_modifier_mapping_keycodes(map);
        const int perModifier = map->keycodes_per_modifier;
        for (int modifier = 0; modifier < 8; ++modifier) {
            if (modifier == kLockModifierIndex)
                continue;
            for (int k = 0; k < perModifier; ++k) {
                const xcb_keycode_t code = codes[modifier * perModifier + k];
                if (code && (keymap->keys[code / 8] & (1 << (code % 8))) && !held.contains(code))
                    held.append(code);
            }
        }
    }
    std::free(keymap);
    std::free(map);
    return held;
}

quint8 X11SyntheticKeyboard::controlKeyCode()
{
    // The key that this keymap binds to the Control modifier, by default
    // the left Control position.
    quint8 code = x11KeyCodeForVirtualKey(59).value_or(37);
    xcb_connection_t *c = connection_->get();
    xcb_generic_error_t *error = nullptr;
    xcb_get_modifier_mapping_reply_t *map =
        xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), &error);
    std::free(error);
    if (map) {
        const xcb_keycode_t *codes = xcb_get_modifier_mapping_keycodes(map);
        const int perModifier = map->keycodes_per_modifier;
        bool found = false;
        for (int k = 0; k < perModifier && !found; ++k) {
            const xcb_keycode_t candidate = codes[kControlModifierIndex * perModifier + k];
            if (candidate == code)
                found = true;
        }
        for (int k = 0; k < perModifier && !found; ++k) {
            const xcb_keycode_t candidate = codes[kControlModifierIndex * perModifier + k];
            if (candidate) {
                code = candidate;
                found = true;
            }
        }
        std::free(map);
    }
    return code;
}

void X11SyntheticKeyboard::postPendingEvents()
{
    const QList<PendingEvent> events = std::move(pending_);
    pending_.clear();
    if (events.isEmpty() || !isTrusted())
        return;
    for (quint8 code : heldModifierKeys())
        fakeKey(code, false);
    const quint8 control = controlKeyCode();
    fakeKey(control, true);
    for (const PendingEvent &e : events)
        fakeKey(e.keyCode, e.down);
    fakeKey(control, false);
    connection_->sync();
    connection_->discardEvents();
}

} // namespace kelvo::x11

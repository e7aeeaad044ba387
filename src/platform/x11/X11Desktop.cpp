#include "platform/x11/X11Desktop.h"

#include <QSocketNotifier>
#include <QtEndian>

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

#include <cstdlib>

namespace kelvo::x11 {

// A connection of its own for the raw button events (XInput 2 is spoken
// through Xlib), read whenever its socket has data.
struct X11Desktop::ButtonWatch {
    Display *display = nullptr;
    int opcode = 0;
    std::unique_ptr<QSocketNotifier> notifier;
    std::function<void(QPoint)> handler;

    ~ButtonWatch()
    {
        notifier.reset();
        if (display)
            XCloseDisplay(display);
    }
};

X11Desktop::X11Desktop(const QString &displayName)
    : displayName_(displayName), c_(std::make_unique<X11Connection>(displayName))
{
    if (!c_->isValid())
        c_.reset();
}

X11Desktop::~X11Desktop() = default;

void X11Desktop::setButtonPressHandler(std::function<void(QPoint)> handler)
{
    if (buttons_) {
        // Kept open once made: the handler may stop the watch from within.
        selectButtonPresses(bool(handler));
        buttons_->handler = std::move(handler);
        return;
    }
    if (handler) {
        auto watch = std::make_unique<ButtonWatch>();
        const QByteArray name = displayName_.toLocal8Bit();
        watch->display = XOpenDisplay(name.isEmpty() ? nullptr : name.constData());
        if (!watch->display)
            return;
        int event = 0, error = 0, major = 2, minor = 0;
        if (!XQueryExtension(watch->display, "XInputExtension", &watch->opcode, &event, &error) ||
            XIQueryVersion(watch->display, &major, &minor) != Success)
            return;
        watch->notifier =
            std::make_unique<QSocketNotifier>(qintptr(ConnectionNumber(watch->display)), QSocketNotifier::Read);
        QObject::connect(watch->notifier.get(), &QSocketNotifier::activated, watch->notifier.get(),
                         [this] { readButtonEvents(); });
        buttons_ = std::move(watch);
        selectButtonPresses(true);
        buttons_->handler = std::move(handler);
    }
}

void X11Desktop::selectButtonPresses(bool on)
{
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    if (on)
        XISetMask(bits, XI_RawButtonPress);
    XIEventMask mask{XIAllMasterDevices, int(sizeof bits), bits};
    XISelectEvents(buttons_->display, DefaultRootWindow(buttons_->display), &mask, 1);
    XFlush(buttons_->display);
}

void X11Desktop::readButtonEvents()
{
    Display *display = buttons_->display;
    while (XPending(display)) {
        XEvent event;
        XNextEvent(display, &event);
        XGenericEventCookie *cookie = &event.xcookie;
        if (cookie->type != GenericEvent || cookie->extension != buttons_->opcode || !XGetEventData(display, cookie))
            continue;
        const bool press = cookie->evtype == XI_RawButtonPress;
        const int button = press ? static_cast<XIRawEvent *>(cookie->data)->detail : 0;
        XFreeEventData(display, cookie);
        // Buttons 4 to 7 are the wheel.
        if (button < 1 || button > 3)
            continue;
        Window root = 0, child = 0;
        int x = 0, y = 0, wx = 0, wy = 0;
        unsigned int state = 0;
        if (!XQueryPointer(display, DefaultRootWindow(display), &root, &child, &x, &y, &wx, &wy, &state))
            continue;
        if (auto handler = buttons_->handler) // a copy: the handler may stop the watch
            handler(QPoint(x, y));
    }
}

std::optional<QRect> X11Desktop::activeWindowFrame()
{
    if (!c_)
        return std::nullopt;
    xcb_connection_t *conn = c_->get();
    xcb_window_t window = XCB_WINDOW_NONE;
    if (auto active = c_->cardinal(c_->root(), c_->atom("_NET_ACTIVE_WINDOW")))
        window = *active;
    if (window == XCB_WINDOW_NONE) {
        // No EWMH window manager: the window with the input focus.
        xcb_get_input_focus_reply_t *focus = xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr);
        if (focus) {
            window = focus->focus;
            std::free(focus);
        }
    }
    if (window == XCB_WINDOW_NONE || window == XCB_INPUT_FOCUS_POINTER_ROOT || window == c_->root())
        return std::nullopt;
    const auto geometryCookie = xcb_get_geometry(conn, window);
    const auto originCookie = xcb_translate_coordinates(conn, window, c_->root(), 0, 0);
    xcb_get_geometry_reply_t *geometry = xcb_get_geometry_reply(conn, geometryCookie, nullptr);
    xcb_translate_coordinates_reply_t *origin = xcb_translate_coordinates_reply(conn, originCookie, nullptr);
    std::optional<QRect> frame;
    if (geometry && origin)
        frame = QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
    std::free(geometry);
    std::free(origin);
    return frame;
}

bool X11Desktop::reduceMotion()
{
    if (!c_)
        return false;
    xcb_connection_t *conn = c_->get();
    const xcb_atom_t selection = c_->atom("_XSETTINGS_S0");
    xcb_get_selection_owner_reply_t *owner =
        xcb_get_selection_owner_reply(conn, xcb_get_selection_owner(conn, selection), nullptr);
    if (!owner)
        return false;
    const xcb_window_t manager = owner->owner;
    std::free(owner);
    if (manager == XCB_WINDOW_NONE)
        return false;
    const auto settings = c_->property(manager, c_->atom("_XSETTINGS_SETTINGS"));
    if (!settings)
        return false;
    const auto animations = xsettingsInteger(settings->value, "Gtk/EnableAnimations");
    return animations && *animations == 0;
}

void X11Desktop::prepareFloatingWindow(quint32 window)
{
    if (!c_)
        return;
    xcb_connection_t *conn = c_->get();
    const xcb_atom_t states[] = {c_->atom("_NET_WM_STATE_ABOVE"), c_->atom("_NET_WM_STATE_STICKY"),
                                 c_->atom("_NET_WM_STATE_SKIP_TASKBAR"), c_->atom("_NET_WM_STATE_SKIP_PAGER")};
    xcb_change_property(conn, XCB_PROP_MODE_REPLACE, window, c_->atom("_NET_WM_STATE"), XCB_ATOM_ATOM, 32, 4,
                        states);
    const uint32_t allDesktops = 0xFFFFFFFFu;
    xcb_change_property(conn, XCB_PROP_MODE_REPLACE, window, c_->atom("_NET_WM_DESKTOP"), XCB_ATOM_CARDINAL, 32, 1,
                        &allDesktops);
    c_->sync();
}

std::optional<qint32> xsettingsInteger(const QByteArray &data, const QByteArray &name)
{
    // Byte order, 3 unused, serial, count; then per setting: type (0 integer,
    // 1 string, 2 colour), 1 unused, name length, name padded to 4, serial of
    // its last change, value.
    const auto *bytes = reinterpret_cast<const uchar *>(data.constData());
    const qsizetype size = data.size();
    if (size < 12)
        return std::nullopt;
    const bool bigEndian = bytes[0] == 1;
    auto card16 = [&](qsizetype at) {
        return bigEndian ? qFromBigEndian<quint16>(bytes + at) : qFromLittleEndian<quint16>(bytes + at);
    };
    auto card32 = [&](qsizetype at) {
        return bigEndian ? qFromBigEndian<quint32>(bytes + at) : qFromLittleEndian<quint32>(bytes + at);
    };
    auto padded = [](qsizetype n) { return (n + 3) & ~qsizetype(3); };
    const quint32 count = card32(8);
    qsizetype at = 12;
    for (quint32 i = 0; i < count; ++i) {
        if (at + 8 > size)
            return std::nullopt;
        const uchar type = bytes[at];
        const qsizetype nameLength = card16(at + 2);
        const qsizetype nameAt = at + 4;
        at = nameAt + padded(nameLength) + 4; // past the name and the serial
        if (at > size)
            return std::nullopt;
        const bool match = QByteArray::fromRawData(data.constData() + nameAt, nameLength) == name;
        switch (type) {
        case 0:
            if (at + 4 > size)
                return std::nullopt;
            if (match)
                return qint32(card32(at));
            at += 4;
            break;
        case 1:
            if (at + 4 > size)
                return std::nullopt;
            at += 4 + padded(card32(at));
            break;
        case 2: at += 8; break;
        default: return std::nullopt;
        }
        if (match)
            return std::nullopt; // the name is there, but not an integer
    }
    return std::nullopt;
}

} // namespace kelvo::x11

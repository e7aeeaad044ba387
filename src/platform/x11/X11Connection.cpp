#include "platform/x11/X11Connection.h"

#include <cstdlib>
#include <cstring>

namespace kelvo::x11 {

X11Connection::X11Connection(const QString &displayName)
{
    const QByteArray name = displayName.toLocal8Bit();
    int screenNumber = 0;
    xcb_connection_t *c = xcb_connect(name.isEmpty() ? nullptr : name.constData(), &screenNumber);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && it.rem; ++i)
        xcb_screen_next(&it);
    if (!it.rem) {
        xcb_disconnect(c);
        return;
    }
    connection_ = c;
    root_ = it.data->root;
}

X11Connection::~X11Connection()
{
    if (connection_)
        xcb_disconnect(connection_);
}

xcb_atom_t X11Connection::atom(const char *name)
{
    if (!connection_)
        return XCB_ATOM_NONE;
    const QByteArray key(name);
    auto it = atoms_.constFind(key);
    if (it != atoms_.constEnd())
        return *it;
    auto cookie = xcb_intern_atom(connection_, 0, quint16(key.size()), key.constData());
    xcb_generic_error_t *error = nullptr;
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(connection_, cookie, &error);
    std::free(error);
    if (!reply)
        return XCB_ATOM_NONE;
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    atoms_.insert(key, atom);
    return atom;
}

std::optional<X11Connection::Property> X11Connection::property(xcb_window_t window, xcb_atom_t name,
                                                               quint32 maxLongs)
{
    if (!connection_ || window == XCB_WINDOW_NONE || name == XCB_ATOM_NONE)
        return std::nullopt;
    auto cookie = xcb_get_property(connection_, 0, window, name, XCB_GET_PROPERTY_TYPE_ANY, 0, maxLongs);
    xcb_generic_error_t *error = nullptr;
    xcb_get_property_reply_t *reply = xcb_get_property_reply(connection_, cookie, &error);
    std::free(error); // BadWindow for a window that has gone
    if (!reply)
        return std::nullopt;
    std::optional<Property> result;
    if (reply->type != XCB_ATOM_NONE) {
        Property p;
        p.type = reply->type;
        p.format = reply->format;
        const int length = xcb_get_property_value_length(reply);
        p.value = QByteArray(static_cast<const char *>(xcb_get_property_value(reply)), length);
        result = std::move(p);
    }
    std::free(reply);
    return result;
}

std::vector<quint32> X11Connection::cardinals(xcb_window_t window, xcb_atom_t name)
{
    std::vector<quint32> values;
    const auto p = property(window, name);
    if (!p || p->format != 32)
        return values;
    values.resize(size_t(p->value.size()) / sizeof(quint32));
    if (!values.empty())
        std::memcpy(values.data(), p->value.constData(), values.size() * sizeof(quint32));
    return values;
}

std::optional<quint32> X11Connection::cardinal(xcb_window_t window, xcb_atom_t name)
{
    const auto p = property(window, name, 1);
    if (!p || p->format != 32 || p->value.size() < int(sizeof(quint32)))
        return std::nullopt;
    quint32 v = 0;
    std::memcpy(&v, p->value.constData(), sizeof v);
    return v;
}

void X11Connection::sync()
{
    if (!connection_)
        return;
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

void X11Connection::discardEvents()
{
    if (!connection_)
        return;
    while (xcb_generic_event_t *event = xcb_poll_for_event(connection_))
        std::free(event);
}

} // namespace kelvo::x11

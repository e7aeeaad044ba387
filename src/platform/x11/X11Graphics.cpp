#include "platform/x11/X11Graphics.h"

#include "platform/x11/X11Connection.h"

#include <cstdlib>
#include <cstring>

namespace kelvo::x11 {

namespace {
bool hasExtension(xcb_connection_t *c, const char *name)
{
    xcb_query_extension_reply_t *reply =
        xcb_query_extension_reply(c, xcb_query_extension(c, quint16(std::strlen(name)), name), nullptr);
    const bool present = reply && reply->present;
    std::free(reply);
    return present;
}
} // namespace

bool hasDirectRendering(const QString &displayName)
{
    X11Connection connection(displayName);
    if (!connection.isValid())
        return false;
    return hasExtension(connection.get(), "DRI3") || hasExtension(connection.get(), "DRI2");
}

} // namespace kelvo::x11

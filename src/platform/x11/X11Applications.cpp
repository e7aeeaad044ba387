#include "platform/x11/X11Applications.h"

#include "platform/qt/ThemeIcons.h"
#include "platform/unix/Processes.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QWindow>

#include <xcb/res.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace kelvo::x11 {

QImage imageFromNetWmIcon(const std::vector<quint32> &value)
{
    // The value is a run of (width, height, width*height ARGB pixels).
    size_t best = 0, bestW = 0, bestH = 0;
    bool found = false;
    size_t i = 0;
    while (i + 2 <= value.size()) {
        const size_t w = value[i], h = value[i + 1];
        if (w == 0 || h == 0 || w > 4096 || h > 4096 || w * h > value.size() - i - 2)
            break;
        const bool better = !found || (bestW < 64 ? w > bestW : (w >= 64 && w < bestW));
        if (better) {
            best = i + 2;
            bestW = w;
            bestH = h;
            found = true;
        }
        i += 2 + w * h;
    }
    if (!found)
        return {};
    QImage image(int(bestW), int(bestH), QImage::Format_ARGB32);
    for (size_t y = 0; y < bestH; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(int(y)));
        for (size_t x = 0; x < bestW; ++x)
            line[x] = value[best + y * bestW + x];
    }
    return image;
}

X11Applications::X11Applications(const QString &displayName, QStringList dataDirs)
    : connection_(std::make_unique<X11Connection>(displayName)), entries_(std::move(dataDirs))
{
}

X11Applications::~X11Applications() = default;

bool X11Applications::hasEwmhWindowManager() const
{
    X11Connection &c = *connection_;
    const auto check = c.cardinal(c.root(), c.atom("_NET_SUPPORTING_WM_CHECK"));
    if (!check || *check == 0)
        return false;
    // A stale property of a window manager that has gone names a dead window,
    // or one without the back reference.
    const auto self = c.cardinal(*check, c.atom("_NET_SUPPORTING_WM_CHECK"));
    if (!self || *self != *check)
        return false;
    const std::vector<quint32> supported = c.cardinals(c.root(), c.atom("_NET_SUPPORTED"));
    const quint32 active = c.atom("_NET_ACTIVE_WINDOW");
    return std::find(supported.begin(), supported.end(), active) != supported.end();
}

xcb_window_t X11Applications::clientWindowAbove(xcb_window_t window) const
{
    // Walks up from a focus window to the top-level window that carries
    // WM_CLASS (the client of a window manager's frame, or the window itself).
    X11Connection &c = *connection_;
    for (int depth = 0; window != XCB_WINDOW_NONE && window != c.root() && depth < 32; ++depth) {
        if (c.property(window, XCB_ATOM_WM_CLASS, 64))
            return window;
        auto cookie = xcb_query_tree(c.get(), window);
        xcb_generic_error_t *error = nullptr;
        xcb_query_tree_reply_t *tree = xcb_query_tree_reply(c.get(), cookie, &error);
        std::free(error);
        if (!tree)
            return XCB_WINDOW_NONE;
        window = tree->parent;
        std::free(tree);
    }
    return XCB_WINDOW_NONE;
}

xcb_window_t X11Applications::activeWindow() const
{
    X11Connection &c = *connection_;
    if (!c.isValid())
        return XCB_WINDOW_NONE;
    if (hasEwmhWindowManager()) {
        const auto active = c.cardinal(c.root(), c.atom("_NET_ACTIVE_WINDOW"));
        return active ? xcb_window_t(*active) : xcb_window_t(XCB_WINDOW_NONE);
    }
    auto cookie = xcb_get_input_focus(c.get());
    xcb_get_input_focus_reply_t *focus = xcb_get_input_focus_reply(c.get(), cookie, nullptr);
    if (!focus)
        return XCB_WINDOW_NONE;
    const xcb_window_t window = focus->focus;
    std::free(focus);
    if (window == XCB_INPUT_FOCUS_POINTER_ROOT || window == XCB_WINDOW_NONE)
        return XCB_WINDOW_NONE;
    return clientWindowAbove(window);
}

std::optional<RunningApplication> X11Applications::frontmostApplication() const
{
    const xcb_window_t window = activeWindow();
    if (window == XCB_WINDOW_NONE)
        return std::nullopt;
    return describe(window);
}

RunningApplication X11Applications::describe(xcb_window_t window) const
{
    RunningApplication app;
    app.windowHandle = window;
    QString entryIconName;
    app.identity = identityOf(window, &app.localizedName, &entryIconName);
    if (const auto pid = connection_->cardinal(window, connection_->atom("_NET_WM_PID")))
        app.processIdentifier = *pid;
    app.icon = windowIcon(window);
    if (app.icon.isNull() && !entryIconName.isEmpty())
        app.icon = themeIconImage(entryIconName);
    return app;
}

xcb_window_t X11Applications::classWindowOf(xcb_window_t window) const
{
    X11Connection &c = *connection_;
    if (c.property(window, XCB_ATOM_WM_CLASS, 64))
        return window;
    if (const auto leader = c.cardinal(window, c.atom("WM_CLIENT_LEADER")))
        if (*leader != XCB_WINDOW_NONE && c.property(*leader, XCB_ATOM_WM_CLASS, 64))
            return *leader;
    // The ids a client makes share the bits outside the server's resource
    // mask: a top-level window with the same bits is the same program's.
    const quint32 mask = xcb_get_setup(c.get())->resource_id_mask;
    for (const quint32 w : c.cardinals(c.root(), c.atom("_NET_CLIENT_LIST")))
        if ((w & ~mask) == (window & ~mask) && c.property(w, XCB_ATOM_WM_CLASS, 64))
            return w;
    return XCB_WINDOW_NONE;
}

qint64 X11Applications::clientProcess(xcb_window_t window) const
{
    X11Connection &c = *connection_;
    if (const auto pid = c.cardinal(window, c.atom("_NET_WM_PID")))
        return *pid;
    const xcb_query_extension_reply_t *res = xcb_get_extension_data(c.get(), &xcb_res_id);
    if (!res || !res->present)
        return 0;
    // The server knows the process of a local client.
    xcb_res_client_id_spec_t spec{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    xcb_res_query_client_ids_reply_t *reply =
        xcb_res_query_client_ids_reply(c.get(), xcb_res_query_client_ids(c.get(), 1, &spec), nullptr);
    qint64 pid = 0;
    if (reply) {
        for (auto it = xcb_res_query_client_ids_ids_iterator(reply); it.rem; xcb_res_client_id_value_next(&it))
            if ((it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) &&
                xcb_res_client_id_value_value_length(it.data) == 1)
                pid = *xcb_res_client_id_value_value(it.data);
        std::free(reply);
    }
    return pid;
}

ApplicationIdentity X11Applications::identityOf(xcb_window_t window, std::optional<QString> *name,
                                                QString *icon) const
{
    X11Connection &c = *connection_;
    ApplicationIdentity identity;
    const xcb_window_t classWindow = classWindowOf(window);
    QString instance, wmClass;
    if (const auto p = classWindow ? c.property(classWindow, XCB_ATOM_WM_CLASS, 256) : std::nullopt) {
        const QList<QByteArray> parts = p->value.split('\0');
        instance = QString::fromLocal8Bit(parts.value(0));
        wmClass = QString::fromLocal8Bit(parts.value(1));
    }
    for (const QString &n : {instance, wmClass})
        if (!n.isEmpty() && !identity.classNames.contains(n))
            identity.classNames.append(n);
    qint64 pid = clientProcess(window);
    if (pid == 0 && classWindow != XCB_WINDOW_NONE)
        pid = clientProcess(classWindow);
    identity.executable = programOfProcess(pid);

    std::optional<DesktopEntry> entry;
    if (!identity.classNames.isEmpty())
        entry = entries_.find(instance, wmClass);
    if (!entry)
        entry = entries_.findByExecutable(identity.executable);
    if (entry)
        identity.desktopEntryId = entry->fileId;
    if (name) {
        if (entry)
            *name = entry->name;
        else if (!wmClass.isEmpty())
            *name = wmClass;
        else if (!instance.isEmpty())
            *name = instance;
    }
    if (icon && entry)
        *icon = entry->icon;
    return identity;
}

std::optional<ApplicationIdentity> X11Applications::clipboardSource() const
{
    X11Connection &c = *connection_;
    if (!c.isValid())
        return std::nullopt;
    xcb_get_selection_owner_reply_t *owner =
        xcb_get_selection_owner_reply(c.get(), xcb_get_selection_owner(c.get(), c.atom("CLIPBOARD")), nullptr);
    const xcb_window_t window = owner ? owner->owner : xcb_window_t(XCB_WINDOW_NONE);
    std::free(owner);
    if (window == XCB_WINDOW_NONE)
        return std::nullopt;
    const ApplicationIdentity identity = identityOf(window);
    // Requests about a window that went meanwhile leave errors behind.
    c.discardEvents();
    if (!identity.isKnown())
        return std::nullopt;
    return identity;
}

QImage X11Applications::windowIcon(xcb_window_t window) const
{
    X11Connection &c = *connection_;
    // Up to 16 MiB of icons; larger values are cut and parsed as far as whole.
    return imageFromNetWmIcon(c.cardinals(window, c.atom("_NET_WM_ICON")));
}

xcb_window_t X11Applications::windowOfProcess(qint64 pid) const
{
    X11Connection &c = *connection_;
    if (pid <= 0)
        return XCB_WINDOW_NONE;
    std::vector<quint32> clients = c.cardinals(c.root(), c.atom("_NET_CLIENT_LIST_STACKING"));
    if (clients.empty())
        clients = c.cardinals(c.root(), c.atom("_NET_CLIENT_LIST"));
    // Topmost first.
    for (auto it = clients.rbegin(); it != clients.rend(); ++it) {
        const auto p = c.cardinal(*it, c.atom("_NET_WM_PID"));
        if (p && qint64(*p) == pid)
            return *it;
    }
    return XCB_WINDOW_NONE;
}

void X11Applications::activateWindow(xcb_window_t window) const
{
    X11Connection &c = *connection_;
    if (!c.isValid() || window == XCB_WINDOW_NONE)
        return;
    if (hasEwmhWindowManager()) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = c.atom("_NET_ACTIVE_WINDOW");
        event.data.data32[0] = 2; // source indication: a pager, i.e. the user's choice
        event.data.data32[1] = XCB_CURRENT_TIME;
        event.data.data32[2] = activeWindow();
        xcb_send_event(c.get(), 0, c.root(),
                       XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                       reinterpret_cast<const char *>(&event));
    } else {
        const quint32 above = XCB_STACK_MODE_ABOVE;
        xcb_configure_window(c.get(), window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
        xcb_set_input_focus(c.get(), XCB_INPUT_FOCUS_PARENT, window, XCB_CURRENT_TIME);
    }
    c.sync();
    // Nothing selects input on this connection: what arrives are the errors
    // of requests on windows that have gone meanwhile.
    c.discardEvents();
}

void X11Applications::activate(const RunningApplication &app)
{
    xcb_window_t window = xcb_window_t(app.windowHandle);
    if (window == XCB_WINDOW_NONE)
        window = windowOfProcess(app.processIdentifier);
    activateWindow(window);
}

void X11Applications::activateSelf()
{
    xcb_window_t window = XCB_WINDOW_NONE;
    if (qGuiApp && QGuiApplication::platformName() == QLatin1String("xcb")) {
        // The window shown last is the one the user is about to use.
        const QWindowList windows = QGuiApplication::topLevelWindows();
        for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
            QWindow *w = *it;
            if (w->isVisible() && (w->type() == Qt::Window || w->type() == Qt::Dialog || w->type() == Qt::Tool)) {
                window = xcb_window_t(w->winId());
                break;
            }
        }
    }
    if (window == XCB_WINDOW_NONE)
        window = windowOfProcess(getpid());
    activateWindow(window);
}

} // namespace kelvo::x11

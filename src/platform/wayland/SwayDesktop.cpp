#include "platform/wayland/SwayDesktop.h"

#include "platform/wayland/SwayIpc.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace kelvo::wayland {

namespace {

std::optional<QRect> findFocused(const QJsonObject &node, int depth)
{
    // sway's trees are shallow (root, outputs, workspaces, containers);
    // the bound only guards against a malformed reply.
    if (depth > 64)
        return std::nullopt;
    if (node.value(QLatin1String("focused")).toBool()) {
        const QJsonObject r = node.value(QLatin1String("rect")).toObject();
        const QRect rect(r.value(QLatin1String("x")).toInt(), r.value(QLatin1String("y")).toInt(),
                         r.value(QLatin1String("width")).toInt(), r.value(QLatin1String("height")).toInt());
        return rect.isValid() ? std::optional<QRect>(rect) : std::nullopt;
    }
    for (const char *key : {"nodes", "floating_nodes"}) {
        for (const QJsonValue &child : node.value(QLatin1String(key)).toArray())
            if (auto found = findFocused(child.toObject(), depth + 1))
                return found;
    }
    return std::nullopt;
}

} // namespace

SwayDesktop::SwayDesktop(Desktop &fallback, const QString &socketPath) : fallback_(fallback), ipc_(socketPath)
{
    retry_.setSingleShot(true);
    retry_.setInterval(20);
    QObject::connect(&retry_, &QTimer::timeout, [this] { tryPlacing(); });
}

std::optional<QRect> SwayDesktop::activeWindowFrame()
{
    if (!isValid())
        return std::nullopt;
    const auto tree = ipc_.request(swayipc::kGetTree, {});
    return tree ? focusedFrame(*tree) : std::nullopt;
}

std::optional<QRect> SwayDesktop::focusedFrame(const QByteArray &tree)
{
    const QJsonDocument doc = QJsonDocument::fromJson(tree);
    return doc.isObject() ? findFocused(doc.object(), 0) : std::nullopt;
}

QString SwayDesktop::placementCommand(quint32 x11Window, const QRect &frame)
{
    return QStringLiteral("[id=%1] floating enable, sticky enable, border none, "
                          "resize set width %2 px height %3 px, move absolute position %4 px %5 px, focus")
        .arg(x11Window)
        .arg(frame.width())
        .arg(frame.height())
        .arg(frame.x())
        .arg(frame.y());
}

void SwayDesktop::placeWindow(quint32 x11Window, const QRect &frame)
{
    if (!isValid())
        return;
    pending_ = placementCommand(x11Window, frame);
    placeDeadline_ = QDeadlineTimer(2000);
    tryPlacing();
}

void SwayDesktop::tryPlacing()
{
    if (pending_.isEmpty())
        return;
    // One result per command; "No matching node" while sway does not know
    // the window yet.
    const auto reply = ipc_.request(swayipc::kRunCommand, pending_.toUtf8());
    bool done = reply.has_value();
    if (reply) {
        const QJsonArray results = QJsonDocument::fromJson(*reply).array();
        done = !results.isEmpty();
        for (const QJsonValue &result : results)
            done = done && result.toObject().value(QLatin1String("success")).toBool();
    }
    if (done || placeDeadline_.hasExpired())
        pending_.clear();
    else
        retry_.start();
}

} // namespace kelvo::wayland

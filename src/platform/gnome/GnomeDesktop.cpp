#include "platform/gnome/GnomeDesktop.h"

#include "platform/gnome/ShellExtension.h"

namespace kelvo::gnome {

std::optional<QRect> GnomeDesktop::frameOf(const QVariantMap &window)
{
    if (!window.contains(QStringLiteral("window")))
        return std::nullopt;
    const QRect frame(window.value(QStringLiteral("x")).toInt(), window.value(QStringLiteral("y")).toInt(),
                      window.value(QStringLiteral("width")).toInt(), window.value(QStringLiteral("height")).toInt());
    return frame.isValid() ? std::optional<QRect>(frame) : std::nullopt;
}

std::optional<QRect> GnomeDesktop::activeWindowFrame()
{
    const auto focus = shell_.focus(500);
    return focus ? frameOf(*focus) : std::nullopt;
}

void GnomeDesktop::placeWindow(quint32 x11Window, const QRect &frame)
{
    shell_.placePanel(x11Window, frame);
}

GnomeStatusMenu::GnomeStatusMenu(ShellExtension &shell, QObject *parent) : QObject(parent), shell_(shell)
{
    connect(&shell_, &ShellExtension::reappeared, this, [this] { send(); });
}

void GnomeStatusMenu::show(const Labels &labels, bool paused, bool visible)
{
    labels_ = labels;
    paused_ = paused;
    visible_ = visible;
    send();
}

void GnomeStatusMenu::send() const
{
    if (!labels_)
        return;
    shell_.setStatusMenu({{QStringLiteral("toggle"), labels_->toggle},
                          {QStringLiteral("clear"), labels_->clear},
                          {QStringLiteral("pause"), labels_->pause},
                          {QStringLiteral("settings"), labels_->settings},
                          {QStringLiteral("quit"), labels_->quit}},
                         paused_, visible_);
}

} // namespace kelvo::gnome

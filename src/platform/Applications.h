#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

#include <optional>

namespace kelvo {

// Who an application is, by the names its desktop gives it, most reliable
// first: the id of its desktop entry, the class its windows carry (Wayland's
// app_id, X11's WM_CLASS instance and class), the file name of its program.
// Any part may be unknown (empty).
struct ApplicationIdentity {
    QString desktopEntryId; // "org.keepassxc.KeePassXC" for org.keepassxc.KeePassXC.desktop
    QStringList classNames;
    QString executable; // "keepassxc"

    bool isKnown() const { return !desktopEntryId.isEmpty() || !classNames.isEmpty() || !executable.isEmpty(); }
    // Whether `id` names this application: equal to one of its names, case
    // ignored, a trailing ".desktop" too.
    bool matches(const QString &id) const;
    // The name to keep it by: the desktop entry id, else the first class
    // name, else the program.
    QString preferredId() const;
};

// A running application as the clipboard paths see it, through the window
// that represents it. Two handles denote the same target when their windows
// are equal; only where a window is unknown do equal, known (non-zero)
// process identifiers stand in.
struct RunningApplication {
    std::optional<QString> localizedName;
    QImage icon; // null when the application has none
    qint64 processIdentifier = 0;
    quint64 windowHandle = 0; // platform window that represents it, 0 if none
    ApplicationIdentity identity;
};

class Applications {
public:
    virtual ~Applications() = default;
    // The application receiving keyboard input, or nullopt.
    virtual std::optional<RunningApplication> frontmostApplication() const = 0;
    // The application the clipboard's current content comes from, asked
    // before anything of the content is read. Where the window system names
    // the clipboard's owner (X11) it is that owner's; where it names none
    // (Wayland's data-control) the application in front stands in, which is
    // the default. nullopt when nothing is known.
    virtual std::optional<ApplicationIdentity> clipboardSource() const
    {
        const std::optional<RunningApplication> front = frontmostApplication();
        if (!front || !front->identity.isKnown())
            return std::nullopt;
        return front->identity;
    }
    // Brings that application to the front; completes asynchronously.
    virtual void activate(const RunningApplication &app) = 0;
    // Brings this program itself to the front.
    virtual void activateSelf() = 0;
};

} // namespace kelvo

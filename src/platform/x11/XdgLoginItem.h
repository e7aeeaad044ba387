#pragma once

#include "platform/LoginItem.h"

#include <QString>

namespace kelvo {

// Starting at login through the XDG autostart entry
// $XDG_CONFIG_HOME/autostart/kelvo.desktop, written to enable and removed
// to disable.
class XdgLoginItem : public LoginItem {
public:
    // Empty arguments: this executable, and the user's autostart directory.
    explicit XdgLoginItem(QString executable = {}, QString autostartDir = {});

    std::optional<QString> setEnabled(bool enabled) override;
    bool isEnabled() const override;

    QString entryPath() const;
    // The autostart entry's text for an executable path.
    static QByteArray entryContents(const QString &executable);

private:
    QString executable_;
    QString autostartDir_;
};

} // namespace kelvo

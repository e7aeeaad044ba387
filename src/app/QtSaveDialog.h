#pragma once

#include "platform/SaveDialog.h"

namespace kelvo {

// The save dialog of the image export: a modal Qt file dialog that offers
// PNG files only and adds ".png" to a name typed without it, inside the
// dialog, so that replacing an existing file is always confirmed.
class QtSaveDialog : public SaveDialog {
public:
    std::optional<QString> choosePNGLocation(const QString &proposedName) override;
};

} // namespace kelvo

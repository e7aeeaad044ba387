#include "panel/QmlViews.h"

#include "panel/PanelImageProviders.h"

#include <QQmlEngine>
#include <QQuickStyle>

namespace kelvo {

void prepareQuickControlsStyle() {
    // Fusion draws the same on every desktop and has a light palette by default.
    QQuickStyle::setStyle(QStringLiteral("Fusion"));
}

ThumbnailImageProvider *installViewProviders(QQmlEngine &engine) {
    engine.addImageProvider(QStringLiteral("kicon"), new IconImageProvider);
    engine.addImageProvider(QStringLiteral("appicon"), new ApplicationIconProvider);
    auto *thumbnails = new ThumbnailImageProvider;
    engine.addImageProvider(QStringLiteral("kelvothumb"), thumbnails);
    return thumbnails;
}

} // namespace kelvo

#pragma once

#include <QUrl>

class QQmlEngine;

namespace kelvo {

class ThumbnailImageProvider;

// Sets the Qt Quick Controls style of the program's views (call before the
// first engine is created).
void prepareQuickControlsStyle();

// Installs the icon, application icon and thumbnail providers into an engine; returns the
// thumbnail provider (owned by the engine) so that list models can feed it.
ThumbnailImageProvider *installViewProviders(QQmlEngine &engine);

inline QUrl historyViewUrl() { return QUrl(QStringLiteral("qrc:/kelvo/qml/HistoryView.qml")); }
inline QUrl settingsViewUrl() { return QUrl(QStringLiteral("qrc:/kelvo/settings/SettingsView.qml")); }

} // namespace kelvo

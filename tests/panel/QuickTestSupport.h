#pragma once

#include "panel/FakeHistoryBackend.h"
#include "panel/QmlViews.h"

#include <QGuiApplication>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QTest>
#include <QtQuickTest/quicktest.h>

#include <gtest/gtest.h>

#include <functional>

namespace kelvo::test {

// One application object for all tests of a binary (the offscreen platform
// is chosen by CTest's environment), with the view's controls style.
inline QGuiApplication &quickApp() {
    static int argc = 1;
    static char name[] = "kelvo-view-test";
    static char *argv[] = {name, nullptr};
    static QGuiApplication *app = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        auto *created = new QGuiApplication(argc, argv);
        prepareQuickControlsStyle();
        return created;
    }();
    return *app;
}

// Loads the history view of `backend` into `view`, `width` x 324.
inline ::testing::AssertionResult loadHistoryView(QQuickView &view, FakeHistoryBackend &backend, int width = 1000) {
    backend.model()->setThumbnailProvider(installViewProviders(*view.engine()));
    backend.publish();
    view.setInitialProperties({{"backend", QVariant::fromValue<QObject *>(&backend)}});
    view.setResizeMode(QQuickView::SizeRootObjectToView);
    view.resize(width, 324);
    view.setSource(historyViewUrl());
    QString errors;
    for (const QQmlError &e : view.errors()) errors += e.toString() + '\n';
    if (view.status() != QQuickView::Ready) return ::testing::AssertionFailure() << qPrintable(errors);
    return ::testing::AssertionSuccess();
}

// The same, shown and laid out.
inline ::testing::AssertionResult showHistoryView(QQuickView &view, FakeHistoryBackend &backend, int width = 1000) {
    if (auto loaded = loadHistoryView(view, backend, width); !loaded) return loaded;
    view.show();
    if (!QTest::qWaitForWindowExposed(&view)) return ::testing::AssertionFailure() << "the view was not exposed";
    // Nothing left to polish: the list's delegates are built and placed.
    if (!QQuickTest::qWaitForPolish(&view)) return ::testing::AssertionFailure() << "the view was not laid out";
    return ::testing::AssertionSuccess();
}

// Depth-first search of the visual tree.
inline QQuickItem *findItem(QQuickItem *root, const std::function<bool(QQuickItem *)> &match) {
    if (!root) return nullptr;
    if (match(root)) return root;
    for (QQuickItem *child : root->childItems())
        if (QQuickItem *found = findItem(child, match)) return found;
    return nullptr;
}

inline QQuickItem *findByName(QQuickItem *root, const QString &name) {
    return findItem(root, [&](QQuickItem *i) { return i->objectName() == name; });
}

// The card of an entry, when it has been built.
inline QQuickItem *findCard(QQuickItem *root, const QString &id) {
    return findItem(root, [&](QQuickItem *i) {
        return i->objectName() == QLatin1String("clipboardCard") && i->property("itemId").toString() == id;
    });
}

inline QPoint centreOf(QQuickItem *item) {
    return item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
}

} // namespace kelvo::test

#pragma once

#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickWindow>
#include <QtQuickTest/quicktest.h>

#include <functional>

namespace kelvo::test {

// One application object for all tests of a binary (the offscreen platform
// is chosen by CTest's environment).
inline QGuiApplication &quickApp() {
    static int argc = 1;
    static char name[] = "kelvo-view-test";
    static char *argv[] = {name, nullptr};
    static QGuiApplication *app = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QGuiApplication(argc, argv);
    }();
    return *app;
}

// Waits until every item that asked to be laid out again has been (nothing
// left to polish in the window): after a change, the list's delegates are
// built and placed. False when that did not happen within the deadline.
inline bool waitForLayout(const QQuickWindow *window, int timeoutMs = 5000) {
    return QQuickTest::qWaitForPolish(window, timeoutMs);
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

} // namespace kelvo::test

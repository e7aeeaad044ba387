#include "app/AppDelegate.h"

#include "settings/ShortcutText.h"
#include "settings/StoredPreferences.h"

#include <QCoreApplication>
#include <QPointer>
#include <QUuid>

#include <limits>

namespace kelvo {

namespace {

// A stored shortcut value: an absent key gives the default; a stored 0 is a
// real key (A) or "no modifiers" and stays; values outside the unsigned
// 32-bit range cannot be a key and fall back to the default as well.
quint32 storedShortcutValue(const PreferencesStore &store, const QString &key, quint32 fallback)
{
    const qint64 value = store.integer(key);
    if (value == 0 && !store.object(key))
        return fallback;
    if (value < 0 || value > qint64(std::numeric_limits<quint32>::max()))
        return fallback;
    return quint32(value);
}

} // namespace

AppDelegate::AppDelegate(const AppServices &services, QObject *parent)
    : QObject(parent), services_(services)
{
    clipboardManager_ = std::make_unique<ClipboardManager>(services_.history);
    hotKeyManager_ = std::make_unique<HotKeyManager>(services_.hotKeys, services_.history.mainLoop);
    // A shortcut changed in the desktop's settings becomes the stored one,
    // which the settings window shows.
    hotKeyManager_->setReboundHandler([&store = services_.history.preferences](quint32 keyCode, quint32 modifiers) {
        store.setValue(PreferenceKey::HotkeyCode, qint64(keyCode));
        store.setValue(PreferenceKey::HotkeyModifiers, qint64(modifiers));
    });
    pasteBack_ = std::make_unique<PasteBack>(PasteBackServices{
        services_.history.applications, services_.keyboard, services_.history.mainLoop, services_.history.clock});
    connect(hotKeyManager_.get(), &HotKeyManager::registrationSettled, this, [this](bool registered) {
        FaultNotices &faults = clipboardManager_->faults();
        if (registered)
            faults.recovered(Fault::ShortcutRefused);
        else
            faults.report(Fault::ShortcutRefused,
                          shortcutDisplayText(hotKeyManager_->currentKeyCode().value_or(0),
                                              hotKeyManager_->currentModifiers().value_or(0)));
    });
}

AppDelegate::~AppDelegate()
{
    // The panel's callbacks point into this object; take them down first.
    panel_.reset();
}

void AppDelegate::applicationDidFinishLaunching()
{
    registerHotKeyFromPreferences();
    QPointer<AppDelegate> self(this);
    preferenceSubscription_ = std::make_unique<DebouncedPreferenceSubscriber>(
        services_.history.preferences, services_.history.mainLoop, kPreferenceDebounceMs, [self] {
            if (self && !self->terminated_)
                self->registerHotKeyFromPreferences();
        });
}

void AppDelegate::applicationWillTerminate()
{
    terminated_ = true;
    hotKeyManager_->unregisterHotKey();
    clipboardManager_->flushPendingSave();
}

void AppDelegate::registerHotKeyFromPreferences()
{
    const PreferencesStore &store = services_.history.preferences;
    const quint32 keyCode = storedShortcutValue(store, PreferenceKey::HotkeyCode, kDefaultKeyCode);
    const quint32 modifiers = storedShortcutValue(store, PreferenceKey::HotkeyModifiers, kDefaultModifiers);
    QPointer<AppDelegate> self(this);
    hotKeyManager_->registerHotKey(keyCode, modifiers, [self] {
        if (self)
            self->togglePanel();
    });
}

void AppDelegate::togglePanel()
{
    if (panel_ && panel_->isVisible())
        hidePanel();
    else
        showPanel();
}

void AppDelegate::showPanel()
{
    // A copy whose report went missing shows up in the panel all the same.
    clipboardManager_->checkPasteboard();
    previousApp_ = services_.history.applications.frontmostApplication();
    selectionState_.reset();
    selectionState_.setPanelPresentationToken(QUuid::createUuid());
    clipboardManager_->setSearchQuery(QString());
    if (panel_) {
        panel_->clearFirstResponder();
    } else {
        auto window = services_.makePanelWindow ? services_.makePanelWindow() : nullptr;
        if (!window)
            return;
        panel_ = std::make_unique<FloatingPanel>(std::move(window));
    }
    installPanelCallbacks();
    panel_->show();
}

void AppDelegate::hidePanel()
{
    clipboardManager_->setSearchQuery(QString());
    selectionState_.reset();
    if (panel_)
        panel_->dismiss(false);
}

void AppDelegate::openSettings()
{
    // This program's own windows (the panel, the settings) are no choice.
    beforeSettings_ = services_.history.applications.frontmostApplication();
    if (!beforeSettings_ || beforeSettings_->processIdentifier == QCoreApplication::applicationPid())
        beforeSettings_ = previousApp_;
    if (services_.presentSettingsWindow)
        services_.presentSettingsWindow();
}

void AppDelegate::onOpenSettings()
{
    keepFocusOnDismiss_ = true; // the settings window takes it
    hidePanel();
    keepFocusOnDismiss_ = false;
    openSettings();
}

void AppDelegate::panelDismissed()
{
    if (keepFocusOnDismiss_ || !previousApp_)
        return;
    // A hidden panel can stay the active window when nothing else takes
    // the focus; the application that was in front gets it back.
    const std::optional<RunningApplication> front = services_.history.applications.frontmostApplication();
    if (front && front->processIdentifier == QCoreApplication::applicationPid())
        services_.history.applications.activate(*previousApp_);
}

bool AppDelegate::pasteFromPanel(const ClipboardItem &item, bool plainText)
{
    const std::optional<RunningApplication> target = previousApp_;
    keepFocusOnDismiss_ = true; // the paste-back activates the target
    if (panel_)
        panel_->dismiss(true);
    keepFocusOnDismiss_ = false;
    if (plainText)
        return pasteBack_->pastePlainTextToPreviousApp(item, *clipboardManager_, target);
    return pasteBack_->pasteToPreviousApp(item, *clipboardManager_, target);
}

bool AppDelegate::pasteToFrontmost(const ClipboardItem &item, bool plainText)
{
    if (panel_ && panel_->isVisible())
        return pasteFromPanel(item, plainText);
    const std::optional<RunningApplication> target = services_.history.applications.frontmostApplication();
    if (plainText)
        return pasteBack_->pastePlainTextToPreviousApp(item, *clipboardManager_, target);
    return pasteBack_->pasteToPreviousApp(item, *clipboardManager_, target);
}

QList<ClipboardItem> AppDelegate::activeList() const
{
    return clipboardManager_->filteredItems(selectionState_.activeTab());
}

void AppDelegate::installPanelCallbacks()
{
    QPointer<AppDelegate> self(this);
    panel_->onDismiss = [self] {
        if (self)
            self->panelDismissed();
    };
    panel_->onKeyLeft = [self] {
        if (self)
            self->selectionState_.moveLeft(self->activeList().size());
    };
    panel_->onKeyRight = [self] {
        if (self)
            self->selectionState_.moveRight(self->activeList().size());
    };
    panel_->onKeyTab = [self](bool) {
        if (!self)
            return;
        SelectionState &state = self->selectionState_;
        state.setActiveTab(state.activeTab() == ClipboardTab::history ? ClipboardTab::pinned : ClipboardTab::history);
    };
    panel_->onKeyReturn = [self] {
        if (!self)
            return;
        const QList<ClipboardItem> list = self->activeList();
        const qint64 index = self->selectionState_.selectedIndex();
        if (index >= 0 && index < list.size())
            self->pasteFromPanel(list.at(index), false);
    };
    panel_->onQuickPasteAtIndex = [self](int index) {
        if (!self)
            return;
        const QList<ClipboardItem> list = self->activeList();
        if (index >= 0 && index < list.size())
            self->pasteFromPanel(list.at(index), false);
    };
    panel_->onTypingStart = [self](const QString &chars) {
        if (!self)
            return;
        self->selectionState_.setPendingChars(chars);
        self->selectionState_.setShouldFocusSearch(true);
    };
}

} // namespace kelvo

#pragma once

#include "history/ClipboardManager.h"
#include "panel/FloatingPanel.h"
#include "panel/SelectionState.h"
#include "platform/Accessibility.h"
#include "platform/HotKeys.h"
#include "platform/PanelWindow.h"
#include "system/HotKeyManager.h"
#include "system/PasteBack.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>

namespace kelvo {

class DebouncedPreferenceSubscriber;

// What the delegate works through besides the history store's services.
struct AppServices {
    HistoryServices history;
    HotKeyService &hotKeys;
    SyntheticKeyboard &keyboard;
    // Builds the panel's window with its content view, once, at the first
    // showing.
    std::function<std::unique_ptr<PanelWindow>()> makePanelWindow;
    // Creates the settings window on the first call, then brings it
    // forward and activates the program.
    std::function<void()> presentSettingsWindow;
};

// The running program's spine: owns the history store, the hot key, the
// selection shared with the panel view and the panel itself, and answers
// the hot key, the menu and the panel.
//
// Every closure it hands out holds it through a QPointer and does nothing
// once it is gone.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    static constexpr int kPreferenceDebounceMs = 500;
    static constexpr quint32 kDefaultKeyCode = 9;      // V
    static constexpr quint32 kDefaultModifiers = 768;  // command + shift

    explicit AppDelegate(const AppServices &services, QObject *parent = nullptr);
    ~AppDelegate() override;

    ClipboardManager &clipboardManager() { return *clipboardManager_; }
    HotKeyManager &hotKeyManager() { return *hotKeyManager_; }
    SelectionState &selectionState() { return selectionState_; }
    PasteBack &pasteBack() { return *pasteBack_; }
    FloatingPanel *panel() const { return panel_.get(); }
    const std::optional<RunningApplication> &previousApp() const { return previousApp_; }
    // The application that was in front when the settings were last opened
    // (the one before the panel, when they were opened from it).
    const std::optional<RunningApplication> &applicationBeforeSettings() const { return beforeSettings_; }

    void applicationDidFinishLaunching();
    // Unregisters the hot key and writes a save that is still waiting for
    // its debounce, so that the last changes before quitting are kept.
    void applicationWillTerminate();

    void registerHotKeyFromPreferences();

    void togglePanel();
    void showPanel();
    void hidePanel();
    void openSettings();
    // False when the entry could not be written to the clipboard (see
    // PasteBack).
    bool pasteFromPanel(const ClipboardItem &item, bool plainText);
    // A paste asked for from outside the panel (the command line): into the
    // application in front now, or, while the panel is up, as the panel's
    // own paste does.
    bool pasteToFrontmost(const ClipboardItem &item, bool plainText);
    void panelDismissed();

    // The history view's callbacks.
    void onPaste(const ClipboardItem &item) { pasteFromPanel(item, false); }
    void onPastePlainText(const ClipboardItem &item) { pasteFromPanel(item, true); }
    void onDismiss() { hidePanel(); }
    void onOpenSettings();

private:
    void installPanelCallbacks();
    QList<ClipboardItem> activeList() const;

    AppServices services_;
    std::unique_ptr<ClipboardManager> clipboardManager_;
    std::unique_ptr<HotKeyManager> hotKeyManager_;
    std::unique_ptr<FloatingPanel> panel_;
    SelectionState selectionState_;
    std::optional<RunningApplication> previousApp_;
    std::optional<RunningApplication> beforeSettings_;
    std::unique_ptr<PasteBack> pasteBack_;
    std::unique_ptr<DebouncedPreferenceSubscriber> preferenceSubscription_;
    bool terminated_ = false;
    // Set while the panel is dismissed for a paste or the settings, which
    // move the focus themselves.
    bool keepFocusOnDismiss_ = false;
};

} // namespace kelvo

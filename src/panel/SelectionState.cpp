#include "panel/SelectionState.h"

namespace kelvo {

SelectionState::SelectionState(QObject *parent) : QObject(parent), token_(QUuid::createUuid()) {}

void SelectionState::setSelectedIndex(qint64 index)
{
    selectedIndex_ = index;
    emit selectedIndexChanged();
}

void SelectionState::setShouldFocusSearch(bool focus)
{
    shouldFocusSearch_ = focus;
    emit shouldFocusSearchChanged();
}

void SelectionState::setPendingChars(const QString &chars)
{
    pendingChars_ = chars;
    emit pendingCharsChanged();
}

void SelectionState::setActiveTab(ClipboardTab tab)
{
    activeTab_ = tab;
    emit activeTabChanged();
}

void SelectionState::setActiveTabRawValue(const QString &raw)
{
    if (auto tab = clipboardTabFromRawValue(raw))
        setActiveTab(*tab);
}

void SelectionState::setPanelPresentationToken(const QUuid &token)
{
    token_ = token;
    emit panelPresentationTokenChanged();
}

void SelectionState::moveLeft(qint64 itemCount)
{
    if (itemCount < 1)
        return;
    const qint64 next = selectedIndex_ <= 0 ? 0 : selectedIndex_ - 1;
    if (next != selectedIndex_)
        setSelectedIndex(next);
}

void SelectionState::moveRight(qint64 itemCount)
{
    if (itemCount < 1)
        return;
    // min(index + 1, count - 1), without overflowing at the top of the range.
    const qint64 next = selectedIndex_ >= itemCount - 1 ? itemCount - 1 : selectedIndex_ + 1;
    if (next != selectedIndex_)
        setSelectedIndex(next);
}

void SelectionState::reset()
{
    setSelectedIndex(0);
    setShouldFocusSearch(false);
    setPendingChars(QString());
    setActiveTab(ClipboardTab::history);
}

} // namespace kelvo

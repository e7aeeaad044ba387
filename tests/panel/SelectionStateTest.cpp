#include "panel/SelectionState.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <QVariant>

using namespace kelvo;

namespace {

// Records every change signal of a SelectionState, in order.
struct SignalLog {
    explicit SignalLog(SelectionState &s)
    {
        QObject::connect(&s, &SelectionState::selectedIndexChanged, [this] { names << "selectedIndex"; });
        QObject::connect(&s, &SelectionState::shouldFocusSearchChanged, [this] { names << "shouldFocusSearch"; });
        QObject::connect(&s, &SelectionState::pendingCharsChanged, [this] { names << "pendingChars"; });
        QObject::connect(&s, &SelectionState::activeTabChanged, [this] { names << "activeTab"; });
        QObject::connect(&s, &SelectionState::panelPresentationTokenChanged, [this] { names << "token"; });
    }
    QStringList names;
};

} // namespace

TEST(ClipboardTabTest, RawValuesRoundTripExactlyAndCaseSensitively)
{
    ASSERT_EQ(kAllClipboardTabs.size(), 2u);
    EXPECT_EQ(kAllClipboardTabs[0], ClipboardTab::history);
    EXPECT_EQ(kAllClipboardTabs[1], ClipboardTab::pinned);
    for (ClipboardTab tab : kAllClipboardTabs)
        EXPECT_EQ(clipboardTabFromRawValue(rawValue(tab)), tab);
    EXPECT_EQ(rawValue(ClipboardTab::history), "history");
    EXPECT_EQ(rawValue(ClipboardTab::pinned), "pinned");
    EXPECT_FALSE(clipboardTabFromRawValue("History"));
    EXPECT_FALSE(clipboardTabFromRawValue("PINNED"));
    EXPECT_FALSE(clipboardTabFromRawValue(""));
    EXPECT_FALSE(clipboardTabFromRawValue(" history"));
}

TEST(SelectionStateTest, StartsOnFirstCardOfHistoryWithAToken)
{
    SelectionState a, b;
    EXPECT_EQ(a.selectedIndex(), 0);
    EXPECT_FALSE(a.shouldFocusSearch());
    EXPECT_EQ(a.pendingChars(), "");
    EXPECT_EQ(a.activeTab(), ClipboardTab::history);
    EXPECT_FALSE(a.panelPresentationToken().isNull());
    EXPECT_NE(a.panelPresentationToken(), b.panelPresentationToken());
}

TEST(SelectionStateTest, EveryAssignmentNotifiesEvenWithTheSameValue)
{
    SelectionState s;
    SignalLog log(s);
    s.setSelectedIndex(0);
    s.setShouldFocusSearch(false);
    s.setPendingChars("");
    s.setActiveTab(ClipboardTab::history);
    const QUuid token = s.panelPresentationToken();
    s.setPanelPresentationToken(token);
    EXPECT_EQ(log.names, QStringList({"selectedIndex", "shouldFocusSearch", "pendingChars", "activeTab", "token"}));
}

TEST(SelectionStateTest, RawTabPropertyAcceptsOnlyTabNames)
{
    SelectionState s;
    SignalLog log(s);
    EXPECT_TRUE(s.setProperty("activeTab", QStringLiteral("pinned")));
    EXPECT_EQ(s.activeTab(), ClipboardTab::pinned);
    EXPECT_EQ(s.property("activeTab").toString(), "pinned");
    s.setActiveTabRawValue("Pinned");
    s.setActiveTabRawValue("");
    EXPECT_EQ(s.activeTab(), ClipboardTab::pinned);
    EXPECT_EQ(log.names, QStringList({"activeTab"}));
}

TEST(SelectionStateMoveTest, LeftAtFirstCardStaysSilently)
{
    SelectionState s;
    SignalLog log(s);
    s.moveLeft(5);
    EXPECT_EQ(s.selectedIndex(), 0);
    EXPECT_TRUE(log.names.isEmpty());
}

TEST(SelectionStateMoveTest, RightStopsAtLastCardSilently)
{
    SelectionState s;
    s.setSelectedIndex(4);
    SignalLog log(s);
    s.moveRight(5);
    EXPECT_EQ(s.selectedIndex(), 4);
    EXPECT_TRUE(log.names.isEmpty());

    s.setSelectedIndex(2);
    log.names.clear();
    s.moveRight(5);
    EXPECT_EQ(s.selectedIndex(), 3);
    EXPECT_EQ(log.names, QStringList({"selectedIndex"}));
    s.moveLeft(5);
    EXPECT_EQ(s.selectedIndex(), 2);
}

TEST(SelectionStateMoveTest, StaleIndexAfterListShrank)
{
    SelectionState s;
    s.setSelectedIndex(7);
    s.moveRight(3);
    EXPECT_EQ(s.selectedIndex(), 2);

    s.setSelectedIndex(7);
    s.moveLeft(3);
    EXPECT_EQ(s.selectedIndex(), 6);
}

TEST(SelectionStateMoveTest, EmptyListTouchesNothing)
{
    SelectionState s;
    s.setSelectedIndex(7);
    s.setActiveTab(ClipboardTab::pinned);
    SignalLog log(s);
    for (qint64 count : {0, -1}) {
        s.moveLeft(count);
        s.moveRight(count);
    }
    EXPECT_EQ(s.selectedIndex(), 7);
    EXPECT_EQ(s.activeTab(), ClipboardTab::pinned);
    EXPECT_TRUE(log.names.isEmpty());
}

TEST(SelectionStateMoveTest, ExtremeIndicesDoNotOverflow)
{
    SelectionState s;
    s.setSelectedIndex(std::numeric_limits<qint64>::max());
    s.moveRight(3);
    EXPECT_EQ(s.selectedIndex(), 2);
    s.setSelectedIndex(std::numeric_limits<qint64>::min());
    s.moveLeft(3);
    EXPECT_EQ(s.selectedIndex(), 0);
}

TEST(SelectionStateTest, ResetAssignsFourFieldsInOrderAndKeepsToken)
{
    SelectionState s;
    s.setSelectedIndex(4);
    s.setActiveTab(ClipboardTab::pinned);
    s.setShouldFocusSearch(true);
    s.setPendingChars("x");
    const QUuid token = s.panelPresentationToken();
    SignalLog log(s);
    s.reset();
    EXPECT_EQ(s.selectedIndex(), 0);
    EXPECT_FALSE(s.shouldFocusSearch());
    EXPECT_EQ(s.pendingChars(), "");
    EXPECT_EQ(s.activeTab(), ClipboardTab::history);
    EXPECT_EQ(s.panelPresentationToken(), token);
    EXPECT_EQ(log.names, QStringList({"selectedIndex", "shouldFocusSearch", "pendingChars", "activeTab"}));

    // Reset of an already reset state still notifies every field.
    log.names.clear();
    s.reset();
    EXPECT_EQ(log.names.size(), 4);
}

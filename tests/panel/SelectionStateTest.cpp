#include "panel/SelectionState.h"

#include <gtest/gtest.h>

#include <QStringList>

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

TEST(SelectionStateTest, EveryAssignmentNotifiesEvenWithTheSameValueButNotAnUnknownTab)
{
    SelectionState s;
    SignalLog log(s);
    s.setSelectedIndex(0);
    s.setShouldFocusSearch(false);
    s.setPendingChars("");
    s.setActiveTab(ClipboardTab::history);
    s.setPanelPresentationToken(s.panelPresentationToken());
    EXPECT_EQ(log.names, QStringList({"selectedIndex", "shouldFocusSearch", "pendingChars", "activeTab", "token"}));

    log.names.clear();
    s.setActiveTabRawValue("pinned"); // as the view's backend hands it on
    EXPECT_EQ(s.activeTab(), ClipboardTab::pinned);
    for (const char *raw : {"History", "HISTORY", " history", ""})
        s.setActiveTabRawValue(raw); // the stored and QML values are exact
    EXPECT_EQ(s.activeTab(), ClipboardTab::pinned);
    EXPECT_EQ(log.names, QStringList({"activeTab"}));
}

TEST(SelectionStateTest, MovesStayInsideTheListAndStayingPutIsSilent)
{
    constexpr qint64 kMax = std::numeric_limits<qint64>::max(), kMin = std::numeric_limits<qint64>::min();
    const struct {
        qint64 from;
        bool right;
        qint64 count;
        qint64 to; // announced when it differs from `from`
    } cases[] = {
        {0, false, 5, 0}, {4, true, 5, 4}, {2, true, 5, 3}, {3, false, 5, 2},
        {7, true, 3, 2}, {7, false, 3, 6}, // a stale index after the list shrank
        {7, true, 0, 7}, {7, false, 0, 7}, {7, true, -1, 7}, {7, false, -1, 7}, // an empty list
        {kMax, true, 3, 2}, {kMin, false, 3, 0},
    };
    for (const auto &c : cases) {
        SelectionState s;
        s.setSelectedIndex(c.from);
        s.setActiveTab(ClipboardTab::pinned);
        SignalLog log(s);
        c.right ? s.moveRight(c.count) : s.moveLeft(c.count);
        EXPECT_EQ(s.selectedIndex(), c.to) << c.from << (c.right ? " right " : " left ") << c.count;
        EXPECT_EQ(log.names, c.to == c.from ? QStringList() : QStringList({"selectedIndex"})) << c.from;
        EXPECT_EQ(s.activeTab(), ClipboardTab::pinned);
    }
}

TEST(SelectionStateTest, StartsAndResetsOnTheFirstCardOfHistoryAndResetKeepsTheToken)
{
    SelectionState s, other;
    EXPECT_FALSE(s.panelPresentationToken().isNull());
    EXPECT_NE(s.panelPresentationToken(), other.panelPresentationToken());
    const QUuid token = s.panelPresentationToken();
    const auto expectFresh = [&] {
        EXPECT_EQ(s.selectedIndex(), 0);
        EXPECT_FALSE(s.shouldFocusSearch());
        EXPECT_EQ(s.pendingChars(), "");
        EXPECT_EQ(s.activeTab(), ClipboardTab::history);
        EXPECT_EQ(s.panelPresentationToken(), token);
    };
    expectFresh();
    s.setSelectedIndex(4);
    s.setActiveTab(ClipboardTab::pinned);
    s.setShouldFocusSearch(true);
    s.setPendingChars("x");
    SignalLog log(s);
    s.reset();
    expectFresh();
    s.reset(); // an already reset state still notifies every field
    const QStringList once{"selectedIndex", "shouldFocusSearch", "pendingChars", "activeTab"};
    EXPECT_EQ(log.names, once + once);
}

} // namespace

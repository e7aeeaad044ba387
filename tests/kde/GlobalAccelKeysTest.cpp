// Combinations as KDE's shortcut service writes them, and back.

#include "platform/kwin/GlobalAccelKeys.h"
#include "platform/x11/KeyTranslation.h"

#include <gtest/gtest.h>

#include <QKeyCombination>

using kelvo::kwin::combinationForQtKeyCode;
using kelvo::kwin::qtKeyCodeFor;

namespace {

struct KeyCase {
    quint32 keyCode, modifiers; // 256 Super, 512 Shift, 2048 Alt, 4096 Control
    int qtKey;
};

int combined(Qt::KeyboardModifiers modifiers, Qt::Key key)
{
    return QKeyCombination(modifiers, key).toCombined();
}

class GlobalAccelKeys : public ::testing::TestWithParam<KeyCase> {};

TEST_P(GlobalAccelKeys, AreWrittenAsKdeWritesThemAndReadBack)
{
    const KeyCase &c = GetParam();
    EXPECT_EQ(qtKeyCodeFor(c.keyCode, c.modifiers), c.qtKey);
    EXPECT_EQ(combinationForQtKeyCode(c.qtKey), std::pair(c.keyCode, c.modifiers));
}

INSTANTIATE_TEST_SUITE_P(
    Combinations, GlobalAccelKeys,
    ::testing::Values(KeyCase{9, 768, 301989974}, // Meta+Shift+V, as the service stores Super+Shift+V
                      KeyCase{18, 768, combined(Qt::MetaModifier, Qt::Key_Exclam)}, // a shifted sign is its own key
                      KeyCase{43, 768, combined(Qt::MetaModifier, Qt::Key_Less)},   // Shift+comma, not the ISO key
                      KeyCase{49, 6144, combined(Qt::ControlModifier | Qt::AltModifier, Qt::Key_Space)},
                      KeyCase{36, 4096, combined(Qt::ControlModifier, Qt::Key_Return)},
                      KeyCase{122, 0, combined(Qt::NoModifier, Qt::Key_F1)},
                      KeyCase{83, 256, combined(Qt::MetaModifier | Qt::KeypadModifier, Qt::Key_1)}));

TEST(GlobalAccelKeysRoundTrip, EveryPositionButTheIsoKeyReadsBackAsItself)
{
    int written = 0;
    for (const kelvo::x11::KeyPosition &p : kelvo::x11::keyPositions()) {
        for (quint32 modifiers : {0u, 256u, 768u, 6144u}) {
            const auto key = qtKeyCodeFor(p.virtualKey, modifiers);
            if (!key || p.virtualKey == 10)
                continue;
            ++written;
            EXPECT_EQ(combinationForQtKeyCode(*key), std::pair(p.virtualKey, modifiers))
                << "position " << p.virtualKey << " with " << modifiers;
        }
    }
    EXPECT_GT(written, 4 * 80) << "every position but the modifier keys has a Qt key";
}

TEST(GlobalAccelKeysRoundTrip, ModifierKeysAndKeysOfNoPositionHaveNoCounterpart)
{
    EXPECT_FALSE(qtKeyCodeFor(56, 256)) << "Shift alone";
    EXPECT_FALSE(qtKeyCodeFor(0xFFFF, 0));
    EXPECT_FALSE(combinationForQtKeyCode(combined(Qt::MetaModifier, Qt::Key_LaunchMail)));
}

} // namespace

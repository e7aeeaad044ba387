// The global shortcut through KDE's shortcut service inside a private
// headless KWin: presses typed through fake input, and the key changed by
// Kelvo and by another client (as System Settings changes it).

#include "kde/KWinFixture.h"

#include "platform/kwin/FakeInputKeyboard.h"
#include "platform/kwin/KGlobalAccelHotKeyService.h"


using kelvo::kwin::FakeInputKeyboard;
using kelvo::kwin::KGlobalAccelHotKeyService;
using kelvo::testing::KWinServer;

namespace {

constexpr quint32 kSuper = 125, kShift = 42, kAlt = 56, kV = 47, kJ = 36; // evdev codes
// Qt's Meta+Alt+J (Meta+Alt+K is KDE's keyboard layout switch).
const QString kMetaAltJ = QStringLiteral("402653258");

class KGlobalAccelHotKeyServiceTest : public kelvo::testing::KWinTest {
protected:
    void SetUp() override
    {
        KWinTest::SetUp();
        bus_ = std::make_unique<QDBusConnection>(server().bus());
        ASSERT_TRUE(KWinServer::waitUntil([&] { return KGlobalAccelHotKeyService::offered(*bus_); }, 10000));
        keyboard_ = std::make_unique<FakeInputKeyboard>(server().display());
        ASSERT_TRUE(keyboard_->isValid());
    }
    void TearDown() override
    {
        service_.reset();
        KWinTest::TearDown();
    }

    KGlobalAccelHotKeyService &service()
    {
        if (!service_) {
            service_ = std::make_unique<KGlobalAccelHotKeyService>(*bus_, std::pair{9u, 768u});
            service_->installHandler([this] { ++presses_; });
            service_->installSettledHandler([this](quint64 handle, qint32 status) { settled_[handle] = status; });
            service_->installReboundHandler(
                [this](quint64, quint32 keyCode, quint32 modifiers) { rebound_ = {keyCode, modifiers}; });
        }
        return *service_;
    }
    // Registers and waits for the service's answer.
    std::optional<qint32> registerAndSettle(quint32 keyCode, quint32 modifiers)
    {
        const kelvo::HotKeyRegistration r = service().registerHotKey(keyCode, modifiers);
        EXPECT_TRUE(r.pending && r.handle);
        if (!r.handle || !KWinServer::waitUntil([&] { return settled_.contains(*r.handle); }, 10000))
            return std::nullopt;
        return settled_.value(*r.handle);
    }
    // Modifiers down, the key pressed and released, modifiers up.
    void press(QList<quint32> modifiers, quint32 key)
    {
        QList<FakeInputKeyboard::KeyStroke> strokes;
        for (quint32 m : modifiers)
            strokes.append({m, true});
        strokes += {{key, true}, {key, false}};
        for (quint32 m : modifiers)
            strokes.append({m, false});
        keyboard_->send(strokes);
    }
    // A call by another client of the service (gdbus, as System Settings is
    // one).
    kelvo::testing::TestClients::Result call(const QString &method, const QStringList &arguments)
    {
        return server().run(QStringLiteral("gdbus"),
                            QStringList{QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("-d"),
                                        QStringLiteral("org.kde.kglobalaccel"), QStringLiteral("-o"),
                                        QStringLiteral("/kglobalaccel"), QStringLiteral("-m"),
                                        QStringLiteral("org.kde.KGlobalAccel.") + method} + arguments);
    }
    int otherClient(const QString &method, const QStringList &arguments) { return call(method, arguments).exitCode; }
    static QString kelvoAction() { return QStringLiteral("['kelvo', 'toggle-panel', 'Kelvo', 'Show']"); }
    // The keys the service holds for Kelvo's action (or its default keys),
    // as gdbus prints them.
    QByteArray keysOfKelvo(const QString &method = QStringLiteral("shortcutKeys"))
    {
        return call(method, {kelvoAction()}).out.trimmed();
    }
    static QByteArray oneKey(const QString &key) { return "([([" + key.toLatin1() + ", 0, 0, 0],)],)"; }

    std::unique_ptr<QDBusConnection> bus_;
    std::unique_ptr<FakeInputKeyboard> keyboard_;
    std::unique_ptr<KGlobalAccelHotKeyService> service_;
    int presses_ = 0;
    QHash<quint64, qint32> settled_;
    std::optional<std::pair<quint32, quint32>> rebound_;
};

TEST_F(KGlobalAccelHotKeyServiceTest, AKeyPressFiresTheShortcutAndKelvosChangeReachesTheService)
{
    ASSERT_EQ(registerAndSettle(9, 768), 0);
    EXPECT_EQ(keysOfKelvo(), oneKey(QStringLiteral("301989974"))) << "Meta+Shift+V";
    press({kSuper, kShift}, kV);
    EXPECT_TRUE(KWinServer::waitUntil([&] { return presses_ == 1; }, 10000));

    // As the hot-key manager changes it: the old one goes, the new one comes.
    service().unregisterHotKey(1);
    ASSERT_EQ(registerAndSettle(38, 256 | 2048), 0); // Super+Alt+J
    EXPECT_EQ(keysOfKelvo(), oneKey(kMetaAltJ));
    EXPECT_EQ(keysOfKelvo(QStringLiteral("defaultShortcutKeys")), oneKey(QStringLiteral("301989974"))) << "the default stays";
    press({kSuper, kAlt}, kJ);
    EXPECT_TRUE(KWinServer::waitUntil([&] { return presses_ == 2; }, 10000));
    EXPECT_FALSE(rebound_) << "Kelvo's own change is no rebinding";
}

TEST_F(KGlobalAccelHotKeyServiceTest, ACombinationAnotherProgramHoldsIsRefused)
{
    const QString other = QStringLiteral("['other', 'grab', 'Other', 'Grab']");
    ASSERT_EQ(otherClient(QStringLiteral("doRegister"), {other}), 0);
    ASSERT_EQ(otherClient(QStringLiteral("setShortcut"), {other, QStringLiteral("[301989974]"), QStringLiteral("6")}), 0);
    EXPECT_EQ(registerAndSettle(9, 768), KGlobalAccelHotKeyService::TakenStatus);
}

enum class Where { SystemSettingsWhileRunning, SystemSettingsBeforeStart };

class KGlobalAccelRebindTest : public KGlobalAccelHotKeyServiceTest, public ::testing::WithParamInterface<Where> {};

TEST_P(KGlobalAccelRebindTest, TheKeyChosenInTheDesktopsSettingsIsTakenOn)
{
    if (GetParam() == Where::SystemSettingsBeforeStart) {
        // The user's choice, stored by the service while Kelvo was away.
        ASSERT_EQ(otherClient(QStringLiteral("doRegister"), {kelvoAction()}), 0);
        ASSERT_EQ(otherClient(QStringLiteral("setShortcut"), {kelvoAction(), '[' + kMetaAltJ + ']', QStringLiteral("6")}), 0);
        ASSERT_EQ(otherClient(QStringLiteral("setInactive"), {kelvoAction()}), 0);
        ASSERT_EQ(registerAndSettle(9, 768), 0);
    } else {
        ASSERT_EQ(registerAndSettle(9, 768), 0);
        ASSERT_EQ(otherClient(QStringLiteral("setForeignShortcutKeys"), {kelvoAction(), "[([" + kMetaAltJ + ", 0, 0, 0],)]"}), 0);
    }
    EXPECT_TRUE(KWinServer::waitUntil([&] { return rebound_.has_value(); }, 10000));
    EXPECT_EQ(rebound_, std::pair(38u, 256u | 2048u)) << "Super+Alt+J";
    press({kSuper, kAlt}, kJ);
    EXPECT_TRUE(KWinServer::waitUntil([&] { return presses_ == 1; }, 10000));
}

INSTANTIATE_TEST_SUITE_P(Changes, KGlobalAccelRebindTest,
                         ::testing::Values(Where::SystemSettingsWhileRunning, Where::SystemSettingsBeforeStart),
                         [](const ::testing::TestParamInfo<Where> &info) {
                             return info.param == Where::SystemSettingsWhileRunning ? std::string("WhileRunning")
                                                                                    : std::string("BeforeStart");
                         });

} // namespace

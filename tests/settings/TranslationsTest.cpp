// Which catalogue a language choice and the desktop's languages read, and
// the loader that installs the built-in ones.
#include "model/DisplayTexts.h"
#include "settings/Translations.h"

#include <QCoreApplication>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace kelvo;

namespace {

TEST(CatalogueFor, TheChoiceWinsThenTheFirstDesktopLanguageWithACatalogueThenEnglish)
{
    const QStringList builtIn{"en", "zh_CN"};
    const QStringList withThird{"de", "en", "pt_BR", "zh_CN"};
    const struct {
        const char *choice;
        QStringList uiLanguages;
        QStringList catalogues;
        const char *expected;
    } cases[] = {
        {"system", {"en-US", "en"}, builtIn, "en"},
        {"system", {"zh-Hans-CN", "zh-CN", "zh"}, builtIn, "zh_CN"},
        {"system", {"zh-Hant-TW"}, builtIn, "zh_CN"},          // any Chinese reads the Chinese there is
        {"system", {"de-DE", "de"}, builtIn, "en"},            // no German: English
        {"system", {"de-DE", "zh-CN"}, builtIn, "zh_CN"},      // LANGUAGE=de:zh_CN, the first one there is
        {"system", {"en-GB", "zh-CN"}, builtIn, "en"},
        {"system", {"C"}, builtIn, "en"},
        {"system", {}, builtIn, "en"},
        {"system", {"de-AT"}, withThird, "de"},                // the language when the region has none
        {"system", {"pt-BR"}, withThird, "pt_BR"},
        {"system", {"pt-PT"}, withThird, "en"},
        {"system", {"sr_RS@latin"}, withThird, "en"},
        {"en", {"zh-CN"}, builtIn, "en"},                      // the settings line overrides the desktop
        {"zh_CN", {"de-DE"}, builtIn, "zh_CN"},
        {"fr", {"zh-CN"}, builtIn, "zh_CN"},                   // a stored choice that is not there
        {"", {"de-DE"}, withThird, "de"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(catalogueFor(c.choice, c.uiLanguages, c.catalogues), c.expected)
            << c.choice << " " << c.uiLanguages.join(',').toStdString();
}

class TranslationsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "translations_test";
        static char *argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);
    }
};

// The catalogues come from the build; each choice installs its own texts
// at once, and only a real change is announced.
TEST_F(TranslationsTest, ApplyingAChoiceInstallsItsCatalogueAndAnnouncesOnlyChanges)
{
    EXPECT_TRUE(Translations::catalogues().contains("en")) << Translations::catalogues().join(',').toStdString();
    EXPECT_TRUE(Translations::catalogues().contains("zh_CN"));

    Translations translations;
    QSignalSpy changed(&translations, &Translations::changed);
    const auto title = [] { return QCoreApplication::translate("SettingsWindow", "Kelvo 设置"); };
    const struct {
        const char *choice;
        QStringList uiLanguages;
        const char *title;
        int announcements;
    } steps[] = {
        {"system", {"x-none"}, "Kelvo Settings", 1},
        {"en", {"x-none"}, "Kelvo Settings", 1}, // the same catalogue: nothing to announce
        {"zh_CN", {"x-none"}, "Kelvo 设置", 2},
        {"system", {"zh-CN"}, "Kelvo 设置", 2},
        {"system", {"en-US"}, "Kelvo Settings", 3},
    };
    for (const auto &step : steps) {
        translations.apply(step.choice, step.uiLanguages);
        EXPECT_EQ(title(), QString::fromUtf8(step.title)) << step.choice;
        EXPECT_EQ(changed.size(), step.announcements) << step.choice;
    }
}

// The texts capture derives are stored in Chinese and shown in the user's
// language; a stored text that is not one of them, or one of another kind,
// is shown as it is.
TEST_F(TranslationsTest, StoredDerivedTextsReadInTheLanguageOtherTextsAsTheyAre)
{
    Translations translations;
    translations.apply("en", {});
    using Kind = ClipboardContent::Kind;
    const struct {
        Kind kind;
        const char *stored, *infoLabel, *preview;
    } cases[] = {
        {Kind::Text, "5 个字符", "5 characters", "5 个字符"}, // a text's preview is the text
        {Kind::Url, "1 个字符", "1 character", "1 个字符"},
        {Kind::Text, "图片", "图片", "图片"}, // someone copied the word
        {Kind::Image, "图片", "Image", "Image"},
        {Kind::Image, "320 x 200", "320 x 200", "320 x 200"},
        {Kind::Raw, "6 种数据格式", "6 data formats", "6 种数据格式"},
        {Kind::Raw, "应用专用剪贴板内容", "应用专用剪贴板内容", "App-specific clipboard content"},
        {Kind::Text, "05 个字符", "05 个字符", "05 个字符"}, // no count capture writes
        {Kind::Text, "-1 个字符", "-1 个字符", "-1 个字符"},
        {Kind::Text, " 个字符", " 个字符", " 个字符"},
        {Kind::Text, "99999999999 个字符", "99999999999 个字符", "99999999999 个字符"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(localizedInfoLabel(c.kind, c.stored), QString::fromUtf8(c.infoLabel)) << c.stored;
        EXPECT_EQ(localizedPreview(c.kind, c.stored), QString::fromUtf8(c.preview)) << c.stored;
    }
    const std::pair<double, const char *> ages[] = {
        {-5, "Just now"}, {60, "1 minute ago"}, {7200, "2 hours ago"}, {86400, "1 day ago"},
        {3e15, "34722222222 days ago"}, // beyond the plural forms' int
    };
    for (const auto &[seconds, text] : ages)
        EXPECT_EQ(timeAgoText(0, seconds), text) << seconds;
    translations.apply("zh_CN", {});
    EXPECT_EQ(timeAgoText(0, 3e15), "34722222222 天前");
}

} // namespace

// The catalogues against the code, the choice of catalogue, the loader of
// the built-in ones, and stored derived texts read in the user's language.
#include "model/DisplayTexts.h"
#include "settings/Translations.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kelvo;

namespace {

const QString kRoot = QStringLiteral(KELVO_SOURCE_DIR);

QStringList files(const QString &dir, const QStringList &patterns)
{
    QStringList found;
    for (QDirIterator it(kRoot + dir, patterns, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
        found.append(it.next());
    return found;
}

QString read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// lupdate over the code, with the options of the update target, changes
// no catalogue: none lacks a text of the code or holds a gone one.
TEST(TranslationCatalogues, AreWhatTheUpdateTargetMakesOfTheCode)
{
    QTemporaryDir dir;
    const QStringList catalogues = files("/translations", {"kelvo_*.ts"});
    ASSERT_GE(catalogues.size(), 2);
    for (const QString &committed : catalogues) {
        const QString copy = dir.filePath(QFileInfo(committed).fileName());
        ASSERT_TRUE(QFile::copy(committed, copy));
        QProcess lupdate;
        lupdate.start(KELVO_LUPDATE, QString(KELVO_LUPDATE_OPTIONS).split(u' ') + QStringList{"-I", kRoot + "/src"}
                                         + files("/src", {"*.cpp", "*.h", "*.qml"}) + QStringList{"-ts", copy});
        ASSERT_TRUE(lupdate.waitForFinished(120000)) << "lupdate did not finish";
        EXPECT_TRUE(read(copy) == read(committed))
            << qPrintable(committed) << " is not up to date: run the update_translations target, see git diff";
    }
}

TEST(TranslationCatalogues, EnglishTranslatesEveryTextAndKeepsItsPlaceholders)
{
    static const QRegularExpression message(
        QStringLiteral(R"(<source>(.*?)</source>.*?<translation( type="\w+")?>(.*?)</translation>)"),
        QRegularExpression::DotMatchesEverythingOption);
    const auto markers = [](const QString &text) {
        QStringList found;
        for (auto it = QRegularExpression(QStringLiteral("%(?:n|[1-9])")).globalMatch(text); it.hasNext();)
            found.append(it.next().captured(0));
        found.sort();
        return found;
    };
    int count = 0;
    for (auto it = message.globalMatch(read(kRoot + "/translations/kelvo_en.ts")); it.hasNext(); ++count) {
        const auto m = it.next();
        EXPECT_TRUE(m.captured(2).isEmpty()) << qPrintable(m.captured(1)) << " is" << qPrintable(m.captured(2));
        // Plain text, or English's two plural forms.
        QStringList forms = m.captured(3).split(QRegularExpression("</?numerusform>"));
        forms.removeIf([](const QString &form) { return form.trimmed().isEmpty(); });
        EXPECT_EQ(forms.size(), m.captured(3).contains("<numerusform>") ? 2 : 1) << qPrintable(m.captured(1));
        for (const QString &form : forms)
            EXPECT_EQ(markers(form), markers(m.captured(1))) << qPrintable(m.captured(1)) << " -> " << qPrintable(form);
    }
    EXPECT_GT(count, 90);
}

// A line with a Chinese string translates or marks it, continues a call
// that does (a line of strings), or writes a log line, which stays in the
// source language; a language's own name ("中文") is the other exception.
TEST(TranslationCatalogues, NoChineseTextInTheCodeEscapesTranslation)
{
    static const QRegularExpression chinese(
        QStringLiteral(R"("[^"\n]*[\x{3000}-\x{303f}\x{4e00}-\x{9fff}\x{ff00}-\x{ffef}][^"\n]*")"));
    static const QRegularExpression allowed(QStringLiteral(
        R"(\b(?:qsTr|tr|translate|QT_TRANSLATE_(?:N_)?NOOP|logLine)\s*\(|^\s*"|"\[Kelvo\] |\bk\w+Failed = |"中文")"));
    static const QRegularExpression comment(QStringLiteral(R"(^\s*(//|\*).*|\s//\s.*$)"));
    QStringList escaped;
    for (const QString &path : files("/src", {"*.cpp", "*.h", "*.qml"})) {
        const QStringList lines = read(path).split(u'\n');
        for (qsizetype i = 0; i < lines.size(); ++i)
            if (const QString line = QString(lines[i]).remove(comment);
                chinese.match(line).hasMatch() && !allowed.match(line).hasMatch())
                escaped.append(path.mid(kRoot.size() + 1) + ":" + QString::number(i + 1) + ": " + line.trimmed());
    }
    EXPECT_TRUE(escaped.isEmpty()) << "not translated:\n" << qPrintable(escaped.join(u'\n'));
}

TEST(CatalogueFor, TheChoiceWinsThenTheFirstDesktopLanguageWithACatalogueThenEnglish)
{
    const QStringList builtIn{"en", "zh_CN"}, withThird{"de", "en", "pt_BR", "zh_CN"};
    const struct {
        const char *choice;
        QStringList uiLanguages, catalogues;
        const char *expected;
    } cases[] = {
        {"system", {"zh-Hant-TW"}, builtIn, "zh_CN"},         // any Chinese reads the Chinese there is
        {"system", {"de-DE", "zh-CN"}, builtIn, "zh_CN"},     // LANGUAGE=de:zh_CN, the first there is
        {"system", {"C"}, builtIn, "en"},
        {"system", {"de-AT"}, withThird, "de"},               // the language when the region has none
        {"system", {"pt-BR", "de"}, withThird, "pt_BR"},
        {"system", {"pt-PT"}, withThird, "en"},
        {"en", {"zh-CN"}, builtIn, "en"},                     // the settings line overrides the desktop
        {"fr", {"zh-CN"}, builtIn, "zh_CN"},                  // a stored choice that is not there
    };
    for (const auto &c : cases)
        EXPECT_EQ(catalogueFor(c.choice, c.uiLanguages, c.catalogues), c.expected) << c.choice << c.expected;
}

// The catalogues come from the build; a choice installs its texts at once
// and only a real change is announced; stored derived texts then read in
// the language, any other stored text (or one of another kind) as it is.
TEST(Translations, AChoiceInstallsItsCatalogueAndStoredDerivedTextsReadInIt)
{
    int argc = 1;
    char name[] = "translations_test", *argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    Translations translations;
    EXPECT_TRUE(Translations::catalogues().contains("en") && Translations::catalogues().contains("zh_CN"));
    QSignalSpy changed(&translations, &Translations::changed);
    const struct {
        const char *choice, *uiLanguage, *title;
        int announcements;
    } steps[] = {{"zh_CN", "x-none", "Kelvo 设置", 1}, {"system", "zh-CN", "Kelvo 设置", 1},
                 {"system", "x-none", "Kelvo Settings", 2}, {"en", "zh-CN", "Kelvo Settings", 2}};
    for (const auto &step : steps) {
        translations.apply(step.choice, {step.uiLanguage});
        EXPECT_EQ(QCoreApplication::translate("SettingsWindow", "Kelvo 设置"), step.title) << step.choice;
        EXPECT_EQ(changed.size(), step.announcements) << step.choice;
    }
    using Kind = ClipboardContent::Kind;
    const struct {
        Kind kind;
        const char *stored, *infoLabel, *preview;
    } cases[] = {
        {Kind::Url, "1 个字符", "1 character", "1 个字符"}, // a text's preview is the text
        {Kind::Text, "图片", "图片", "图片"},                // someone copied the word
        {Kind::Image, "图片", "Image", "Image"},
        {Kind::Raw, "6 种数据格式", "6 data formats", "6 种数据格式"},
        {Kind::Raw, "应用专用剪贴板内容", "应用专用剪贴板内容", "App-specific clipboard content"},
        {Kind::Text, "05 个字符", "05 个字符", "05 个字符"}, // no count capture writes
    };
    for (const auto &c : cases) {
        EXPECT_EQ(localizedInfoLabel(c.kind, c.stored), c.infoLabel) << c.stored;
        EXPECT_EQ(localizedPreview(c.kind, c.stored), c.preview) << c.stored;
    }
    EXPECT_EQ(timeAgoText(0, 3e15), "34722222222 days ago"); // beyond the plural forms' int
}

} // namespace

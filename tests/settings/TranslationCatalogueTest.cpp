// The catalogues in translations/ against the code: every text the code
// marks for translation is in them and nothing else, English has all of
// them, keeps their placeholders, and no Chinese text in the code escapes
// translation.
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <map>

namespace {

const QString kSourceDir = QStringLiteral(KELVO_SOURCE_DIR);

struct Message {
    QString source;
    QStringList translations; // one per plural form
    QString type;             // "", "unfinished", "vanished", "obsolete"
};

// Messages by "context | source | comment".
using Catalogue = std::map<QString, Message>;

Catalogue readCatalogue(const QString &path)
{
    Catalogue out;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return out;
    QXmlStreamReader xml(&file);
    QString context;
    Message message;
    QString comment;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement() && !xml.isEndElement())
            continue;
        const auto name = xml.name();
        if (xml.isEndElement()) {
            if (name == QLatin1String("message"))
                out[context + " | " + message.source + " | " + comment] = message;
            continue;
        }
        if (name == QLatin1String("name"))
            context = xml.readElementText();
        else if (name == QLatin1String("message"))
            message = {}, comment.clear();
        else if (name == QLatin1String("source"))
            message.source = xml.readElementText();
        else if (name == QLatin1String("comment"))
            comment = xml.readElementText();
        else if (name == QLatin1String("translation")) {
            message.type = xml.attributes().value(QLatin1String("type")).toString();
            // Either text, or one <numerusform> per plural form.
            QString text;
            while (!(xml.isEndElement() && xml.name() == QLatin1String("translation")) && !xml.atEnd()) {
                xml.readNext();
                if (xml.isStartElement() && xml.name() == QLatin1String("numerusform"))
                    message.translations.append(xml.readElementText());
                else if (xml.isCharacters())
                    text += xml.text();
            }
            if (message.translations.isEmpty())
                message.translations.append(text);
        }
    }
    EXPECT_FALSE(xml.hasError()) << qPrintable(path) << ": " << qPrintable(xml.errorString());
    return out;
}

QStringList sourceFiles()
{
    QStringList files;
    QDirIterator it(kSourceDir + "/src", {"*.cpp", "*.h", "*.qml"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next());
    files.sort();
    return files;
}

QStringList catalogueFiles()
{
    QStringList files;
    QDirIterator it(kSourceDir + "/translations", {"kelvo_*.ts"}, QDir::Files);
    while (it.hasNext())
        files.append(it.next());
    files.sort();
    return files;
}

QStringList placeholders(const QString &text)
{
    static const QRegularExpression marker(QStringLiteral("%(n|L?[1-9])"));
    QStringList found;
    for (auto it = marker.globalMatch(text); it.hasNext();)
        found.append(it.next().captured(0).remove(u'L'));
    found.sort();
    found.removeDuplicates();
    return found;
}

// lupdate over the code, into a copy of each catalogue, with the options
// of the build's update target: what it finds is what the catalogue holds.
TEST(TranslationCatalogues, HoldExactlyTheTextsTheCodeMarksForTranslation)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QStringList catalogues = catalogueFiles();
    ASSERT_GE(catalogues.size(), 2) << "translations/ holds the English and the Chinese catalogue";
    for (const QString &committed : catalogues) {
        const QString copy = dir.filePath(QFileInfo(committed).fileName());
        ASSERT_TRUE(QFile::copy(committed, copy));
        QProcess lupdate;
        lupdate.setProcessChannelMode(QProcess::MergedChannels);
        lupdate.start(QStringLiteral(KELVO_LUPDATE),
                      QString(KELVO_LUPDATE_OPTIONS).split(u' ') + QStringList{"-I", kSourceDir + "/src"}
                          + sourceFiles() + QStringList{"-ts", copy});
        ASSERT_TRUE(lupdate.waitForFinished(120000)) << "lupdate did not finish";
        ASSERT_EQ(lupdate.exitCode(), 0) << lupdate.readAll().toStdString();

        const Catalogue before = readCatalogue(committed), after = readCatalogue(copy);
        QStringList added, vanished;
        for (const auto &[key, message] : after)
            if (!before.count(key))
                added.append(key);
        for (const auto &[key, message] : before)
            if (!after.count(key))
                vanished.append(key);
        EXPECT_TRUE(added.isEmpty() && vanished.isEmpty())
            << qPrintable(QFileInfo(committed).fileName()) << " is not up to date; run the update_translations target.\n"
            << "new in the code:\n  " << qPrintable(added.join("\n  ")) << "\ngone from the code:\n  "
            << qPrintable(vanished.join("\n  "));
    }
}

TEST(TranslationCatalogues, EnglishTranslatesEveryTextAndKeepsItsPlaceholders)
{
    const Catalogue english = readCatalogue(kSourceDir + "/translations/kelvo_en.ts");
    ASSERT_FALSE(english.empty());
    for (const auto &[key, message] : english) {
        EXPECT_TRUE(message.type.isEmpty()) << qPrintable(key) << " is " << qPrintable(message.type);
        for (const QString &form : message.translations) {
            EXPECT_FALSE(form.trimmed().isEmpty()) << qPrintable(key) << " has an empty translation";
            EXPECT_EQ(placeholders(form), placeholders(message.source))
                << qPrintable(key) << " -> " << qPrintable(form);
        }
    }
}

// String literals holding Chinese in the code (comments aside) outside a
// call that translates or marks them: log lines, which stay in the source
// language, and the few texts below are the only ones allowed.
TEST(TranslationCatalogues, NoChineseTextInTheCodeEscapesTranslation)
{
    static const QRegularExpression literal(QStringLiteral(R"((//[^\n]*)|(/\*.*?\*/)|("(?:[^"\\\n]|\\.)*")|('(?:[^'\\\n]|\\.)*'))"),
                                            QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression chinese(QStringLiteral("[\\x{3000}-\\x{303f}\\x{4e00}-\\x{9fff}\\x{ff00}-\\x{ffef}]"));
    static const QRegularExpression call(QStringLiteral(
        R"(\b(?:qsTr|tr|translate|QT_TRANSLATE_NOOP|QT_TRANSLATE_N_NOOP|QT_TR_NOOP|logLine)\s*\()"));
    // Texts that are no user-visible text to translate: log lines written
    // as constants or to a stream, and a language's name in its own words.
    const std::pair<const char *, const char *> allowed[] = {
        {"history/HistoryFile.cpp", "\"保存剪贴板历史失败: \""},
        {"history/HistoryFile.cpp", "\"加载剪贴板历史失败: \""},
        {"settings/Translations.cpp", "\"中文\""},
    };
    QStringList escaped;
    for (const QString &path : sourceFiles()) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString code = QString::fromUtf8(file.readAll());
        const QString relative = path.mid(kSourceDir.size() + 5);
        // Where each translating or logging call's parentheses close.
        QList<std::pair<qsizetype, qsizetype>> calls;
        QList<std::pair<qsizetype, qsizetype>> literals;
        for (auto it = literal.globalMatch(code); it.hasNext();) {
            const auto m = it.next();
            if (m.capturedStart(3) >= 0 || m.capturedStart(4) >= 0)
                literals.append({m.capturedStart(0), m.capturedEnd(0)});
        }
        const auto inLiteralOrComment = [&](qsizetype at) {
            for (const auto &[begin, end] : literals)
                if (at >= begin && at < end)
                    return true;
            return false;
        };
        for (auto it = call.globalMatch(code); it.hasNext();) {
            const auto m = it.next();
            if (inLiteralOrComment(m.capturedStart(0)))
                continue;
            int depth = 1;
            qsizetype at = m.capturedEnd(0);
            while (at < code.size() && depth > 0) {
                if (inLiteralOrComment(at)) {
                    ++at;
                    continue;
                }
                depth += code[at] == u'(' ? 1 : code[at] == u')' ? -1 : 0;
                ++at;
            }
            calls.append({m.capturedEnd(0), at});
        }
        for (auto it = literal.globalMatch(code); it.hasNext();) {
            const auto m = it.next();
            if (m.capturedStart(3) < 0 && m.capturedStart(4) < 0)
                continue; // a comment
            const QString text = m.captured(0);
            if (!chinese.match(text).hasMatch() || text.startsWith(QLatin1String("\"[Kelvo] ")))
                continue;
            const qsizetype at = m.capturedStart(0);
            const bool inCall = std::any_of(calls.begin(), calls.end(),
                                            [&](const auto &span) { return at >= span.first && at < span.second; });
            const bool isAllowed = std::any_of(std::begin(allowed), std::end(allowed), [&](const auto &a) {
                return relative == QLatin1String(a.first) && text == QString::fromUtf8(a.second);
            });
            if (!inCall && !isAllowed)
                escaped.append(relative + ":" + QString::number(code.left(at).count(u'\n') + 1) + " " + text);
        }
    }
    EXPECT_TRUE(escaped.isEmpty()) << "not translated:\n  " << qPrintable(escaped.join("\n  "));
}

} // namespace

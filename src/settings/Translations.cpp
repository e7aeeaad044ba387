#include "settings/Translations.h"

#include "platform/Log.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>

namespace kelvo {

namespace {

const QString kCatalogueDir = QStringLiteral(":/i18n");
const QString kPrefix = QStringLiteral("kelvo_");

} // namespace

QString catalogueFor(const QString &choice, const QStringList &uiLanguages, const QStringList &catalogues)
{
    if (catalogues.contains(choice))
        return choice;
    for (const QString &entry : uiLanguages) {
        // "de-DE", "zh-Hans-CN", "pt_BR.UTF-8" -> "de_DE", "zh_Hans_CN", "pt_BR"
        const QString name = entry.section(u'.', 0, 0).section(u'@', 0, 0).replace(u'-', u'_');
        const QString language = name.section(u'_', 0, 0).toLower();
        if (language.isEmpty() || language == QLatin1String("c") || language == QLatin1String("posix"))
            continue;
        QStringList candidates;
        if (name.contains(u'_'))
            candidates.append(language + u'_' + name.section(u'_', -1).toUpper());
        candidates.append(language);
        for (const QString &candidate : candidates)
            if (catalogues.contains(candidate))
                return candidate;
        // Chinese of any script or region reads the Chinese there is.
        if (language == QLatin1String("zh"))
            for (const QString &catalogue : catalogues)
                if (catalogue.startsWith(QLatin1String("zh")))
                    return catalogue;
    }
    return QStringLiteral("en");
}

QString catalogueDisplayName(const QString &catalogue)
{
    if (catalogue == QLatin1String("en"))
        return QStringLiteral("English");
    if (catalogue.startsWith(QLatin1String("zh")))
        return QStringLiteral("中文");
    QString name = QLocale(catalogue).nativeLanguageName();
    if (name.isEmpty())
        return catalogue;
    name[0] = name[0].toUpper();
    return name;
}

Translations::Translations(QObject *parent) : QObject(parent) {}

Translations::~Translations()
{
    QCoreApplication::removeTranslator(&own_);
    QCoreApplication::removeTranslator(&qt_);
}

QStringList Translations::catalogues()
{
    QStringList names;
    const QStringList files = QDir(kCatalogueDir).entryList({kPrefix + QStringLiteral("*.qm")}, QDir::Files, QDir::Name);
    for (const QString &file : files)
        names.append(file.mid(kPrefix.size()).chopped(3));
    return names;
}

QString Translations::apply(const QString &choice, const QStringList &uiLanguages)
{
    const QString catalogue = catalogueFor(choice, uiLanguages, catalogues());
    if (catalogue == current_)
        return current_;
    QCoreApplication::removeTranslator(&own_);
    QCoreApplication::removeTranslator(&qt_);
    if (own_.load(kPrefix + catalogue, kCatalogueDir))
        QCoreApplication::installTranslator(&own_);
    else
        logLine(QStringLiteral("Translations: no catalogue %1").arg(catalogue));
    // Qt's own texts are English in the code; other languages come from
    // Qt's translations where the system has them.
    if (catalogue != QLatin1String("en")
        && qt_.load(QStringLiteral("qtbase_") + catalogue, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qt_);
    current_ = catalogue;
    emit changed();
    return current_;
}

QString Translations::apply(const QString &choice) { return apply(choice, QLocale::system().uiLanguages()); }

} // namespace kelvo

#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTranslator>

namespace kelvo {

// The catalogue that gives the program's texts for a language choice (the
// "language" preference): the chosen catalogue when it is one of
// `catalogues`; otherwise ("system", or a catalogue that is not there) the
// first of the desktop's languages, most preferred first as
// QLocale::uiLanguages() lists them, that has one: any Chinese ("zh",
// "zh-Hant-TW", ...) reads the Chinese catalogue, "pt-BR" reads "pt_BR" or
// else "pt". Without a match, English.
QString catalogueFor(const QString &choice, const QStringList &uiLanguages, const QStringList &catalogues);

// The name a catalogue is offered under in the settings window, in its own
// language ("English", "中文", "Deutsch").
QString catalogueDisplayName(const QString &catalogue);

// The program's texts in one language: its own catalogue, built into the
// program from translations/kelvo_<name>.ts, and Qt's for the texts of
// Qt's own dialogs. The source texts in the code are the Chinese ones.
class Translations : public QObject {
    Q_OBJECT
public:
    explicit Translations(QObject *parent = nullptr);
    ~Translations() override;

    // The catalogues built into the program ("en", "zh_CN", ...), sorted.
    static QStringList catalogues();

    // Installs the catalogue for `choice` in place of the current one;
    // emits changed() when that is another catalogue. Returns the
    // catalogue in use.
    QString apply(const QString &choice, const QStringList &uiLanguages);
    // Installs the catalogue for `choice` and the desktop's languages.
    QString apply(const QString &choice);
    QString current() const { return current_; }

signals:
    void changed();

private:
    QString current_;
    QTranslator own_;
    QTranslator qt_;
};

} // namespace kelvo

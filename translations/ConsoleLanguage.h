#ifndef DOSEGATE_CONSOLELANGUAGE_H
#define DOSEGATE_CONSOLELANGUAGE_H

#include <QLocale>
#include <QString>
#include <QStringList>
#include <QTranslator>

// The language the console speaks: Chinese when the user reads Chinese or
// asks for it, otherwise English, the texts as the sources write them. While
// an object lives, the console's catalogue and Qt's own (for its dialogs and
// buttons) are installed in the application, which must exist first.
class ConsoleLanguage
{
public:
    static const char* const kChinese;
    static const char* const kEnglish;

    // The names the command line takes.
    static QStringList Names();
    // The language of a name of Names(); no name takes the locale's.
    static QString Resolve(const QString& name, const QLocale& locale = QLocale::system());

    explicit ConsoleLanguage(const QString& name = QString());
    ~ConsoleLanguage();

    QString Name() const { return m_sName; }
    // Qt's catalogue comes with Qt's translations package, which may be
    // missing: its dialogs then stay English.
    bool HasQtCatalogue() const { return !m_qt.isEmpty(); }

private:
    Q_DISABLE_COPY(ConsoleLanguage)

    QString m_sName;
    QTranslator m_console;
    QTranslator m_qt;
};

#endif

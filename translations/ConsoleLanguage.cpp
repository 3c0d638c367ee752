#include "ConsoleLanguage.h"

#include <QCoreApplication>
#include <QLibraryInfo>

const char* const ConsoleLanguage::kChinese = "zh_CN";
const char* const ConsoleLanguage::kEnglish = "en";

namespace {

// Compiled into the resources by the build, from the .ts beside this file.
const char* const kCatalogue = ":/i18n/dosegate-console_zh_CN.qm";
const char* const kQtCatalogue = "qtbase_zh_CN";

QString QtTranslations()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
#else
    return QLibraryInfo::location(QLibraryInfo::TranslationsPath);
#endif
}

} // namespace

QStringList ConsoleLanguage::Names()
{
    return { QLatin1String(kChinese), QLatin1String(kEnglish) };
}

// The languages the user reads, in order of preference (LANGUAGE,
// LC_MESSAGES, LANG), decide as they would for any Qt catalogue: the first
// that the console speaks. One Chinese catalogue serves every Chinese
// locale: the device itself knows one Chinese.
QString ConsoleLanguage::Resolve(const QString& name, const QLocale& locale)
{
    if (Names().contains(name))
        return name;
    for (const QString& reading : locale.uiLanguages()) {
        const QLocale::Language language = QLocale(reading).language();
        if (language == QLocale::Chinese)
            return QLatin1String(kChinese);
        if (language == QLocale::English)
            break;
    }
    return QLatin1String(kEnglish);
}

ConsoleLanguage::ConsoleLanguage(const QString& name)
    : m_sName(Resolve(name))
{
    if (m_sName != QLatin1String(kChinese))
        return;
    // The resources live in a static library: nothing else would pull them
    // into the program.
    Q_INIT_RESOURCE(translations);
    if (m_console.load(QLatin1String(kCatalogue)))
        QCoreApplication::installTranslator(&m_console);
    if (m_qt.load(QLatin1String(kQtCatalogue), QtTranslations()))
        QCoreApplication::installTranslator(&m_qt);
}

ConsoleLanguage::~ConsoleLanguage()
{
    QCoreApplication::removeTranslator(&m_qt);
    QCoreApplication::removeTranslator(&m_console);
}

#include "app/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>

namespace kestrix {

namespace {

// "german" -> QLocale::German, by Qt's own English names of the languages.
QLocale::Language languageNamed(const QString &name)
{
    for (int value = QLocale::C + 1; value <= QLocale::LastLanguage; ++value) {
        const auto language = QLocale::Language(value);
        if (QLocale::languageToString(language).compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return language;
    }
    return QLocale::AnyLanguage;
}

std::unique_ptr<QTranslator> &installed()
{
    static std::unique_ptr<QTranslator> translator;
    return translator;
}

} // namespace

bool loadQtTranslations(const QString &language)
{
    if (installed()) {
        QCoreApplication::removeTranslator(installed().get());
        installed().reset();
    }
    const QLocale::Language named = languageNamed(language);
    if (named == QLocale::AnyLanguage || named == QLocale::English)
        return false;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QLocale(named), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    QCoreApplication::installTranslator(translator.get());
    installed() = std::move(translator);
    return true;
}

} // namespace kestrix

#include "app/qt_translations.h"

#include "app/file_dialog_words.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace bc {

QTranslator* installQtTranslations(QCoreApplication& app)
{
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_zh_CN"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

QList<QTranslator*> installProgramLanguage(QCoreApplication& app)
{
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    QList<QTranslator*> installed;
    if (QTranslator* qt = installQtTranslations(app))
        installed << qt;
    // Installed last, so asked first: it answers only the words it has.
    auto* words = new CFileDialogWords(&app);
    if (QCoreApplication::installTranslator(words))
        installed << words;
    else
        delete words;
    return installed;
}

} // namespace bc

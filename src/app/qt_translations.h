#pragma once
// The program's language: Chinese texts and Chinese formats whatever the
// system's locale. Qt's own texts (the standard buttons of message boxes,
// 确定, 取消, 是, 否, and the file dialogs) come from Qt's translation, with the
// few words it leaves in English supplied by the program.

#include <QList>

class QCoreApplication;
class QTranslator;

namespace bc {

// Loads Qt's Simplified Chinese translations from Qt's translation folder
// into `app`. Returns the installed translator (owned by `app`), or null when
// the translation file is not there; Qt's texts then stay English.
QTranslator* installQtTranslations(QCoreApplication& app);

// What start-up does: Chinese (China) becomes the default locale, then Qt's
// translation and the program's own words for Qt's file dialogs are
// installed. Returns the translators installed (owned by `app`).
QList<QTranslator*> installProgramLanguage(QCoreApplication& app);

} // namespace bc

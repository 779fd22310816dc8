#pragma once
// Qt's own texts in Chinese: the standard buttons of message boxes (确定,
// 取消, 是, 否) and the file dialogs.

class QCoreApplication;
class QTranslator;

namespace bc {

// Loads Qt's Simplified Chinese translations from Qt's translation folder
// into `app`. Returns the installed translator (owned by `app`), or null when
// the translation file is not there; Qt's texts then stay English.
QTranslator* installQtTranslations(QCoreApplication& app);

} // namespace bc

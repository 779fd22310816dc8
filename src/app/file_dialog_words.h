#pragma once
// The words of Qt's file dialogs that Qt's own Chinese translation leaves in
// English (the type column's "Folder" and its kin), in Chinese.

#include <QTranslator>

namespace bc {

class CFileDialogWords : public QTranslator {
public:
    using QTranslator::QTranslator;

    // The Chinese of one of those words; a null string for any other text,
    // which the other translators then answer.
    QString translate(const char* context, const char* sourceText,
                      const char* disambiguation = nullptr, int n = -1) const override;
    bool isEmpty() const override { return false; }
};

} // namespace bc

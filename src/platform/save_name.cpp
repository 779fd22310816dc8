#include "platform/save_name.h"

#include "platform/prompter.h"

#include <QFileInfo>

namespace bc {

bool confirmReplace(QWidget* parent, const QString& title, const QString& path)
{
    // The words and buttons of the save dialog's own question.
    const QString question =
        QStringLiteral("%1 已存在。\n您想要替换它吗？").arg(QFileInfo(path).fileName());
    return messageBox(question, title.isEmpty() ? QStringLiteral("另存为") : title,
                      MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2, parent)
           == IDYES;
}

QString askSaveName(QWidget* parent, const QString& title, const QString& start,
                    const QString& filter, const WrittenName& written)
{
    QString at = start;
    for (;;) {
        const QString chosen = prompter().saveFileName(parent, title, at, filter);
        if (chosen.isEmpty())
            return {};
        const QString name = written ? written(chosen) : chosen;
        if (name == chosen || !QFileInfo::exists(name) || confirmReplace(parent, title, name))
            return name;
        at = name;
    }
}

} // namespace bc

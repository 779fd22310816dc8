#include "support/scripted_prompter.h"

namespace bc::test {

ScriptedPrompter::ScriptedPrompter() : previous_(setPrompter(this)) {}

ScriptedPrompter::~ScriptedPrompter()
{
    setPrompter(previous_);
}

int ScriptedPrompter::messageBox(QWidget*, const QString& text, const QString& caption,
                                 unsigned style)
{
    boxes.push_back({text, caption, style});
    if (onBox)
        onBox();
    if (boxAnswers.empty())
        return defaultAnswer(style);
    const int answer = boxAnswers.front();
    boxAnswers.pop_front();
    return answer;
}

QString ScriptedPrompter::nextFile(const QString& title)
{
    dialogTitles << title;
    if (fileAnswers.empty())
        return QString();
    QString answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer;
}

QString ScriptedPrompter::openFileName(QWidget*, const QString& title, const QString&,
                                       const QString&)
{
    return nextFile(title);
}

QStringList ScriptedPrompter::openFileNames(QWidget*, const QString& title, const QString&,
                                            const QString&)
{
    dialogTitles << title;
    if (multiFileAnswers.empty())
        return {};
    QStringList answer = multiFileAnswers.front();
    multiFileAnswers.pop_front();
    return answer;
}

QString ScriptedPrompter::saveFileName(QWidget*, const QString& title, const QString&,
                                       const QString&)
{
    return nextFile(title);
}

QString ScriptedPrompter::folderName(QWidget*, const QString& title, const QString&)
{
    return nextFile(title);
}

QStringList ScriptedPrompter::boxTexts() const
{
    QStringList texts;
    for (const AskedBox& b : boxes)
        texts << b.text;
    return texts;
}

} // namespace bc::test

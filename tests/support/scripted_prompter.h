#pragma once
// A prompter for tests: records every question and answers from a script.

#include "platform/prompter.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <vector>

namespace bc::test {

struct AskedBox {
    QString text;
    QString caption;
    unsigned style = 0;
};

class ScriptedPrompter : public Prompter {
public:
    ScriptedPrompter();  // installs itself
    ~ScriptedPrompter() override; // restores the previous prompter

    // Queued answers, used in order; when the queue is empty a box gets its
    // default answer and a dialog is cancelled.
    std::deque<int> boxAnswers;
    std::deque<QString> fileAnswers;   // open, save and folder dialogs
    std::deque<QStringList> multiFileAnswers;

    std::vector<AskedBox> boxes;       // every box shown
    std::function<void()> onBox;       // called as each box is shown
    QStringList dialogTitles;          // every file or folder dialog shown

    int messageBox(QWidget* parent, const QString& text, const QString& caption,
                   unsigned style) override;
    QString openFileName(QWidget* parent, const QString& title, const QString& dir,
                         const QString& filter) override;
    QStringList openFileNames(QWidget* parent, const QString& title, const QString& dir,
                              const QString& filter) override;
    QString saveFileName(QWidget* parent, const QString& title, const QString& dir,
                         const QString& filter) override;
    QString folderName(QWidget* parent, const QString& title, const QString& dir) override;

    // The texts of all boxes shown so far.
    QStringList boxTexts() const;

private:
    QString nextFile(const QString& title);
    Prompter* previous_ = nullptr;
};

} // namespace bc::test

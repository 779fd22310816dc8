#pragma once
// The small "输入字符串" dialog asking for one line of text under a prompt,
// and the replaceable function through which the workspace asks for such a
// text (tests answer it without a dialog).

#include <QDialog>
#include <QString>

#include <functional>

class QLabel;
class QLineEdit;

namespace bc {

class CInputStringDlg : public QDialog {
    Q_OBJECT
  public:
    enum ControlId : int { IDC_PROMPT = 1280, IDC_TEXT = 1281 };

    explicit CInputStringDlg(QWidget* parent = nullptr);

    // What the caller sets before running the dialog: an empty prompt or
    // title leaves the dialog's own.
    void setPrompt(const QString& prompt) { prompt_ = prompt; }
    void setTitle(const QString& title) { title_ = title; }
    // The edit's initial content before the dialog runs, its content after OK.
    void setText(const QString& text);
    QString text() const { return text_; }

    // The prompt and title shown, the focus on the edit. exec() does this.
    void OnInitDialog();
    int exec() override;
    void accept() override;

    QWidget* control(int id) const;

  private:
    QString prompt_;
    QString title_;
    QString text_;
    QLabel* promptLabel_;
    QLineEdit* edit_;
};

// Asks for a text with `prompt` and `title` (empty: the dialog's caption),
// starting from `text`. True on OK, with `text` holding what was typed.
bool askString(QWidget* parent, const QString& prompt, const QString& title, QString& text);

using StringAsker = std::function<bool(QWidget* parent, const QString& prompt, const QString& title,
                                       QString& text)>;
// Replaces how askString asks; an empty function restores the dialog.
// Returns the previous asker (empty for the dialog).
StringAsker setStringAsker(StringAsker asker);

} // namespace bc

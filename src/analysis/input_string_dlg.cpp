#include "analysis/input_string_dlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace bc {

namespace {

StringAsker& installedAsker()
{
    static StringAsker asker;
    return asker;
}

} // namespace

CInputStringDlg::CInputStringDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("输入字符串"));
    setModal(true);
    // 167 x 66 dialog units.
    setFixedSize(250, 107);

    promptLabel_ = new QLabel(this);
    edit_ = new QLineEdit(this);
    edit_->setMinimumWidth(230);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &CInputStringDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CInputStringDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(promptLabel_);
    layout->addWidget(edit_);
    layout->addStretch(1);
    layout->addWidget(buttons);
}

void CInputStringDlg::setText(const QString& text)
{
    text_ = text;
    edit_->setText(text);
}

void CInputStringDlg::OnInitDialog()
{
    if (!prompt_.isEmpty())
        promptLabel_->setText(prompt_);
    if (!title_.isEmpty())
        setWindowTitle(title_);
    edit_->setText(text_);
    edit_->selectAll();
    edit_->setFocus(Qt::OtherFocusReason);
}

int CInputStringDlg::exec()
{
    OnInitDialog();
    return QDialog::exec();
}

void CInputStringDlg::accept()
{
    text_ = edit_->text();
    QDialog::accept();
}

QWidget* CInputStringDlg::control(int id) const
{
    switch (id) {
    case IDC_PROMPT:
        return promptLabel_;
    case IDC_TEXT:
        return edit_;
    default:
        return nullptr;
    }
}

bool askString(QWidget* parent, const QString& prompt, const QString& title, QString& text)
{
    if (const StringAsker& asker = installedAsker())
        return asker(parent, prompt, title, text);
    CInputStringDlg dlg(parent);
    dlg.setPrompt(prompt);
    dlg.setTitle(title);
    dlg.setText(text);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    text = dlg.text();
    return true;
}

StringAsker setStringAsker(StringAsker asker)
{
    StringAsker previous = std::move(installedAsker());
    installedAsker() = std::move(asker);
    return previous;
}

} // namespace bc

#include "analysis/stitch_settings_dlg.h"

#include "platform/range_check.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace bc {

CStitchSettingsDlg::CStitchSettingsDlg(int perPage, int templateIndex, int rangeIndex,
                                       int aspectFlag, QWidget* parent)
    : QDialog(parent), perPage_(perPage), templateIndex_(templateIndex), rangeIndex_(rangeIndex),
      aspectFlag_(aspectFlag)
{
    setWindowTitle(QStringLiteral("拼接设置"));
    templateCombo_ = new QComboBox(this);
    templateCombo_->addItems(
        {QStringLiteral("  8 *  8"), QStringLiteral("16 * 16"), QStringLiteral("32 * 32")});
    perPageEdit_ = new QLineEdit(QString::number(perPage), this);
    rangeCombo_ = new QComboBox(this);
    rangeCombo_->addItems({QStringLiteral("5"), QStringLiteral("10"), QStringLiteral("15"),
                           QStringLiteral("20"), QStringLiteral("30"), QStringLiteral("40")});
    aspectCheck_ = new QCheckBox(QStringLiteral("图像显示横纵比＝孔周长/深度"), this);
    aspectCheck_->setChecked(aspectFlag != 0);
    // An index outside a list leaves it without a selection.
    templateCombo_->setCurrentIndex(
        templateIndex >= 0 && templateIndex < templateCombo_->count() ? templateIndex : -1);
    rangeCombo_->setCurrentIndex(rangeIndex >= 0 && rangeIndex < rangeCombo_->count() ? rangeIndex
                                                                                      : -1);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("拼接网格大小:"), templateCombo_);
    form->addRow(QStringLiteral("每页显示的图片数:"), perPageEdit_);
    form->addRow(QStringLiteral("拼接横向搜索范围:"), rangeCombo_);
    form->addRow(aspectCheck_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CStitchSettingsDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CStitchSettingsDlg::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void CStitchSettingsDlg::accept()
{
    int value = 0;
    if (!checkIntRange(perPageEdit_->text(), kMinPerPage, kMaxPerPage, value, this)) {
        perPageEdit_->setFocus();
        perPageEdit_->selectAll();
        return;
    }
    perPage_ = value;
    templateIndex_ = templateCombo_->currentIndex();
    rangeIndex_ = rangeCombo_->currentIndex();
    aspectFlag_ = aspectCheck_->isChecked() ? 1 : 0;
    QDialog::accept();
}

} // namespace bc

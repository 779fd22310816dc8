#include "analysis/test_param_dlg.h"

#include "acquisition/settings_fields.h"
#include "analysis/unwrap_data.h"
#include "core/c_number.h"
#include "core/survey_params.h"
#include "platform/range_check.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFocusEvent>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace bc {

namespace {

constexpr int kDiameterMin = 50;
constexpr int kDiameterMax = 10000;

// A diameter as loaded: the stored number as it is, the spin within its range.
void showDiameter(CSpinField* field, int mm)
{
    field->spin()->setPosition(mm);
    field->edit()->setText(mmText(mm));
}

// No upper clamp to the spin's range, only to what a survey file may hold.
int diameterOnOk(const CSpinField* field)
{
    return std::clamp(leadingInt(field->edit()->text()), kDiameterMin, kMaxSfaDiameter);
}

} // namespace

CTestParamDlg::CTestParamDlg(CSurveyParams* settings, CUnWrapData* data, QWidget* parent)
    : QDialog(parent), settings_(settings), source_(settings), data_(data),
      declination_(settings ? settings->declination : 0.0f)
{
    build();
}

CTestParamDlg::CTestParamDlg(CUnWrapData& data, const CSurveyParams* station, QWidget* parent)
    : QDialog(parent), source_(station), data_(&data),
      declination_(station ? station->declination : 0.0f)
{
    build();
}

void CTestParamDlg::build()
{
    setWindowTitle(QStringLiteral("测试参数"));
    auto lineEdit = [this](int id) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QStringLiteral("ctl%1").arg(id));
        return e;
    };
    auto diameter = [this](int editId, int spinId) {
        auto* f = new CSpinField(kDiameterMin, kDiameterMax, true, this);
        f->edit()->setObjectName(QStringLiteral("ctl%1").arg(editId));
        f->spin()->setObjectName(QStringLiteral("ctl%1").arg(spinId));
        // The typed number is taken when the edit loses the focus, not on
        // Return: Return is OK, which stores the number as typed.
        disconnect(f->edit(), &QLineEdit::editingFinished, f, &CSpinField::commitText);
        f->edit()->installEventFilter(this);
        return f;
    };
    testUnit_ = lineEdit(1227);
    tester_ = lineEdit(1222);
    site_ = lineEdit(1215);
    holeNumber_ = lineEdit(1216);
    testTime_ = lineEdit(1226);
    opening_ = diameter(1218, 1048);
    final_ = diameter(1224, 1047);
    collarCoordinates_ = lineEdit(1223);
    elevation_ = lineEdit(1217);
    holeType_ = new QComboBox(this);
    holeType_->setObjectName(QStringLiteral("ctl1219"));
    holeType_->addItems({QStringLiteral("直孔"), QStringLiteral("斜孔")});
    inclination_ = lineEdit(1225);
    waterLevel_ = lineEdit(1221);
    dipDirection_ = lineEdit(1254);
    dipDirection_->setText(QStringLiteral("0"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("检测单位："), testUnit_);
    form->addRow(QStringLiteral("测试人员："), tester_);
    form->addRow(QStringLiteral("测试工地："), site_);
    form->addRow(QStringLiteral("孔号："), holeNumber_);
    form->addRow(QStringLiteral("测试时间："), testTime_);
    form->addRow(QStringLiteral("开孔直径："), opening_);
    form->addRow(QStringLiteral("终孔直径："), final_);
    form->addRow(QStringLiteral("孔口坐标："), collarCoordinates_);
    form->addRow(QStringLiteral("孔口高程："), elevation_);
    form->addRow(QStringLiteral("孔类型："), holeType_);
    form->addRow(QStringLiteral("孔倾斜角度："), inclination_);
    form->addRow(QStringLiteral("水位标高："), waterLevel_);
    form->addRow(QStringLiteral("斜孔的孔倾向："), dipDirection_);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    QPushButton* cancel = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    ok->setObjectName(QStringLiteral("ctl1"));
    cancel->setObjectName(QStringLiteral("ctl2"));
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &CTestParamDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CTestParamDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(holeType_, &QComboBox::currentIndexChanged, this,
            [this](int entry) { inclination_->setEnabled(entry == 0); });
}

bool CTestParamDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut &&
        static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
        for (CSpinField* f : {opening_, final_})
            if (watched == f->edit())
                f->commitText();
    }
    return QDialog::eventFilter(watched, event);
}

void CTestParamDlg::OnInitDialog()
{
    initialised_ = true;
    int holeType = 0;
    if (source_) {
        const CSurveyParams& s = *source_;
        testUnit_->setText(s.testUnit);
        tester_->setText(s.tester);
        site_->setText(s.testSite);
        holeNumber_->setText(s.holeNumber);
        testTime_->setText(s.testDate);
        collarCoordinates_->setText(s.collarCoordinates);
        elevation_->setText(s.collarElevation);
        inclination_->setText(s.holeInclination);
        waterLevel_->setText(s.waterLevel);
        holeType = s.holeType;
        showDiameter(opening_, s.openingDiameter);
        showDiameter(final_, s.finalDiameter);
    }
    if (data_) {
        const SfaHeader& h = data_->header();
        testUnit_->setText(h.testingUnit);
        tester_->setText(h.tester);
        site_->setText(h.site);
        holeNumber_->setText(h.holeNumber);
        testTime_->setText(h.testTime);
        collarCoordinates_->setText(h.collarCoordinates);
        elevation_->setText(h.elevation);
        inclination_->setText(h.holeInclination);
        waterLevel_->setText(h.waterLevel);
        holeType = h.holeType;
        showDiameter(opening_, h.openingDiameter);
        showDiameter(final_, h.finalDiameter);
        const float dip = h.inclinedHoleDipDirection;
        dipDirection_->setText(QString::number(
            std::isfinite(dip) ? static_cast<long long>(std::clamp(dip, -1e9f, 1e9f)) : 0));
    }
    holeType_->setCurrentIndex(holeType == 0 || holeType == 1 ? holeType : -1);
    inclination_->setEnabled(holeType == 0);
}

int CTestParamDlg::exec()
{
    if (!initialised_)
        OnInitDialog();
    return QDialog::exec();
}

void CTestParamDlg::accept()
{
    int dip = 0;
    if (!checkIntRange(dipDirection_->text(), 0, 360, dip, this)) {
        refuse(dipDirection_);
        return;
    }
    // The hole's inclination is an angle from the vertical: every dip is
    // taken against it. Empty is no inclination.
    if (!checkHoleInclination(inclination_->text(), this)) {
        refuse(inclination_);
        return;
    }
    const int opening = diameterOnOk(opening_);
    const int final = diameterOnOk(final_);
    const int holeType = std::max(holeType_->currentIndex(), 0);

    if (settings_) {
        CSurveyParams& s = *settings_;
        s.openingDiameter = opening;
        s.finalDiameter = final;
        s.collarElevation = elevation_->text();
        s.holeNumber = holeNumber_->text();
        s.holeInclination = inclination_->text();
        s.collarCoordinates = collarCoordinates_->text();
        s.testUnit = testUnit_->text();
        s.tester = tester_->text();
        s.testSite = site_->text();
        s.testDate = testTime_->text();
        s.waterLevel = waterLevel_->text();
        s.holeType = holeType;
    }
    if (data_) {
        SfaHeader& h = data_->header();
        h.openingDiameter = opening;
        h.finalDiameter = final;
        h.elevation = elevation_->text();
        h.holeNumber = holeNumber_->text();
        h.holeInclination = inclination_->text();
        h.inclinedHoleDipDirection = static_cast<float>(dip);
        data_->RecalcAttitudes(declination_);
        h.collarCoordinates = collarCoordinates_->text();
        h.testingUnit = testUnit_->text();
        h.tester = tester_->text();
        h.site = site_->text();
        h.testTime = testTime_->text();
        h.waterLevel = waterLevel_->text();
        h.holeType = holeType;
    }
    QDialog::accept();
}

void CTestParamDlg::refuse(QLineEdit* edit)
{
    // A disabled field ("斜孔") cannot take the focus; the hole type is
    // changed back to correct it.
    if (!edit->isEnabled())
        return;
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
}

QWidget* CTestParamDlg::control(int id) const
{
    return findChild<QWidget*>(QStringLiteral("ctl%1").arg(id));
}

QLineEdit* CTestParamDlg::edit(int id) const
{
    return qobject_cast<QLineEdit*>(control(id));
}

} // namespace bc

#include "analysis/report_output_dlg.h"

#include "analysis/report_output.h"
#include "analysis/report_pages.h"
#include "platform/prompter.h"
#include "platform/range_check.h"
#include "platform/save_name.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace bc {

namespace {
constexpr int kColumnsMin = 2;
constexpr int kColumnsMax = 10;

void showPath(QLineEdit* edit, const QString& path)
{
    edit->setText(path);
    edit->setCursorPosition(0);
}

CReportOutputDlg::Runner& runner()
{
    static CReportOutputDlg::Runner r;
    return r;
}

// A path box wide enough for a usual path; a longer one shows its start, and
// the whole path as its tip.
constexpr int kPathBoxChars = 50;

QLineEdit* pathBox(const QString& path, int id, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::number(id));
    edit->setMinimumWidth(edit->fontMetrics().averageCharWidth() * kPathBoxChars);
    QObject::connect(edit, &QLineEdit::textChanged, edit, &QLineEdit::setToolTip);
    showPath(edit, path);
    return edit;
}

QRadioButton* radio(const QString& text, int id, QButtonGroup* group, QWidget* parent)
{
    auto* b = new QRadioButton(text, parent);
    b->setObjectName(QString::number(id));
    group->addButton(b, id);
    return b;
}
} // namespace

CReportOutputDlg::CReportOutputDlg(const QString& outputPath, const QString& templatePath,
                                   const QString& templateFolder, QWidget* parent)
    : QDialog(parent), outputPath_(outputPath), templatePath_(templatePath),
      templateFolder_(templateFolder)
{
    setWindowTitle(QStringLiteral("输出"));
    auto* top = new QVBoxLayout(this);
    auto* paths = new QGridLayout;
    outputEdit_ = pathBox(outputPath_, IDC_OUTPUT_PATH, this);
    templateEdit_ = pathBox(templatePath_, IDC_TEMPLATE_PATH, this);
    auto* outputBrowse = new QPushButton(QStringLiteral("..."), this);
    auto* templateBrowse = new QPushButton(QStringLiteral("..."), this);
    outputBrowse->setObjectName(QString::number(IDC_OUTPUT_BROWSE));
    templateBrowse->setObjectName(QString::number(IDC_TEMPLATE_BROWSE));
    paths->addWidget(new QLabel(QStringLiteral("输出路径"), this), 0, 0);
    paths->addWidget(outputEdit_, 0, 1);
    paths->addWidget(outputBrowse, 0, 2);
    paths->addWidget(new QLabel(QStringLiteral("模板路径"), this), 1, 0);
    paths->addWidget(templateEdit_, 1, 1);
    paths->addWidget(templateBrowse, 1, 2);
    top->addLayout(paths);

    auto* pageBox = new QGroupBox(QStringLiteral("页面范围"), this);
    auto* pageLayout = new QVBoxLayout(pageBox);
    pages_ = new QButtonGroup(this);
    pageLayout->addWidget(radio(QStringLiteral("所有页"), IDC_ALL_PAGES, pages_, pageBox));
    pageLayout->addWidget(radio(QStringLiteral("当前页"), IDC_CURRENT_PAGE, pages_, pageBox));
    auto* rangeRow = new QHBoxLayout;
    rangeRow->addWidget(radio(QStringLiteral("页码范围"), IDC_PAGE_RANGE, pages_, pageBox));
    rangeEdit_ = new QLineEdit(pageBox);
    rangeEdit_->setObjectName(QString::number(IDC_RANGE_TEXT));
    rangeRow->addWidget(rangeEdit_);
    pageLayout->addLayout(rangeRow);
    pageLayout->addWidget(new QLabel(QStringLiteral("以-分隔(如1-1,2-7)"), pageBox));
    top->addWidget(pageBox);

    auto* typeBox = new QGroupBox(QStringLiteral("类型"), this);
    auto* typeLayout = new QHBoxLayout(typeBox);
    types_ = new QButtonGroup(this);
    typeLayout->addWidget(radio(QStringLiteral("输出产状"), IDC_ATTITUDE_TYPE, types_, typeBox));
    typeLayout->addWidget(radio(QStringLiteral("输出展开图"), IDC_IMAGE_TYPE, types_, typeBox));
    top->addWidget(typeBox);

    auto* columnsRow = new QHBoxLayout;
    columnsRow->addWidget(new QLabel(QStringLiteral("图像并排列数"), this));
    columnsEdit_ = new QLineEdit(QString::number(columns_), this);
    columnsEdit_->setObjectName(QString::number(IDC_COLUMNS));
    columnsRow->addWidget(columnsEdit_);
    top->addLayout(columnsRow);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    top->addWidget(buttons);

    pages_->button(IDC_ALL_PAGES + pageChoice_)->setChecked(true);
    types_->button(IDC_ATTITUDE_TYPE + reportType_)->setChecked(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &CReportOutputDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CReportOutputDlg::reject);
    connect(outputBrowse, &QPushButton::clicked, this, &CReportOutputDlg::onBrowseOutput);
    connect(templateBrowse, &QPushButton::clicked, this, &CReportOutputDlg::onBrowseTemplate);
}

QWidget* CReportOutputDlg::control(int id) const
{
    return findChild<QWidget*>(QString::number(id));
}

bool CReportOutputDlg::pullValues()
{
    int columns = columns_;
    if (!checkIntRange(columnsEdit_->text(), kColumnsMin, kColumnsMax, columns, this))
        return false;
    columns_ = columns;
    outputPath_ = outputEdit_->text().trimmed();
    templatePath_ = templateEdit_->text().trimmed();
    pageChoice_ = pages_->checkedId() - IDC_ALL_PAGES;
    rangeText_ = rangeEdit_->text().trimmed();
    reportType_ = types_->checkedId() - IDC_ATTITUDE_TYPE;
    if (!ResolveReportPages(pageChoice_, rangeText_, currentPage_, pageCount_, &firstPage_,
                            &lastPage_)) {
        messageBox(QStringLiteral("页码范围错误!"), QStringLiteral("出错"), MB_OK | MB_ICONERROR,
                   this);
        rangeEdit_->setFocus(Qt::OtherFocusReason);
        rangeEdit_->selectAll();
        return false;
    }
    return true;
}

void CReportOutputDlg::setPages(int currentPage, int pageCount)
{
    currentPage_ = currentPage;
    pageCount_ = pageCount;
}

void CReportOutputDlg::accept()
{
    if (pullValues())
        QDialog::accept();
}

void CReportOutputDlg::onBrowseOutput()
{
    const QString path = askSaveName(this, QString(), outputEdit_->text(),
                                     QStringLiteral("Excel Files (*.xlsx)"), ReportWorkbookPath);
    if (!path.isEmpty())
        showPath(outputEdit_, path);
}

void CReportOutputDlg::onBrowseTemplate()
{
    const QString path = prompter().openFileName(this, QString(), templateFolder_,
                                                 QStringLiteral("报表模板 (*.rpt *.RPT)"));
    if (!path.isEmpty())
        showPath(templateEdit_, path);
}

CReportOutputDlg::Runner CReportOutputDlg::setRunner(Runner r)
{
    Runner previous = std::move(runner());
    runner() = std::move(r);
    return previous;
}

bool CReportOutputDlg::run()
{
    if (runner())
        return runner()(*this);
    return exec() == QDialog::Accepted;
}

} // namespace bc

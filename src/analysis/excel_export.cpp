#include "analysis/excel_export.h"

#include "analysis/unwrap_data.h"
#include "platform/file_opener.h"
#include "platform/prompter.h"
#include "platform/report_workbook.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace bc {

namespace {
const QString kTitle = QStringLiteral("导出数据到Excel");

QString freshName(const QString& folder)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString path = QDir(folder).filePath(QStringLiteral("产状列表-%1.xlsx").arg(stamp));
    for (int n = 1; QFileInfo::exists(path); ++n)
        path = QDir(folder).filePath(QStringLiteral("产状列表-%1_%2.xlsx").arg(stamp).arg(n));
    return path;
}
} // namespace

bool CExcelExport::Export(const CUnWrapData* data, const QString& folder, QWidget* parent)
{
    path_.clear();
    if (!data || data->GetShapeCount() < 1)
        return false;
    std::vector<QStringList> rows;
    for (int i = 0; i < data->GetShapeCount(); ++i) {
        const CAttitudeShape* s = data->GetShape(i);
        if (!s)
            break;
        QStringList row;
        for (int c = 0; c < 5; ++c)
            row << s->GetText(ShapeText(c));
        rows.push_back(row);
    }
    const QString path = freshName(folder);
    QString error;
    if (folder.isEmpty() || !QDir().mkpath(folder)
        || !writeTableWorkbook(path, QStringLiteral("Sheet1"), rows, &error)) {
        messageBox(QStringLiteral("无法写入文件%1\n%2").arg(QDir::toNativeSeparators(path), error),
                   kTitle, MB_OK | MB_ICONERROR, parent);
        return false;
    }
    path_ = path;
    if (!openWithDefaultApplication(path)) {
        messageBox(QStringLiteral("没有可以打开它的程序，文件已保存在%1").arg(QDir::toNativeSeparators(path)),
                   kTitle, MB_OK | MB_ICONERROR, parent);
        return false;
    }
    return true;
}

} // namespace bc

#include "analysis/excel_export.h"

#include "analysis/unwrap_data.h"
#include "platform/file_opener.h"
#include "platform/prompter.h"
#include "platform/report_workbook.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace bc {

namespace {
const QString kTitle = QStringLiteral("导出数据到Excel");

// A name of its own in `folder`, claimed by creating the file, so that two
// exports in the same second never write to one name.
QString freshName(const QString& folder)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (int n = 0; n < 1000; ++n) {
        const QString path = QDir(folder).filePath(
            n == 0 ? QStringLiteral("产状列表-%1.xlsx").arg(stamp)
                   : QStringLiteral("产状列表-%1_%2.xlsx").arg(stamp).arg(n));
        QFile claim(path);
        if (claim.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return path;
        if (!QFileInfo::exists(path))
            return path; // the folder cannot be written: the write says why
    }
    return {};
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
    QString error;
    const QString path = folder.isEmpty() || !QDir().mkpath(folder) ? QString() : freshName(folder);
    if (path.isEmpty() || !writeTableWorkbook(path, QStringLiteral("Sheet1"), rows, &error)) {
        if (!path.isEmpty())
            QFile::remove(path);
        messageBox(QStringLiteral("无法写入文件%1\n%2")
                       .arg(QDir::toNativeSeparators(path.isEmpty() ? folder : path), error),
                   kTitle, MB_OK | MB_ICONERROR, parent);
        return false;
    }
    path_ = path;
    openFinishedFile(path, kTitle, parent);
    return true;
}

} // namespace bc

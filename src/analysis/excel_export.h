#pragma once
// The attitude table as a spreadsheet: the five texts of every shape, in list
// order from cell A1 on with no heading row, written to a fresh time-stamped
// workbook and opened with the desktop's default application. A fresh file is
// written each time, so a workbook the user already has open is never touched.

#include <QString>

class QWidget;

namespace bc {

class CUnWrapData;

class CExcelExport {
public:
    virtual ~CExcelExport() = default;

    // Writes into `folder` and opens the workbook. Nothing is written or
    // opened without shapes. Failures are told to the user; false when
    // nothing was written (a workbook that could not be opened stays).
    bool Export(const CUnWrapData* data, const QString& folder, QWidget* parent = nullptr);

    // The workbook written by the last export.
    QString path() const { return path_; }

private:
    QString path_;
};

} // namespace bc

#pragma once
// Reads the parts of a written ".xlsx" workbook back (it is a zip archive) for
// checks on what a spreadsheet program would show.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace bc::test {

// The bytes of one part of the archive ("xl/workbook.xml"); empty when absent.
inline QByteArray xlsxPart(const QString& path, const QString& part)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), path, part});
    if (!unzip.waitForFinished(30000) || unzip.exitCode() != 0)
        return {};
    return unzip.readAllStandardOutput();
}

// The names of every part of the archive.
inline QStringList xlsxParts(const QString& path)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-Z1"), path});
    if (!unzip.waitForFinished(30000) || unzip.exitCode() != 0)
        return {};
    return QString::fromUtf8(unzip.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace bc::test

#pragma once
// What a printed grid put in a PDF, read back through the poppler tools.

#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace bc::test {

inline QString run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

inline int pdfPages(const QString& file)
{
    const QString info = run(QStringLiteral("pdfinfo"), {file});
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

inline QString pdfPageText(const QString& file, int page)
{
    return run(QStringLiteral("pdftotext"), {QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                                             QString::number(page), QStringLiteral("-layout"), file,
                                             QStringLiteral("-")});
}

} // namespace bc::test

// Qt's own texts in the program's language.

#include "app/qt_translations.h"
#include "platform/prompter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTimer>
#include <QTranslator>

#include <gtest/gtest.h>

namespace bc {
namespace {

TEST(QtTranslations, MessageBoxButtonsReadChinese)
{
    const QString qm =
        QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_zh_CN.qm");
    if (!QFileInfo::exists(qm))
        GTEST_SKIP() << "no " << qm.toStdString()
                     << ": install the Debian package qt6-translations-l10n";
    std::unique_ptr<QTranslator> translator(installQtTranslations(*qApp));
    ASSERT_NE(translator, nullptr);
    QtPrompter qt;
    for (const auto& [style, expected] : {std::pair{MB_OKCANCEL, QStringLiteral("取消 确定")},
                                          std::pair{MB_YESNO, QStringLiteral("否 是")}}) {
        QStringList texts;
        QTimer::singleShot(0, [&texts] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            // Without the keyboard accelerators: "是(&Y)" reads "是".
            for (QAbstractButton* b : box->buttons())
                texts << b->text().remove(QRegularExpression(QStringLiteral("\\(&.\\)|&")));
            box->buttons().front()->click();
        });
        qt.messageBox(nullptr, QStringLiteral("正在录制,确认要停止录制"), QString(), style);
        texts.sort();
        EXPECT_EQ(texts.join(' '), expected);
    }
}

} // namespace
} // namespace bc

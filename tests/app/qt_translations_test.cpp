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
    QTranslator* translator = installQtTranslations(*qApp);
    ASSERT_NE(translator, nullptr);

    const std::pair<unsigned, QStringList> rows[] = {
        {MB_OKCANCEL, {QStringLiteral("确定"), QStringLiteral("取消")}},
        {MB_YESNO, {QStringLiteral("是"), QStringLiteral("否")}},
    };
    QtPrompter qt;
    for (const auto& [style, expected] : rows) {
        QStringList texts;
        QTimer::singleShot(0, [&texts] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            // The texts without their keyboard accelerators: "是(&Y)" reads "是".
            static const QRegularExpression accelerator(QStringLiteral("\\(&.\\)|&"));
            for (QAbstractButton* b : box->buttons())
                texts << b->text().remove(accelerator);
            box->buttons().front()->click();
        });
        qt.messageBox(nullptr, QStringLiteral("正在录制,确认要停止录制"), QString(), style);
        texts.sort();
        QStringList sortedExpected = expected;
        sortedExpected.sort();
        EXPECT_EQ(texts, sortedExpected);
    }
    QCoreApplication::removeTranslator(translator);
    delete translator;
}

} // namespace
} // namespace bc

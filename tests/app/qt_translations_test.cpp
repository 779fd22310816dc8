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
        {MB_OKCANCEL, {QStringLiteral("取消"), QStringLiteral("确定")}},
        {MB_YESNO, {QStringLiteral("否"), QStringLiteral("是")}},
    };
    QtPrompter qt;
    for (const auto& [style, expected] : rows) {
        QStringList texts;
        QTimer::singleShot(0, [&texts] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            // Without the keyboard accelerators: "是(&Y)" reads "是".
            static const QRegularExpression accelerator(QStringLiteral("\\(&.\\)|&"));
            for (QAbstractButton* b : box ? box->buttons() : QList<QAbstractButton*>())
                texts << b->text().remove(accelerator);
            if (box)
                box->buttons().front()->click();
        });
        qt.messageBox(nullptr, QStringLiteral("正在录制,确认要停止录制"), QString(), style);
        texts.sort();
        EXPECT_EQ(texts, expected);
    }
    QCoreApplication::removeTranslator(translator);
    delete translator;
}

} // namespace
} // namespace bc

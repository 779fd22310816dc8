#pragma once
// A saved survey opened in a strip view with a scripted prompter and opener,
// and "输出报表" run on it as the dialog would be filled in.

#include "analysis/report_output_dlg.h"
#include "analysis/unwrap_data.h"
#include "analysis/unwrap_view.h"
#include "platform/file_opener.h"
#include "support/scripted_prompter.h"
#include "support/survey_fixtures.h"

#include <QLineEdit>
#include <QRadioButton>

#include <gtest/gtest.h>

namespace bc::test {

using Dlg = CReportOutputDlg;
constexpr int kWidth = 120;
constexpr int kRows = 10;

// A saved survey of 25 strips (three pages) with two attitudes, opened in a
// view as the stand-alone window opens it, with a scripted prompter and opener.
struct Survey {
    ScriptedPrompter prompter;
    StripViewFixture st;
    QStringList opened;
    FileOpener previousOpener;

    // Strips `width` pixels wide, `perPage` a page; `aspectFit` stretches
    // each page to the hole's circumference.
    explicit Survey(int perPage = 10, int width = kWidth, bool aspectFit = true) : st(0, perPage)
    {
        st.settings.aspectAutoFit = aspectFit;
        {
            CUnWrapData d(st.sfaPath(), st.dir.path());
            for (int i = 0; i < 25; ++i)
                d.InsertImage(colourStrip(1000 + 100 * i, width, kRows, [i](int x, int y) {
                    return qRgb(x * 2, y * 20, i * 9);
                }));
            for (int32_t y : {1100, 1400}) {
                auto line =
                    std::make_unique<CAttitudeLine>(NextShapeId(), CShapePoint(0.5f, float(y)),
                                                    CShapePoint(2.5f, float(y + 200)), 0, 1, 0xff);
                line->UpdateAttitude(100, 0, 0, 0);
                line->SetDescription(QStringLiteral("裂隙"));
                d.AddShape(std::move(line));
            }
            EXPECT_TRUE(d.SaveSfa(d.GetItemCount(), true));
        }
        st.build();
        prompter.fileAnswers.push_back(st.sfaPath());
        st.view->OnFileOpen();
        previousOpener = setFileOpener([this](const QString& p) {
            opened << p;
            return true;
        });
    }
    ~Survey()
    {
        setFileOpener(previousOpener);
        Dlg::setRunner({});
    }
    QString out() const { return st.dir.filePath(QStringLiteral("report.xlsx")); }

    // Runs "输出报表" with the dialog's page choice, report type, range and
    // columns; `templatePath` replaces the template when given.
    void report(int pages, int type, const QString& range = {}, const QString& columns = "4",
                const QString& typed = {}, const QString& templatePath = {})
    {
        prompter.fileAnswers.push_back(typed.isEmpty() ? out() : typed);
        Dlg::setRunner([=](Dlg& dlg) {
            static_cast<QRadioButton*>(dlg.control(pages))->setChecked(true);
            static_cast<QRadioButton*>(dlg.control(type))->setChecked(true);
            static_cast<QLineEdit*>(dlg.control(Dlg::IDC_RANGE_TEXT))->setText(range);
            static_cast<QLineEdit*>(dlg.control(Dlg::IDC_COLUMNS))->setText(columns);
            if (!templatePath.isEmpty())
                static_cast<QLineEdit*>(dlg.control(Dlg::IDC_TEMPLATE_PATH))->setText(templatePath);
            return dlg.pullValues();
        });
        st.view->OnReport();
    }
};

} // namespace bc::test

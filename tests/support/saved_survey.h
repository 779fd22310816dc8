#pragma once
// A survey written to disk as the program writes it: strips 200 columns
// wide and 60 rows high at 1.00 m, 1.10 m, ..., and optionally one line
// attitude across them.

#include "analysis/attitude_shape.h"
#include "analysis/unwrap_data.h"
#include "support/survey_fixtures.h"

#include <gtest/gtest.h>

namespace bc::test {

struct SavedSurvey {
    int strips = 12;
    int diameter = 70;     // mm
    bool withLine = false; // attitude 1 from (0.5 rad, 1.10 m) to (4 rad, 1.20 m)

    // Writes `name` (".sfa") and its strip pictures into `folder`; its path.
    QString write(const QString& folder, const QString& name) const
    {
        const QString sfa = folder + QLatin1Char('/') + name;
        CUnWrapData d(sfa, folder);
        addStrips(d, strips, 1000, 100, 200, 60);
        d.header().openingDiameter = diameter;
        if (withLine) {
            auto line = std::make_unique<CAttitudeLine>(1, CShapePoint(0.5f, 1100.0f),
                                                        CShapePoint(4.0f, 1200.0f), 0, 1, 0xFF);
            line->UpdateAttitude(diameter, 0, 0, 0);
            d.AddShape(std::move(line));
        }
        EXPECT_TRUE(d.SaveSfa(d.GetItemCount(), true));
        return sfa;
    }
};

} // namespace bc::test

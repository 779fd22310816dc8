// Start-up of the borehole camera station: the application runs the
// acquisition form for the whole life of the program.

#include "app/qt_translations.h"
#include "app/survey_app.h"
#include "platform/prompter.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    bc::installProgramLanguage(app);
    bc::QtPrompter qtPrompter;
    bc::setPrompter(&qtPrompter);
    bc::CSurveyApp survey;
    survey.InitInstance();
    const int result = survey.ExitInstance();
    bc::setPrompter(nullptr);
    return result;
}

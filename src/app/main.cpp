// Start-up of the borehole camera station.

#include "platform/prompter.h"

#include <QApplication>
#include <QLabel>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("2011 PELK  Corporation"));
    bc::QtPrompter qtPrompter;
    bc::setPrompter(&qtPrompter);
    QLabel placeholder(bc::programTitle());
    placeholder.show();
    return app.exec();
}

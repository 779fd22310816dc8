#pragma once
// The application object: the process-wide set-up and the life of the
// program, which is exactly the life of the modal acquisition form.

#include <QString>

#include <memory>

class QSettings;

namespace bc {

class ICaptureGraphFactory;
class CKeyRouter;

// The profile key under which the survey settings live ("2011 PELK  Corporation",
// two blanks before "Corporation").
QString profileOrganization();

class CSurveyApp {
public:
    CSurveyApp();
    ~CSurveyApp();

    // Builds the form, routes keys to it, runs it modally and returns false
    // when it has closed (no further loop runs: the program ends).
    // `graphs` null uses the capture device's graphs; `profile` null uses the
    // program's profile.
    bool InitInstance(ICaptureGraphFactory* graphs = nullptr, QSettings* profile = nullptr);
    int ExitInstance();
};

} // namespace bc

// The application: owns the QApplication and runs the main window until it closes.
#pragma once

#include <QApplication>

namespace parvolink {

class SetupApp {
public:
    SetupApp(int& argc, char** argv);
    int Run();

private:
    QApplication application_;
};

}  // namespace parvolink

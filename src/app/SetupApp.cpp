#include "app/SetupApp.h"

#include <filesystem>
#include <system_error>

#include "app/MainDialog.h"
#include "app/NetworkEnvironment.h"
#include "kit/Prompter.h"

namespace parvolink {

SetupApp::SetupApp(int& argc, char** argv) : application_(argc, argv) {
    QApplication::setApplicationName("Parvolink");
}

int SetupApp::Run() {
    SystemNetworkEnvironment network;
    MessageBoxPrompter prompter;
    std::error_code ec;
    MainDialog dialog({network, prompter, std::filesystem::current_path(ec)});
    dialog.exec();
    return 0;
}

}  // namespace parvolink

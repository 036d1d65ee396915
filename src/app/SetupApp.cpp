// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SetupApp.h"

#include "app/MainDialog.h"
#include "kit/Prompter.h"
#include "shell/protocol/NetworkEnvironment.h"

namespace parvolink {

SetupApp::SetupApp(int& argc, char** argv) : application_(argc, argv) {
    QApplication::setApplicationName("Parvolink");
}

int SetupApp::Run(const std::filesystem::path& settingsDirectory,
                  std::shared_ptr<const Accounts> accounts) {
    SystemNetworkEnvironment network;
    MessageBoxPrompter prompter;
    MainDialogServices services{network, prompter, settingsDirectory};
    services.accounts = std::move(accounts);
    MainDialog dialog(services);
    dialog.exec();
    return 0;
}

}  // namespace parvolink

#include "app/SetupApp.h"

int main(int argc, char** argv) {
    parvolink::SetupApp app(argc, argv);
    return app.Run();
}

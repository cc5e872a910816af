// The sonvera program: parses its options, then runs start-up to shutdown.

#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "app/Application.h"
#include "app/DesktopBus.h"
#include "app/MainWindowUi.h"
#include "res/StringTable.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    AppConfig config = ParseAppConfig(
        args, [](const char* n) -> const char* { return std::getenv(n); }, "");
    if (!config.error.empty()) {
        std::fprintf(stderr, "sonvera: %s\n", config.error.c_str());
        return 2;
    }
    if (!config.helpDir.empty()) setenv("SONVERA_HELP_DIR", config.helpDir.c_str(), 1);
    QApplication app(argc, argv);
    QApplication::setApplicationName("Sonvera");
    QApplication::setDesktopFileName("sonvera");
    // one player per user: a second start brings the first to the front
    if (auto bus = DesktopBus(); bus && RaiseRunningPlayer(*bus)) return 0;
    if (IsRightToLeft(config.language)) QApplication::setLayoutDirection(Qt::RightToLeft);
    ApplyMessageBoxColours();
    Application application(config);
    return application.Run();
}

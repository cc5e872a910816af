// The sonvera program: parses its options, then runs start-up to shutdown.

#include <QApplication>
#include <QDir>
#include <cstdio>
#include <cstdlib>

#include "app/Application.h"
#include "app/DesktopBus.h"
#include "app/InstalledLayout.h"
#include "app/MainWindowUi.h"
#include "app/QtTranslations.h"
#include "res/StringTable.h"
#include "songinfo/CInfoBrowser.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string& a : args)
        if (a == "--help" || a == "-h") {
            std::printf(
                "usage: sonvera [--language ID] [--site URL] [--data-access-page URL]\n"
                "               [--help-dir DIR] [--info-server URL]\n"
                "Installed, it keeps its database in $XDG_DATA_HOME/sonvera (or $SONVERA_DATA).\n");
            return 0;
        }
    AppConfig config = ParseAppConfig(
        args, [](const char* n) -> const char* { return std::getenv(n); }, "");
    if (!config.error.empty()) {
        std::fprintf(stderr, "sonvera: %s\n", config.error.c_str());
        return 2;
    }
    if (!config.helpDir.empty()) setenv("SONVERA_HELP_DIR", config.helpDir.c_str(), 1);
    PrepareWebEngine();
    QApplication app(argc, argv);
    QApplication::setApplicationName("Sonvera");
    QApplication::setDesktopFileName("org.sonvera.Sonvera");
    // one player per user: a second start brings the first to the front
    if (auto bus = DesktopBus(); bus && RaiseRunningPlayer(*bus)) return 0;
    // started from the desktop menu: the user's data folder, the installed help
    if (auto layout = PrepareInstalledLayout(QCoreApplication::applicationDirPath())) {
        QDir::setCurrent(layout->dataFolder);
        if (config.helpDir.empty())
            setenv("SONVERA_HELP_DIR", layout->helpDir.toUtf8().constData(), 1);
    }
    if (IsRightToLeft(config.language)) QApplication::setLayoutDirection(Qt::RightToLeft);
    InstallQtTranslations(config.language);
    ApplyMessageBoxColours();
    Application application(config);
    return application.Run();
}

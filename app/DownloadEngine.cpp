#include "app/DownloadEngine.h"

#include <cstdlib>

#include "download/GnutellaComponent.h"
#include "library/LibraryScanner.h"
#include "platform/network/MachineNetwork.h"

DownloadEngine::DownloadEngine(Options options) {
    auto getEnv = [](const char* name) -> const char* { return std::getenv(name); };
    components_ = std::make_unique<GnutellaComponentFactory>(
        GnutellaComponentFactory::DataFolderFromEnvironment(getEnv));
    network_ = std::make_unique<MachineNetwork>(MachineNetwork::UpnpFromEnvironment(getEnv));
    DownloaderLinks links;
    links.database = options.database;
    links.mainWindow = &window_;
    links.components = components_.get();
    links.network = network_.get();
    CLibraryScanner* scanner = options.scanner;
    links.queueFile = [scanner](const std::string& path, bool downloaded) {
        scanner->QueueFile(path, downloaded);
    };
    links.showMessage = std::move(options.showMessage);
    links.language = options.language;
    links.passInterval = options.pass;
    downloader_ = std::make_unique<CDownloader>(std::move(links));
}

DownloadEngine::~DownloadEngine() = default;

#pragma once
// The download engine as the program runs it: the engine, the Gnutella component it drives and
// the machine's network, run by the "Downloader" thread. Its status messages go to a slot that
// start-up attaches to the main window.

#include <chrono>
#include <memory>

#include "app/Worker.h"
#include "download/CDownloader.h"
#include "platform/messages/MessageTarget.h"

class CADODataBase;
class CLibraryScanner;
class GnutellaComponentFactory;
class MachineNetwork;

class DownloadEngine final : public Worker {
public:
    struct Options {
        CADODataBase* database = nullptr;
        CLibraryScanner* scanner = nullptr;
        int language = 1033;
        std::chrono::milliseconds pass{1000};
        decltype(DownloaderLinks::showMessage) showMessage;
    };
    explicit DownloadEngine(Options options);
    ~DownloadEngine() override;

    CDownloader& Engine() { return *downloader_; }
    MessageTargetSlot& MainWindow() { return window_; }

    void Run() override { downloader_->Run(); }
    void RequestStop() override { downloader_->RequestStop(); }
    bool IsStopped() const override { return downloader_->IsStopped(); }

private:
    MessageTargetSlot window_;
    std::unique_ptr<GnutellaComponentFactory> components_;
    std::unique_ptr<MachineNetwork> network_;
    std::unique_ptr<CDownloader> downloader_;
};

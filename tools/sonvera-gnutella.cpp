// Runs the Gnutella component from the command line: search, fetch the best result, or stay up
// sharing a folder (as a leaf, or with --ultrapeer as the hub of a small private network).
//
// sonvera-gnutella [--connect HOST:PORT]... [--share DIR] [--download-dir DIR] [--port N]
//                  [--listen ADDR] [--data DIR] [--upload-limit KBPS] COMMAND
//   search TEXT [--seconds N]   one line per result: name, size, sha1, sources, rank
//   get TEXT [--seconds N]      downloads the best-ranked result and prints its path
//   serve [--ultrapeer] [--seconds N]
// With --connect no host cache is asked; without it the cache files and bootstrap are used.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/gnutella/Core.h"

namespace {

std::atomic<bool> stopRequested{false};
void OnSignal(int) { stopRequested = true; }

int Usage() {
    std::fprintf(
        stderr,
        "usage: sonvera-gnutella [--connect HOST:PORT]... [--share DIR] [--download-dir DIR]\n"
        "       [--port N] [--listen ADDR] [--data DIR] [--upload-limit KBPS]\n"
        "       search TEXT [--seconds N] | get TEXT [--seconds N] | serve [--ultrapeer] "
        "[--seconds N]\n");
    return 2;
}

// Refusals are news: a peer that keeps refusing us is why nothing connects.
size_t reported = 0;
void ReportRefusals(gnutella::Core& core) {
    const auto refusals = core.Network().Refusals();
    if (refusals.size() < reported) reported = 0;  // the oldest were dropped
    for (; reported < refusals.size(); ++reported)
        std::fprintf(stderr, "sonvera-gnutella: refused by %s\n", refusals[reported].c_str());
}

void Sleep(double seconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(int64_t(seconds * 1000)));
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> connect;
    std::string share, downloadDir, listen, data, command, text;
    int port = -1;
    double seconds = 10, uploadLimit = -1;
    bool ultrapeer = false, secondsGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "sonvera-gnutella: %s needs a value\n", arg.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "--connect")
            connect.push_back(value());
        else if (arg == "--share")
            share = value();
        else if (arg == "--download-dir")
            downloadDir = value();
        else if (arg == "--port")
            port = std::atoi(value().c_str());
        else if (arg == "--listen")
            listen = value();
        else if (arg == "--data")
            data = value();
        else if (arg == "--upload-limit")
            uploadLimit = std::atof(value().c_str());
        else if (arg == "--seconds") {
            seconds = std::atof(value().c_str());
            secondsGiven = true;
        } else if (arg == "--ultrapeer")
            ultrapeer = true;
        else if (command.empty() && (arg == "search" || arg == "get" || arg == "serve"))
            command = arg;
        else if (!command.empty() && command != "serve" && text.empty())
            text = arg;
        else
            return Usage();
    }
    if (command.empty() || (command != "serve" && text.empty())) return Usage();
    if (data.empty()) {
        const char* home = std::getenv("HOME");
        data = std::string(home ? home : ".") + "/.local/share/sonvera/gnutella";
    }
    std::error_code ec;
    std::filesystem::create_directories(data, ec);
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    gnutella::Core core(data);
    core.SetClientName("Sonvera");
    core.SetClientVersion("1.20 Beta");
    core.SetClientCode("SONV");
    core.Preferences().LoadConfig("GnuConfig.ini");
    core.Preferences().LoadBlocked("GnuBlocked.net");
    gnutella::Settings settings = core.Preferences().Get();
    if (port >= 0) settings.port = uint16_t(port);
    if (!listen.empty()) settings.listenAddress = listen;
    if (!downloadDir.empty()) settings.downloadFolder = downloadDir;
    if (uploadLimit >= 0) settings.uploadLimitKBps = uploadLimit;
    settings.ultrapeer = ultrapeer;
    if (!connect.empty()) settings.bootstrap = false;  // only the hosts named
    core.Preferences().Set(settings);
    if (connect.empty()) {
        core.HostCache().LoadHosts("GnuCache.net");
        core.HostCache().LoadUltrapeers("GnuUltraCache.net");
        core.HostCache().LoadWebCaches("WebCache.net");
    }
    for (const auto& host : connect) {
        if (!core.HostCache().AddUltrapeer(host)) {
            std::fprintf(stderr, "sonvera-gnutella: %s is not HOST:PORT\n", host.c_str());
            return 2;
        }
    }
    if (!share.empty()) {
        core.Share().SetFolders({share});
        while (core.Share().ScansFinished() == 0 && !stopRequested) Sleep(0.05);
    }
    core.ConnectNetwork(1);

    int rc = 0;
    if (command == "serve") {
        for (int i = 0; i < 100 && core.ListeningPort() == 0 && settings.port != 0; ++i)
            Sleep(0.02);
        std::printf("ready port %u files %d\n", core.ListeningPort(), core.Share().FileCount());
        std::fflush(stdout);
        const auto until =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(int64_t(seconds * 1000));
        while (!stopRequested && (!secondsGiven || std::chrono::steady_clock::now() < until)) {
            ReportRefusals(core);
            Sleep(0.1);
        }
    } else {
        for (int i = 0; i < 200 && core.Network().ConnectedPeers() == 0 && !stopRequested; ++i) {
            ReportRefusals(core);
            Sleep(0.05);
        }
        ReportRefusals(core);
        const int32_t search = core.Search().Start(text);
        Sleep(seconds);
        const auto ids = core.Search().ResultIds(search);
        if (command == "search") {
            for (int32_t r : ids) {
                std::printf("%s\t%lld\t%s\t%d\t%d\n", core.Search().ResultName(search, r).c_str(),
                            static_cast<long long>(core.Search().ResultSize(search, r)),
                            core.Search().ResultSha1(search, r).c_str(),
                            core.Search().ResultRank(search, r),
                            core.Search().ResultRank(search, r));
            }
        } else {
            int32_t best = 0, bestRank = 0;
            for (int32_t r : ids) {
                const int32_t rank = core.Search().ResultRank(search, r);
                if (rank > bestRank) best = r, bestRank = rank;
            }
            if (best == 0) {
                std::fprintf(stderr, "sonvera-gnutella: nothing found for \"%s\"\n", text.c_str());
                rc = 1;
            } else {
                const auto started = std::chrono::steady_clock::now();
                const int32_t download = core.Search().Download(search, best);
                int32_t status = 0;
                while (!stopRequested) {
                    status = core.Download().Status(download);
                    if (status == 9 || status == 8 || status == 1) break;
                    Sleep(0.1);
                }
                if (status == 9) {
                    const double took = std::chrono::duration<double>(
                                            std::chrono::steady_clock::now() - started)
                                            .count();
                    std::fprintf(stderr, "sonvera-gnutella: %lld bytes in %.2f s (%.1f MB/s)\n",
                                 static_cast<long long>(core.Download().Size64(download)), took,
                                 double(core.Download().Size64(download)) / 1e6 / took);
                    std::printf("%s\n", core.Download().CompletedPath(download).c_str());
                } else {
                    std::fprintf(stderr, "sonvera-gnutella: download ended with status %d\n",
                                 status);
                    rc = 1;
                }
            }
        }
        core.Search().End(search);
    }
    if (connect.empty()) {
        core.HostCache().SaveHosts("GnuCache.net");
        core.HostCache().SaveUltrapeers("GnuUltraCache.net");
        core.HostCache().SaveWebCaches("WebCache.net");
    }
    core.DisconnectNetwork(1);
    return rc;
}

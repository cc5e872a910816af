// sonvera-infod: the song-information server the player submits to and retrieves from.

#include <pthread.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <cstdio>
#include <thread>

#include "server/HttpFrontend.h"
#include "server/InfoService.h"
#include "server/InfoStore.h"
#include "server/ServerOptions.h"
#include "server/StoreCopy.h"

namespace {

int CopyCommand(const ServerOptions& options) {
    if (InfoStore::IsPostgres(options.copyFrom)) {
        std::fprintf(stderr, "sonvera-infod: --copy-from wants an SQLite file\n");
        return 2;
    }
    if (!std::filesystem::exists(options.copyFrom)) {
        std::fprintf(stderr, "sonvera-infod: %s: no such file\n", options.copyFrom.c_str());
        return 1;
    }
    std::string error;
    std::unique_ptr<InfoStore> from = InfoStore::Open(options.copyFrom, error);
    if (!from) {
        std::fprintf(stderr, "sonvera-infod: %s: %s\n", options.copyFrom.c_str(), error.c_str());
        return 1;
    }
    std::unique_ptr<InfoStore> to = InfoStore::Open(options.database, error);
    if (!to) {
        std::fprintf(stderr, "sonvera-infod: %s: %s\n", options.database.c_str(), error.c_str());
        return 1;
    }
    CopyCount copied;
    if (!CopyStore(*from, *to, copied, error)) {
        std::fprintf(stderr, "sonvera-infod: %s\n", error.c_str());
        return 1;
    }
    std::printf("copied %lld submissions and %lld feedback messages\n",
                static_cast<long long>(copied.submissions), static_cast<long long>(copied.feedback));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const ServerOptions options =
        ParseServerOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (options.help) {
        std::fputs(ServerUsage, stdout);
        return 0;
    }
    if (!options.error.empty()) {
        std::fprintf(stderr, "sonvera-infod: %s\n%s", options.error.c_str(), ServerUsage);
        return 2;
    }
    if (!options.copyFrom.empty()) return CopyCommand(options);
    std::string error;
    std::unique_ptr<InfoStore> store = InfoStore::Open(options.database, error);
    if (!store) {
        std::fprintf(stderr, "sonvera-infod: %s: %s\n", options.database.c_str(), error.c_str());
        return 1;
    }
    ServiceOptions serviceOptions;
    serviceOptions.currentVersion = options.currentVersion;
    serviceOptions.downloadAddress = options.downloadAddress;
    serviceOptions.pagesPerSecond = options.pagesPerSecond;
    serviceOptions.pageBurst = 3 * options.pagesPerSecond;
    InfoService service(*store, serviceOptions);

    // The workers must not take the stop signals; one thread waits for them instead.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    // Every connection is a descriptor: take what the system allows, up to the cap in all.
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &files);
    }
    FrontendLimits limits;
    limits.maxPerAddress = options.maxPerAddress;
    HttpFrontend frontend(service, stderr, limits);
    const int port = frontend.Bind(options.host, options.port);
    if (port < 0) {
        std::fprintf(stderr, "sonvera-infod: cannot listen on %s:%d\n", options.host.c_str(),
                     options.port);
        return 1;
    }
    const bool v6 = options.host.find(':') != std::string::npos;
    std::printf("sonvera-infod listening on http://%s%s%s:%d/\n", v6 ? "[" : "",
                options.host.c_str(), v6 ? "]" : "", port);
    std::fflush(stdout);

    std::thread waiter([&] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        frontend.Stop();
    });
    const bool served = frontend.Run();
    // Run ends only by a signal or a failure; in the latter case wake the waiter ourselves.
    if (!served) pthread_kill(waiter.native_handle(), SIGTERM);
    waiter.join();
    return served ? 0 : 1;
}

#include "server/ServerOptions.h"

#include <charconv>

const char* const ServerUsage =
    "usage: sonvera-infod [--listen ADDRESS:PORT] [--database FILE] [--current-version TEXT]\n"
    "                     [--download-url URL] [--page-rate N] [--max-per-address N]\n"
    "       sonvera-infod --copy-from FILE --database postgresql://...\n"
    "  --database postgresql://USER@HOST/NAME  keeps the store in PostgreSQL instead (any libpq\n"
    "                         address); several servers may share one\n"
    "  --copy-from FILE       copies the SQLite store FILE into the empty --database and ends\n"
    "  --listen ADDRESS:PORT  where to accept requests (default 127.0.0.1:8470; port 0 picks one)\n"
    "  --database FILE        the SQLite database, created when missing (default "
    "sonvera-infod.db);\n"
    "                         --db is the same\n"
    "  --current-version TEXT the player version that needs no update (default: announce none)\n"
    "  --download-url URL     the address Updates.asp answers with (default: this server's\n"
    "                         download.asp)\n"
    "  --page-rate N          requests per second one client address may make, in bursts of\n"
    "                         three times as many (default 20); more are answered 429\n"
    "  --max-per-address N    connections one client address may hold open (default 64)\n";

namespace {

bool ParseListen(const std::string& text, ServerOptions& options) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) return false;
    std::string host = text.substr(0, colon);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    const std::string port = text.substr(colon + 1);
    int value = -1;
    auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (ec != std::errc() || end != port.data() + port.size() || value < 0 || value > 65535)
        return false;
    options.host = host;
    options.port = value;
    return true;
}

}  // namespace

ServerOptions ParseServerOptions(const std::vector<std::string>& args) {
    ServerOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            options.help = true;
            continue;
        }
        if (a != "--listen" && a != "--db" && a != "--database" && a != "--copy-from" && a != "--current-version" &&
            a != "--download-url" && a != "--page-rate" && a != "--max-per-address") {
            options.error = "unknown option " + a;
            break;
        }
        if (i + 1 >= args.size()) {
            options.error = "missing value after " + a;
            break;
        }
        const std::string& v = args[++i];
        if (a == "--listen") {
            if (!ParseListen(v, options)) {
                options.error = "--listen wants ADDRESS:PORT, not " + v;
                break;
            }
        } else if (a == "--copy-from") {
            options.copyFrom = v;
        } else if (a == "--db" || a == "--database") {
            options.database = v;
        } else if (a == "--page-rate" || a == "--max-per-address") {
            int value = 0;
            auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), value);
            if (ec != std::errc() || end != v.data() + v.size() || value < 1) {
                options.error = a + " wants a whole number above 0, not " + v;
                break;
            }
            if (a == "--page-rate")
                options.pagesPerSecond = value;
            else
                options.maxPerAddress = size_t(value);
        } else if (a == "--current-version") {
            options.currentVersion = v;
        } else {
            options.downloadAddress = v;
        }
    }
    return options;
}

#include "server/ServerOptions.h"

#include <charconv>

const char* const ServerUsage =
    "usage: sonvera-infod [--listen ADDRESS:PORT] [--db FILE] [--current-version TEXT]\n"
    "                     [--download-url URL]\n"
    "  --listen ADDRESS:PORT  where to accept requests (default 127.0.0.1:8470; port 0 picks one)\n"
    "  --db FILE              the SQLite database, created when missing (default "
    "sonvera-infod.db)\n"
    "  --current-version TEXT the player version that needs no update (default: announce none)\n"
    "  --download-url URL     the address Updates.asp answers with (default: this server's\n"
    "                         download.asp)\n";

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
        if (a != "--listen" && a != "--db" && a != "--current-version" && a != "--download-url") {
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
        } else if (a == "--db") {
            options.database = v;
        } else if (a == "--current-version") {
            options.currentVersion = v;
        } else {
            options.downloadAddress = v;
        }
    }
    return options;
}

#include "server/AccessLog.h"

namespace {

constexpr size_t MaxRequestLine = 600;

std::string Escaped(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size() && i < MaxRequestLine; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20 || c == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += char(c);
        }
    }
    if (text.size() > MaxRequestLine) out += "...";
    return out;
}

}  // namespace

std::string CommonLogLine(const std::string& client, std::time_t when,
                          const std::string& requestLine, int status, size_t bytes) {
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm utc{};
    gmtime_r(&when, &utc);
    char stamp[40];
    std::snprintf(stamp, sizeof stamp, "%02d/%s/%04d:%02d:%02d:%02d +0000", utc.tm_mday,
                  months[utc.tm_mon % 12], utc.tm_year + 1900, utc.tm_hour, utc.tm_min,
                  utc.tm_sec);
    return Escaped(client) + " - - [" + stamp + "] \"" + Escaped(requestLine) + "\" " +
           std::to_string(status) + " " + (bytes == 0 ? "-" : std::to_string(bytes)) + "\n";
}

void AccessLog::Write(const std::string& client, std::time_t when, const std::string& requestLine,
                      int status, size_t bytes) {
    if (!out_) return;
    const std::string line = CommonLogLine(client, when, requestLine, status, bytes);
    std::lock_guard lock(mutex_);
    std::fwrite(line.data(), 1, line.size(), out_);
    std::fflush(out_);
}

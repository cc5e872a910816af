#include "res/TextFormat.h"

#include <vector>

namespace {

std::string Fill(const std::string& format, const std::vector<std::string>& args) {
    std::string out;
    out.reserve(format.size() + 16);
    size_t next = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        char c = format[i];
        if (c == '%' && i + 1 < format.size()) {
            char k = format[i + 1];
            if (k == '%') {
                out += '%';
                ++i;
                continue;
            }
            if (k == 'd' || k == 'i' || k == 's') {
                if (next < args.size()) out += args[next];
                ++next;
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

}  // namespace

std::string FormatText(const std::string& format, std::initializer_list<std::string> args) {
    return Fill(format, std::vector<std::string>(args));
}

std::string FormatText(const std::string& format, std::initializer_list<long long> args) {
    std::vector<std::string> texts;
    for (long long v : args) texts.push_back(std::to_string(v));
    return Fill(format, texts);
}

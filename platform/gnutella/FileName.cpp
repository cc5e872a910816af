#include "platform/gnutella/FileName.h"

namespace gnutella {

std::string SanitizeFileName(std::string_view name) {
    std::string out;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' ||
            c == '"' || c == '<' || c == '>' || c == '|')
            out.push_back('_');
        else
            out.push_back(c);
    }
    // Dots, dashes and blanks at the start would hide the file or read as an option.
    size_t lead = 0;
    while (lead < out.size() && (out[lead] == '.' || out[lead] == '-' || out[lead] == ' ')) ++lead;
    out.erase(0, lead);
    while (!out.empty() && (out.back() == ' ' || out.back() == '.')) out.pop_back();
    if (out.size() > kMaxFileNameBytes) {
        const size_t dot = out.rfind('.');
        std::string ext = dot != std::string::npos && out.size() - dot <= 16 ? out.substr(dot) : "";
        size_t keep = kMaxFileNameBytes - ext.size();
        while (keep > 0 && (static_cast<unsigned char>(out[keep]) & 0xC0) == 0x80) --keep;
        out = out.substr(0, keep) + ext;
    }
    if (out.empty()) out = "unnamed";
    return out;
}

}  // namespace gnutella

#include "db/FindCriteria.h"

#include <cctype>
#include <cstdlib>

namespace sonvera::db {
namespace {

void SkipSpace(const std::string& s, size_t& pos) {
    while (pos < s.size() && std::isspace(static_cast<unsigned char>(s[pos]))) ++pos;
}

bool IsNumeric(const Variant& v) {
    return v.type == VT_I2 || v.type == VT_I4 || v.type == VT_INT || v.type == VT_UI1 ||
           v.type == VT_UI4 || v.type == VT_BOOL || v.type == VT_R4 || v.type == VT_R8 ||
           v.type == VT_DECIMAL;
}

double NumberOf(const Variant& v) {
    if (v.type == VT_R4 || v.type == VT_R8 || v.type == VT_DECIMAL) return v.d;
    return static_cast<double>(v.i);
}

}  // namespace

std::optional<FindCriteria> FindCriteria::Parse(const std::string& text) {
    FindCriteria criteria;
    size_t pos = 0;
    SkipSpace(text, pos);
    if (pos < text.size() && text[pos] == '[') {
        size_t end = text.find(']', pos);
        if (end == std::string::npos) return std::nullopt;
        criteria.column = text.substr(pos + 1, end - pos - 1);
        pos = end + 1;
    } else {
        size_t start = pos;
        while (pos < text.size() &&
               (std::isalnum(static_cast<unsigned char>(text[pos])) || text[pos] == '_'))
            ++pos;
        criteria.column = text.substr(start, pos - start);
    }
    if (criteria.column.empty()) return std::nullopt;
    SkipSpace(text, pos);

    static const char* const operators[] = {"<>", "<=", ">=", "=", "<", ">"};
    for (const char* op : operators) {
        if (text.compare(pos, std::char_traits<char>::length(op), op) == 0) {
            criteria.op = op;
            pos += criteria.op.size();
            break;
        }
    }
    if (criteria.op.empty()) {
        if (text.size() >= pos + 4 &&
            std::toupper(static_cast<unsigned char>(text[pos])) == 'L' &&
            std::toupper(static_cast<unsigned char>(text[pos + 1])) == 'I' &&
            std::toupper(static_cast<unsigned char>(text[pos + 2])) == 'K' &&
            std::toupper(static_cast<unsigned char>(text[pos + 3])) == 'E') {
            criteria.op = "LIKE";
            pos += 4;
        } else {
            return std::nullopt;
        }
    }
    SkipSpace(text, pos);
    if (pos >= text.size()) return std::nullopt;

    char quote = text[pos];
    if (quote == '\'' || quote == '"' || quote == '#') {
        std::string value;
        ++pos;
        bool closed = false;
        while (pos < text.size()) {
            char c = text[pos++];
            if (c == quote) {
                if (quote != '#' && pos < text.size() && text[pos] == quote) {
                    value += c;  // a doubled quote stands for one
                    ++pos;
                    continue;
                }
                closed = true;
                break;
            }
            value += c;
        }
        if (!closed) return std::nullopt;
        SkipSpace(text, pos);
        if (pos != text.size()) return std::nullopt;
        criteria.value = quote == '#' ? Variant::Date(value) : Variant::Text(value);
        return criteria;
    }

    std::string literal = text.substr(pos);
    while (!literal.empty() && std::isspace(static_cast<unsigned char>(literal.back())))
        literal.pop_back();
    if (literal.size() == 4 && (literal == "NULL" || literal == "Null" || literal == "null")) {
        criteria.value = Variant::Null();
        return criteria;
    }
    char* end = nullptr;
    long long integer = std::strtoll(literal.c_str(), &end, 10);
    if (!literal.empty() && *end == '\0') {
        criteria.value = Variant::Int(VT_I4, integer);
        return criteria;
    }
    double real = std::strtod(literal.c_str(), &end);
    if (!literal.empty() && *end == '\0') {
        criteria.value = Variant::Real(VT_R8, real);
        return criteria;
    }
    return std::nullopt;
}

int CompareVariants(const Variant& a, const Variant& b) {
    auto rank = [](const Variant& v) { return v.IsNullOrEmpty() ? 0 : IsNumeric(v) ? 1 : 2; };
    int ra = rank(a), rb = rank(b);
    if (ra != rb) return ra < rb ? -1 : 1;
    if (ra == 0) return 0;
    if (ra == 1) {
        double x = NumberOf(a), y = NumberOf(b);
        return x < y ? -1 : x > y ? 1 : 0;
    }
    int c = a.s.compare(b.s);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

bool LikeMatch(const std::string& text, const std::string& pattern) {
    size_t t = 0, p = 0, starP = std::string::npos, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == '%' || pattern[p] == '*')) {
            starP = p++;
            starT = t;
        } else if (p < pattern.size() &&
                   (pattern[p] == '_' || pattern[p] == '?' ||
                    std::tolower(static_cast<unsigned char>(pattern[p])) ==
                        std::tolower(static_cast<unsigned char>(text[t])))) {
            ++p;
            ++t;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && (pattern[p] == '%' || pattern[p] == '*')) ++p;
    return p == pattern.size();
}

bool FindCriteria::Matches(const Variant& field) const {
    if (op == "LIKE") {
        if (field.IsNullOrEmpty()) return false;
        std::string text = field.type == VT_BSTR || field.type == VT_DATE
                               ? field.s
                               : std::to_string(field.i);
        return LikeMatch(text, value.type == VT_BSTR || value.type == VT_DATE ? value.s : "");
    }
    if (value.type == VT_NULL) {
        // "col = NULL" finds nulls, "col <> NULL" the rest, as a find expression means it.
        if (op == "=") return field.IsNullOrEmpty();
        if (op == "<>") return !field.IsNullOrEmpty();
        return false;
    }
    if (field.IsNullOrEmpty()) return false;
    Variant probe = value;
    // A quoted number against a numeric column compares as a number.
    if (IsNumeric(field) && probe.type == VT_BSTR) {
        char* end = nullptr;
        double d = std::strtod(probe.s.c_str(), &end);
        if (!probe.s.empty() && *end == '\0') probe = Variant::Real(VT_R8, d);
    }
    int c = CompareVariants(field, probe);
    if (op == "=") return c == 0;
    if (op == "<>") return c != 0;
    if (op == "<") return c < 0;
    if (op == ">") return c > 0;
    if (op == "<=") return c <= 0;
    return c >= 0;
}

}  // namespace sonvera::db

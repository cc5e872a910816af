#include "db/FieldConversion.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "db/AdoError.h"

namespace sonvera::db {
namespace {

AdoException Mismatch(const std::string& what) {
    return AdoException{kTypeMismatch, "ADODB.Field", "Type mismatch: " + what};
}

void StripFraction(std::string& digits) {
    if (digits.find('.') == std::string::npos) return;
    while (!digits.empty() && digits.back() == '0') digits.pop_back();
    if (!digits.empty() && digits.back() == '.') digits.pop_back();
}

bool ParseDate(const std::string& stored, std::tm& out) {
    out = std::tm{};
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int n = std::sscanf(stored.c_str(), "%d-%d-%d %d:%d:%d", &year, &month, &day, &hour, &minute,
                        &second);
    if (n < 3) return false;
    out.tm_year = year - 1900;
    out.tm_mon = month - 1;
    out.tm_mday = day;
    out.tm_hour = hour;
    out.tm_min = minute;
    out.tm_sec = second;
    return true;
}

// Days from 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

int32_t ToInt32Checked(double d) {
    double r = std::nearbyint(d);  // banker's rounding, as variant conversions round
    if (!(r >= INT32_MIN && r <= INT32_MAX))
        throw AdoException{kOverflow, "ADODB.Field", "Out of present range."};
    return static_cast<int32_t>(r);
}

}  // namespace

std::string FormatGeneral(double value, int digits) {
    if (value == 0) return "0";
    if (!std::isfinite(value)) return std::isnan(value) ? "nan" : (value < 0 ? "-inf" : "inf");
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*e", digits - 1, value);
    std::string text(buffer);
    size_t e = text.find('e');
    int exponent = std::atoi(text.c_str() + e + 1);
    if (exponent >= 0 && exponent < digits) {
        std::snprintf(buffer, sizeof buffer, "%.*f", digits - 1 - exponent, value);
        std::string fixed(buffer);
        StripFraction(fixed);
        return fixed;
    }
    std::string mantissa = text.substr(0, e);
    StripFraction(mantissa);
    std::snprintf(buffer, sizeof buffer, "e%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
    return mantissa + buffer;
}

std::string FormatDate(const std::string& stored, const std::string& format) {
    std::tm tm{};
    if (!ParseDate(stored, tm)) return stored;
    // The C library writes years before 1000 with fewer digits; a date always shows four.
    std::string pattern = format.empty() ? "%Y-%m-%d %H:%M:%S" : format;
    std::string expanded;
    char year[16];
    std::snprintf(year, sizeof year, "%04d", tm.tm_year + 1900);
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size()) {
            if (pattern[i + 1] == 'Y') {
                expanded += year;
            } else {
                expanded += pattern.substr(i, 2);
            }
            ++i;
        } else {
            expanded += pattern[i];
        }
    }
    char buffer[256];
    size_t n = std::strftime(buffer, sizeof buffer, expanded.c_str(), &tm);
    return std::string(buffer, n);
}

double DateSerial(const std::string& stored) {
    std::tm tm{};
    if (!ParseDate(stored, tm)) throw Mismatch("'" + stored + "' is not a date");
    int64_t days = DaysFromCivil(tm.tm_year + 1900, static_cast<unsigned>(tm.tm_mon + 1),
                                 static_cast<unsigned>(tm.tm_mday)) -
                   DaysFromCivil(1899, 12, 30);
    double fraction = (tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec) / 86400.0;
    return static_cast<double>(days) + (days >= 0 ? fraction : -fraction);
}

std::string VariantToText(const Variant& value, const std::string& dateFormat) {
    switch (value.type) {
        case VT_EMPTY:
        case VT_NULL: return {};
        case VT_I2:
        case VT_UI1:
        case VT_INT:
        case VT_I4: return std::to_string(static_cast<int32_t>(value.i));
        case VT_UI4: return std::to_string(static_cast<uint32_t>(value.i));
        case VT_R4: return FormatGeneral(value.d, 10);
        case VT_R8:
        case VT_DECIMAL: return FormatGeneral(value.d, 20);
        case VT_DATE: return FormatDate(value.s, dateFormat);
        case VT_BSTR: return value.s;
        default: throw Mismatch("the value has no text form");
    }
}

int32_t VariantToInt32(const Variant& value) {
    switch (value.type) {
        case VT_EMPTY:
        case VT_NULL: return 0;
        case VT_R4:
        case VT_R8:
        case VT_DECIMAL: return ToInt32Checked(value.d);
        case VT_DATE: return ToInt32Checked(DateSerial(value.s));
        case VT_BSTR: {
            char* end = nullptr;
            double d = std::strtod(value.s.c_str(), &end);
            while (*end == ' ') ++end;
            if (value.s.empty() || *end != '\0') throw Mismatch("'" + value.s + "' is not a number");
            return ToInt32Checked(d);
        }
        default:
            if (value.i < INT32_MIN || value.i > INT32_MAX)
                throw AdoException{kOverflow, "ADODB.Field", "Out of present range."};
            return static_cast<int32_t>(value.i);
    }
}

int16_t VariantToInt16Range(const Variant& value) {
    if (value.IsNullOrEmpty()) return 0;
    // Only the low 16 bits are kept, whatever the width of the stored value.
    uint32_t whole = static_cast<uint32_t>(VariantToInt32(value));
    return static_cast<int16_t>(static_cast<uint16_t>(whole & 0xFFFF));
}

double VariantToDouble(const Variant& value) {
    switch (value.type) {
        case VT_EMPTY:
        case VT_NULL: return 0;
        case VT_R4:
        case VT_R8:
        case VT_DECIMAL: return value.d;
        case VT_DATE: return DateSerial(value.s);
        case VT_BSTR: {
            char* end = nullptr;
            double d = std::strtod(value.s.c_str(), &end);
            if (value.s.empty() || *end != '\0') throw Mismatch("'" + value.s + "' is not a number");
            return d;
        }
        default: return static_cast<double>(value.i);
    }
}

}  // namespace sonvera::db

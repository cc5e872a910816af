#pragma once
// A field value with the variant type codes the access layer reports.

#include <cstdint>
#include <string>

enum VarType : uint16_t {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_BOOL = 11,
    VT_DECIMAL = 14,
    VT_UI1 = 17,
    VT_UI4 = 19,
    VT_INT = 22,
};

struct Variant {
    VarType type = VT_EMPTY;
    int64_t i = 0;      // integer types and VT_BOOL (-1 / 0)
    double d = 0.0;     // VT_R4, VT_R8, VT_DECIMAL
    std::string s;      // VT_BSTR (UTF-8), VT_DATE ("YYYY-MM-DD HH:MM:SS")

    static Variant Null() { return Variant{VT_NULL, 0, 0.0, {}}; }
    static Variant Int(VarType t, int64_t v) { return Variant{t, v, 0.0, {}}; }
    static Variant Real(VarType t, double v) { return Variant{t, 0, v, {}}; }
    static Variant Text(std::string v) { return Variant{VT_BSTR, 0, 0.0, std::move(v)}; }
    static Variant Date(std::string v) { return Variant{VT_DATE, 0, 0.0, std::move(v)}; }
    bool IsNullOrEmpty() const { return type == VT_NULL || type == VT_EMPTY; }
};

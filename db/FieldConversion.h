#pragma once
// The conversions of a field value to the forms GetFieldValue offers. They throw
// AdoException where the value has no such form.

#include <cstdint>
#include <string>

#include "db/Variant.h"

namespace sonvera::db {

// The general floating format: fixed while the decimal exponent is in [0, digits),
// exponent notation otherwise; trailing zeros of the fraction dropped.
std::string FormatGeneral(double value, int digits);
// A stored date text rewritten with a strftime format ("" = "%Y-%m-%d %H:%M:%S").
std::string FormatDate(const std::string& stored, const std::string& format);
// Days since 1899-12-30 with the time as the fraction, as dates count in variants.
double DateSerial(const std::string& stored);

// Throws for the types the text form does not cover.
std::string VariantToText(const Variant& value, const std::string& dateFormat);
int32_t VariantToInt32(const Variant& value);
int16_t VariantToInt16Range(const Variant& value);
double VariantToDouble(const Variant& value);

}  // namespace sonvera::db

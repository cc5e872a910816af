#pragma once
// Owners of the ICU converters the code-page helpers use. Each handle belongs to one thread.

#include <unicode/ucnv.h>

#include <memory>

struct ConverterCloser {
    void operator()(UConverter* converter) const noexcept { ucnv_close(converter); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

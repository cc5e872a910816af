#pragma once
// Owners of the ICU handles the code-page helpers use. Each handle belongs to one thread.

#include <unicode/ucnv.h>
#include <unicode/ucsdet.h>

#include <memory>

struct ConverterCloser {
    void operator()(UConverter* converter) const noexcept { ucnv_close(converter); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

struct DetectorCloser {
    void operator()(UCharsetDetector* detector) const noexcept { ucsdet_close(detector); }
};
using DetectorPtr = std::unique_ptr<UCharsetDetector, DetectorCloser>;

#include "platform/web/ReplyText.h"

#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <cctype>

struct ReplyDecoder::Converter {
    struct Close {
        void operator()(UConverter* c) const noexcept { ucnv_close(c); }
    };
    std::unique_ptr<UConverter, Close> handle;
};

namespace {

UConverter* OpenConverter(const std::string& name) {
    if (name.empty()) return nullptr;
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(name.c_str(), &status);
    if (U_FAILURE(status)) return nullptr;
    status = U_ZERO_ERROR;
    ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr,
                        &status);
    return converter;
}

std::string ToUtf8(const std::u16string& units) {
    std::string out(units.size() * 3, '\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strToUTF8WithSub(out.data(), int32_t(out.size()), &length,
                       reinterpret_cast<const UChar*>(units.data()), int32_t(units.size()), 0xFFFD,
                       nullptr, &status);
    if (U_FAILURE(status)) return std::string();
    out.resize(size_t(length));
    return out;
}

}  // namespace

std::string CharsetOf(std::string_view contentType) {
    std::string lower(contentType);
    for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    const size_t at = lower.find("charset=");
    if (at == std::string::npos) return std::string();
    std::string_view value = contentType.substr(at + 8);
    value = value.substr(0, value.find(';'));
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!value.empty() && blank(value.front())) value.remove_prefix(1);
    while (!value.empty() && blank(value.back())) value.remove_suffix(1);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

ReplyDecoder::ReplyDecoder(std::string_view contentType, const char* fallback)
    : converter_(std::make_unique<Converter>()) {
    UConverter* converter = OpenConverter(CharsetOf(contentType));
    if (!converter) converter = OpenConverter(fallback);
    converter_->handle.reset(converter);
}

ReplyDecoder::~ReplyDecoder() = default;

std::string ReplyDecoder::Decode(std::string_view bytes, bool last) {
    UConverter* converter = converter_->handle.get();
    if (!converter) return std::string(bytes);
    // a byte gives at most two units; the state may add a few from the last piece
    std::u16string units(bytes.size() * 2 + 16, u'\0');
    UChar* target = reinterpret_cast<UChar*>(units.data());
    const char* source = bytes.data();
    UErrorCode status = U_ZERO_ERROR;
    ucnv_toUnicode(converter, &target, target + units.size(), &source,
                   bytes.data() + bytes.size(), nullptr, last, &status);
    if (U_FAILURE(status)) {
        ucnv_reset(converter);
        return std::string();
    }
    units.resize(size_t(target - reinterpret_cast<UChar*>(units.data())));
    return ToUtf8(units);
}

std::string ReplyDecoder::Name() const {
    UErrorCode status = U_ZERO_ERROR;
    const char* name = converter_->handle ? ucnv_getName(converter_->handle.get(), &status) : "";
    return U_SUCCESS(status) && name ? name : "";
}

std::string DecodeReply(std::string_view bytes, std::string_view contentType,
                        const char* fallback) {
    return ReplyDecoder(contentType, fallback).Decode(bytes, true);
}

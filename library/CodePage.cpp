#include "library/CodePage.h"

#include <unicode/ustring.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string_view>
#include <vector>

#include "library/IcuHandles.h"

namespace {

constexpr int32_t kDefiniteConfidence = 50;
constexpr size_t kMaxDetectionBytes = 999;
constexpr int32_t kMaxRedecodedUnits = 1024;

struct CodePageName {
    int32_t codePage;
    const char* converter;
};

constexpr CodePageName kConverterNames[] = {
    {65001, "UTF-8"},         {20127, "US-ASCII"},      {28591, "ISO-8859-1"},
    {1250, "windows-1250"},   {1251, "windows-1251"},   {1252, "windows-1252"},
    {1253, "windows-1253"},   {1254, "windows-1254"},   {1255, "windows-1255"},
    {1256, "windows-1256"},   {28592, "ISO-8859-2"},    {28595, "ISO-8859-5"},
    {28596, "ISO-8859-6"},    {28597, "ISO-8859-7"},    {28598, "ISO-8859-8"},
    {38598, "ISO-8859-8"},    {28599, "ISO-8859-9"},    {20866, "KOI8-R"},
    {932, "cp932"},           {936, "windows-936"},     {949, "windows-949"},
    {950, "windows-950"},     {51932, "EUC-JP"},        {51949, "EUC-KR"},
    {50220, "ISO-2022-JP"},   {50225, "ISO-2022-KR"},   {50227, "ISO-2022-CN"},
    {1200, "UTF-16LE"},       {1201, "UTF-16BE"},
};

// Charsets the detector names, as Windows code pages. The bytes examined were made with
// the ANSI code page, so a Latin-1 answer means they were right as read. EBCDIC and the
// UTF-16/32 guesses cannot describe text that came from an 8-bit frame.
constexpr std::pair<std::string_view, int32_t> kCharsetCodePages[] = {
    {"UTF-8", 65001},         {"ISO-8859-1", 1252},     {"windows-1252", 1252},
    {"ISO-8859-2", 28592},    {"windows-1250", 1250},   {"ISO-8859-5", 28595},
    {"windows-1251", 1251},   {"KOI8-R", 20866},        {"ISO-8859-6", 28596},
    {"windows-1256", 1256},   {"ISO-8859-7", 28597},    {"windows-1253", 1253},
    {"ISO-8859-8", 28598},    {"ISO-8859-8-I", 38598},  {"windows-1255", 1255},
    {"ISO-8859-9", 28599},    {"windows-1254", 1254},   {"Shift_JIS", 932},
    {"GB18030", 936},         {"EUC-JP", 51932},        {"EUC-KR", 51949},
    {"Big5", 950},            {"ISO-2022-JP", 50220},   {"ISO-2022-KR", 50225},
    {"ISO-2022-CN", 50227},
};

ConverterPtr OpenConverter(int32_t codePage) {
    std::vector<std::string> names;
    for (const auto& entry : kConverterNames) {
        if (entry.codePage == codePage) names.emplace_back(entry.converter);
    }
    names.push_back("windows-" + std::to_string(codePage));
    names.push_back("cp" + std::to_string(codePage));
    for (const auto& name : names) {
        UErrorCode status = U_ZERO_ERROR;
        ConverterPtr converter(ucnv_open(name.c_str(), &status));
        if (U_SUCCESS(status) && converter) return converter;
    }
    return nullptr;
}

// This thread's converter for a code page, opened on first use; null if ICU lacks it.
UConverter* Converter(int32_t codePage) {
    thread_local std::map<int32_t, ConverterPtr> converters;
    auto it = converters.find(codePage);
    if (it == converters.end()) {
        ConverterPtr converter = OpenConverter(codePage);
        if (converter) {
            UErrorCode status = U_ZERO_ERROR;
            ucnv_setSubstChars(converter.get(), "?", 1, &status);
        }
        it = converters.emplace(codePage, std::move(converter)).first;
    }
    return it->second.get();
}

std::u16string Utf8ToUtf16(const std::string& text) {
    std::u16string out(text.size() + 1, u'\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, text.data(),
                         static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
    if (U_FAILURE(status)) return {};
    out.resize(static_cast<size_t>(length));
    return out;
}

std::string Utf16ToUtf8(const std::u16string& text) {
    std::string out(text.size() * 3 + 1, '\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, text.data(),
                       static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
    if (U_FAILURE(status)) return {};
    out.resize(static_cast<size_t>(length));
    return out;
}

std::u16string BytesToUtf16(UConverter* converter, const std::string& bytes) {
    ucnv_resetToUnicode(converter);
    std::u16string out(bytes.size() * 2 + 2, u'\0');
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length =
        ucnv_toUChars(converter, out.data(), static_cast<int32_t>(out.size()), bytes.data(),
                      static_cast<int32_t>(bytes.size()), &status);
    if (U_FAILURE(status)) return {};
    out.resize(static_cast<size_t>(length));
    return out;
}

std::string Utf16ToBytes(UConverter* converter, const std::u16string& text) {
    ucnv_resetFromUnicode(converter);
    std::string out(text.size() * 4 + 4, '\0');
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length =
        ucnv_fromUChars(converter, out.data(), static_cast<int32_t>(out.size()), text.data(),
                        static_cast<int32_t>(text.size()), &status);
    if (U_FAILURE(status)) return {};
    out.resize(static_cast<size_t>(length));
    return out;
}

bool IsAscii(const std::string& bytes) {
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

UCharsetDetector* Detector() {
    thread_local DetectorPtr detector = [] {
        UErrorCode status = U_ZERO_ERROR;
        DetectorPtr opened(ucsdet_open(&status));
        if (U_FAILURE(status)) opened.reset();
        return opened;
    }();
    return detector.get();
}

enum class Detection { Definite, NotSure, Failed };

// The best usable answer of the detector for the bytes.
Detection Detect(UCharsetDetector* detector, const std::string& bytes, int32_t& codePage) {
    UErrorCode status = U_ZERO_ERROR;
    ucsdet_setText(detector, bytes.data(), static_cast<int32_t>(bytes.size()), &status);
    int32_t count = 0;
    const UCharsetMatch** matches = ucsdet_detectAll(detector, &count, &status);
    if (U_FAILURE(status) || !matches) return Detection::Failed;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t candidate = CodePageOfCharset(ucsdet_getName(matches[i], &status));
        if (U_FAILURE(status)) return Detection::Failed;
        if (candidate == 0) continue;
        if (ucsdet_getConfidence(matches[i], &status) < kDefiniteConfidence) {
            return Detection::NotSure;
        }
        codePage = candidate;
        return Detection::Definite;
    }
    return Detection::NotSure;
}

}  // namespace

int32_t CodePageOfCharset(const char* name) {
    if (!name) return 0;
    for (const auto& [charset, codePage] : kCharsetCodePages) {
        if (charset == name) return codePage;
    }
    return 0;
}

std::string AnsiToUtf8(const std::string& bytes) {
    UConverter* converter = Converter(kAnsiCodePage);
    if (!converter) return bytes;
    return Utf16ToUtf8(BytesToUtf16(converter, bytes));
}

std::string Utf8ToAnsi(const std::string& text) {
    UConverter* converter = Converter(kAnsiCodePage);
    if (!converter) return text;
    return Utf16ToBytes(converter, Utf8ToUtf16(text));
}

bool SurvivesAnsi(const std::string& text) { return AnsiToUtf8(Utf8ToAnsi(text)) == text; }

int32_t DetectCodePage(const std::string& text) {
    std::string s;
    s.reserve(text.size());
    for (const char c : text) {
        if (c != ' ') s.push_back(c);
    }
    UCharsetDetector* detector = Detector();
    if (!detector) return -2;

    // Plain ASCII needs no detector; this also covers a text of blanks only.
    const std::string unit = Utf8ToAnsi(s);
    if (IsAscii(unit)) return kUsAsciiCodePage;
    // While the detector is unsure the sample grows, until it is longer than 999 bytes: a
    // longer sample gives the multi-byte detectors more to count. Doubling the copies gets
    // there in a few detections, where one more copy per try took up to a thousand.
    const size_t lastCopies = kMaxDetectionBytes / unit.size() + 1;
    std::string bytes = unit;
    for (size_t copies = 1;;) {
        int32_t codePage = 0;
        const Detection answer = Detect(detector, bytes, codePage);
        if (answer == Detection::Definite) return codePage;
        if (answer == Detection::Failed || copies == lastCopies) break;
        const size_t more = std::min(copies, lastCopies - copies);
        for (size_t i = 0; i < more; ++i) bytes += unit;
        copies += more;
    }
    return SurvivesAnsi(text) ? 0 : -1;
}

std::string RedecodeText(const std::string& text, int32_t codePage) {
    UConverter* converter = Converter(codePage);
    if (!converter) return text;
    std::u16string wide = BytesToUtf16(converter, Utf8ToAnsi(text));
    if (wide.size() > static_cast<size_t>(kMaxRedecodedUnits)) {
        size_t cut = kMaxRedecodedUnits;
        if (U16_IS_LEAD(wide[cut - 1])) --cut;  // never split a surrogate pair
        wide.resize(cut);
    }
    return Utf16ToUtf8(wide);
}

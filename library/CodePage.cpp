#include "library/CodePage.h"

#include <unicode/uchar.h>
#include <unicode/uscript.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <bitset>
#include <cmath>
#include <cstring>
#include <map>
#include <string_view>
#include <vector>

#include "library/IcuHandles.h"

namespace {

constexpr int32_t kMaxRedecodedUnits = 1024;

struct CodePageName {
    int32_t codePage;
    const char* converter;
};

constexpr CodePageName kConverterNames[] = {
    {65001, "UTF-8"},       {20127, "US-ASCII"},    {28591, "ISO-8859-1"},  {1250, "windows-1250"},
    {1251, "windows-1251"}, {1252, "windows-1252"}, {1253, "windows-1253"}, {1254, "windows-1254"},
    {1255, "windows-1255"}, {1256, "windows-1256"}, {28592, "ISO-8859-2"},  {28595, "ISO-8859-5"},
    {28596, "ISO-8859-6"},  {28597, "ISO-8859-7"},  {28598, "ISO-8859-8"},  {38598, "ISO-8859-8"},
    {28599, "ISO-8859-9"},  {20866, "KOI8-R"},      {932, "cp932"},         {936, "windows-936"},
    {949, "windows-949"},   {950, "windows-950"},   {51932, "EUC-JP"},      {51949, "EUC-KR"},
    {50220, "ISO-2022-JP"}, {50225, "ISO-2022-KR"}, {50227, "ISO-2022-CN"}, {1200, "UTF-16LE"},
    {1201, "UTF-16BE"},
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

// The converter for a code page from a thread's cache, opened and set up on first use; null
// if ICU lacks it.
template <typename SetUp>
UConverter* CachedConverter(std::map<int32_t, ConverterPtr>& converters, int32_t codePage,
                            SetUp setUp) {
    auto it = converters.find(codePage);
    if (it == converters.end()) {
        ConverterPtr converter = OpenConverter(codePage);
        if (converter) {
            UErrorCode status = U_ZERO_ERROR;
            setUp(converter.get(), status);
        }
        it = converters.emplace(codePage, std::move(converter)).first;
    }
    return it->second.get();
}

// This thread's converter for a code page, which writes '?' for what it cannot map.
UConverter* Converter(int32_t codePage) {
    thread_local std::map<int32_t, ConverterPtr> converters;
    return CachedConverter(converters, codePage, [](UConverter* c, UErrorCode& status) {
        ucnv_setSubstChars(c, "?", 1, &status);
    });
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
    const int32_t length = ucnv_toUChars(converter, out.data(), static_cast<int32_t>(out.size()),
                                         bytes.data(), static_cast<int32_t>(bytes.size()), &status);
    if (U_FAILURE(status)) return {};
    out.resize(static_cast<size_t>(length));
    return out;
}

std::string Utf16ToBytes(UConverter* converter, const std::u16string& text) {
    ucnv_resetFromUnicode(converter);
    std::string out(text.size() * 4 + 4, '\0');
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = ucnv_fromUChars(converter, out.data(), static_cast<int32_t>(out.size()),
                                           text.data(), static_cast<int32_t>(text.size()), &status);
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

// This thread's converter for a code page that stops at the first byte it cannot map, so
// that a wrong guess shows as a failure rather than as replacement characters.
UConverter* StrictConverter(int32_t codePage) {
    thread_local std::map<int32_t, ConverterPtr> converters;
    return CachedConverter(converters, codePage, [](UConverter* c, UErrorCode& status) {
        ucnv_setToUCallBack(c, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    });
}

// The bytes in a code page, each unit with the offset of the byte it came from; false when
// the bytes are not valid there.
bool DecodeStrict(int32_t codePage, const std::string& bytes, std::u16string& text,
                  std::vector<int32_t>& offsets) {
    UConverter* converter = StrictConverter(codePage);
    if (!converter) return false;
    ucnv_resetToUnicode(converter);
    text.assign(bytes.size() + 1, u'\0');
    offsets.assign(bytes.size() + 1, 0);
    UChar* target = text.data();
    const char* source = bytes.data();
    UErrorCode status = U_ZERO_ERROR;
    ucnv_toUnicode(converter, &target, text.data() + text.size(), &source,
                   bytes.data() + bytes.size(), offsets.data(), true, &status);
    if (U_FAILURE(status)) return false;
    text.resize(static_cast<size_t>(target - text.data()));
    return true;
}

// Guessing the code page of a garbled text. Each reading of the bytes gets a score in bits:
// how much likelier the characters are as text of that reading than as random bytes. The
// reading as Windows-1252 (the text as it stands) competes like any other, so that correct
// Western text is kept unless another reading is clearly better.

constexpr double kInvalid = -1e9;
constexpr size_t npos = std::u16string_view::npos;
// How much better than the text as it stands a repair must read.
constexpr double kMargin = 6;

bool IsAsciiLetter(char32_t c) { return (c | 0x20) >= u'a' && (c | 0x20) <= u'z'; }
bool IsAsciiSmall(char32_t c) { return c >= u'a' && c <= u'z'; }

// Western text read as Windows-1252.
enum class Kind { None, Ascii, Upper, Lower, Opener, Closer, Dash, Symbol, Control };

Kind KindOf(const std::u16string& text, size_t i, size_t begin, size_t end) {
    if (i < begin || i >= end) return Kind::None;
    const char16_t c = text[i];
    if (c < 0x80) return Kind::Ascii;
    if (c <= 0x9F) return Kind::Control;  // a byte the code page lacks
    if (c == u'Š' || c == u'Œ' || c == u'Ž' || c == u'Ÿ') return Kind::Upper;
    if (c == u'š' || c == u'œ' || c == u'ž') return Kind::Lower;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return Kind::Upper;
    if (c >= 0xDF && c <= 0xFF && c != 0xF7) return Kind::Lower;
    switch (c) {
        case u'“':
        case u'‘':
        case u'„':
        case u'«':
        case u'¿':
        case u'¡':
            return Kind::Opener;
        case u'”':
        case u'’':
        case u'»':
            return Kind::Closer;
        case u'–':
        case u'—':
        case u'…':
            return Kind::Dash;
        default:
            return Kind::Symbol;
    }
}

bool IsHighLetter(Kind kind) { return kind == Kind::Upper || kind == Kind::Lower; }
bool IsHighMark(Kind kind) { return kind >= Kind::Opener; }

// A run of two or more accented letters and signs that makes up a whole word.
bool IsHighWord(const std::u16string& text, size_t begin, size_t end) {
    const auto letterAt = [&](size_t i) { return i < text.size() && IsAsciiLetter(text[i]); };
    return end - begin >= 2 && !(begin > 0 && letterAt(begin - 1)) && !letterAt(end);
}

double WesternBits(const std::u16string& text) {
    double bits = 0;
    size_t begin = 0;
    for (size_t end = 0; end <= text.size(); ++end) {
        if (end < text.size() && text[end] != u' ') continue;
        size_t runStart = begin;
        for (size_t i = begin; i < end; ++i) {
            const Kind kind = KindOf(text, i, begin, end);
            if (kind == Kind::Ascii) {
                if (IsHighWord(text, runStart, i)) bits -= 6;
                runStart = i + 1;
                // Brackets and the like glued to accented letters are halves of double bytes.
                if (std::u16string_view(u"{|}[]\\^_`@~").find(text[i]) !=
                        std::u16string_view::npos &&
                    KindOf(text, i - 1, begin, end) > Kind::Ascii) {
                    bits -= 4;
                }
                continue;
            }
            const Kind before = i > begin ? KindOf(text, i - 1, begin, end) : Kind::None;
            const Kind after = KindOf(text, i + 1, begin, end);
            const bool letterBefore =
                before == Kind::Ascii ? IsAsciiLetter(text[i - 1]) : IsHighLetter(before);
            const bool letterAfter =
                after == Kind::Ascii ? IsAsciiLetter(text[i + 1]) : IsHighLetter(after);
            if (IsHighMark(kind) && IsHighMark(before) && text[i - 1] != u'…') bits -= 4;
            switch (kind) {
                case Kind::Upper:
                case Kind::Lower: {
                    bits += 2;
                    if (IsHighLetter(before)) {
                        bits -= 2;
                        if (i >= begin + 2 && IsHighLetter(KindOf(text, i - 2, begin, end))) {
                            bits -= 6;
                        }
                    }
                    const bool smallBefore = before == Kind::Lower ||
                                             (before == Kind::Ascii && IsAsciiSmall(text[i - 1]));
                    if (kind == Kind::Upper && smallBefore) bits -= 6;
                    break;
                }
                case Kind::Opener:
                    bits += letterBefore ? -4 : 1;
                    break;
                case Kind::Closer:
                    bits += letterAfter && text[i] != u'’' ? -4 : 1;
                    break;
                case Kind::Dash:
                    bits += letterBefore && letterAfter ? -3 : 1;
                    break;
                case Kind::Symbol:
                    bits += letterBefore || letterAfter ? -5 : -1;
                    break;
                default:
                    bits -= 20;
                    break;
            }
        }
        if (IsHighWord(text, runStart, end)) bits -= 6;
        begin = end + 1;
    }
    return bits;
}

// The most common characters of Chinese text, in simplified and traditional writing.
constexpr char kCommonSimplified[] =
    "的一是不了人我在有他这中大来上国个到说们为子和你地出道也时年"
    "得就那要下以生会自着去之过家学对可她里后小么心多天而能好都然"
    "没日于起还发成事只作当想看文无开手十用主行方又如前所本见经头"
    "面公同三已老从动两长知民样现分将外但身些与高意进把法此实回二"
    "理美点月明其种声全工己话儿者向情部正名定女问力机给等几很业最"
    "间新什打便位因重被走电四第门相次东政海口使教西再平真听世气信"
    "北少关并内加化由却代军产入先山五太水万市眼体别处总才场师书比"
    "住员九笑性通目华报立马命张活难神数件安表原车白应路期叫死常提"
    "感金何更反合放做系计或司利受光王果亲界及今京务制解各任至清物"
    "台象记边共风战干接它许八特觉望直服毛林题建南度统色字请交爱让"
    "认算论百吃义科怎元社术结六功指思非流每青管夫连远资队跟带花快"
    "条院变联言权往展该领传近留红治决周保达办运武半候七必城父强步"
    "完革深区即求品士转量空甚众技轻程告江语英基派满式李息写呢识极"
    "令黄德收脸钱党倒未持取设始版双历越史商千片容研像找友孩站广改"
    "议形委早房音火际则首单据导影失拿网香似斯专石若兵弟谁校读志飞"
    "观争究包组造落视济喜离虽坏兴切米随球急坐怕爸官精母河朋您差整"
    "列故念排客陈刘杨吴赵孙朱胡郭罗郑梁谢宋唐韩冯邓曹彭曾萧田董潘"
    "袁蔡蒋余杜叶苏魏吕丁沈姚卢姜崔钟谭陆汪范廖贾夏韦付邹孟熊秦邱"
    "尹薛闫段雷侯龙陶黎贺顾郝龚邵严覃戴莫孔汤伟芳娜敏静丽磊洋勇艳"
    "杰娟涛超秀慧刚桂辉玲燕宇霞婷鹏丹浩凤兰琴云梅玉珍莉萍雪霖琳晶"
    "颖佳欣怡婉倩雅晴梦涵轩博俊峰鑫宏斌波庆春秋冬阳荣福善琪星雨露"
    "川湖溪泉森树木草竹松柏桃杏荷菊玫瑰歌曲唱舞乐调笛鼓诗词恋灵魂"
    "泪哭醉愿盼待逢遇忆岁永宙乡街村庄窗灯夜晚晨昏午季节温暖寒冷热"
    "闹孤独寂寞幸悲伤痛苦甜蜜漂亮柔敢翔奔跑躺睡醒吻抱拥牵闻画寻忘"
    "怀依守护陪伴约承诺誓谎假错黑蓝绿紫灰银彩虹朵滴冰烟尘沙土钻珠"
    "宝贝恶魔雄男兄姐妹妈妻婆爷奶童昨";
constexpr char kCommonTraditional[] =
    "的一是不了人我在有他這中大來上國個到說們為子和你地出道也時年"
    "得就那要下以生會自著去之過家學對可她里後小麼心多天而能好都然"
    "沒日於起還發成事只作當想看文無開手十用主行方又如前所本見經頭"
    "面公同三已老從動兩長知民樣現分將外但身些與高意進把法此實回二"
    "理美點月明其種聲全工己話兒者向情部正名定女問力機給等幾很業最"
    "間新什打便位因重被走電四第門相次東政海口使教西再平真聽世氣信"
    "北少關並內加化由卻代軍產入先山五太水萬市眼體別處總才場師書比"
    "住員九笑性通目華報立馬命張活難神數件安表原車白應路期叫死常提"
    "感金何更反合放做系計或司利受光王果親界及今京務制解各任至清物"
    "台象記邊共風戰乾接它許八特覺望直服毛林題建南度統色字請交愛讓"
    "認算論百吃義科怎元社術結六功指思非流每青管夫連遠資隊跟帶花快"
    "條院變聯言權往展該領傳近留紅治決周保達辦運武半候七必城父強步"
    "完革深區即求品士轉量空甚眾技輕程告江語英基派滿式李息寫呢識極"
    "令黃德收臉錢黨倒未持取設始版雙歷越史商千片容研像找友孩站廣改"
    "議形委早房音火際則首單據導影失拿網香似斯專石若兵弟誰校讀志飛"
    "觀爭究包組造落視濟喜離雖壞興切米隨球急坐怕爸官精母河朋您差整"
    "列故念排客陳劉楊吳趙孫朱胡郭羅鄭梁謝宋唐韓馮鄧曹彭曾蕭田董潘"
    "袁蔡蔣余杜葉蘇魏呂丁沈姚盧姜崔鐘譚陸汪範廖賈夏韋付鄒孟熊秦邱"
    "尹薛閆段雷侯龍陶黎賀顧郝龔邵嚴覃戴莫孔湯偉芳娜敏靜麗磊洋勇艷"
    "傑娟濤超秀慧剛桂輝玲燕宇霞婷鵬丹浩鳳蘭琴雲梅玉珍莉萍雪霖琳晶"
    "穎佳欣怡婉倩雅晴夢涵軒博俊峰鑫宏斌波慶春秋冬陽榮福善琪星雨露"
    "川湖溪泉森樹木草竹松柏桃杏荷菊玫瑰歌曲唱舞樂調笛鼓詩詞戀靈魂"
    "淚哭醉願盼待逢遇憶歲永宙鄉街村莊窗燈夜晚晨昏午季節溫暖寒冷熱"
    "鬧孤獨寂寞幸悲傷痛苦甜蜜漂亮柔敢翔奔跑躺睡醒吻抱擁牽聞畫尋忘"
    "懷依守護陪伴約承諾誓謊假錯黑藍綠紫灰銀彩虹朵滴冰煙塵砂土鑽珠"
    "寶貝惡魔雄男兄姐妹媽妻婆爺奶童昨";

struct CharSet {
    explicit CharSet(std::string_view utf8) {
        for (int32_t i = 0; i < static_cast<int32_t>(utf8.size());) {
            UChar32 c;
            U8_NEXT(utf8.data(), i, static_cast<int32_t>(utf8.size()), c);
            if (c >= 0 && c < 0x10000) members.set(static_cast<size_t>(c));
        }
    }
    bool Has(char32_t c) const { return c < 0x10000 && members.test(c); }
    std::bitset<0x10000> members;
};

const CharSet& CommonSimplified() {
    static const CharSet set(kCommonSimplified);
    return set;
}
const CharSet& CommonTraditional() {
    static const CharSet set(kCommonTraditional);
    return set;
}

bool IsHan(char32_t c) {
    return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF) ||
           (c >= 0xF900 && c <= 0xFAFF);
}
bool IsKana(char32_t c) { return (c >= 0x3041 && c <= 0x30FF && c != 0x30FB) || c == 0x3005; }
bool IsCjkPunctuation(char32_t c) {
    return (c >= 0x3000 && c <= 0x303F) || (c >= 0x2010 && c <= 0x206F) || c == 0x00B7 ||
           c == 0x30FB || (c >= 0xFF01 && c <= 0xFF0F) || (c >= 0xFF1A && c <= 0xFF20);
}

// Chinese and Japanese: the common characters, then the first level of the code page's
// character set (the frequent ones, by the standard's own choice), then the rest.
double CjkBits(int32_t codePage, const std::string& bytes, const std::u16string& text,
               const std::vector<int32_t>& offsets) {
    double bits = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        if (c < 0x80) continue;
        if ((c >= 0xE000 && c <= 0xF8FF) || U16_IS_SURROGATE(c) || c < 0xA0) return kInvalid;
        const size_t at = static_cast<size_t>(offsets[i]);
        const uint32_t lead = static_cast<unsigned char>(bytes[at]);
        const uint32_t pair =
            at + 1 < bytes.size() ? lead << 8 | static_cast<unsigned char>(bytes[at + 1]) : 0;
        if (IsHan(c)) {
            if (codePage == 936) {
                const bool first = lead >= 0xB0 && lead <= 0xD7 && (pair & 0xFF) >= 0xA1;
                const bool second = lead >= 0xD8 && lead <= 0xF7 && (pair & 0xFF) >= 0xA1;
                bits += CommonSimplified().Has(c) ? 4.3 : first ? 0.5 : second ? -2 : -7;
            } else if (codePage == 950) {
                const bool first = pair >= 0xA440 && pair <= 0xC67E;
                const bool second = pair >= 0xC940 && pair <= 0xF9D5;
                bits += CommonTraditional().Has(c) ? 4.3 : first ? 0.2 : second ? -3 : -7;
            } else {
                const bool first = pair >= 0x889F && pair <= 0x9872;
                const bool second = pair >= 0x989F && pair <= 0xEAA4;
                // Japanese writes most common characters as one of the two Chinese forms.
                const bool common = CommonSimplified().Has(c) || CommonTraditional().Has(c);
                bits += first ? (common ? 4.3 : 1.6) : second ? -3 : -7;
            }
        } else if (IsKana(c)) {
            bits += codePage == 932 ? 5 : -6;
        } else if (IsCjkPunctuation(c)) {
            bits += 1;
        } else {
            bits -= 6;  // half-width katakana, Greek, box drawing, Latin with tones
        }
    }
    return bits;
}

// Letters of Russian and Hebrew text per thousand, to tell the two apart: each one's
// letters read in the other's code page are letters too. Hebrew final letters count with
// their letter.
constexpr double kRussianPerMille[32] = {80, 16, 45, 17,  30,  85, 9,  16, 74, 12, 35,
                                         44, 32, 67, 110, 28,  47, 55, 63, 26, 3,  10,
                                         5,  14, 7,  4,   0.4, 19, 17, 3,  6,  20};
constexpr double kHebrewPerMille[27] = {60, 50, 12, 28, 90, 100, 8,  22, 12, 110, 33, 33, 72, 65,
                                        65, 45, 45, 13, 30, 17,  17, 10, 10, 18,  55, 45, 50};

double Bits(double perMille, double caseShare) { return std::log2(perMille * caseShare * 0.128); }

bool IsBlankOrEdge(const std::u16string& text, size_t i) {
    return i == 0 || i + 1 >= text.size() || text[i - 1] == u' ' || text[i + 1] == u' ';
}
bool IsWordPunctuation(char16_t c) {
    return std::u16string_view(u"«»„“”–—…№’").find(c) != std::u16string_view::npos;
}

// Russian case: a capital starts a word or continues one in capitals, never follows a small
// letter.
double CyrillicBits(const std::u16string& text) {
    double bits = 0;
    bool anyCapital = false;
    int32_t words = 0;
    size_t position = 0;  // within the word
    bool allCapitals = true;
    bool russianOnly = false;
    bool otherOnly = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u' ') {
            if (russianOnly && otherOnly) bits -= 6;
            russianOnly = otherOnly = false;
            position = 0;
            allCapitals = true;
            continue;
        }
        if (position == 0) ++words;
        const bool capital = (c >= 0x410 && c <= 0x42F) || c == 0x401;
        const bool small = (c >= 0x430 && c <= 0x44F) || c == 0x451;
        if (capital || small) {
            const size_t letter = c == 0x401 || c == 0x451 ? 5 : (c - 0x410) % 32;
            double capitalShare = position == 0   ? 0.6
                                  : !allCapitals  ? 0.005
                                  : position == 1 ? 0.3
                                                  : 0.95;
            bits += Bits(kRussianPerMille[letter], capital ? capitalShare : 1 - capitalShare);
            const bool latinNear = (i > 0 && IsAsciiLetter(text[i - 1])) ||
                                   (i + 1 < text.size() && IsAsciiLetter(text[i + 1]));
            if (latinNear) bits -= 8;
            if (i >= 2 && text[i - 1] == c && text[i - 2] == c) bits -= 8;  // no word has "ооо"
            anyCapital = anyCapital || capital;
            allCapitals = allCapitals && capital;
        } else if (c >= 0x400 && c <= 0x4FF) {
            bits -= 2;  // Ukrainian, Belarusian, Serbian and Macedonian letters
            allCapitals = false;
        } else if (c >= 0x80) {
            bits += IsWordPunctuation(c) && IsBlankOrEdge(text, i) ? 0 : -6;
        }
        // No language writes both ы and і.
        russianOnly = russianOnly || std::u16string_view(u"ЫыЭэЪъЁё").find(c) != npos;
        otherOnly = otherOnly || std::u16string_view(u"ІіЇїЄєЂђЉљЊњЋћЏџЈј").find(c) != npos;
        ++position;
    }
    if (russianOnly && otherOnly) bits -= 6;
    if (!anyCapital) bits -= words;
    return bits;
}

// Hebrew: five letters have a form of their own at the end of a word and only there.
double HebrewBits(const std::u16string& text) {
    double bits = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c < 0x80) continue;
        const char16_t previous = i > 0 ? text[i - 1] : u' ';
        const char16_t next = i + 1 < text.size() ? text[i + 1] : u' ';
        const bool wordEnd = !(next >= 0x5B0 && next <= 0x5F4) && !IsAsciiLetter(next);
        if (c >= 0x5D0 && c <= 0x5EA) {
            bits += Bits(kHebrewPerMille[c - 0x5D0], 1);
            const bool final = c == 0x5DA || c == 0x5DD || c == 0x5DF || c == 0x5E3 || c == 0x5E5;
            const bool hasFinal =
                c == 0x5DB || c == 0x5DE || c == 0x5E0 || c == 0x5E4 || c == 0x5E6;
            if (final && !wordEnd) bits -= 6;
            if (hasFinal && wordEnd) bits -= 3;
            if (IsAsciiLetter(previous) || IsAsciiLetter(next)) bits -= 8;
            if (i >= 2 && previous == c && text[i - 2] == c) bits -= 8;
        } else if (c >= 0x5B0 && c <= 0x5C7) {
            // Points are rare in tags, and never stand on nothing.
            bits -= previous >= 0x5B0 && previous <= 0x5F2 ? 1 : 6;
        } else if (c >= 0x5F0 && c <= 0x5F2) {
            bits -= 3;  // Yiddish ligatures
        } else if (c == 0x5F3 || c == 0x5F4) {
            // geresh and gershayim
        } else if (c == 0x200E || c == 0x200F) {
            bits -= 1;
        } else {
            bits += IsWordPunctuation(c) && IsBlankOrEdge(text, i) ? 0 : -6;
        }
    }
    return bits;
}

// Valid UTF-8 rarely happens by chance: each character counts much, as long as the letters
// of each word belong to one script.
double Utf8Bits(const std::u16string& text) {
    double bits = 0;
    UScriptCode wordScript = USCRIPT_COMMON;
    for (int32_t i = 0; i < static_cast<int32_t>(text.size());) {
        UChar32 c;
        U16_NEXT(text.data(), i, static_cast<int32_t>(text.size()), c);
        if (c == u' ') wordScript = USCRIPT_COMMON;
        if (c < 0x80) continue;
        if (c < 0xA0 || (c >= 0xE000 && c <= 0xF8FF) || (c & 0xFFFE) == 0xFFFE) return kInvalid;
        const int8_t type = u_charType(c);
        if (type == U_NON_SPACING_MARK || type == U_COMBINING_SPACING_MARK) {
            bits += wordScript != USCRIPT_COMMON ? 4 : -6;  // marks belong on letters
            continue;
        }
        UErrorCode status = U_ZERO_ERROR;
        UScriptCode script = uscript_getScript(c, &status);
        if (script == USCRIPT_HIRAGANA || script == USCRIPT_KATAKANA) script = USCRIPT_HAN;
        if (script == USCRIPT_COMMON || script == USCRIPT_INHERITED) {
            bits += 4;
            continue;
        }
        bits += wordScript == USCRIPT_COMMON || script == wordScript ? 8 : -6;
        wordScript = script;
    }
    return bits;
}

constexpr int32_t kCandidates[] = {kUtf8CodePage, 936, 950, 932, 1251, 1255};

// The code page that reads the bytes clearly better than Windows-1252 does, or 0.
int32_t BestRepair(const std::string& bytes, const std::u16string& asRead) {
    double bestBits = WesternBits(asRead) + kMargin;
    int32_t best = 0;
    std::u16string text;
    std::vector<int32_t> offsets;
    for (const int32_t codePage : kCandidates) {
        if (!DecodeStrict(codePage, bytes, text, offsets)) continue;
        double bits = kInvalid;
        switch (codePage) {
            case kUtf8CodePage:
                bits = Utf8Bits(text);
                break;
            case 1251:
                bits = CyrillicBits(text);
                break;
            case 1255:
                bits = HebrewBits(text);
                break;
            default:
                bits = CjkBits(codePage, bytes, text, offsets);
                break;
        }
        if (bits > bestBits && bits > 0) {
            best = codePage;
            bestBits = bits;
        }
    }
    return best;
}

}  // namespace

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
    if (IsAscii(text)) return kUsAsciiCodePage;
    if (!StrictConverter(kAnsiCodePage)) return -2;
    if (!SurvivesAnsi(text)) return -1;
    return BestRepair(Utf8ToAnsi(text), Utf8ToUtf16(text));
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

std::vector<std::string> ConverterNames() {
    std::vector<std::string> names;
    const int32_t count = ucnv_countAvailable();
    for (int32_t i = 0; i < count; ++i) {
        if (const char* name = ucnv_getAvailableName(i)) names.emplace_back(name);
    }
    return names;
}

std::string RedecodeTextWith(const std::string& text, const std::string& converterName) {
    UErrorCode status = U_ZERO_ERROR;
    ConverterPtr converter(ucnv_open(converterName.c_str(), &status));
    if (U_FAILURE(status) || !converter) return {};
    std::u16string wide = BytesToUtf16(converter.get(), Utf8ToAnsi(text));
    if (wide.size() > static_cast<size_t>(kMaxRedecodedUnits)) return {};
    return Utf16ToUtf8(wide);
}

// Windows language identifiers of POSIX locale names, for the checks that go by the user's
// own language rather than by the interface language.

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

#include "res/StringTable.h"

namespace {

struct LocaleLcid {
    std::string_view name;  // language[_Script]_TERRITORY
    int lcid;
};

// The common locales. Where a language is written in two scripts, the plain name is the
// script glibc uses without a modifier.
constexpr LocaleLcid kLocales[] = {
    {"af_ZA", 1078},  {"am_ET", 1118},      {"ar_AE", 14337}, {"ar_BH", 15361}, {"ar_DZ", 5121},
    {"ar_EG", 3073},  {"ar_IQ", 2049},      {"ar_JO", 11265}, {"ar_KW", 13313}, {"ar_LB", 12289},
    {"ar_LY", 4097},  {"ar_MA", 6145},      {"ar_OM", 8193},  {"ar_QA", 16385}, {"ar_SA", 1025},
    {"ar_SY", 10241}, {"ar_TN", 7169},      {"ar_YE", 9217},  {"az_AZ", 1068},  {"be_BY", 1059},
    {"bg_BG", 1026},  {"bn_IN", 1093},      {"br_FR", 1150},  {"bs_BA", 5146},  {"ca_ES", 1027},
    {"cs_CZ", 1029},  {"cy_GB", 1106},      {"da_DK", 1030},  {"de_AT", 3079},  {"de_CH", 2055},
    {"de_DE", 1031},  {"de_LI", 5127},      {"de_LU", 4103},  {"el_GR", 1032},  {"en_AU", 3081},
    {"en_BZ", 10249}, {"en_CA", 4105},      {"en_GB", 2057},  {"en_IE", 6153},  {"en_IN", 16393},
    {"en_JM", 8201},  {"en_MY", 17417},     {"en_NZ", 5129},  {"en_PH", 13321}, {"en_SG", 18441},
    {"en_TT", 11273}, {"en_US", 1033},      {"en_ZA", 7177},  {"en_ZW", 12297}, {"es_AR", 11274},
    {"es_BO", 16394}, {"es_CL", 13322},     {"es_CO", 9226},  {"es_CR", 5130},  {"es_DO", 7178},
    {"es_EC", 12298}, {"es_ES", 3082},      {"es_GT", 4106},  {"es_HN", 18442}, {"es_MX", 2058},
    {"es_NI", 19466}, {"es_PA", 6154},      {"es_PE", 10250}, {"es_PR", 20490}, {"es_PY", 15370},
    {"es_SV", 17418}, {"es_US", 21514},     {"es_UY", 14346}, {"es_VE", 8202},  {"et_EE", 1061},
    {"eu_ES", 1069},  {"fa_IR", 1065},      {"fi_FI", 1035},  {"fil_PH", 1124}, {"fo_FO", 1080},
    {"fr_BE", 2060},  {"fr_CA", 3084},      {"fr_CH", 4108},  {"fr_FR", 1036},  {"fr_LU", 5132},
    {"fr_MC", 6156},  {"fy_NL", 1122},      {"ga_IE", 2108},  {"gd_GB", 1169},  {"gl_ES", 1110},
    {"gu_IN", 1095},  {"he_IL", 1037},      {"hi_IN", 1081},  {"hr_HR", 1050},  {"hu_HU", 1038},
    {"hy_AM", 1067},  {"id_ID", 1057},      {"is_IS", 1039},  {"it_CH", 2064},  {"it_IT", 1040},
    {"ja_JP", 1041},  {"ka_GE", 1079},      {"kk_KZ", 1087},  {"km_KH", 1107},  {"kn_IN", 1099},
    {"ko_KR", 1042},  {"ky_KG", 1088},      {"lb_LU", 1134},  {"lo_LA", 1108},  {"lt_LT", 1063},
    {"lv_LV", 1062},  {"mk_MK", 1071},      {"ml_IN", 1100},  {"mn_MN", 1104},  {"mr_IN", 1102},
    {"ms_MY", 1086},  {"mt_MT", 1082},      {"nb_NO", 1044},  {"ne_NP", 1121},  {"nl_BE", 2067},
    {"nl_NL", 1043},  {"nn_NO", 2068},      {"no_NO", 1044},  {"oc_FR", 1154},  {"pa_IN", 1094},
    {"pl_PL", 1045},  {"ps_AF", 1123},      {"pt_BR", 1046},  {"pt_PT", 2070},  {"rm_CH", 1047},
    {"ro_RO", 1048},  {"ru_RU", 1049},      {"si_LK", 1115},  {"sk_SK", 1051},  {"sl_SI", 1060},
    {"sq_AL", 1052},  {"sr_Latn_RS", 9242}, {"sr_RS", 10266}, {"sv_FI", 2077},  {"sv_SE", 1053},
    {"sw_KE", 1089},  {"ta_IN", 1097},      {"te_IN", 1098},  {"tg_TJ", 1064},  {"th_TH", 1054},
    {"tr_TR", 1055},  {"tt_RU", 1092},      {"uk_UA", 1058},  {"ur_PK", 1056},  {"uz_UZ", 1091},
    {"vi_VN", 1066},  {"xh_ZA", 1076},      {"yo_NG", 1130},  {"zh_CN", 2052},  {"zh_HK", 3076},
    {"zh_MO", 5124},  {"zh_SG", 4100},      {"zh_TW", 1028},  {"zu_ZA", 1077},
};

// What Windows answers for a locale that has no identifier of its own.
constexpr int kLocaleCustomUnspecified = 0x1000;

int Find(const std::string& name) {
    for (const LocaleLcid& entry : kLocales)
        if (entry.name == name) return entry.lcid;
    return 0;
}

std::string Cased(std::string text, bool upper) {
    for (char& c : text) {
        const auto u = static_cast<unsigned char>(c);
        c = static_cast<char>(upper ? std::toupper(u) : std::tolower(u));
    }
    return text;
}

}  // namespace

int LanguageFromLocaleName(const std::string& localeName) {
    // "sr_RS.UTF-8@latin", the BCP 47 form "sr-Latn-RS" and Qt's "sr_Latn_RS" all name
    // Serbian in Latin letters.
    const size_t cut = localeName.find_first_of(".@");
    std::string name = localeName.substr(0, cut);
    const size_t at = localeName.find('@');
    const std::string modifier = at == std::string::npos ? "" : localeName.substr(at + 1);
    std::replace(name.begin(), name.end(), '-', '_');
    // The unset locale stands for the program's home locale, English (United States).
    if (name.empty() || name == "C" || name == "POSIX") return kLanguageEnglish;

    std::string language = Cased(name.substr(0, name.find('_')), false);
    std::string script, territory;
    if (const size_t first = name.find('_'); first != std::string::npos) {
        std::string rest = name.substr(first + 1);
        if (const size_t second = rest.find('_'); second != std::string::npos) {
            script = rest.substr(0, second);
            rest = rest.substr(second + 1);
        }
        territory = Cased(rest, true);
    }
    if (script.empty() && Cased(modifier, false) == "latin") script = "Latn";
    if (!script.empty()) {
        script = Cased(script, false);
        script[0] = Cased(script.substr(0, 1), true)[0];
    }
    if (language.empty()) return kLocaleCustomUnspecified;

    if (!territory.empty()) {
        if (!script.empty())
            if (int lcid = Find(language + "_" + script + "_" + territory)) return lcid;
        if (int lcid = Find(language + "_" + territory)) return lcid;
    }
    // A language alone, or in a territory without its own identifier: the language's neutral
    // identifier (its primary language bits), as Windows gives for "de" or "en".
    for (const LocaleLcid& entry : kLocales) {
        const std::string_view entryLanguage = entry.name.substr(0, entry.name.find('_'));
        if (entryLanguage == language) return entry.lcid & 0x3FF;
    }
    return kLocaleCustomUnspecified;
}

// The tag-text repair over generated corpora of names: correct Western text must come
// through unchanged, and text written in another code page but read as Windows-1252 must
// come back as written.

#include <gtest/gtest.h>
#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <cstdio>
#include <string>
#include <vector>

#include "library/CodePage.h"

namespace {

using Words = std::vector<std::string>;

// The scanner's rule for one tag text.
std::string Repair(const std::string& text) {
    const int32_t codePage = DetectCodePage(text);
    if (codePage < 0 || codePage == kUsAsciiCodePage || !SurvivesAnsi(text)) return text;
    return RedecodeText(text, codePage);
}

Words Combine(const Words& firsts, const Words& lasts, const char* separator) {
    Words names = firsts;
    for (const std::string& first : firsts) {
        for (const std::string& last : lasts) names.push_back(first + separator + last);
    }
    return names;
}

// The text written in the code page and read back as Windows-1252.
std::string Garble(const std::string& text, const char* charset) {
    std::u16string wide(text.size() + 1, u'\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8(wide.data(), static_cast<int32_t>(wide.size()), &length, text.data(),
                  static_cast<int32_t>(text.size()), &status);
    wide.resize(static_cast<size_t>(length));
    UConverter* converter = ucnv_open(charset, &status);
    ucnv_setFromUCallBack(converter, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    std::string bytes(wide.size() * 4 + 4, '\0');
    length = ucnv_fromUChars(converter, bytes.data(), static_cast<int32_t>(bytes.size()),
                             wide.data(), static_cast<int32_t>(wide.size()), &status);
    ucnv_close(converter);
    EXPECT_TRUE(U_SUCCESS(status)) << charset << " cannot hold " << text;
    bytes.resize(static_cast<size_t>(length));
    return AnsiToUtf8(bytes);
}

// The share of the names that the repair turns from their garbled form back into themselves.
double RepairedShare(const Words& names, const char* charset) {
    size_t repaired = 0;
    for (const std::string& name : names) repaired += Repair(Garble(name, charset)) == name;
    const double share = static_cast<double>(repaired) / static_cast<double>(names.size());
    std::printf("%-12s %5zu names, %5.1f%% repaired\n", charset, names.size(), share * 100);
    return share;
}

const Words kWesternFirsts = {
    "Niña",   "Ýmir",      "José",    "Begoña",    "Íñigo",    "Ángel",  "Inés",    "María",
    "Sofía",  "Raúl",      "Jesús",   "Óscar",     "Martín",   "Núria",  "Àlex",    "Jürgen",
    "Jörg",   "Günter",    "Käthe",   "Björn",     "Sigurður", "Þórður", "Guðrún",  "Ásdís",
    "Ólafur", "Hjördís",   "Bryndís", "Ægir",      "Åsa",      "Søren",  "Øystein", "Bjørn",
    "Mårten", "Göran",     "Hélène",  "François",  "Zoë",      "Maël",   "Chloé",   "Jérôme",
    "Noël",   "Gaëlle",    "João",    "Conceição", "Estêvão",  "Luís",   "Antônio", "Flávia",
    "Lúcia",  "Sebastião", "Ramón",   "Renée",     "Þóra",     "Dagný",  "Kåre",    "Ærøskøbing",
};
const Words kWesternLasts = {
    "Muñoz",          "Ibáñez",        "Peña",        "Núñez",
    "Pérez",          "López",         "Martínez",    "Gómez",
    "Müller",         "Schröder",      "Weiß",        "Köhler",
    "Jónsdóttir",     "Þórsson",       "Guðmundsson", "Ólafsdóttir",
    "Sigurðardóttir", "Nørgaard",      "Sjöström",    "Håkansson",
    "Åberg",          "Lefèvre",       "Brontë",      "Gonçalves",
    "Magalhães",      "Simões",        "Araújo",      "Mötley Crüe",
    "Déjà Vu",        "Sigur Rós",     "Motörhead",   "Ça plane pour moi",
    "Canção",         "¿Dónde estás?", "Don’t Stop",  "Live – 1999",
    "MÖTLEY CRÜE",    "Blåbær",        "Œuvre",
};

const Words kChineseSurnames = {
    "王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周", "徐", "孙", "马", "朱",
    "胡", "郭", "何", "高", "林", "罗", "郑", "梁", "谢", "宋", "唐", "许", "韩", "冯",
    "邓", "曹", "彭", "曾", "萧", "田", "董", "潘", "袁", "蔡", "蒋", "余",
};
const Words kChineseGiven = {
    "伟",
    "芳",
    "娜",
    "敏",
    "静",
    "丽",
    "强",
    "磊",
    "军",
    "洋",
    "勇",
    "艳",
    "杰",
    "娟",
    "涛",
    "明",
    "超",
    "秀英",
    "华",
    "慧",
    "建华",
    "志强",
    "红",
    "平",
    "刚",
    "桂英",
    "文",
    "辉",
    "玲",
    "燕",
    "学友",
    "菲",
    "德华",
    "杰伦",
    "宇",
    "霞",
    "婷",
    "鹏",
    "丹",
    "浩",
    "月亮代表我的心",
    "后来",
    "十年",
    "童话",
    "朋友",
    "青花瓷",
};
const Words kTraditionalSurnames = {
    "王", "李", "張", "劉", "陳", "楊", "黃", "趙", "吳", "周", "徐", "孫", "馬", "朱",
    "胡", "郭", "何", "高", "林", "羅", "鄭", "梁", "謝", "宋", "唐", "許", "韓", "馮",
    "鄧", "曹", "彭", "曾", "蕭", "田", "董", "潘", "袁", "蔡", "蔣", "余",
};
const Words kTraditionalGiven = {
    "偉",
    "芳",
    "娜",
    "敏",
    "靜",
    "麗",
    "強",
    "磊",
    "軍",
    "洋",
    "勇",
    "豔",
    "傑",
    "娟",
    "濤",
    "明",
    "超",
    "秀英",
    "華",
    "慧",
    "建華",
    "志強",
    "紅",
    "平",
    "剛",
    "桂英",
    "文",
    "輝",
    "玲",
    "燕",
    "學友",
    "菲",
    "德華",
    "傑倫",
    "宇",
    "霞",
    "婷",
    "鵬",
    "丹",
    "浩",
    "月亮代表我的心",
    "後來",
    "十年",
    "童話",
    "朋友",
    "青花瓷",
};
const Words kJapaneseSurnames = {
    "佐藤",   "鈴木", "高橋",   "田中",   "渡辺", "伊藤", "山本", "中村", "小林", "加藤",
    "吉田",   "山田", "佐々木", "山口",   "松本", "井上", "木村", "林",   "斎藤", "清水",
    "宇多田", "浜崎", "安室",   "中島",   "倉木", "森山", "福山", "桑田", "美空", "坂本",
    "久保田", "長渕", "椎名",   "松任谷", "竹内", "藤井", "米津", "星野", "平井", "岡本",
};
const Words kJapaneseGiven = {
    "さくら", "ゆい",   "花子",   "太郎",   "ひかる", "美咲",   "翔太",   "健一",
    "あゆみ", "ヒカル", "ケンジ", "由美",   "奈美恵", "美嘉",   "麻衣",   "まりや",
    "陽介",   "愛",     "優子",   "明菜",   "聖子",   "サザン", "ユウキ", "久美子",
    "拓也",   "大輔",   "真央",   "アキラ", "みゆき", "ゆず",
};
const Words kRussianFirsts = {
    "Александр", "Сергей",   "Андрей",  "Дмитрий", "Алексей", "Иван",   "Михаил",   "Наталья",
    "Елена",     "Ольга",    "Татьяна", "Юлия",    "Земфира", "Виктор", "Алла",     "Борис",
    "Григорий",  "Жанна",    "Ирина",   "Кирилл",  "Людмила", "Максим", "Николай",  "Павел",
    "Роман",     "Светлана", "Фёдор",   "Эдуард",  "Юрий",    "Яна",    "Владимир", "Евгений",
    "Анна",      "Мария",    "Тимур",   "Кино",    "Игорь",   "Зоя",    "Лев",      "ДДТ",
};
const Words kRussianLasts = {
    "Иванов",       "Смирнов",    "Кузнецов",
    "Попов",        "Васильев",   "Петров",
    "Соколов",      "Цой",        "Пугачёва",
    "Высоцкий",     "Кобзон",     "Леонтьев",
    "Меладзе",      "Лепс",       "Шевчук",
    "Гребенщиков",  "Макаревич",  "Киркоров",
    "Агутин",       "Лазарев",    "Билан",
    "Орлова",       "Жукова",     "Зайцева",
    "Группа крови", "Хочешь",     "Звезда по имени Солнце",
    "Чайковский",   "Рахманинов", "Ленинград",
};
const Words kHebrewFirsts = {
    "משה",   "דוד",  "יוסף", "אברהם", "שרה",  "רחל",  "מרים",   "יעקב",  "עומר", "נועה",
    "יעל",   "איתי", "אריק", "שלמה",  "עידן", "נתן",  "עפרה",   "ריטה",  "שלום", "אביב",
    "רונית", "מירי", "גלעד", "אייל",  "תמר",  "שירה", "אליעזר", "חנה",   "דנה",  "יהודית",
    "זהבה",  "בועז", "קובי", "שי",    "עמיר", "אסף",  "גידי",   "יהורם", "חיים", "מאיר",
};
const Words kHebrewLasts = {
    "כהן",  "לוי",   "מזרחי",   "פרץ",   "ביטון",  "דהן",  "אגמון",  "אברהם",  "פרידמן", "חזה",
    "גפן",  "בנאי",  "ברקוביץ", "אלון",  "שמעון",  "גולן", "אזולאי", "בן דוד", "עמר",    "חדד",
    "גבאי", "קליין", "רוזן",    "שפירא", "אוחיון", "טל",   "נחום",   "ישראלי", "ארד",    "הראל",
};

}  // namespace

TEST(CodePageCorpus, CorrectWesternTextIsKept) {
    const Words names = Combine(kWesternFirsts, kWesternLasts, " ");
    ASSERT_GE(names.size(), 1000u);
    std::string damaged;
    size_t count = 0;
    for (const std::string& name : names) {
        const std::string repaired = Repair(name);
        if (repaired == name) continue;
        if (++count <= 10) damaged += "\n  " + name + " -> " + repaired;
    }
    std::printf("Western      %5zu names, %5.1f%% kept\n", names.size(),
                100.0 - 100.0 * static_cast<double>(count) / static_cast<double>(names.size()));
    EXPECT_EQ(count, 0u) << damaged;
}

TEST(CodePageCorpus, GarbledTextIsRepaired) {
    const Words chinese = Combine(kChineseSurnames, kChineseGiven, "");
    const Words traditional = Combine(kTraditionalSurnames, kTraditionalGiven, "");
    const Words japanese = Combine(kJapaneseSurnames, kJapaneseGiven, "");
    const Words russian = Combine(kRussianFirsts, kRussianLasts, " ");
    const Words hebrew = Combine(kHebrewFirsts, kHebrewLasts, " ");
    Words mixed = Combine(kWesternFirsts, kWesternLasts, " ");
    for (const Words* words : {&chinese, &traditional, &japanese, &russian, &hebrew}) {
        for (size_t i = 0; i < words->size(); i += 4) mixed.push_back((*words)[i]);
    }
    for (const Words* words : {&chinese, &traditional, &japanese, &russian, &hebrew}) {
        EXPECT_GE(words->size(), 1000u);
    }
    EXPECT_GE(RepairedShare(chinese, "windows-936"), 0.95);
    EXPECT_GE(RepairedShare(traditional, "windows-950"), 0.95);
    EXPECT_GE(RepairedShare(japanese, "cp932"), 0.95);
    EXPECT_GE(RepairedShare(russian, "windows-1251"), 0.95);
    EXPECT_GE(RepairedShare(hebrew, "windows-1255"), 0.95);
    EXPECT_GE(RepairedShare(mixed, "UTF-8"), 0.95);
}

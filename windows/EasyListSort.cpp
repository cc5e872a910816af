#include "windows/EasyListSort.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <algorithm>
#include <cstdint>
#include <numeric>
#include <optional>

namespace {

enum class Kind { Number, Date, Text };

bool IsDigit(QChar c) { return c >= u'0' && c <= u'9'; }

Kind KindOf(const QString& text) {
    if (std::all_of(text.begin(), text.end(), IsDigit)) return Kind::Number;
    if (text.size() == 10 && text[2] == u'/' && text[5] == u'/') {
        bool digits = true;
        for (int i : {0, 1, 3, 4, 6, 7, 8, 9}) digits = digits && IsDigit(text[i]);
        if (digits) return Kind::Date;
    }
    return Kind::Text;
}

// The number the leading digits of text[from, from+count) write; 0 without any. Saturates
// instead of overflowing.
uint64_t LeadingNumber(const QString& text, int from = 0, int count = -1) {
    const int end = count < 0 ? int(text.size()) : std::min(int(text.size()), from + count);
    uint64_t value = 0;
    for (int i = from; i < end && IsDigit(text[i]); ++i) {
        if (value > (UINT64_MAX - 9) / 10) return UINT64_MAX;
        value = value * 10 + uint64_t(text[i].unicode() - u'0');
    }
    return value;
}

struct Entry {
    Kind kind;
    uint64_t number;
    uint64_t date;  // year, month, day packed so that one comparison orders them
};

template <typename T>
int Compare(T a, T b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

}  // namespace

std::vector<int> SortOrder(const std::vector<QString>& texts, bool ascending) {
    const size_t n = texts.size();
    std::vector<Entry> entries;
    entries.reserve(n);
    bool anyText = false;
    for (const QString& text : texts) {
        const uint64_t year = LeadingNumber(text, 6, 4), month = LeadingNumber(text, 3, 2),
                       day = LeadingNumber(text, 0, 2);
        Entry e{KindOf(text), LeadingNumber(text), year * 10000 + month * 100 + day};
        anyText = anyText || e.kind == Kind::Text;
        entries.push_back(e);
    }
    // A text-kind row compares its text with any other row's text, whatever that holds.
    std::optional<std::vector<QCollatorSortKey>> keys;
    if (anyText) {
        QCollator collator;
        collator.setCaseSensitivity(Qt::CaseSensitive);
        keys.emplace();
        keys->reserve(n);
        for (const QString& text : texts) keys->push_back(collator.sortKey(text));
    }
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    const int sign = ascending ? 1 : -1;
    // The rule picks the comparison from the first row, so it need not be a strict weak
    // order on a mixed column: a merge sort stays within bounds where a quicksort may not.
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const Entry& first = entries[a];
        const Entry& second = entries[b];
        int c = 0;
        switch (first.kind) {
            case Kind::Number:
                c = Compare(first.number, second.number);
                break;
            case Kind::Date:
                c = Compare(first.date, second.date);
                break;
            case Kind::Text:
                c = (*keys)[a].compare((*keys)[b]);
                break;
        }
        return sign * c < 0;
    });
    return order;
}

std::vector<int> InsertionOrder(const std::vector<QString>& texts) {
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<QCollatorSortKey> keys;
    keys.reserve(texts.size());
    for (const QString& text : texts) keys.push_back(collator.sortKey(text.toCaseFolded()));
    std::vector<int> order(texts.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return keys[a].compare(keys[b]) < 0; });
    return order;
}

#pragma once
// The order of a sortable list's rows by one column's texts. The kind of comparison of two
// rows is chosen by the first row's text: all digits (or empty) compares numbers, the form
// dd/mm/yyyy compares dates year first, anything else compares with the locale, case
// sensitive. Any thread.

#include <QString>
#include <vector>

// The row indexes of texts in sorted order. Equal rows keep their order.
std::vector<int> SortOrder(const std::vector<QString>& texts, bool ascending);

// The order in which rows stand as they are inserted into a list that keeps itself sorted:
// the locale's comparison of the case-folded texts.
std::vector<int> InsertionOrder(const std::vector<QString>& texts);

#include "download/DownloadStore.h"

#include <algorithm>
#include <unordered_set>

#include "db/CADODataBase.h"
#include "db/CADORecordset.h"
#include "db/Store.h"

namespace {
constexpr size_t kLargestBatch = 4096;  // more than a search ever finishes with
}

void LibraryLookup::Read(const std::string& searchString, const std::vector<std::string>& ahead) {
    std::vector<std::string> asked{searchString};
    std::unordered_set<std::string> once{searchString};
    for (const std::string& next : ahead)
        if (asked.size() < batch_ && !Known(next) && once.insert(next).second)
            asked.push_back(next);
    batch_ = std::min(batch_ * 8, kLargestBatch);

    std::string sql = "SELECT tTrack.SearchString FROM tTrack WHERE tTrack.SearchString IN (";
    for (size_t i = 0; i < asked.size(); ++i)
        sql += (i ? ",'" : "'") + EscapeSqlText(asked[i]) + "'";
    sql += ")";
    CADORecordset rs(database_);
    const bool read = rs.Open(sql, CADORecordset::OpenQuery);
    for (const std::string& key : asked) held_[key] = !read;
    for (; read && !rs.IsEof(); rs.MoveNext()) {
        std::string found;
        if (rs.GetFieldValue(int16_t{0}, found)) held_[found] = true;
    }
    rs.Close();
}

#pragma once
// A private song database with the rows a browsing test names. Test thread only.

#include <cstdint>
#include <string>

#include "db/CADORecordset.h"
#include "db/SqlFormat.h"
#include "db/Store.h"
#include "tests/support/TempDatabase.h"

namespace sonvera::test {

class Library : public TempDatabase {
public:
    // artist null stores NULL, as the scanner does for a file without one.
    int32_t AddTrack(const char* artist, const std::string& name, const std::string& album = "",
                     bool deleted = false, const std::string& searchString = "") {
        const std::string artistValue =
            artist ? "'" + EscapeSqlText(artist) + "'" : std::string("NULL");
        Exec(
            FormatSql("INSERT INTO tTrack(Filename, SearchString, Artist, Trackname, Album, "
                      "Deleted) VALUES ('f', '%s', %s, '%s', '%s', %d)",
                      EscapeSqlText(searchString).c_str(), artistValue.c_str(),
                      EscapeSqlText(name).c_str(), EscapeSqlText(album).c_str(), deleted ? -1 : 0));
        return Int("SELECT MAX(ID) FROM tTrack");
    }
    // The first column of the statement's first row; -1 when it has none.
    int32_t Int(const std::string& sql) {
        CADORecordset rs(Get());
        int32_t value = -1;
        if (rs.Open(sql, CADORecordset::OpenQuery) && !rs.IsEof())
            rs.GetFieldValue(int16_t{0}, value);
        return value;
    }
};

}  // namespace sonvera::test

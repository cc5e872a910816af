// Find expressions come from names in the library (artists, titles, paths): any text must
// give a clean false or a found row, never a crash or SQL of its own.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <unistd.h>

#include "db/CADODataBase.h"
#include "db/CADORecordset.h"
#include "db/FindCriteria.h"
#include "tests/fuzz/FuzzDatabase.h"

namespace {

CADODataBase* Database() {
    static std::unique_ptr<CADODataBase> db = [] {
        auto d = OpenFuzzDatabase();
        d->Execute("CREATE TABLE tTest (ID INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT, "
                   "Big INTEGER, Flag YESNO DEFAULT 0, Stamp DATETIME)");
        d->Execute("INSERT INTO tTest(Name, Big, Stamp) VALUES ('O''Brien', 70000, '2001-02-03 04:05:06'), "
                   "('', -1, NULL), (NULL, NULL, '1999-12-31 23:59:59')");
        return d;
    }();
    return db.get();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string criteria(reinterpret_cast<const char*>(data), size);
    if (auto parsed = sonvera::db::FindCriteria::Parse(criteria)) {
        parsed->Matches(Variant::Text(criteria));
        parsed->Matches(Variant::Int(VT_I4, 7));
        parsed->Matches(Variant::Null());
    }
    CADORecordset table(Database());
    if (table.Open("tTest", CADORecordset::OpenTable)) {
        table.FindFirst(criteria);
        table.MoveLast();
        table.Find(criteria, -1);
    }
    CADORecordset query(Database());
    if (query.Open("SELECT * FROM tTest", CADORecordset::OpenQuery)) {
        query.FindFirst(criteria);
        query.Find(criteria, -1);
    }
    // The table must have survived whatever the text said.
    CADORecordset check(Database());
    if (!check.Open("SELECT COUNT(*) FROM tTest") || check.GetRecordCount() != 1) __builtin_trap();
    int32_t rows = 0;
    check.GetFieldValue(int16_t{0}, rows);
    if (rows != 3) __builtin_trap();
    return 0;
}

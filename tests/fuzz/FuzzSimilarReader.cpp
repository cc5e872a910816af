// A similar-artist page is text from the network: any bytes, cut into any pieces, must
// queue exactly the names the scan finds (each stored as written, quotes and all), never
// more than one page may give, and never run SQL of its own.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "db/CADODataBase.h"
#include "db/CADORecordset.h"
#include "db/Store.h"
#include "download/WebFetch.h"
#include "download/WebReaders.h"
#include "tests/fuzz/FuzzDatabase.h"

namespace {

CADODataBase* Database() {
    static std::unique_ptr<CADODataBase> db = OpenFuzzDatabase();
    return db.get();
}

int32_t Count(const std::string& sql) {
    CADORecordset rs(Database());
    int32_t n = -1;
    if (rs.Open(sql, CADORecordset::OpenQuery) && !rs.IsEof()) rs.GetFieldValue(int16_t{0}, n);
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CADODataBase* db = Database();
    db->Execute("DELETE FROM tRecommender");
    SimilarArtistReader reader(db);
    int expected = 0;
    // each piece: a length byte, then that many bytes of page
    for (size_t at = 0; at < size;) {
        const size_t length = std::min<size_t>(data[at], size - at - 1);
        const std::string bytes(reinterpret_cast<const char*>(data) + at + 1, length);
        at += 1 + length;
        if (bytes.size() < 7) continue;  // what the fetcher hands over
        const std::string text = DecodeWebPiece(bytes);
        const auto names = ScanSimilarArtists(text, kMaxSimilarNamesPerPage - reader.Taken());
        reader.Read(text, static_cast<int>(bytes.size()));
        for (const std::string& name : names) {
            if (name.empty() || name.find('<') != std::string::npos) __builtin_trap();
            if (Count("SELECT COUNT(*) FROM tRecommender WHERE Name = '" + EscapeSqlText(name) +
                      "'") != 1)
                __builtin_trap();
        }
        expected += static_cast<int>(names.size());
    }
    if (reader.Taken() != expected || expected > kMaxSimilarNamesPerPage) __builtin_trap();
    if (Count("SELECT COUNT(*) FROM tRecommender") > expected) __builtin_trap();
    // the other tables survived whatever the page said
    if (Count("SELECT COUNT(*) FROM tCounter") != 1) __builtin_trap();
    return 0;
}

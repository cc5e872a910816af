// A similar-artist page is text from the network: any bytes, cut into any pieces, must
// queue exactly the names the scan of the whole page finds (each stored as the page means it,
// quotes and all), never more than one page may give, and never run SQL of its own.

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
    std::string page;
    // each piece: a length byte, then that many bytes of page text
    for (size_t at = 0; at < size;) {
        const size_t length = std::min<size_t>(data[at], size - at - 1);
        const std::string piece(reinterpret_cast<const char*>(data) + at + 1, length);
        at += 1 + length;
        page += piece;
        reader.Read(piece, static_cast<int>(piece.size()));
    }
    // however the page was cut, the names are those of the whole page
    const auto names = ScanSimilarArtists(page, kMaxSimilarNamesPerPage);
    if (reader.Taken() != static_cast<int>(names.size())) __builtin_trap();
    int queued = 0;
    for (const std::string& written : names) {
        if (written.empty() || written.find('<') != std::string::npos) __builtin_trap();
        const std::string name = CleanArtistName(written);
        if (name.empty()) continue;
        ++queued;
        if (Count("SELECT COUNT(*) FROM tRecommender WHERE Name = '" + EscapeSqlText(name) +
                  "' COLLATE JETTEXT") != 1)
            __builtin_trap();
    }
    if (Count("SELECT COUNT(*) FROM tRecommender") > queued) __builtin_trap();
    // the other tables survived whatever the page said
    if (Count("SELECT COUNT(*) FROM tCounter") != 1) __builtin_trap();
    return 0;
}

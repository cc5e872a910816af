#include "download/DownloadStore.h"

#include "db/CADOCommand.h"
#include "db/CADODataBase.h"
#include "db/CADORecordset.h"

namespace {

// The strings travel as one JSON array in one parameter: SQLite neither parses a literal per
// string nor builds a temporary table for an IN list, and probes the index once per string.
// The rows are the array positions of the held strings.
constexpr const char* kHeldPositions =
    "SELECT key FROM json_each(?1) "
    "WHERE EXISTS (SELECT 1 FROM tTrack WHERE tTrack.SearchString = value)";

std::string JsonArray(const std::vector<const std::string*>& texts) {
    std::string json = "[";
    for (const std::string* text : texts) {
        json += json.size() > 1 ? ",\"" : "\"";
        for (const char c : *text) {
            if (c == '"' || c == '\\') json += '\\';
            json += c;
        }
        json += '"';
    }
    return json + "]";
}

}  // namespace

std::vector<bool> HeldInLibrary(CADODataBase* database,
                                const std::vector<const std::string*>& searchStrings) {
    CADOCommand command(database, kHeldPositions);
    command.AddParameter("SearchStrings", 200, CADOCommand::adParamInput, 0,
                         JsonArray(searchStrings));
    CADORecordset rs(database);
    if (!rs.Execute(&command)) return std::vector<bool>(searchStrings.size(), true);
    std::vector<bool> held(searchStrings.size(), false);
    for (; !rs.IsEof(); rs.MoveNext()) {
        int32_t position = -1;
        if (rs.GetFieldValue(int16_t{0}, position) && position >= 0 &&
            static_cast<size_t>(position) < held.size())
            held[static_cast<size_t>(position)] = true;
    }
    return held;
}

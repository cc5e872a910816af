#include "download/DownloadStore.h"

#include "db/CADODataBase.h"
#include "db/CADORecordset.h"
#include "db/SqlFormat.h"
#include "db/Store.h"

bool LibraryHasSearchString(CADODataBase* database, const std::string& searchString) {
    CADORecordset rs(database);
    int32_t count = 1;
    if (!rs.Open(FormatSql("SELECT COUNT(*) FROM tTrack WHERE tTrack.SearchString='%s'",
                           EscapeSqlText(searchString).c_str()),
                 CADORecordset::OpenQuery) ||
        rs.IsEof() || !rs.GetFieldValue(int16_t{0}, count))
        count = 1;
    rs.Close();
    return count != 0;
}

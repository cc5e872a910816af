#include "tests/support/BuiltDatabase.h"


#ifndef SONVERA_MDB_PATH
#error "SONVERA_MDB_PATH must name the built database"
#endif

namespace sonvera::test {

const std::filesystem::path& BuiltDatabase() {
    static const std::filesystem::path path = SONVERA_MDB_PATH;
    return path;
}

std::filesystem::path CopyBuiltDatabase(const std::filesystem::path& folder) {
    const std::filesystem::path file = folder / "Sonvera.mdb";
    std::filesystem::copy_file(BuiltDatabase(), file,
                               std::filesystem::copy_options::overwrite_existing);
    return file;
}

}  // namespace sonvera::test

#pragma once
// A private copy of the built database for one fuzzer process (the layer opens only song
// databases). The removal is registered before the connection exists, so it runs after the
// connection has closed.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "db/CADODataBase.h"
#include "tests/support/BuiltDatabase.h"

inline std::filesystem::path& FuzzDatabasePath() {
    static std::filesystem::path path = std::filesystem::temp_directory_path() /
                                        ("sonvera-fuzz-" + std::to_string(::getpid()) + ".mdb");
    return path;
}

inline std::unique_ptr<CADODataBase> OpenFuzzDatabase() {
    const auto& file = FuzzDatabasePath();
    std::filesystem::copy_file(sonvera::test::BuiltDatabase(), file,
                               std::filesystem::copy_options::overwrite_existing);
    std::atexit([] {
        std::error_code ignored;
        for (const char* suffix : {"", "-wal", "-shm"})
            std::filesystem::remove(FuzzDatabasePath().string() + suffix, ignored);
    });
    auto db = std::make_unique<CADODataBase>();
    if (!db->Open("Data Source=" + file.string() + ";")) __builtin_trap();
    return db;
}

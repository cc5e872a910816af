#include "server/InfoStore.h"

#include "server/PostgresStore.h"
#include "server/SqliteStore.h"

bool InfoStore::IsPostgres(const std::string& where) {
    return where.rfind("postgresql://", 0) == 0 || where.rfind("postgres://", 0) == 0;
}

std::unique_ptr<InfoStore> InfoStore::Open(const std::string& where, std::string& error) {
    if (IsPostgres(where)) return PostgresStore::Open(where, error);
    return SqliteStore::Open(where, error);
}

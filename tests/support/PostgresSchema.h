#pragma once
// A schema of its own in the tests' private PostgreSQL (started by scripts/test-postgres.sh,
// whose address file SONVERA_TEST_POSTGRES_FILE names), dropped again at the end, so that
// tests running side by side never see each other's rows.

#include <libpq-fe.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

namespace sonvera::test {

class PostgresSchema {
public:
    PostgresSchema() {
        const char* file = std::getenv("SONVERA_TEST_POSTGRES_FILE");
        if (!file) return;
        std::ifstream in(file);
        std::getline(in, base_);
        if (base_.empty()) return;
        std::random_device random;
        name_ = "t" + std::to_string(::getpid()) + "_" + std::to_string(random());
        if (!Run("CREATE SCHEMA " + name_)) return;
        address_ = base_ + "&options=-csearch_path%3D" + name_;
    }
    ~PostgresSchema() {
        if (!address_.empty()) Run("DROP SCHEMA " + name_ + " CASCADE");
    }
    PostgresSchema(const PostgresSchema&) = delete;
    PostgresSchema& operator=(const PostgresSchema&) = delete;

    // The store's address for sonvera-infod; empty when no PostgreSQL is there for tests.
    const std::string& Address() const { return address_; }

private:
    bool Run(const std::string& sql) {
        PGconn* pg = PQconnectdb(base_.c_str());
        bool ok = PQstatus(pg) == CONNECTION_OK;
        if (ok) {
            PGresult* result = PQexec(pg, sql.c_str());
            ok = PQresultStatus(result) == PGRES_COMMAND_OK;
            PQclear(result);
        }
        PQfinish(pg);
        return ok;
    }

    std::string base_, name_, address_;
};

}  // namespace sonvera::test

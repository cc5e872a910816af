#include "server/InfoStore.h"

#include "server/PostgresStore.h"
#include "server/SqliteStore.h"

std::string VoteSql(const std::string& song) {
    const auto field = [](const char* column, const char* empty) {
        return std::string("(SELECT ") + column + " FROM latest GROUP BY " + column + " ORDER BY " +
               empty + ", COUNT(*) DESC, MAX(id) DESC LIMIT 1)";
    };
    return "WITH latest AS (SELECT s.artist, s.track, s.album, s.year, s.genre, s.id"
           " FROM submission s JOIN (SELECT MAX(id) AS id FROM submission WHERE " + song +
           " GROUP BY client) m ON s.id = m.id) SELECT " +
           field("artist", "artist = ''") + ", " + field("track", "track = ''") + ", " +
           field("album", "album = ''") + ", " + field("year", "year = ''") + ", " +
           field("genre", "genre IN (-1, 255)") + ", (SELECT COUNT(*) FROM latest)";
}

bool InfoStore::IsPostgres(const std::string& where) {
    return where.rfind("postgresql://", 0) == 0 || where.rfind("postgres://", 0) == 0;
}

std::unique_ptr<InfoStore> InfoStore::Open(const std::string& where, std::string& error) {
    if (IsPostgres(where)) return PostgresStore::Open(where, error);
    return SqliteStore::Open(where, error);
}

// sonvera-songinfo: the song-information protocol from the command line.
//   query [--info-server URL] PAGE ARTIST TRACK ALBUM YEAR GENREID FINGERPRINT LANGID
//       prints the request address
//   parse FILE
//       prints the parsed reply of the file's UTF-8 text as JSON, or null
//   submit|retrieve [--info-server URL] DATABASE ID
//       runs the exchange for a stored track and prints what came back
// The server's base address: --info-server, else SONVERA_INFO_SERVER, else the local default.

#include <QCoreApplication>
#include <QFile>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "db/CADODataBase.h"
#include "db/Store.h"
#include "selection/Random.h"
#include "songinfo/InfoServer.h"
#include "songinfo/SongInfoExchange.h"
#include "songinfo/SongInfoReply.h"
#include "songinfo/SongInfoTransport.h"
#include "songinfo/SongQuery.h"

namespace {

constexpr const char* Usage =
    "usage: sonvera-songinfo query [--info-server URL] PAGE ARTIST TRACK ALBUM YEAR GENREID "
    "FINGERPRINT LANGID\n"
    "       sonvera-songinfo parse FILE\n"
    "       sonvera-songinfo submit|retrieve [--info-server URL] DATABASE ID\n";

bool ParseInt(const std::string& text, long& value) {
    char* end = nullptr;
    value = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0';
}

void Print(const QString& text) { std::printf("%s\n", text.toUtf8().constData()); }

int Parse(const std::string& file) {
    QFile in(QString::fromStdString(file));
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "sonvera-songinfo: cannot read %s\n", file.c_str());
        return 1;
    }
    Print(SongInfoReplyJson(ParseSongInfoReply(QString::fromUtf8(in.readAll()))));
    return 0;
}

// Prints what came back; the exit status says how it went: 0 taken or retrieved, 3 nothing
// known, 5 the server unreachable, 6 refused (its status on standard error), 7 busy.
int Report(const ExchangeOutcome& outcome, const QString& submitAnswer) {
    switch (outcome.kind) {
    case ExchangeOutcome::Sent:
        Print(submitAnswer);
        return 0;
    case ExchangeOutcome::Retrieved:
        Print(SongInfoReplyJson(outcome.reply));
        return 0;
    case ExchangeOutcome::NothingKnown:
        Print(SongInfoReplyJson(std::nullopt));
        return 3;
    case ExchangeOutcome::Unreachable:
        std::fprintf(stderr, "sonvera-songinfo: the server could not be reached\n");
        return 5;
    case ExchangeOutcome::Refused:
        std::fprintf(stderr, "sonvera-songinfo: the server refused the request: %d\n",
                     outcome.httpStatus);
        return 6;
    case ExchangeOutcome::Busy:
        std::fprintf(stderr, "sonvera-songinfo: the server is busy; try again in %d s\n",
                     outcome.retryAfter);
        return 7;
    }
    return 1;
}

int Exchange(bool submit, const QString& base, const std::string& path, long id) {
    CADODataBase database;
    if (!database.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + ";")) {
        std::fprintf(stderr, "sonvera-songinfo: cannot open %s\n%s", path.c_str(),
                     database.GetLastErrorString().c_str());
        return 1;
    }
    const TrackRecord track = LoadTrack(&database, static_cast<int32_t>(id));
    database.Close();
    if (track.Filename.empty()) {  // the load leaves every field empty for a missing row
        std::fprintf(stderr, "sonvera-songinfo: no track %ld in %s\n", id, path.c_str());
        return 1;
    }
    const QString query =
        SongQuery(QString::fromStdString(track.Artist), QString::fromStdString(track.Trackname),
                  QString::fromStdString(track.Album), QString::fromStdString(track.Year),
                  track.GenreID, QString::fromStdString(track.FingerPrint), 1033);
    const QString address =
        BuildRequestAddress(base, submit ? songinfo::AddPage : songinfo::GetPage,
                            WithAcousticPrint(query, QString::fromStdString(track.AcousticPrint),
                                              track.AcousticDuration));
    std::fprintf(stderr, "%s\n", address.toUtf8().constData());

    SongInfoTransport transport;
    SongInfoExchange exchange(transport);
    int status = 1;
    QObject::connect(&transport, &SongInfoTransport::NavigateComplete,
                     [&](const QString& markup, int httpStatus, int retryAfter) {
                         const std::optional<ExchangeOutcome> outcome =
                             exchange.Complete(markup, httpStatus, retryAfter);
                         status = Report(*outcome, submit ? markup : QString());
                         QCoreApplication::quit();
                     });
    QTimer::singleShot(15000, [] {
        std::fprintf(stderr, "sonvera-songinfo: no answer from the server\n");
        QCoreApplication::exit(4);
    });
    if (submit)
        exchange.Submit(address);
    else
        exchange.Retrieve(address);
    const int loop = QCoreApplication::exec();
    return loop != 0 ? loop : status;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    SeedRandomFromTime();
    std::vector<std::string> args(argv + 1, argv + argc);
    QString base = QString::fromUtf8(std::getenv("SONVERA_INFO_SERVER"));
    if (base.isEmpty()) base = QString::fromLatin1(DefaultInfoServer);
    for (size_t i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == "--info-server") {
            base = QString::fromStdString(args[i + 1]);
            args.erase(args.begin() + long(i), args.begin() + long(i) + 2);
            break;
        }
    }
    const std::string command = args.empty() ? "" : args[0];
    long genre = 0, lang = 0, id = 0;
    if (command == "query" && args.size() == 9 && ParseInt(args[6], genre) &&
        ParseInt(args[8], lang) && lang >= 0 && lang <= 0xFFFF) {
        const auto q = [&](size_t i) { return QString::fromStdString(args[i]); };
        Print(BuildRequestAddress(base, q(1),
                                  SongQuery(q(2), q(3), q(4), q(5), static_cast<int32_t>(genre),
                                            q(7), static_cast<uint16_t>(lang))));
        return 0;
    }
    if (command == "parse" && args.size() == 2) return Parse(args[1]);
    if ((command == "submit" || command == "retrieve") && args.size() == 3 && ParseInt(args[2], id))
        return Exchange(command == "submit", base, args[1], id);
    std::fputs(Usage, stderr);
    return 2;
}

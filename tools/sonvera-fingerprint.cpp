// sonvera-fingerprint [--server URL] [--submit ARTIST TITLE ALBUM YEAR] FILE...
// Prints each file's path, duration in seconds and Chromaprint acoustic fingerprint, one line
// per file separated by tabs. With --server it then asks that song-information server about
// the file (its tags, its 12-letter fingerprint and its acoustic one) through the player's own
// exchange and prints the answer as one JSON object, or null; with --submit it first submits
// the four fields with the file's fingerprints.

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "library/AcousticPrint.h"
#include "library/TagReader.h"
#include "selection/Random.h"
#include "songinfo/SongInfoExchange.h"
#include "songinfo/SongInfoReply.h"
#include "songinfo/SongInfoTransport.h"
#include "songinfo/SongQuery.h"

namespace {

constexpr const char* Usage =
    "usage: sonvera-fingerprint [--server URL] [--submit ARTIST TITLE ALBUM YEAR] FILE...\n";

QString Q(const std::string& text) { return QString::fromStdString(text); }

// One request through the exchange; nothing when no answer came in time.
std::optional<ExchangeOutcome> Exchange(bool submit, const QString& address) {
    SongInfoTransport transport;
    SongInfoExchange exchange(transport);
    std::optional<ExchangeOutcome> outcome;
    QEventLoop loop;
    QObject::connect(&transport, &SongInfoTransport::NavigateComplete,
                     [&](const QString& markup, int httpStatus, int retryAfter) {
                         outcome = exchange.Complete(markup, httpStatus, retryAfter);
                         loop.quit();
                     });
    QTimer::singleShot(15000, &loop, &QEventLoop::quit);
    if (submit)
        exchange.Submit(address);
    else
        exchange.Retrieve(address);
    loop.exec();
    return outcome;
}

QString Address(const QString& server, const char* page, const std::vector<std::string>& fields,
                const TrackRecord& track, const AcousticPrint& print) {
    const QString query = SongQuery(Q(fields[0]), Q(fields[1]), Q(fields[2]), Q(fields[3]),
                                    track.GenreID, Q(track.FingerPrint), 1033);
    return BuildRequestAddress(server, page,
                               WithAcousticPrint(query, Q(print.fingerprint),
                                                 std::max(print.durationSeconds, 1)));
}

// 0 when the server answered (null included), else 1 with the reason on standard error.
int AskServer(const QString& server, const std::optional<std::vector<std::string>>& submit,
              const std::string& path, const AcousticPrint& print) {
    const TrackRecord track = ReadTrackInfo(path);
    if (submit) {
        const auto sent = Exchange(true, Address(server, songinfo::AddPage, *submit, track, print));
        if (!sent || sent->kind != ExchangeOutcome::Sent) {
            std::fprintf(stderr, "%s: the submission was not taken\n", path.c_str());
            return 1;
        }
    }
    const std::vector<std::string> own{track.Artist, track.Trackname, track.Album, track.Year};
    const auto answer = Exchange(false, Address(server, songinfo::GetPage, own, track, print));
    if (!answer || (answer->kind != ExchangeOutcome::Retrieved &&
                    answer->kind != ExchangeOutcome::NothingKnown)) {
        std::fprintf(stderr, "%s: no answer from the server\n", path.c_str());
        return 1;
    }
    std::printf("%s\n", SongInfoReplyJson(answer->reply).toUtf8().constData());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    SeedRandomFromTime();
    std::vector<std::string> args(argv + 1, argv + argc);
    QString server;
    std::optional<std::vector<std::string>> submit;
    size_t i = 0;
    for (; i < args.size(); ++i) {
        if (args[i] == "--server" && i + 1 < args.size()) {
            server = Q(args[++i]);
        } else if (args[i] == "--submit" && i + 4 < args.size()) {
            submit = std::vector<std::string>(args.begin() + long(i) + 1, args.begin() + long(i) + 5);
            i += 4;
        } else {
            break;
        }
    }
    if (i == args.size() || (submit && server.isEmpty())) {
        std::fputs(Usage, stderr);
        return 2;
    }
    int failed = 0;
    for (; i < args.size(); ++i) {
        const std::string& path = args[i];
        const auto print = ComputeAcousticPrint(path);
        if (!print) {
            std::fprintf(stderr, "%s: no sound could be decoded\n", path.c_str());
            ++failed;
            continue;
        }
        std::printf("%s\t%d\t%s\n", path.c_str(), print->durationSeconds,
                    print->fingerprint.c_str());
        if (!server.isEmpty()) failed += AskServer(server, submit, path, *print);
        std::fflush(stdout);
    }
    return failed ? 1 : 0;
}

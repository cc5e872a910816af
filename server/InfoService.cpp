#include "server/InfoService.h"

#include <ctime>

#include "library/AcousticMatch.h"
#include "server/Pages.h"
#include "server/QueryText.h"

namespace {

constexpr const char* PagePolicy =
    "default-src 'none'; style-src 'unsafe-inline'; form-action 'self'";

HttpResponse Html(std::string body, int status = 200) {
    HttpResponse response;
    response.status = status;
    response.body = std::move(body);
    response.headers = {{"X-Content-Type-Options", "nosniff"},
                        {"Content-Security-Policy", PagePolicy}};
    return response;
}

HttpResponse Plain(std::string body, int status = 200) {
    HttpResponse response;
    response.status = status;
    response.contentType = "text/plain; charset=utf-8";
    response.body = std::move(body);
    response.headers = {{"X-Content-Type-Options", "nosniff"}};
    return response;
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return text;
}

// A submitted value must not carry a marker of the reply document (nor a body tag, which the
// player's transport looks for), else it could end its own field early or fill another.
// Dropping the '<' of each such tag can join a new one, so this repeats until none is left.
std::string WithoutMarkers(std::string value) {
    static const char* const names[] = {"sonvera", "artist", "trackname", "album",
                                        "year",    "genre",  "body"};
    for (bool changed = true; changed;) {
        changed = false;
        const std::string lower = Lower(value);
        for (size_t i = lower.find('<'); i != std::string::npos; i = lower.find('<', i + 1)) {
            size_t at = i + 1;
            if (at < lower.size() && lower[at] == '/') ++at;
            bool marker = false;
            for (const char* name : names)
                marker =
                    marker || lower.compare(at, std::char_traits<char>::length(name), name) == 0;
            if (marker) {
                value.erase(i, 1);
                changed = true;
                break;
            }
        }
    }
    return value;
}

bool IsHostText(const std::string& host) {
    if (host.empty() || host.size() > 255) return false;
    for (char c : host) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '.' || c == '-' || c == ':' || c == '[' ||
                        c == ']';
        if (!ok) return false;
    }
    return true;
}

}  // namespace

std::string SongInfoDocument(const VotedSong& song) {
    return "<SONVERA><ARTIST>" + WithoutMarkers(song.artist) + "</ARTIST><TRACKNAME>" +
           WithoutMarkers(song.track) + "</TRACKNAME><ALBUM>" + WithoutMarkers(song.album) +
           "</ALBUM><YEAR>" + WithoutMarkers(song.year) + "</YEAR><GENRE>" +
           std::to_string(song.genreID) + "</GENRE></SONVERA>";
}

InfoService::InfoService(InfoStore& store, ServiceOptions options, Clock clock)
    : store_(store),
      options_(std::move(options)),
      clock_(std::move(clock)),
      submits_(options_.submitsPerSecond, options_.submitBurst),
      pages_(options_.pagesPerSecond, options_.pageBurst),
      similar_(store) {}

HttpResponse InfoService::Handle(const HttpRequest& request) {
    if (request.method != "GET" && request.method != "POST" && request.method != "HEAD") {
        HttpResponse response = Plain("method not allowed\n", 405);
        response.headers.push_back({"Allow", "GET, HEAD, POST"});
        return response;
    }
    if (request.target.size() > MaxTargetBytes) return Plain("request too long\n", 414);
    if (request.body.size() > MaxBodyBytes) return Plain("request body too large\n", 413);
    if (std::optional<HttpResponse> limited = Limited(pages_, request)) return *limited;

    const size_t mark = request.target.find('?');
    const std::string path = request.target.substr(0, mark);
    const std::string query = mark == std::string::npos ? "" : request.target.substr(mark + 1);
    if (path.rfind("/similar/", 0) == 0) return Similar(path.substr(9));
    if (path.empty() || path[0] != '/') return Plain("not found\n", 404);
    const std::string page = Lower(path.substr(path.rfind('/') + 1));

    if (path == "/health")
        return store_.Healthy() ? Plain("ok\n") : Plain("the database does not answer\n", 503);
    if (page == "addtodb.asp") return Submit(request, query);
    if (page == "getfromdb.asp") return Retrieve(query);
    if (page == "updates.asp") return Update(request, query);
    if (page == "feedback.asp") return Feedback(request, query);
    if (page == "download.asp") return Html(RenderDownloadPage(options_.currentVersion));
    if (path == "/" || page == "index.html") return Html(RenderIndexPage());

    static const std::pair<const char*, InfoPage> infoPages[] = {{"artist.asp", InfoPage::Artist},
                                                                 {"lyrics.asp", InfoPage::Lyrics},
                                                                 {"photos.asp", InfoPage::Photos},
                                                                 {"buy.asp", InfoPage::Buy},
                                                                 {"links.asp", InfoPage::Links}};
    for (const auto& [name, kind] : infoPages) {
        if (page != name) continue;
        const std::optional<SongFields> song = ParseSongFields(query);
        if (!song) return Plain("field too long\n", 400);
        std::vector<AlbumTrack> known;
        if (kind == InfoPage::Artist && !song->artist.empty())
            known = store_.AlbumsAndTracks(song->artist, 500);
        return Html(RenderInfoPage(kind, *song, known));
    }
    return Plain("not found\n", 404);
}

std::optional<HttpResponse> InfoService::Limited(RateLimiter& limiter,
                                                const HttpRequest& request) {
    const int wait = limiter.Take(request.client, clock_());
    if (wait == 0) return std::nullopt;
    HttpResponse response = Plain("too many requests; try again later\n", 429);
    response.headers.push_back({"Retry-After", std::to_string(wait)});
    return response;
}

namespace {

// Measured between lame's 320 and 96 kbit/s of one generated recording: 0.06-0.3% of bits
// differ (Opus against MP3 a few percent); between unrelated ones, at their best alignment,
// 36-40%. The threshold sits between, nearer the unrelated side as AcoustID's does, since real
// rips differ more than generated ones.
constexpr double kSameRecordingBitErrorRate = 0.25;
constexpr int kAcousticCandidates = 10;
constexpr size_t kMaxChromaprintBytes = 16384;

// The sub-fingerprints the query's Chromaprint= parameter carries; empty when none or invalid.
std::vector<uint32_t> QueryAcousticPrint(const std::string& query) {
    const std::string text = QueryValue(SplitSongQuery(query), "Chromaprint");
    if (text.empty() || text.size() > kMaxChromaprintBytes) return {};
    return DecodeAcousticPrint(text);
}

}  // namespace

HttpResponse InfoService::Submit(const HttpRequest& request, const std::string& query) {
    if (std::optional<HttpResponse> limited = Limited(submits_, request)) return *limited;
    const std::optional<SongFields> song = ParseSongFields(query);
    if (!song) return Plain("field too long\n", 400);
    if (song->fingerPrint.empty() && (song->artist.empty() || song->track.empty()))
        return Plain("a fingerprint, or an artist and a track, is needed\n", 400);
    Submission submission{
        song->fingerPrint, song->artist,   song->track,
        song->album,       song->year,     song->genreID,
        song->langID,      request.client, static_cast<int64_t>(std::time(nullptr))};
    if (!store_.Add(submission)) return Plain("could not store the submission\n", 500);
    std::vector<uint32_t> raw = QueryAcousticPrint(query);
    if (!raw.empty()) {
        std::vector<uint32_t> keys = AcousticIndexKeys(raw);
        store_.AddAcousticPrint(
            {song->fingerPrint, song->artist, song->track, std::move(raw), std::move(keys)});
    }
    return Plain("stored\n");
}

HttpResponse InfoService::Retrieve(const std::string& query) {
    const std::optional<SongFields> song = ParseSongFields(query);
    if (!song) return Plain("field too long\n", 400);
    std::optional<VotedSong> voted;
    if (!song->fingerPrint.empty()) voted = store_.VoteByFingerPrint(song->fingerPrint);
    if (!voted) voted = VoteBySound(query);
    if (!voted && !song->artist.empty() && !song->track.empty())
        voted = store_.VoteByTitle(song->artist, song->track);
    if (!voted) return Html(RenderNoInfoPage(song->langID));
    return Plain(SongInfoDocument(*voted));
}

std::optional<VotedSong> InfoService::VoteBySound(const std::string& query) {
    const std::vector<uint32_t> raw = QueryAcousticPrint(query);
    if (raw.empty()) return std::nullopt;
    const AcousticEntry* best = nullptr;
    double bestRate = kSameRecordingBitErrorRate;
    const std::vector<AcousticEntry> candidates =
        store_.AcousticCandidates(AcousticIndexKeys(raw), kAcousticCandidates);
    for (const AcousticEntry& candidate : candidates) {
        const double rate = AlignAcousticPrints(raw, candidate.raw).bitErrorRate;
        if (rate < bestRate) {
            bestRate = rate;
            best = &candidate;
        }
    }
    if (!best) return std::nullopt;
    if (!best->fingerPrint.empty()) {
        if (auto voted = store_.VoteByFingerPrint(best->fingerPrint)) return voted;
    }
    return store_.VoteByTitle(best->artist, best->track);
}

HttpResponse InfoService::Update(const HttpRequest& request, const std::string& query) {
    const std::string version = QueryValue(SplitSongQuery(query), "version");
    if (options_.currentVersion.empty() || version == options_.currentVersion) return Plain("");
    if (!options_.downloadAddress.empty()) return Plain(options_.downloadAddress);
    const std::string host = IsHostText(request.host) ? request.host : "127.0.0.1";
    return Plain("http://" + host + "/download.asp");
}

HttpResponse InfoService::Feedback(const HttpRequest& request, const std::string& query) {
    const std::vector<QueryPair> pairs = SplitSongQuery(query);
    if (request.method != "POST") {
        const int32_t lang =
            HasQueryKey(pairs, "LangID") ? ToInteger(QueryValue(pairs, "LangID")) : 1033;
        return Html(RenderFeedbackForm(lang, ToInteger(QueryValue(pairs, "TypeID"))));
    }
    if (std::optional<HttpResponse> limited = Limited(submits_, request)) return *limited;
    const std::vector<QueryPair> form = SplitSongQuery(request.body);
    const std::string text = QueryValue(form, "Text", true);
    const std::string contact = QueryValue(form, "Contact", true);
    if (text.empty() || text.size() > MaxFeedbackBytes || contact.size() > MaxContactBytes)
        return Plain("a message of at most 4000 bytes is needed\n", 400);
    const int32_t lang = HasQueryKey(form, "LangID") ? ToInteger(QueryValue(form, "LangID")) : 1033;
    if (!store_.AddFeedback({ToInteger(QueryValue(form, "TypeID")), text, contact, request.client,
                             static_cast<int64_t>(std::time(nullptr))}))
        return Plain("could not store the feedback\n", 500);
    return Html(RenderFeedbackThanks(lang));
}

HttpResponse InfoService::Similar(const std::string& rawName) {
    const std::string name = DecodeQueryValue(rawName);
    if (name.size() > MaxTextBytes) return Plain("name too long\n", 400);
    return Html(RenderSimilarPage(name, similar_.Similar(FoldCase(name), 50, clock_())));
}

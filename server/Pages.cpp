#include "server/Pages.h"

namespace {

struct Texts {
    const char* lang;  // HTML lang, and the Wikipedia edition
    bool rightToLeft;
    const char* artist;
    const char* lyrics;
    const char* photos;
    const char* buy;
    const char* links;
    const char* known;
    const char* nothingKnown;
    const char* noAlbum;
    const char* lyricsIntro;
    const char* photosIntro;
    const char* buyIntro;
    const char* linksIntro;
    const char* similar;
    const char* unknownArtist;
    const char* noInfo;
    const char* feedback;
    const char* feedbackIntro;
    const char* message;
    const char* contact;
    const char* send;
    const char* thanks;
};

const Texts English = {
    "en",
    false,
    "Artist",
    "Lyrics",
    "Photos",
    "Buy",
    "Links",
    "Albums and tracks",
    "Nothing is known about this artist here yet. Submit your tracks' information from the "
    "player to add it.",
    "(no album)",
    "Search the web for the lyrics of this song:",
    "Search the web for photos of this artist:",
    "Look for this music in these shops:",
    "Reference pages about this artist:",
    "Similar artists on this server",
    "Unknown artist",
    "This server knows nothing about this track yet.",
    "Feedback",
    "Tell us what you think of Sonvera.",
    "Your message",
    "Your e-mail address (optional)",
    "Send",
    "Thank you for your feedback."};

const Texts Hebrew = {
    "he",
    true,
    "אמן",
    "מילים",
    "תמונות",
    "קנייה",
    "קישורים",
    "אלבומים ושירים",
    "השרת עדיין אינו יודע דבר על אמן זה. שלחו את פרטי השירים שלכם מהנגן כדי להוסיף אותם.",
    "(ללא אלבום)",
    "חיפוש מילות השיר ברשת:",
    "חיפוש תמונות של האמן ברשת:",
    "חפשו את המוזיקה הזו בחנויות אלה:",
    "דפי מידע על האמן:",
    "אמנים דומים בשרת זה",
    "אמן לא ידוע",
    "השרת עדיין אינו יודע דבר על שיר זה.",
    "משוב",
    "ספרו לנו מה דעתכם על Sonvera.",
    "ההודעה שלכם",
    "כתובת הדואר האלקטרוני שלכם (לא חובה)",
    "שליחה",
    "תודה על המשוב."};

const Texts Dutch = {
    "nl",
    false,
    "Artiest",
    "Songteksten",
    "Foto's",
    "Kopen",
    "Links",
    "Albums en nummers",
    "Deze server weet nog niets over deze artiest. Stuur de gegevens van je nummers vanuit de "
    "speler in om ze toe te voegen.",
    "(geen album)",
    "Zoek op het web naar de tekst van dit nummer:",
    "Zoek op het web naar foto's van deze artiest:",
    "Zoek deze muziek in deze winkels:",
    "Naslagpagina's over deze artiest:",
    "Vergelijkbare artiesten op deze server",
    "Onbekende artiest",
    "Deze server weet nog niets over dit nummer.",
    "Feedback",
    "Vertel ons wat je van Sonvera vindt.",
    "Je bericht",
    "Je e-mailadres (niet verplicht)",
    "Versturen",
    "Bedankt voor je feedback."};

const Texts Chinese = {"zh",
                       false,
                       "艺术家",
                       "歌词",
                       "照片",
                       "购买",
                       "链接",
                       "专辑和曲目",
                       "本服务器还不了解这位艺术家。请从播放器提交您的曲目信息来添加。",
                       "（无专辑）",
                       "在网上搜索这首歌的歌词：",
                       "在网上搜索这位艺术家的照片：",
                       "在这些商店中查找这首音乐：",
                       "关于这位艺术家的参考页面：",
                       "本服务器上的相似艺术家",
                       "未知艺术家",
                       "本服务器还不了解这首曲目。",
                       "反馈",
                       "告诉我们您对 Sonvera 的看法。",
                       "您的留言",
                       "您的电子邮件地址（可选）",
                       "发送",
                       "感谢您的反馈。"};

const Texts& TextsFor(int32_t langID) {
    switch (langID) {
        case 1037:
            return Hebrew;
        case 1043:
            return Dutch;
        case 2052:
            return Chinese;
        default:
            return English;
    }
}

std::string Head(const Texts& t, const std::string& title) {
    std::string html = "<!DOCTYPE html>\n<html lang=\"";
    html += t.lang;
    html += t.rightToLeft ? "\" dir=\"rtl\">" : "\" dir=\"ltr\">";
    html += "<head><meta charset=\"utf-8\"><title>" + EscapeHtml(title) +
            "</title><style>body{font-family:sans-serif;margin:1em 1.5em;line-height:1.4}"
            "h1{font-size:1.4em}h2{font-size:1.1em}li{margin:.2em 0}.muted{color:#666}</style>"
            "</head>\n<body>\n";
    return html;
}

constexpr const char* Tail = "</body>\n</html>\n";

struct Link {
    const char* label;
    std::string address;
};

std::string LinkList(const std::vector<Link>& links) {
    std::string html = "<ul>\n";
    for (const Link& link : links)
        html += "<li><a href=\"" + EscapeAttribute(link.address) + "\">" + EscapeHtml(link.label) +
                "</a></li>\n";
    return html + "</ul>\n";
}

std::string Joined(const std::string& a, const std::string& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    return a + " " + b;
}

std::string KnownList(const Texts& t, const std::vector<AlbumTrack>& known) {
    if (known.empty()) return "<p class=\"muted\">" + EscapeHtml(t.nothingKnown) + "</p>\n";
    std::string html = "<h2>" + EscapeHtml(t.known) + "</h2>\n";
    bool first = true;
    std::string album;
    for (const AlbumTrack& row : known) {
        if (first || row.album != album) {
            if (!first) html += "</ul>\n";
            album = row.album;
            first = false;
            html += "<h3>" + EscapeHtml(album.empty() ? t.noAlbum : album);
            if (!row.year.empty())
                html += " <span class=\"muted\">(" + EscapeHtml(row.year) + ")</span>";
            html += "</h3>\n<ul>\n";
        }
        html += "<li>" + EscapeHtml(row.track) + "</li>\n";
    }
    return html + "</ul>\n";
}

}  // namespace

std::string RenderInfoPage(InfoPage page, const SongFields& song,
                           const std::vector<AlbumTrack>& known) {
    const Texts& t = TextsFor(song.langID);
    const std::string artist = song.artist.empty() ? t.unknownArtist : song.artist;
    const std::string a = EncodeUrlComponent(song.artist);
    const std::string both = EncodeUrlComponent(Joined(song.artist, song.track));
    std::string title, intro, body;
    switch (page) {
        case InfoPage::Artist:
            title = std::string(t.artist) + ": " + artist;
            body = KnownList(t, known);
            break;
        case InfoPage::Lyrics:
            title = std::string(t.lyrics) + ": " +
                    Joined(artist, song.track.empty() ? "" : "– " + song.track);
            intro = t.lyricsIntro;
            body = LinkList({{"DuckDuckGo", "https://duckduckgo.com/?q=" + both + "+lyrics"},
                             {"Google", "https://www.google.com/search?q=" + both + "+lyrics"},
                             {"Genius", "https://genius.com/search?q=" + both}});
            break;
        case InfoPage::Photos:
            title = std::string(t.photos) + ": " + artist;
            intro = t.photosIntro;
            body = LinkList(
                {{"DuckDuckGo", "https://duckduckgo.com/?ia=images&iax=images&q=" + a},
                 {"Wikimedia Commons", "https://commons.wikimedia.org/w/index.php?search=" + a},
                 {"Google", "https://www.google.com/search?tbm=isch&q=" + a}});
            break;
        case InfoPage::Buy:
            title = std::string(t.buy) + ": " +
                    Joined(artist, song.album.empty() ? "" : "– " + song.album);
            intro = t.buyIntro;
            body = LinkList({{"Bandcamp", "https://bandcamp.com/search?q=" + both},
                             {"Discogs", "https://www.discogs.com/sell/list?q=" + a},
                             {"Amazon", "https://www.amazon.com/s?i=digital-music&k=" + both}});
            break;
        case InfoPage::Links:
            title = std::string(t.links) + ": " + artist;
            intro = t.linksIntro;
            body =
                LinkList({{"Wikipedia", std::string("https://") + t.lang +
                                            ".wikipedia.org/w/index.php?search=" + a},
                          {"MusicBrainz", "https://musicbrainz.org/search?type=artist&query=" + a},
                          {"Discogs", "https://www.discogs.com/search/?type=artist&q=" + a},
                          {"Last.fm", "https://www.last.fm/search/artists?q=" + a},
                          {t.similar, "/similar/" + a}});
            break;
    }
    std::string html = Head(t, title) + "<h1>" + EscapeHtml(title) + "</h1>\n";
    if (!intro.empty()) html += "<p>" + EscapeHtml(intro) + "</p>\n";
    return html + body + Tail;
}

std::string RenderNoInfoPage(int32_t langID) {
    const Texts& t = TextsFor(langID);
    return Head(t, t.noInfo) + "<p>" + EscapeHtml(t.noInfo) + "</p>\n" + Tail;
}

std::string RenderFeedbackForm(int32_t langID, int32_t typeID) {
    const Texts& t = TextsFor(langID);
    return Head(t, t.feedback) + "<h1>" + EscapeHtml(t.feedback) + "</h1>\n<p>" +
           EscapeHtml(t.feedbackIntro) +
           "</p>\n<form method=\"post\" action=\"feedback.asp\">\n"
           "<input type=\"hidden\" name=\"TypeID\" value=\"" +
           std::to_string(typeID) + "\">\n<input type=\"hidden\" name=\"LangID\" value=\"" +
           std::to_string(langID) + "\">\n<p><label>" + EscapeHtml(t.message) +
           "<br><textarea name=\"Text\" rows=\"8\" cols=\"60\" maxlength=\"4000\" "
           "required></textarea></label></p>\n<p><label>" +
           EscapeHtml(t.contact) +
           "<br><input type=\"email\" name=\"Contact\" size=\"40\" maxlength=\"200\">"
           "</label></p>\n<p><button type=\"submit\">" +
           EscapeHtml(t.send) + "</button></p>\n</form>\n" + Tail;
}

std::string RenderFeedbackThanks(int32_t langID) {
    const Texts& t = TextsFor(langID);
    return Head(t, t.feedback) + "<p>" + EscapeHtml(t.thanks) + "</p>\n" + Tail;
}

std::string RenderIndexPage() {
    return Head(English, "Sonvera song-information server") +
           "<h1>Sonvera song-information server</h1>\n<p>This server collects the track "
           "information that Sonvera players submit and hands it back to them.</p>\n"
           "<p><a href=\"feedback.asp?TypeID=1\">Feedback</a></p>\n" +
           Tail;
}

std::string RenderDownloadPage(const std::string& version) {
    return Head(English, "Download Sonvera") +
           "<h1>Download Sonvera</h1>\n<p>The current "
           "version is " +
           EscapeHtml(version) + ".</p>\n" + Tail;
}

std::string RenderSimilarPage(const std::string& artist, const std::vector<std::string>& names) {
    std::string html = Head(English, "Artists similar to " + artist) + "<h1>Artists similar to " +
                       EscapeHtml(artist) + "</h1>\n<table>\n";
    for (const std::string& name : names)
        html += "<tr><td><a href=\"/music/" + EncodeUrlComponent(name) + "\">" + EscapeHtml(name) +
                "</a></td></tr>\n";
    return html + "</table>\n" + Tail;
}

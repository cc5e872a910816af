#include "songinfo/TrackInfoLines.h"

#include <QCollator>
#include <QLocale>
#include <QSet>
#include <algorithm>

#include "db/CADORecordset.h"
#include "db/SqlFormat.h"
#include "library/CodePage.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

std::vector<std::string> OrigTexts(const TrackRecord& track) {
    return {track.OrigArtist, track.OrigTrackname, track.OrigAlbum, track.OrigYear};
}

QString Part(QString text) { return text.replace('_', ' ').trimmed(); }

}  // namespace

std::vector<QString> CodePageLines(const TrackRecord& track, int32_t codePage) {
    std::vector<QString> lines;
    for (const std::string& text : OrigTexts(track))
        lines.push_back(Q(RedecodeText(text, codePage)));
    return lines;
}

std::vector<QString> AllEncodingLines(const TrackRecord& track) {
    std::vector<QString> lines;
    QSet<QString> seen;
    const std::vector<std::string> texts = OrigTexts(track);
    for (const std::string& converter : ConverterNames()) {
        for (const std::string& text : texts) {
            QString line = Q(RedecodeTextWith(text, converter)).trimmed();
            if (line.isEmpty()) continue;
            const QString key = line.toCaseFolded();
            if (seen.contains(key)) continue;
            seen.insert(key);
            lines.push_back(line);
        }
    }
    return lines;
}

std::vector<QString> FilenameParts(const QString& filename) {
    std::vector<QString> parts;
    QString text = filename;
    if (const qsizetype dot = text.lastIndexOf('.'); dot >= 0) text.remove(dot, 10);
    if (const qsizetype dash = text.lastIndexOf('-'); dash >= 0) {
        parts.push_back(Part(text.mid(dash + 1)));
        text.truncate(dash);
    }
    for (qsizetype slash = text.lastIndexOf('/'); slash >= 0; slash = text.lastIndexOf('/')) {
        parts.push_back(Part(text.mid(slash + 1)));
        text.truncate(slash);
    }
    return parts;
}

std::vector<GenreItem> LoadGenres(CADODataBase* database, int languageID) {
    std::vector<GenreItem> genres;
    CADORecordset rs(database);
    if (!rs.Open(FormatSql("SELECT * FROM tGenre WHERE LanguageID = %d ORDER BY ID", languageID),
                 CADORecordset::OpenQuery))
        return genres;
    for (; !rs.IsEof(); rs.MoveNext()) {
        GenreItem item;
        std::string name;
        rs.GetFieldValue("ID", item.id);
        rs.GetFieldValue("Name", name);
        item.name = Q(name);
        genres.push_back(item);
    }
    return genres;
}

void SortGenres(std::vector<GenreItem>& genres, int languageID) {
    QLocale locale(QLocale::English, QLocale::UnitedStates);
    switch (languageID) {
        case 1037:
            locale = QLocale(QLocale::Hebrew, QLocale::Israel);
            break;
        case 1043:
            locale = QLocale(QLocale::Dutch, QLocale::Netherlands);
            break;
        case 2052:
            locale = QLocale(QLocale::Chinese, QLocale::China);
            break;
    }
    const QCollator collator(locale);
    std::stable_sort(genres.begin(), genres.end(), [&](const GenreItem& a, const GenreItem& b) {
        return collator.compare(a.name, b.name) < 0;
    });
}

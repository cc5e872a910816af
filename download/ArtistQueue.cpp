#include "download/ArtistQueue.h"

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <memory>

#include "db/CADODataBase.h"
#include "db/CADORecordset.h"
#include "db/SqlFormat.h"
#include "db/Store.h"
#include "download/WebFetch.h"
#include "download/WebReaders.h"

void EnqueueArtist(CADODataBase* database, const std::string& name) {
    const std::string escaped = EscapeSqlText(name);
    // tCounter has exactly one row, so at most one name is added; a name already queued in
    // another case is the same artist
    database->Execute(
        FormatSql("INSERT INTO tRecommender(Name) SELECT '%s' FROM tCounter WHERE NOT EXISTS "
                  "(SELECT * From tRecommender WHERE Name='%s' COLLATE JETTEXT) LIMIT 1",
                  escaped.c_str(), escaped.c_str()));
}

QueuedArtist TakeNextArtist(CADODataBase* database) {
    QueuedArtist next;
    CADORecordset rs(database);
    // NULL sorts first: waiting artists come before searched ones
    if (rs.Open("SELECT tRecommender.ID, tRecommender.Name FROM tRecommender "
                "ORDER BY tRecommender.LastDownloaded, tRecommender.ID LIMIT 1",
                CADORecordset::OpenQuery) &&
        !rs.IsEof()) {
        rs.GetFieldValue(int16_t{0}, next.id);
        rs.GetFieldValue(int16_t{1}, next.name);
    }
    rs.Close();
    database->Execute(
        FormatSql("UPDATE tRecommender SET LastDownloaded=Now() WHERE ID=%d", next.id));
    return next;
}

void RemoveQueuedArtist(CADODataBase* database, int32_t id) {
    database->Execute(
        FormatSql("UPDATE tRecommender SET LastDownloaded='2099-01-01' WHERE ID = %i", id));
}

std::vector<QueuedArtist> WaitingArtists(CADODataBase* database) {
    std::vector<QueuedArtist> waiting;
    CADORecordset rs(database);
    if (rs.Open("SELECT ID, Name FROM tRecommender WHERE LastDownloaded IS NULL ORDER BY ID "
                "LIMIT 50",
                CADORecordset::OpenQuery)) {
        for (; !rs.IsEof(); rs.MoveNext()) {
            QueuedArtist artist;
            rs.GetFieldValue(int16_t{0}, artist.id);
            rs.GetFieldValue(int16_t{1}, artist.name);
            waiting.push_back(std::move(artist));
        }
    }
    rs.Close();
    return waiting;
}

int32_t CountWaitingArtists(CADODataBase* database) {
    CADORecordset rs(database);
    int32_t count = 0;
    if (rs.Open("SELECT COUNT(*) FROM tRecommender WHERE LastDownloaded IS NULL",
                CADORecordset::OpenQuery) &&
        !rs.IsEof())
        rs.GetFieldValue(int16_t{0}, count);
    rs.Close();
    return count;
}

std::string SimilarArtistsUrl(const std::string& site, const std::string& artist) {
    // '.' too, so that "." and ".." stay names and are not read as the folders they spell
    return site + "/similar/" +
           QUrl::toPercentEncoding(QString::fromStdString(artist), QByteArray(), ".")
               .toStdString();
}

ArtistQueue::ArtistQueue(CADODataBase* database, std::string similarSite)
    : database_(database), similarSite_(std::move(similarSite)) {
    while (!similarSite_.empty() && similarSite_.back() == '/') similarSite_.pop_back();
}

void ArtistQueue::FindSimilarArtists(const std::string& artist) {
    // Qt's HTTP stack reads %2E back as '.' and drops the dot segments: the page asked for
    // would be another one, whose names are not this artist's
    if (similarSite_.empty() || artist == "." || artist == "..") return;
    // the transfer outlives this fetch object and frees itself when it ends
    CWebFetch fetch;
    fetch.Reset();
    fetch.Start(SimilarArtistsUrl(similarSite_, artist), std::nullopt, kWebGet,
                std::make_shared<SimilarArtistReader>(database_));
}

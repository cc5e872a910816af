-- The selection queries. Parameters: ?1 mood, ?2 rating 1..4, ?3 the play counter now.
-- Each offers the track of its band that is least recently played in the mood (never played
-- before any played one), never a deleted one or one excluded or rated otherwise in the mood,
-- and holds nothing back, so that a band of one track still offers it. Only the first row is
-- ever used, so only the first row is returned.

INSERT INTO tStoredQuery(Name, Sql) VALUES ('qNewRatingRatedTracks',
'SELECT t.ID
FROM tTrackMood tm INNER JOIN tTrack t ON t.ID = tm.TrackID
WHERE tm.MoodID = ?1 AND tm.Rating = ?2 AND t.Deleted = 0
ORDER BY tm.LastCounter IS NOT NULL, ?3 - tm.LastCounter DESC, t.ID
LIMIT 1');

-- Unrated tracks of artists whose rated tracks average ?2 (rounded) in the mood. A never
-- played one is taken as soon as one is found, so that a large band costs no sort.
INSERT INTO tStoredQuery(Name, Sql) VALUES ('qNewRatingRatedArtists',
'WITH rated AS MATERIALIZED (
    SELECT a.Artist AS Artist
    FROM tTrackMood r INNER JOIN tTrack a INDEXED BY tTrack_IdArtistGenre ON a.ID = r.TrackID
    WHERE r.MoodID = ?1 AND r.Rating > 0 AND a.Artist <> ''''
    GROUP BY a.Artist
    HAVING CAST(AVG(r.Rating) + 0.5 AS INTEGER) = ?2)
SELECT ID FROM (SELECT COALESCE(
    (SELECT t.ID FROM rated INNER JOIN tTrack t ON t.Artist = rated.Artist
     LEFT JOIN tTrackMood tm ON tm.TrackID = t.ID AND tm.MoodID = ?1
     WHERE t.Deleted = 0 AND tm.Rating IS NULL AND tm.LastCounter IS NULL
     LIMIT 1),
    (SELECT t.ID FROM rated INNER JOIN tTrack t ON t.Artist = rated.Artist
     INNER JOIN tTrackMood tm ON tm.TrackID = t.ID AND tm.MoodID = ?1
     WHERE t.Deleted = 0 AND tm.Rating IS NULL
     ORDER BY ?3 - tm.LastCounter DESC, t.ID
     LIMIT 1)) AS ID)
WHERE ID IS NOT NULL');

-- The same by genre; 255 is no genre.
INSERT INTO tStoredQuery(Name, Sql) VALUES ('qNewRatingRatedGenres',
'WITH rated AS MATERIALIZED (
    SELECT a.GenreID AS GenreID
    FROM tTrackMood r INNER JOIN tTrack a INDEXED BY tTrack_IdArtistGenre ON a.ID = r.TrackID
    WHERE r.MoodID = ?1 AND r.Rating > 0 AND a.GenreID IS NOT NULL AND a.GenreID <> 255
    GROUP BY a.GenreID
    HAVING CAST(AVG(r.Rating) + 0.5 AS INTEGER) = ?2)
SELECT ID FROM (SELECT COALESCE(
    (SELECT t.ID FROM rated INNER JOIN tTrack t ON t.GenreID = rated.GenreID
     LEFT JOIN tTrackMood tm ON tm.TrackID = t.ID AND tm.MoodID = ?1
     WHERE t.Deleted = 0 AND tm.Rating IS NULL AND tm.LastCounter IS NULL
     LIMIT 1),
    (SELECT t.ID FROM rated INNER JOIN tTrack t ON t.GenreID = rated.GenreID
     INNER JOIN tTrackMood tm ON tm.TrackID = t.ID AND tm.MoodID = ?1
     WHERE t.Deleted = 0 AND tm.Rating IS NULL
     ORDER BY ?3 - tm.LastCounter DESC, t.ID
     LIMIT 1)) AS ID)
WHERE ID IS NOT NULL');

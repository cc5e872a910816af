-- The selection queries. Parameters: ?1 mood, ?2 rating 1..4, ?3 the play counter now.
-- Each offers tracks that are neither deleted nor excluded or rated otherwise in the mood,
-- the one least recently played in the mood first (never played before any played one),
-- and holds nothing back, so that a band of one track still offers it.

INSERT INTO tStoredQuery(Name, Sql) VALUES ('qNewRatingRatedTracks',
'SELECT t.ID, t.Filename, tm.Rating AS CurrentRating
FROM tTrackMood tm INNER JOIN tTrack t ON t.ID = tm.TrackID
WHERE tm.MoodID = ?1 AND tm.Rating = ?2 AND t.Deleted = 0
ORDER BY tm.LastCounter IS NOT NULL, ?3 - tm.LastCounter DESC, t.ID');

-- Unrated tracks of artists whose rated tracks average ?2 (rounded) in the mood.
INSERT INTO tStoredQuery(Name, Sql) VALUES ('qNewRatingRatedArtists',
'SELECT t.ID, t.Filename, tm.Rating AS CurrentRating
FROM (SELECT a.Artist AS Artist
      FROM tTrackMood r INNER JOIN tTrack a ON a.ID = r.TrackID
      WHERE r.MoodID = ?1 AND r.Rating > 0 AND a.Artist <> ''''
      GROUP BY a.Artist
      HAVING CAST(AVG(r.Rating) + 0.5 AS INTEGER) = ?2) ra
INNER JOIN tTrack t ON t.Artist = ra.Artist
LEFT JOIN tTrackMood tm ON tm.TrackID = t.ID AND tm.MoodID = ?1
WHERE t.Deleted = 0 AND tm.Rating IS NULL
ORDER BY tm.LastCounter IS NOT NULL, ?3 - tm.LastCounter DESC, t.ID');

-- Unrated tracks of genres whose rated tracks average ?2 (rounded) in the mood; 255 is no genre.
INSERT INTO tStoredQuery(Name, Sql) VALUES ('qNewRatingRatedGenres',
'SELECT t.ID, t.Filename, tm.Rating AS CurrentRating
FROM (SELECT a.GenreID AS GenreID
      FROM tTrackMood r INNER JOIN tTrack a ON a.ID = r.TrackID
      WHERE r.MoodID = ?1 AND r.Rating > 0 AND a.GenreID IS NOT NULL AND a.GenreID <> 255
      GROUP BY a.GenreID
      HAVING CAST(AVG(r.Rating) + 0.5 AS INTEGER) = ?2) rg
INNER JOIN tTrack t ON t.GenreID = rg.GenreID
LEFT JOIN tTrackMood tm ON tm.TrackID = t.ID AND tm.MoodID = ?1
WHERE t.Deleted = 0 AND tm.Rating IS NULL
ORDER BY tm.LastCounter IS NOT NULL, ?3 - tm.LastCounter DESC, t.ID');

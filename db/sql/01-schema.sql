-- Tables of Sonvera.mdb. Yes/No columns are declared YESNO: triggers keep them at -1 (true)
-- and 0 whatever a statement writes, so that statements comparing with -1 or 0 hold.

CREATE TABLE tTrack (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    Filename TEXT,
    SearchString TEXT,
    Artist TEXT,
    Trackname TEXT,
    Album TEXT,
    Year TEXT,
    OrigArtist TEXT,
    OrigTrackname TEXT,
    OrigAlbum TEXT,
    OrigYear TEXT,
    GenreID INTEGER DEFAULT 255,
    FingerPrint TEXT,
    BitRate INTEGER DEFAULT 0,
    Source YESNO DEFAULT 0,
    Deleted YESNO DEFAULT 0
);
CREATE INDEX tTrack_Filename ON tTrack(Filename);
CREATE INDEX tTrack_FingerPrint ON tTrack(FingerPrint);
-- Covering indexes for the artist and genre bands and the catalog.
CREATE INDEX tTrack_Artist ON tTrack(Artist, Deleted);
CREATE INDEX tTrack_GenreID ON tTrack(GenreID, Deleted);
CREATE INDEX tTrack_IdArtistGenre ON tTrack(ID, Artist, GenreID);
CREATE INDEX tTrack_SearchString ON tTrack(SearchString);

-- EarlySkips: skips within a track's first 30 seconds in the mood, less one per play to the
-- end; a database made before it gains it when opened.
CREATE TABLE tTrackMood (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    MoodID INTEGER,
    TrackID INTEGER,
    Rating INTEGER,
    RatingType INTEGER,
    -- 0 on rows made by a rating, so that a later play counts from 0 and not from NULL.
    Played INTEGER DEFAULT 0,
    LastPlayed DATETIME,
    LastCounter INTEGER,
    EarlySkips INTEGER DEFAULT 0
);
CREATE UNIQUE INDEX tTrackMood_MoodTrack ON tTrackMood(MoodID, TrackID);
-- Covering indexes for the unrated-tracks query and the three bands.
CREATE INDEX tTrackMood_Track ON tTrackMood(TrackID, MoodID, Rating, LastPlayed);
CREATE INDEX tTrackMood_MoodRating ON tTrackMood(MoodID, Rating, TrackID, LastCounter);
CREATE INDEX tTrackMood_MoodTrackCover ON tTrackMood(MoodID, TrackID, Rating, LastCounter);
-- The unrated draw reaches its row by position in this order.
CREATE INDEX tTrackMood_MoodUnrated ON tTrackMood(MoodID, Rating, LastPlayed, TrackID);

CREATE TABLE tMood (
    ID INTEGER NOT NULL,
    Name TEXT,
    LanguageID INTEGER NOT NULL,
    PRIMARY KEY (ID, LanguageID)
);
CREATE INDEX tMood_Name ON tMood(Name, LanguageID);

CREATE TABLE tGenre (
    ID INTEGER NOT NULL,
    Name TEXT,
    LanguageID INTEGER NOT NULL,
    PRIMARY KEY (ID, LanguageID)
);

CREATE TABLE tRecommender (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    Name TEXT,
    LastDownloaded DATETIME
);
CREATE INDEX tRecommender_Name ON tRecommender(Name);
CREATE INDEX tRecommender_LastDownloaded ON tRecommender(LastDownloaded);

CREATE TABLE tCounter (
    Counter INTEGER DEFAULT 0
);

CREATE TABLE tSettings (
    Name TEXT PRIMARY KEY,
    ValueInt INTEGER
);

CREATE TABLE tInfoRead (
    Filename TEXT,
    Dir YESNO DEFAULT 0,
    Downloaded YESNO DEFAULT 0
);
CREATE INDEX tInfoRead_Filename ON tInfoRead(Filename);

CREATE TABLE tDuplicate (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    Filename TEXT,
    Artist TEXT,
    Trackname TEXT,
    Album TEXT,
    Year TEXT,
    GenreID INTEGER,
    FingerPrint TEXT,
    BitRate INTEGER
);
CREATE INDEX tDuplicate_Filename ON tDuplicate(Filename);
CREATE INDEX tDuplicate_FingerPrint ON tDuplicate(FingerPrint);

-- The stored queries: "SELECT * FROM <Name>" runs Sql with positional parameters ?1, ?2, ...
CREATE TABLE tStoredQuery (
    Name TEXT PRIMARY KEY COLLATE NOCASE,
    Sql TEXT NOT NULL
);

CREATE TRIGGER tTrack_YesNo_Insert AFTER INSERT ON tTrack
WHEN NEW.Source IS NOT 0 AND NEW.Source IS NOT -1 OR NEW.Deleted IS NOT 0 AND NEW.Deleted IS NOT -1
BEGIN
    UPDATE tTrack SET Source = CASE WHEN coalesce(Source, 0) <> 0 THEN -1 ELSE 0 END,
                      Deleted = CASE WHEN coalesce(Deleted, 0) <> 0 THEN -1 ELSE 0 END
    WHERE ID = NEW.ID;
END;
CREATE TRIGGER tTrack_YesNo_Update AFTER UPDATE OF Source, Deleted ON tTrack
WHEN NEW.Source IS NOT 0 AND NEW.Source IS NOT -1 OR NEW.Deleted IS NOT 0 AND NEW.Deleted IS NOT -1
BEGIN
    UPDATE tTrack SET Source = CASE WHEN coalesce(Source, 0) <> 0 THEN -1 ELSE 0 END,
                      Deleted = CASE WHEN coalesce(Deleted, 0) <> 0 THEN -1 ELSE 0 END
    WHERE ID = NEW.ID;
END;
CREATE TRIGGER tInfoRead_YesNo_Insert AFTER INSERT ON tInfoRead
WHEN NEW.Dir IS NOT 0 AND NEW.Dir IS NOT -1 OR NEW.Downloaded IS NOT 0 AND NEW.Downloaded IS NOT -1
BEGIN
    UPDATE tInfoRead SET Dir = CASE WHEN coalesce(Dir, 0) <> 0 THEN -1 ELSE 0 END,
                         Downloaded = CASE WHEN coalesce(Downloaded, 0) <> 0 THEN -1 ELSE 0 END
    WHERE rowid = NEW.rowid;
END;
CREATE TRIGGER tInfoRead_YesNo_Update AFTER UPDATE OF Dir, Downloaded ON tInfoRead
WHEN NEW.Dir IS NOT 0 AND NEW.Dir IS NOT -1 OR NEW.Downloaded IS NOT 0 AND NEW.Downloaded IS NOT -1
BEGIN
    UPDATE tInfoRead SET Dir = CASE WHEN coalesce(Dir, 0) <> 0 THEN -1 ELSE 0 END,
                         Downloaded = CASE WHEN coalesce(Downloaded, 0) <> 0 THEN -1 ELSE 0 END
    WHERE rowid = NEW.rowid;
END;

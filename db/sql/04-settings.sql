-- One row per setting (the program only updates existing rows) and the single counter row.
INSERT INTO tSettings(Name, ValueInt) VALUES ('PlayTrackAwesome', 5);
INSERT INTO tSettings(Name, ValueInt) VALUES ('LearnFromSkips', 1);
INSERT INTO tSettings(Name, ValueInt) VALUES ('PlayTrackGood', 2);
INSERT INTO tSettings(Name, ValueInt) VALUES ('PlayTrackNormal', 1);
INSERT INTO tSettings(Name, ValueInt) VALUES ('PlayTrackBad', 0);
INSERT INTO tSettings(Name, ValueInt) VALUES ('PlayArtistAwesome', 20);
INSERT INTO tSettings(Name, ValueInt) VALUES ('PlayArtistGood', 8);
INSERT INTO tSettings(Name, ValueInt) VALUES ('PlayArtistNormal', 4);
INSERT INTO tSettings(Name, ValueInt) VALUES ('PlayArtistBad', 0);
INSERT INTO tSettings(Name, ValueInt) VALUES ('PlayGenreAwesome', 100);
INSERT INTO tSettings(Name, ValueInt) VALUES ('PlayGenreGood', 60);
INSERT INTO tSettings(Name, ValueInt) VALUES ('PlayGenreNormal', 20);
INSERT INTO tSettings(Name, ValueInt) VALUES ('PlayGenreBad', 5);
INSERT INTO tSettings(Name, ValueInt) VALUES ('PlayRandom', 10);
INSERT INTO tSettings(Name, ValueInt) VALUES ('Player', 3);
INSERT INTO tSettings(Name, ValueInt) VALUES ('Voice', 1);
INSERT INTO tSettings(Name, ValueInt) VALUES ('Download', 0);
INSERT INTO tSettings(Name, ValueInt) VALUES ('CloseCount', 0);
INSERT INTO tSettings(Name, ValueInt) VALUES ('SongsPlayed', 0);
INSERT INTO tSettings(Name, ValueInt) VALUES ('FirstUse', 1);
INSERT INTO tSettings(Name, ValueInt) VALUES ('ConnectionSpeed', 1);
INSERT INTO tSettings(Name, ValueInt) VALUES ('LastMood', 2);
INSERT INTO tSettings(Name, ValueInt) VALUES ('Volume', 128);

INSERT INTO tCounter(Counter) VALUES (0);

-- Moods offered in the mood list, one row per mood and interface language.
-- Mood 2 is the one every run starts in, so it is the broadest.

-- LanguageID 1033
INSERT INTO tMood(ID, Name, LanguageID) VALUES (1, 'Relaxed', 1033);
INSERT INTO tMood(ID, Name, LanguageID) VALUES (2, 'Easy listening', 1033);
INSERT INTO tMood(ID, Name, LanguageID) VALUES (3, 'Happy', 1033);
INSERT INTO tMood(ID, Name, LanguageID) VALUES (4, 'Energetic', 1033);
INSERT INTO tMood(ID, Name, LanguageID) VALUES (5, 'Party', 1033);
INSERT INTO tMood(ID, Name, LanguageID) VALUES (6, 'Romantic', 1033);
INSERT INTO tMood(ID, Name, LanguageID) VALUES (7, 'Melancholic', 1033);
INSERT INTO tMood(ID, Name, LanguageID) VALUES (8, 'Focused', 1033);
INSERT INTO tMood(ID, Name, LanguageID) VALUES (9, 'Workout', 1033);
INSERT INTO tMood(ID, Name, LanguageID) VALUES (10, 'Late night', 1033);

-- LanguageID 1037
INSERT INTO tMood(ID, Name, LanguageID) VALUES (1, 'רגוע', 1037);
INSERT INTO tMood(ID, Name, LanguageID) VALUES (2, 'האזנה קלה', 1037);
INSERT INTO tMood(ID, Name, LanguageID) VALUES (3, 'שמח', 1037);
INSERT INTO tMood(ID, Name, LanguageID) VALUES (4, 'אנרגטי', 1037);
INSERT INTO tMood(ID, Name, LanguageID) VALUES (5, 'מסיבה', 1037);
INSERT INTO tMood(ID, Name, LanguageID) VALUES (6, 'רומנטי', 1037);
INSERT INTO tMood(ID, Name, LanguageID) VALUES (7, 'מלנכולי', 1037);
INSERT INTO tMood(ID, Name, LanguageID) VALUES (8, 'מרוכז', 1037);
INSERT INTO tMood(ID, Name, LanguageID) VALUES (9, 'אימון', 1037);
INSERT INTO tMood(ID, Name, LanguageID) VALUES (10, 'לילה מאוחר', 1037);

-- LanguageID 1043
INSERT INTO tMood(ID, Name, LanguageID) VALUES (1, 'Ontspannen', 1043);
INSERT INTO tMood(ID, Name, LanguageID) VALUES (2, 'Lekker luisteren', 1043);
INSERT INTO tMood(ID, Name, LanguageID) VALUES (3, 'Vrolijk', 1043);
INSERT INTO tMood(ID, Name, LanguageID) VALUES (4, 'Energiek', 1043);
INSERT INTO tMood(ID, Name, LanguageID) VALUES (5, 'Feest', 1043);
INSERT INTO tMood(ID, Name, LanguageID) VALUES (6, 'Romantisch', 1043);
INSERT INTO tMood(ID, Name, LanguageID) VALUES (7, 'Melancholiek', 1043);
INSERT INTO tMood(ID, Name, LanguageID) VALUES (8, 'Geconcentreerd', 1043);
INSERT INTO tMood(ID, Name, LanguageID) VALUES (9, 'Sporten', 1043);
INSERT INTO tMood(ID, Name, LanguageID) VALUES (10, 'Laat op de avond', 1043);

-- LanguageID 2052
INSERT INTO tMood(ID, Name, LanguageID) VALUES (1, '放松', 2052);
INSERT INTO tMood(ID, Name, LanguageID) VALUES (2, '轻松聆听', 2052);
INSERT INTO tMood(ID, Name, LanguageID) VALUES (3, '快乐', 2052);
INSERT INTO tMood(ID, Name, LanguageID) VALUES (4, '活力', 2052);
INSERT INTO tMood(ID, Name, LanguageID) VALUES (5, '派对', 2052);
INSERT INTO tMood(ID, Name, LanguageID) VALUES (6, '浪漫', 2052);
INSERT INTO tMood(ID, Name, LanguageID) VALUES (7, '忧郁', 2052);
INSERT INTO tMood(ID, Name, LanguageID) VALUES (8, '专注', 2052);
INSERT INTO tMood(ID, Name, LanguageID) VALUES (9, '运动', 2052);
INSERT INTO tMood(ID, Name, LanguageID) VALUES (10, '深夜', 2052);

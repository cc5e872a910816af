// What the desktop services send, without a bus or a window.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <cstdlib>
#include <fstream>

#include "app/CoverArt.h"
#include "app/DesktopBus.h"
#include "app/InstalledLayout.h"
#include "app/MprisServer.h"
#include "db/TrackRecord.h"
#include "tests/app/Id3Picture.h"
#include "tests/support/TempFolder.h"

TEST(MprisMetadata, NamesTheTrackByItsIdAndScalesItsRating) {
    TrackRecord track;
    track.ID = 42;
    track.Trackname = "Song";
    track.Artist = "Artist";
    track.Filename = "/music/a b.mp3";
    QVariantMap m = MprisMetadata(track, 200'500, 1, "");
    EXPECT_EQ(m["mpris:trackid"].value<QDBusObjectPath>().path(), "/org/sonvera/track/42");
    EXPECT_EQ(m["xesam:artist"].toStringList(), QStringList{"Artist"});
    EXPECT_EQ(m["mpris:length"].toLongLong(), 200'500'000);
    EXPECT_EQ(m["xesam:userRating"].toDouble(), 0.25);
    EXPECT_EQ(m["xesam:url"].toString(), "file:///music/a%20b.mp3");
    EXPECT_FALSE(m.contains("mpris:artUrl"));
    EXPECT_EQ(MprisMetadata(track, 0, 4, "file:///c.png")["xesam:userRating"].toDouble(), 1.0);
    // unrated: no rating at all, so that clients do not show it as zero stars
    EXPECT_FALSE(MprisMetadata(track, 0, 0, "").contains("xesam:userRating"));
    EXPECT_EQ(MprisMetadata(TrackRecord{}, 0, 0, "").keys(), QStringList{"mpris:trackid"});
}

TEST(PlayTime, MinutesAndPaddedSeconds) {
    EXPECT_EQ(FormatPlayTime(65'999, 200'000), "1:05 / 3:20");
    EXPECT_EQ(FormatPlayTime(-1, 0), "0:00 / 0:00");
}

TEST(DesktopBus, WithoutABusSaysSoOnce) {
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/sonvera-no-bus");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(DesktopBus().has_value());
    EXPECT_FALSE(DesktopBus().has_value());
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("no session bus"), std::string::npos);
    EXPECT_EQ(said.find("no session bus"), said.rfind("no session bus"));
}

TEST(CoverArt, AFlacFileGivesThePictureInItsOwnTags) {
    sonvera::test::TempFolder dir;
    const std::string wav = dir / "a.wav", flac = dir / "a.flac", picture = dir / "p.png";
    std::ofstream(picture, std::ios::binary) << "png bytes";
    ASSERT_EQ(std::system(("sox -q -n -r 44100 -c 2 -b 16 '" + wav + "' synth 0.5 sine 440 && flac -s '" + wav +
                           "' -o '" + flac + "' && metaflac --import-picture-from='3|image/png||1x1x24|" +
                           picture + "' '" + flac + "'").c_str()),
              0);
    const auto cover = ReadCoverFile(QString::fromStdString(flac));
    ASSERT_TRUE(cover);
    EXPECT_EQ(cover->data, QByteArray("png bytes"));
    EXPECT_EQ(cover->mimeType, "image/png");
    EXPECT_FALSE(ReadCoverFile(QString::fromStdString(wav)));
}

TEST(CoverArt, FrontCoverFirstAndCachedOnce) {
    const QByteArray back = "back picture", front = QByteArray("front\0picture", 13);
    QByteArray file = Id3TagWithPictures({{4, back}, {3, front}}) + "\xFF\xFB audio";
    auto picture = ReadCoverPicture(file);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->data, front);
    EXPECT_EQ(picture->mimeType, "image/png");
    EXPECT_EQ(ReadCoverPicture(Id3TagWithPictures({{4, back}}))->data, back);
    EXPECT_FALSE(ReadCoverPicture(Id3TagWithPictures({})));
    // a frame claiming more than the tag holds
    QByteArray cut = Id3TagWithPictures({{3, front}});
    cut[14] = 0x7F;
    EXPECT_FALSE(ReadCoverPicture(cut));

    sonvera::test::TempFolder cache;
    qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(cache.Path().string()));
    const QString path = CacheCover(7, *picture);
    EXPECT_EQ(path, QString::fromStdString((cache.Path() / "sonvera/cover-7.png").string()));
    QFile written(path);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), front);
}

TEST(InstalledLayout, FirstStartMakesTheDataFolderAndKeepsItAfterwards) {
    sonvera::test::TempFolder root;
    const QString prefix = QString::fromStdString(root.Path().string());
    ASSERT_TRUE(QDir().mkpath(prefix + "/bin") && QDir().mkpath(prefix + "/share/sonvera"));
    QFile shipped(prefix + "/share/sonvera/Sonvera.mdb");
    ASSERT_TRUE(shipped.open(QIODevice::WriteOnly) && shipped.write("template") == 8);
    shipped.close();
    qputenv("XDG_DATA_HOME", (prefix + "/data").toUtf8());
    qunsetenv("SONVERA_DATA");
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(prefix + "/bin"));
    auto layout = PrepareInstalledLayout(prefix + "/bin");
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->dataFolder, prefix + "/data/sonvera");
    EXPECT_EQ(layout->helpDir, prefix + "/share/sonvera/help/html");
    QFile copy(layout->dataFolder + "/Sonvera.mdb");
    ASSERT_TRUE(copy.open(QIODevice::ReadWrite));
    EXPECT_EQ(copy.readAll(), "template");
    copy.write(" with ratings");
    copy.close();
    // the user's ratings survive the next start
    PrepareInstalledLayout(prefix + "/bin");
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), "template with ratings");
    // a run in a folder with a database of its own, or from the build tree, is left alone
    ASSERT_TRUE(QDir::setCurrent(layout->dataFolder));
    EXPECT_FALSE(PrepareInstalledLayout(prefix + "/bin"));
    ASSERT_TRUE(QDir::setCurrent(previous));
    sonvera::test::TempFolder buildTree;
    EXPECT_FALSE(PrepareInstalledLayout(QString::fromStdString(buildTree.Path().string())));
}

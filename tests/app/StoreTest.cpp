#include <gtest/gtest.h>

#include <filesystem>

#include "app/DatabaseStore.h"
#include "db/CADODataBase.h"
#include "db/CADORecordset.h"
#include "db/CurrentTrackSource.h"

namespace {

// A copy of the shipped database in a temporary folder.
struct StoreTest : ::testing::Test {
    std::filesystem::path dir;
    CADODataBase db;
    std::unique_ptr<DatabaseStore> store;
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("sonvera-store-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
        std::filesystem::copy_file(SONVERA_MDB_PATH, dir / "Sonvera.mdb",
                                   std::filesystem::copy_options::overwrite_existing);
        ASSERT_TRUE(db.Open(MakeConnectionString((dir / "Sonvera.mdb").string())));
        store = std::make_unique<DatabaseStore>(&db);
    }
    void TearDown() override {
        db.Close();
        std::filesystem::remove_all(dir);
    }
    int Count(const std::string& sql) {
        CADORecordset rs(&db);
        int32_t n = -1;
        if (rs.Open(sql, CADORecordset::OpenQuery) && !rs.IsEof()) rs.GetFieldValue(int16_t{0}, n);
        return n;
    }
};

TEST_F(StoreTest, AwesomeTwiceQueuesTheArtistOnce) {
    db.Execute("DELETE FROM tRecommender");
    store->EnqueueArtist("Guns N' Roses");
    store->EnqueueArtist("Guns N' Roses");
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tRecommender WHERE Name='Guns N'' Roses'"), 1);
    EXPECT_EQ(store->CountWaitingArtists(), 1);
    db.Execute("UPDATE tRecommender SET LastDownloaded = Now()");
    EXPECT_EQ(store->CountWaitingArtists(), 0);
    store->EnqueueArtist("Guns N' Roses");  // a name queued in any state stays single
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tRecommender"), 1);
}

TEST_F(StoreTest, MoodsAndGenresInTheInterfaceLanguage) {
    auto moods = store->MoodNames(1033);
    ASSERT_GE(moods.size(), 2u);
    auto second = store->MoodName(1033, 2);
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(moods[1], *second);
    EXPECT_NE(store->MoodName(1037, 2), second);
    EXPECT_FALSE(store->GenreName(255, 1033).has_value());
    EXPECT_TRUE(store->GenreName(17, 1033).has_value());
}

struct NoTrack : CurrentTrackSource {
    int32_t GetMoodID() const override { return 2; }
    TrackRecord GetCurrentTrack() const override { return {}; }
};

TEST_F(StoreTest, RatingWithoutATrackNeverEscapes) {
    NoTrack none;
    db.Close();  // a broken connection makes the existence test fail
    EXPECT_NO_THROW(store->RateTrack(none, 3));
    EXPECT_NO_THROW(store->RecordPlayed(none));
}

TEST_F(StoreTest, SettingsRoundTrip) {
    store->SetSetting("CloseCount", 4);
    EXPECT_EQ(store->GetSetting("CloseCount"), 4);
}

}  // namespace

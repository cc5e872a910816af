#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include "SelectionFixtures.h"
#include "db/Store.h"
#include "res/ResourceIds.h"
#include "selection/CPlaySettingDlg.h"
#include "selection/TrackPlayer.h"

namespace {

std::unique_ptr<PlayerBackend> NoPlayer(PlayerType) { return nullptr; }

class PlaySettingDlg : public ::testing::Test {
protected:
    std::unique_ptr<TrackPlayer> MakePlayer() {
        return std::make_unique<TrackPlayer>(db.Get(), NoPlayer);
    }
    static QSlider* Slider(QDialog& dialog, int band) {
        return dialog.findChild<QSlider*>(QString::number(kPlaySliderIds[band]));
    }
    static void Press(QDialog& dialog, int id) {
        auto* button = dialog.findChild<QPushButton*>(QString::number(id));
        ASSERT_NE(button, nullptr);
        button->click();
    }
    PlayWeights StoredWeights() {
        PlayWeights weights{};
        for (int i = 0; i < PlayWeightCount; ++i)
            weights[i] = GetSetting(db.Get(), PlayWeightNames[i]);
        return weights;
    }

    TestDatabase db;
};

TEST_F(PlaySettingDlg, ShowsTheControlsWithTheirTexts) {
    auto player = MakePlayer();
    CPlaySettingDlg dialog(*player, db.Get());
    EXPECT_EQ(dialog.windowTitle(), "Play settings");
    for (int band = 0; band < PlayWeightCount; ++band) {
        QSlider* slider = Slider(dialog, band);
        ASSERT_NE(slider, nullptr) << band;
        EXPECT_EQ(slider->minimum(), 0);
        EXPECT_EQ(slider->maximum(), 100);
        EXPECT_EQ(slider->orientation(), Qt::Horizontal);
        EXPECT_EQ(slider->value(), InitialPlayWeights[band]);
    }
    const std::vector<std::pair<int, QString>> labels = {
        {1110, "Play rated tracks"},
        {1111, "Play tracks based on average artist ratings"},
        {1112, "Play tracks based on average genre ratings"},
        {1113, "Play random tracks"},
        {1114, "Awesome!"},
        {1116, "Awesome!"},
        {1117, "Good"},
        {1119, "Good"},
        {1120, "Average"},
        {1122, "Average"},
        {1123, "Bad"},
        {1125, "Bad"},
        {1126, "Never"},
        {1129, "Never"},
        {1130, "Often"},
        {1133, "Often"}};
    for (const auto& [id, text] : labels) {
        auto* label = dialog.findChild<QLabel*>(QString::number(id));
        ASSERT_NE(label, nullptr) << id;
        EXPECT_EQ(label->text(), text) << id;
    }
    EXPECT_EQ(dialog.findChild<QPushButton*>("1")->text(), "OK");
    EXPECT_EQ(dialog.findChild<QPushButton*>("2")->text(), "Cancel");
}

TEST_F(PlaySettingDlg, WeightAbove100ShowsAt100AndIsSavedAs100) {
    SetSetting(db.Get(), "PlayGenreAwesome", 150);
    auto player = MakePlayer();
    ASSERT_EQ(player->GetPlayWeights()[PlayGenreAwesome], 150);
    CPlaySettingDlg dialog(*player, db.Get());
    EXPECT_EQ(Slider(dialog, PlayGenreAwesome)->value(), 100);
    Press(dialog, IDOK);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    PlayWeights expected = InitialPlayWeights;
    expected[PlayGenreAwesome] = 100;
    EXPECT_EQ(player->GetPlayWeights(), expected);
    EXPECT_EQ(StoredWeights(), expected);
}

TEST_F(PlaySettingDlg, CancelAfterMovingSlidersChangesNothing) {
    auto player = MakePlayer();
    CPlaySettingDlg dialog(*player, db.Get());
    for (int band = 0; band < PlayWeightCount; ++band) Slider(dialog, band)->setValue(77);
    Press(dialog, IDCANCEL);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(player->GetPlayWeights(), InitialPlayWeights);
    EXPECT_EQ(StoredWeights(), InitialPlayWeights);
}

TEST_F(PlaySettingDlg, OkStoresEverySliderInBandOrder) {
    auto player = MakePlayer();
    CPlaySettingDlg dialog(*player, db.Get());
    PlayWeights expected{};
    for (int band = 0; band < PlayWeightCount; ++band) {
        expected[band] = 3 * band + 1;
        Slider(dialog, band)->setValue(expected[band]);
    }
    Press(dialog, IDOK);
    EXPECT_EQ(player->GetPlayWeights(), expected);
    EXPECT_EQ(StoredWeights(), expected);
}

TEST_F(PlaySettingDlg, AllSlidersAtZeroAreAccepted) {
    auto player = MakePlayer();
    RecordingTarget window;
    player->AttachWindow(&window);
    const int32_t awesome = db.AddTrack("Awesome");
    db.Rate(awesome, 2, RatingAwesome);
    db.AddTrack("Unrated");
    {
        CPlaySettingDlg dialog(*player, db.Get());
        for (int band = 0; band < PlayWeightCount; ++band) Slider(dialog, band)->setValue(0);
        Press(dialog, IDOK);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    EXPECT_EQ(player->GetPlayWeights(), PlayWeights{});
    EXPECT_EQ(StoredWeights(), PlayWeights{});
    // The selection then plays the awesome band.
    player->SelectNextTrack();
    EXPECT_EQ(player->GetCurrentTrack().ID, awesome);
    EXPECT_EQ(player->GetPickSource(), PickTrackRating);
}

}  // namespace

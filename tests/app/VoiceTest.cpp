#include <gtest/gtest.h>

#include "Fakes.h"
#include "app/VoiceAnnouncer.h"
#include "res/TextFormat.h"

namespace {

TEST(Voice, WithoutOutputItIsNotCreatedAndStaysSilent) {
    VoiceAnnouncer voice{std::unique_ptr<SpeechOutput>()};
    EXPECT_FALSE(voice.IsCreated());
    EXPECT_TRUE(voice.IsEnabled());
    voice.Speak("Welcome to Sonvera");  // must simply do nothing
}

TEST(Voice, SpeaksOnlyWhileEnabledAndUntilReleased) {
    std::vector<std::string> spoken;
    VoiceAnnouncer voice{std::make_unique<RecordingSpeech>(&spoken)};
    EXPECT_TRUE(voice.IsCreated());
    voice.Speak("one");
    voice.SetEnabled(false);
    voice.Speak("two");
    voice.SetEnabled(true);
    voice.Speak("three");
    voice.Release();
    voice.Speak("four");
    EXPECT_EQ(spoken, (std::vector<std::string>{"one", "three"}));
}

TEST(Voice, EspeakStartsAtMostOncePerProcess) {
    auto first = CreateEspeakOutput();
    EXPECT_EQ(CreateEspeakOutput(), nullptr);
    if (!first) GTEST_SKIP() << "no sound output on this machine";
    first->Speak("Welcome to Sonvera");
}

TEST(Voice, NoVoiceWithSdlDummyAudio) {
    // in a fresh process the only reason for no voice here is the dummy driver
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    VoiceAnnouncer voice;
    EXPECT_FALSE(voice.IsCreated());
    voice.Speak("silent");
}

TEST(TextFormatting, PlaceholdersAreFilledSafely) {
    EXPECT_EQ(FormatText("Database: Total %d, Rated %d", {12LL, 3LL}),
              "Database: Total 12, Rated 3");
    EXPECT_EQ(FormatText("%s - %s", {std::string("A"), std::string("B")}), "A - B");
    // a translation with more placeholders than values, or odd ones, must not read garbage
    EXPECT_EQ(FormatText("%d %d %d", {1LL}), "1  ");
    EXPECT_EQ(FormatText("100%% %x %", {1LL}), "100% %x %");
    EXPECT_EQ(FormatText("%s", {std::string("%d")}), "%d");
}

}  // namespace

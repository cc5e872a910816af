#pragma once
// The server's readable pages, in the request's interface language where a translation exists
// (1033 English, 1037 Hebrew, 1043 Dutch, 2052 Simplified Chinese; others get English). Every
// text from a request or a submission is HTML-escaped here. Pure; any thread.

#include <cstdint>
#include <string>
#include <vector>

#include "server/InfoStore.h"
#include "server/QueryText.h"

enum class InfoPage { Artist, Lyrics, Photos, Buy, Links };

std::string RenderInfoPage(InfoPage page, const SongFields& song,
                           const std::vector<AlbumTrack>& known);
// What getfromdb.asp answers when it knows nothing: not a reply the player reads.
std::string RenderNoInfoPage(int32_t langID);
std::string RenderFeedbackForm(int32_t langID, int32_t typeID);
std::string RenderFeedbackThanks(int32_t langID);
std::string RenderIndexPage();
std::string RenderDownloadPage(const std::string& version);
// One row per name in the markup the player's similar-artist reader looks for.
std::string RenderSimilarPage(const std::string& artist, const std::vector<std::string>& names);

#pragma once
// Where the song-information server is when nothing else is configured: the local
// sonvera-infod that scripts/run.sh starts. "--info-server URL" or SONVERA_INFO_SERVER
// point the player elsewhere.

inline constexpr const char* DefaultInfoServer = "http://127.0.0.1:8470/";
inline constexpr int DefaultInfoServerPort = 8470;

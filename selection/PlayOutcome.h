#pragma once
// What became of the track last started on the player, told once to the main window.

enum class PlayOutcome { None, Opened, Failed };

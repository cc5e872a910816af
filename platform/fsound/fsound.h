#pragma once
// The FMOD 3 stream calls the FMOD player makes, over libmpg123 and SDL2 audio. Every call is
// thread-safe (one lock serialises them); the audio callback never waits for that lock.

struct FSOUND_STREAM;   // an open MP3 stream
struct FSOUND_DSPUNIT;  // accepted for FMOD's signature; always null here

constexpr int FSOUND_FREE = -1;  // PlayEx: pick any free channel
constexpr unsigned int FSOUND_16BITS = 0x10;
constexpr unsigned int FSOUND_MONO = 0x20;
constexpr unsigned int FSOUND_SIGNED = 0x100;
constexpr unsigned int FSOUND_NORMAL = FSOUND_16BITS | FSOUND_SIGNED | FSOUND_MONO;  // 0x130
constexpr unsigned int FSOUND_MPEGACCURATE =
    0x20000;  // scan the whole file: exact length and seeks

// Opens the default sound device with the given mixing rate and number of channels (1..32).
// False when no device opens, when already initialised or when the arguments are out of range.
signed char FSOUND_Init(int mixrate, int maxsoftwarechannels, unsigned int flags);
// Closes every stream and the device. Stream handles are invalid afterwards.
void FSOUND_Close();

// Opens an MP3 file (path in the platform's bytes). The whole file is scanned first, so the
// length and seeks are exact whatever the mode. offset/length (memory streams) are ignored.
// Null when not initialised or the file is missing or not decodable. The scan holds no lock;
// an FSOUND_Close on another thread ends it early, and the open then gives null.
FSOUND_STREAM* FSOUND_Stream_Open(const char* nameOrData, unsigned int mode, int offset,
                                  int length);
// Starts the stream on channel `channel` (0..channels-1) or on a free one (FSOUND_FREE).
// Returns the channel handle, or -1. A stream plays on one channel at a time.
int FSOUND_Stream_PlayEx(int channel, FSOUND_STREAM* stream, FSOUND_DSPUNIT* dsp,
                         signed char startPaused);
// Stops the stream and rewinds it to the start.
signed char FSOUND_Stream_Stop(FSOUND_STREAM* stream);
// Stops and frees the stream. The handle is invalid afterwards.
signed char FSOUND_Stream_Close(FSOUND_STREAM* stream);
// Milliseconds; 0 for an invalid handle.
int FSOUND_Stream_GetLengthMs(FSOUND_STREAM* stream);
// The position of the samples handed to the device, in milliseconds; 0 for an invalid handle.
int FSOUND_Stream_GetTime(FSOUND_STREAM* stream);
// Moves to `ms` (clamped to the stream's length).
signed char FSOUND_Stream_SetTime(FSOUND_STREAM* stream, int ms);

// Channel volume 0..255 (linear); values outside are clamped. GetVolume gives 0 for an invalid
// channel.
signed char FSOUND_SetVolume(int channel, int volume);
int FSOUND_GetVolume(int channel);
signed char FSOUND_SetPaused(int channel, signed char paused);
// True while the channel's stream plays or is paused; false once it has played to its end,
// after a stop and for an invalid channel.
signed char FSOUND_IsPlaying(int channel);

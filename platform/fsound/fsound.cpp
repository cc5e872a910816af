// Not wired to a device yet: every call fails as it does without a sound device.
#include "platform/fsound/fsound.h"

signed char FSOUND_Init(int, int, unsigned int) { return 0; }
void FSOUND_Close() {}
FSOUND_STREAM* FSOUND_Stream_Open(const char*, unsigned int, int, int) { return nullptr; }
int FSOUND_Stream_PlayEx(int, FSOUND_STREAM*, FSOUND_DSPUNIT*, signed char) { return -1; }
signed char FSOUND_Stream_Stop(FSOUND_STREAM*) { return 0; }
signed char FSOUND_Stream_Close(FSOUND_STREAM*) { return 0; }
int FSOUND_Stream_GetLengthMs(FSOUND_STREAM*) { return 0; }
int FSOUND_Stream_GetTime(FSOUND_STREAM*) { return 0; }
signed char FSOUND_Stream_SetTime(FSOUND_STREAM*, int) { return 0; }
signed char FSOUND_SetVolume(int, int) { return 0; }
int FSOUND_GetVolume(int) { return 0; }
signed char FSOUND_SetPaused(int, signed char) { return 0; }
signed char FSOUND_IsPlaying(int) { return 0; }

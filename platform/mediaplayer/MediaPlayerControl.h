#pragma once
// The Media Player control over a GStreamer playbin: the members its player uses, named by
// what they do. Any thread. Commands (open, play, pause, seek) are queued and run in call
// order on the control's own thread, which also takes the pipeline's bus messages; the
// properties read a snapshot that thread keeps current, so no call waits for GStreamer.
// The snapshot lock guards the snapshot and the queue; it is never held across a GStreamer call.
//
// The audio sink is "autoaudiosink" unless SONVERA_AUDIOSINK holds a GStreamer element
// description (e.g. "fakesink sync=true", which plays in real time without a device).

#include <memory>
#include <string>

class MediaPlayerControl {
public:
    // Play states.
    static constexpr int Stopped = 0;
    static constexpr int Paused = 1;
    static constexpr int Playing = 2;
    static constexpr int Closed = 6;

    // Starts GStreamer on a thread of its own (once per process), so that a later Create
    // need not wait for it. Returns at once.
    static void Prepare();
    // A new control, or null when it cannot be made here: GStreamer does not start, or it
    // has no playbin or no MP3 decoder. Waits for GStreamer's start-up if Prepare has not
    // finished it.
    static std::unique_ptr<MediaPlayerControl> Create();
    ~MediaPlayerControl();
    MediaPlayerControl(const MediaPlayerControl&) = delete;
    MediaPlayerControl& operator=(const MediaPlayerControl&) = delete;

    // Opens the file (UTF-8 path) and starts it. Until the open ends the play state is
    // Closed and IsOpening is true; a file that does not play leaves the state Closed and
    // sets ErrorCode.
    void Open(const std::string& path);
    void Play();
    void Pause();
    // True when the audio sink reaches a device. Opens and closes the device: takes as long
    // as that does.
    bool CanPlaySound();
    int PlayState() const;
    // Seconds; 0 while unknown.
    double Duration() const;
    double CurrentPosition() const;
    // Reads back at once; the seek itself follows.
    void SetCurrentPosition(double seconds);
    // Hundredths of a decibel: 0 loudest, -10000 silent.
    int Volume() const;
    void SetVolume(int volume);
    // True from Open until the file has started or failed.
    bool IsOpening() const;
    // Non-zero when the last opened file could not be opened or played.
    int ErrorCode() const;
    // The original control's display options; there is nothing to display here, they are kept.
    void SetDisplayOption(int id, bool value);
    bool DisplayOption(int id) const;

private:
    struct Impl;
    explicit MediaPlayerControl(std::shared_ptr<Impl> impl);
    std::shared_ptr<Impl> impl_;  // shared with the control's thread
};

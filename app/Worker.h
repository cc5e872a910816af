#pragma once
// A long-lived worker object as the start-up routine drives it. Run is called on the
// worker's own thread; RequestStop and IsStopped on the main thread.

class Worker {
public:
    virtual ~Worker() = default;
    virtual void Run() = 0;
    virtual void RequestStop() = 0;
    virtual bool IsStopped() const = 0;
};

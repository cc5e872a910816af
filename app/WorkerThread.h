#pragma once
// One named worker thread running a Worker's loop inside a catch-all. Created, polled and
// joined by the main thread; the catch-all runs on the worker thread.

#include <atomic>
#include <functional>
#include <string>
#include <thread>

class Worker;

class WorkerThread {
public:
    // onFatal(name) is called on the worker thread when anything escapes the loop; it must
    // not touch windows directly.
    WorkerThread(std::string name, Worker& worker, std::function<void(const std::string&)> onFatal);
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    const std::string& Name() const { return name_; }
    // True once the loop has returned or thrown.
    bool HasEnded() const { return ended_.load(); }
    bool DiedOfException() const { return died_.load(); }
    // Stopped, or ended without stopping (a thread that died never sets its flag).
    bool IsDone() const;
    void Join();

private:
    void Body();

    std::string name_;
    Worker& worker_;
    std::function<void(const std::string&)> onFatal_;
    std::atomic<bool> ended_{false};
    std::atomic<bool> died_{false};
    std::thread thread_;
};

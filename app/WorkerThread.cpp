#include "app/WorkerThread.h"

#include <pthread.h>

#include "app/Worker.h"

WorkerThread::WorkerThread(std::string name, Worker& worker,
                           std::function<void(const std::string&)> onFatal)
    : name_(std::move(name)), worker_(worker), onFatal_(std::move(onFatal)) {
    thread_ = std::thread([this] { Body(); });
}

WorkerThread::~WorkerThread() { Join(); }

void WorkerThread::Body() {
    pthread_setname_np(pthread_self(), name_.substr(0, 15).c_str());
    try {
        worker_.Run();
    } catch (...) {
        died_.store(true);
        if (onFatal_) {
            try {
                onFatal_(name_);
            } catch (...) {
            }
        }
    }
    ended_.store(true);
}

bool WorkerThread::IsDone() const { return worker_.IsStopped() || ended_.load(); }

void WorkerThread::Join() {
    if (thread_.joinable()) thread_.join();
}

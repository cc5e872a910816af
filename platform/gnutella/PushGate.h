#pragma once
// Decides which push requests we answer by dialling out: only for a file we share, only to an
// address that may be reached (AddressRules), at most a few per minute per requesting address,
// and a bounded number in flight. Network thread only.
#include <chrono>
#include <cstdint>
#include <map>
#include <vector>

#include "platform/gnutella/AddressRules.h"

namespace gnutella {

class PushGate {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kMaxInFlight = 8;
    static constexpr size_t kMaxPerMinute = 30;  // from all requesters together

    enum class Verdict { Dial, NoSuchFile, Unroutable, TooMany };
    Verdict Check(uint32_t ip, uint16_t port, bool fileShared, const AddressRules& rules,
                  int perMinute, Clock::time_point now);
    void Finished() { --inFlight_; }
    int InFlight() const { return inFlight_; }

private:
    std::map<uint32_t, std::vector<Clock::time_point>> recent_;
    std::vector<Clock::time_point> all_;
    int inFlight_ = 0;
};

}  // namespace gnutella

#pragma once
// Where a message's GUID came from, so that answers go back the same way. Bounded: when full the
// oldest route gives way, so a flood of new GUIDs costs old routes, never new ones. Routes expire
// after their lifetime. Not thread-safe; the network thread owns it.
#include <chrono>
#include <list>
#include <map>
#include <optional>

#include "platform/gnutella/Bytes.h"

namespace gnutella {

class RouteTable {
public:
    using Clock = std::chrono::steady_clock;

    RouteTable(size_t capacity, Clock::duration lifetime)
        : capacity_(capacity), lifetime_(lifetime) {}
    // Records a new GUID; false (and no change) when it is known already.
    bool Add(const Guid& guid, int linkId, Clock::time_point now);
    // Records or refreshes the route (a push route follows the newest hit).
    void Set(const Guid& guid, int linkId, Clock::time_point now);
    std::optional<int> Find(const Guid& guid, Clock::time_point now) const;
    bool Contains(const Guid& guid, Clock::time_point now) const {
        return Find(guid, now).has_value();
    }
    void Erase(const Guid& guid);
    void Expire(Clock::time_point now);
    size_t Size() const { return index_.size(); }

private:
    struct Route {
        Guid guid;
        int linkId;
        Clock::time_point at;
    };
    void Trim();
    size_t capacity_;
    Clock::duration lifetime_;
    std::list<Route> order_;  // oldest first
    std::map<Guid, std::list<Route>::iterator> index_;
};

// A token bucket: how many messages of one kind a link may send, sustained and in a burst.
class RateLimit {
public:
    using Clock = std::chrono::steady_clock;
    RateLimit(double perSecond, double burst) : rate_(perSecond), burst_(burst), tokens_(burst) {}
    // Takes one token; false when the link is over its rate.
    bool Take(Clock::time_point now);

private:
    double rate_;
    double burst_;
    double tokens_;
    Clock::time_point last_{};
};

}  // namespace gnutella

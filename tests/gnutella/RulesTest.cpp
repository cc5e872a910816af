// The servent's rules one by one, on a fake clock: route table, rate limit, keep-alive, pong
// cache, push gate, pending connections, dynamic querying and host cache.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/gnutella/DynamicQuery.h"
#include "platform/gnutella/HostCache.h"
#include "platform/gnutella/KeepAlive.h"
#include "platform/gnutella/PendingConnections.h"
#include "platform/gnutella/PongCache.h"
#include "platform/gnutella/PushGate.h"
#include "platform/gnutella/RouteTable.h"
#include "tests/gnutella/TestNet.h"

namespace gnutella::test {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::seconds;
const Clock::time_point t0 = Clock::now();

Guid GuidOf(uint32_t n) {
    Guid g{};
    std::memcpy(g.data(), &n, sizeof n);
    return g;
}

TEST(Rules, RouteTableGivesWayOldestFirstAndForgetsExpiredRoutes) {
    RouteTable routes(100, std::chrono::minutes(10));
    EXPECT_TRUE(routes.Add(GuidOf(0), 1, t0));
    EXPECT_FALSE(routes.Add(GuidOf(0), 2, t0));  // a repeated GUID is no new route
    for (uint32_t i = 1; i < 250; ++i) routes.Add(GuidOf(i), 3, t0 + seconds(i));
    EXPECT_EQ(routes.Size(), 100u);
    EXPECT_FALSE(routes.Contains(GuidOf(0), t0 + seconds(250)));
    EXPECT_EQ(routes.Find(GuidOf(249), t0 + seconds(250)), 3);  // the newest always routes
    routes.Set(GuidOf(150), 4, t0 + seconds(300));              // refreshed: newest again
    const auto later = t0 + seconds(251) + std::chrono::minutes(10);
    EXPECT_FALSE(routes.Contains(GuidOf(249), later));
    routes.Expire(later);
    EXPECT_EQ(routes.Find(GuidOf(150), t0 + seconds(301)), 4);
    EXPECT_EQ(routes.Size(), 1u);
}

TEST(Rules, RateLimitAllowsABurstThenTheSustainedRate) {
    RateLimit limit(5, 20);
    int taken = 0;
    for (int i = 0; i < 1000; ++i) taken += limit.Take(t0) ? 1 : 0;
    EXPECT_EQ(taken, 20);
    EXPECT_FALSE(limit.Take(t0 + std::chrono::milliseconds(100)));
    taken = 0;
    for (int i = 0; i < 100; ++i) taken += limit.Take(t0 + seconds(2)) ? 1 : 0;
    EXPECT_EQ(taken, 10);
}

TEST(Rules, KeepAlivePingsEachPeriodWithNewGuidsUntilTooManyGoUnanswered) {
    KeepAlive alive(t0);
    Guid first{}, second{}, ignored{};
    EXPECT_EQ(alive.Tick(t0 + seconds(59), seconds(60), first), KeepAlive::Step::Wait);
    EXPECT_EQ(alive.Tick(t0 + seconds(60), seconds(60), first), KeepAlive::Step::Ping);
    EXPECT_EQ(alive.Tick(t0 + seconds(120), seconds(60), second), KeepAlive::Step::Ping);
    EXPECT_NE(first, second);
    EXPECT_FALSE(alive.Answered(GuidOf(7)));  // an ordinary pong
    EXPECT_TRUE(alive.Answered(second));      // answers the older one too
    EXPECT_EQ(alive.Unanswered(), 0u);
    auto at = t0 + seconds(120);
    for (size_t i = 0; i < KeepAlive::kMaxUnanswered; ++i)
        EXPECT_EQ(alive.Tick(at += seconds(60), seconds(60), ignored), KeepAlive::Step::Ping);
    EXPECT_EQ(alive.Tick(at += seconds(60), seconds(60), ignored), KeepAlive::Step::Dead);
}

TEST(Rules, PongCacheDropsExpiredAndRepeatedPingsAndAnswersFromFreshPongs) {
    PongCache cache;
    Header ping;
    ping.guid = GuidOf(1);
    ping.ttl = 0;
    EXPECT_FALSE(cache.Accept(ping, 1, t0));
    ping.ttl = 3;
    EXPECT_TRUE(cache.Accept(ping, 1, t0));
    EXPECT_FALSE(cache.Accept(ping, 2, t0));  // the same GUID again, even from another link
    for (uint32_t i = 1; i <= 20; ++i) cache.Store({6346, i, 1, 1, {}, true}, t0 + seconds(i));
    cache.Store({6346, 5, 1, 1, {}, true}, t0 + seconds(30));  // the same host, fresher
    auto answers = cache.Answers(t0 + seconds(31));
    ASSERT_EQ(answers.size(), PongCache::kPongsPerPing);
    EXPECT_EQ(answers[0].ip, 5u);
    EXPECT_EQ(answers[1].ip, 20u);
    EXPECT_TRUE(cache.Answers(t0 + seconds(31) + PongCache::kPongLifetime).empty());
}

TEST(Rules, PushGateDialsOnlyForSharedFilesRoutableAddressesAndAFewPerMinute) {
    PushGate gate;
    const AddressRules rules;
    const uint32_t publicIp = 0x01020304;
    using V = PushGate::Verdict;
    EXPECT_EQ(gate.Check(publicIp, 6346, false, rules, 3, t0), V::NoSuchFile);
    for (uint32_t ip : {0x0A000001u, 0x7F000001u, 0xC0A80101u, 0xE0000001u, 0xFFFFFFFFu, 0u})
        EXPECT_EQ(gate.Check(ip, 6346, true, rules, 3, t0), V::Unroutable) << ip;
    EXPECT_EQ(gate.Check(publicIp, 0, true, rules, 3, t0), V::Unroutable);
    EXPECT_EQ(gate.Check(0x7F000001, 6346, true, AddressRules(ParseRanges("127.0.0.0/8")), 3, t0),
              V::Dial);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(gate.Check(publicIp, 6346, true, rules, 3, t0), V::Dial);
    EXPECT_EQ(gate.Check(publicIp, 6346, true, rules, 3, t0), V::TooMany);
    for (int i = 0; i < 4; ++i) gate.Finished();
    EXPECT_EQ(gate.Check(publicIp, 6346, true, rules, 3, t0 + seconds(61)), V::Dial);
    // However many requesters, a bounded number of dials at once.
    int dials = 0;
    for (uint32_t ip = 0x01000000; ip < 0x01000000 + 100; ++ip)
        dials += gate.Check(ip, 6346, true, rules, 3, t0 + seconds(61)) == V::Dial ? 1 : 0;
    EXPECT_EQ(dials + 1, PushGate::kMaxInFlight);
    for (int i = 0; i < 8; ++i) gate.Finished();
    dials = 0;  // nor more than a bound per minute from all of them
    for (uint32_t ip = 0x02000000; ip < 0x02000000 + 100; ++ip) {
        dials += gate.Check(ip, 6346, true, rules, 3, t0 + seconds(62)) == V::Dial ? 1 : 0;
        gate.Finished();
    }
    EXPECT_EQ(dials + PushGate::kMaxInFlight, int(PushGate::kMaxPerMinute));  // 8 at 61 s
}

TEST(Rules, PendingConnectionsCapEachAddressAndKeepRoomForOthers) {
    PendingConnections pending(8, 2);
    std::vector<std::shared_ptr<int>> held;
    auto admit = [&](uint32_t ip) {
        if (!pending.Admit(ip, 3)) return false;
        held.push_back(std::make_shared<int>(0));
        pending.Track(ip, held.back());
        return true;
    };
    int fromOne = 0;
    for (int i = 0; i < 500; ++i) fromOne += admit(1) ? 1 : 0;
    EXPECT_EQ(fromOne, 3);
    EXPECT_TRUE(admit(2) && admit(2) && admit(3));
    EXPECT_FALSE(admit(2));  // only the reserve is left: for addresses with nothing pending
    EXPECT_TRUE(admit(4) && admit(5));
    EXPECT_FALSE(admit(6));  // full
    held.clear();            // connections that finished no longer count
    EXPECT_EQ(pending.Count(), 0u);
    EXPECT_TRUE(admit(1));
}

TEST(Rules, DynamicQueryProbesThenWidensUntilEnoughResults) {
    DynamicQuery query(t0);
    const std::vector<int> links = {1, 2, 3, 4, 5, 6};
    auto probe = query.Step(links, t0);
    ASSERT_EQ(probe.size(), DynamicQuery::kProbeLinks);
    EXPECT_EQ(probe[0].ttl, 1);
    EXPECT_TRUE(query.Step(links, t0 + seconds(1)).empty());  // waits for answers
    auto next = query.Step(links, t0 + seconds(3));
    ASSERT_EQ(next.size(), 1u);
    EXPECT_EQ(next[0].linkId, 4);
    EXPECT_EQ(next[0].ttl, 3);  // nothing came back: reach further
    query.Results(DynamicQuery::kWanted);
    EXPECT_TRUE(query.Done(links, t0 + seconds(6)));
    EXPECT_TRUE(query.Step(links, t0 + seconds(6)).empty());
}

TEST(Rules, HostCacheKeepsAnsweringHostsFirstAndRefusesWhatPeersCannotReach) {
    HostCache cache;
    cache.SetRules(AddressRules(), 10);
    const Endpoint real{0x05060708, 6346};
    cache.Add(real, true);
    for (uint32_t ip : {0x0A000001u, 0xE0000001u, 0xFFFFFFFFu, 0xC0A80001u, 0x7F000001u})
        EXPECT_FALSE(cache.Offer({ip, 6346}, true, 99, t0)) << ip;
    int added = 0;
    for (uint32_t i = 0; i < 100; ++i) added += cache.Offer({0x01020300 + i, 6346}, true, 99, t0);
    EXPECT_EQ(added, 10);  // one source adds a bounded number
    EXPECT_TRUE(cache.Offer({0x02020202, 6346}, true, 98, t0));
    EXPECT_EQ(cache.List(true).front(), real);
    cache.Failed(real);
    EXPECT_EQ(cache.List(true).front(), real);  // one failure may be chance
    cache.Failed(real);
    EXPECT_NE(cache.List(true).front(), real);
}

TEST(Rules, HostCacheRemembersWhenAHostWasDialledAcrossRuns) {
    TempDir dir;
    const Endpoint host{0x05060708, 6346};
    {
        HostCache cache;
        cache.Add(host, true);
        EXPECT_EQ(cache.Next(seconds(60)), host);
        EXPECT_FALSE(cache.Next(seconds(60)));  // not again within the minute
        ASSERT_TRUE(cache.Save(dir.path / "ultra.net", true));
    }
    HostCache again;
    ASSERT_TRUE(again.Load(dir.path / "ultra.net", true));
    EXPECT_EQ(again.List(true), std::vector<Endpoint>{host});
    EXPECT_FALSE(again.Next(seconds(60)));  // a restart does not reset the wait
    EXPECT_EQ(again.Next(seconds(0)), host);
}

}  // namespace
}  // namespace gnutella::test

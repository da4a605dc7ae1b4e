#include "async/Cancellation.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace tidyword {
namespace {

TEST(CancellationTest, CancelRunsEachLiveSubscriberOnceAndThrowsFromCheckpoints) {
    CancellationSource source;
    const CancellationToken token = source.token();
    std::vector<int> calls;
    auto first = token.subscribe([&calls] { calls.push_back(1); });
    auto dropped = std::make_optional(token.subscribe([&calls] { calls.push_back(2); }));
    auto third = token.subscribe([&calls] { calls.push_back(3); });
    dropped.reset();

    source.cancel();
    source.cancel();

    EXPECT_EQ(calls, (std::vector<int>{1, 3}));
    EXPECT_TRUE(token.isCancelled());
    EXPECT_THROW(token.throwIfCancelled(), Cancelled);
}

TEST(CancellationTest, CallbackThatDropsAnotherSubscriptionStopsIt) {
    CancellationSource source;
    std::optional<CancellationToken::Subscription> second;
    bool secondCalled = false;
    auto first = source.token().subscribe([&second] { second.reset(); });
    second = source.token().subscribe([&secondCalled] { secondCalled = true; });

    source.cancel();

    EXPECT_FALSE(secondCalled);
}

TEST(CancellationTest, SubscribingToCancelledTokenCallsBackAtOnce) {
    CancellationSource source;
    source.cancel();
    bool called = false;
    auto subscription = source.token().subscribe([&called] { called = true; });
    EXPECT_TRUE(called);
}

}  // namespace
}  // namespace tidyword

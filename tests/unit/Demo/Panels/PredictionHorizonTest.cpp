// How far the prediction reaches, as the navigation panel and the overlay line show it.
#include "Demo/Panels/PredictionHorizon.h"
#include "Demo/Spacecraft/PredictionWorker.h"

#include <gtest/gtest.h>

using namespace Demo;

namespace {

HorizonInput steady() {
    HorizonInput in;
    in.now = 10000;
    in.readStep = 10000;
    in.head = 10000 + 245760;
    in.ringSize = 262144;
    in.timeStepLength = 100.0;
    in.cachedUpTo = 10000 + 4 * 131072 - 262144;
    in.cacheReach = 4 * 131072 - 262144;
    in.restartStep = 0;
    in.headBeforeRestart = 0;
    return in;
}

} // namespace

TEST(PredictionHorizon, StepsDaysCacheWaitAndRestart) {
    HorizonInput in = steady();
    PredictionHorizon h = predictionHorizon(in);
    EXPECT_EQ(h.steps, 245760);
    EXPECT_NEAR(h.days, 245760.0 * 100.0 / 86400.0, 1e-9);
    EXPECT_FALSE(h.waitingOnCache); // the ring, not the cache, is the nearer limit
    EXPECT_FALSE(h.restarting);
    EXPECT_EQ(describeHorizon(h), "Prediction: 245760 steps ahead (284.4 days)");

    // Up against the end of the cache, which is nearer than the ring's.
    in.head = 10000 + 100000;
    in.cachedUpTo = in.head + 300;
    h = predictionHorizon(in);
    EXPECT_TRUE(h.waitingOnCache);
    EXPECT_EQ(describeHorizon(h), "Prediction: 100000 steps ahead (115.7 days), waiting on the body cache");
    in.cachedUpTo = in.head + PredictionWorker::LookAheadMargin;
    EXPECT_FALSE(predictionHorizon(in).waitingOnCache);

    // Restarted at the craft's step after reaching 245760 steps past it: restarting until it is back there.
    in = steady();
    in.restartStep = 10000;
    in.headBeforeRestart = 10000 + 245760;
    in.head = 10000 + 1280;
    h = predictionHorizon(in);
    EXPECT_TRUE(h.restarting);
    EXPECT_EQ(describeHorizon(h), "Prediction: 1280 steps ahead (1.5 days), restarting");
    in.head = 10000 + 245760;
    EXPECT_FALSE(predictionHorizon(in).restarting);
    // A restart not yet taken up by the worker counts, whatever the head.
    in.restartPending = true;
    EXPECT_TRUE(predictionHorizon(in).restarting);
    // Farther than the ring and the cache allow now (a jump back in time): done when as far as they allow.
    in = steady();
    in.restartStep = 0;
    in.headBeforeRestart = 9000000;
    const uint64_t ringAhead = in.ringSize - PredictionWorker::HistorySteps; // nearer than the cache's reach
    in.head = ringAhead - PredictionWorker::LookAheadMargin - 2 * PredictionWorker::BatchSteps;
    EXPECT_FALSE(predictionHorizon(in).restarting);
    in.head -= 128;
    EXPECT_TRUE(predictionHorizon(in).restarting);

    // Nothing ahead (time moved past the prediction).
    in = steady();
    in.head = 9000;
    h = predictionHorizon(in);
    EXPECT_EQ(h.steps, -1000);
    EXPECT_EQ(describeHorizon(h).rfind("Prediction: nothing ahead", 0), 0u);
}

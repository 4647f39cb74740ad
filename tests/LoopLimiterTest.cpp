#include "effects/blocks/LoopLimiter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

TEST (LoopLimiter, PassesEverySampleUpToTheThresholdBitForBit)
{
    const LoopLimiter limiter;
    std::mt19937 rng (5);
    std::uniform_real_distribution<double> uniform (-limiter.threshold, limiter.threshold);

    for (int i = 0; i < 100000; ++i)
    {
        const double x = uniform (rng);
        ASSERT_EQ (limiter.process (x), x);
    }
    for (const double x : { 0.0, -0.0, 1e-310, -1e-310, 1.0, -1.0, limiter.threshold, -limiter.threshold })
        EXPECT_EQ (limiter.process (x), x);
}

TEST (LoopLimiter, AboveTheThresholdBendsSmoothlyTowardsTheCeiling)
{
    const LoopLimiter limiter;
    const double t = limiter.threshold, c = limiter.ceiling;

    // No kink at the threshold: slope 1 on both sides.
    const double h = 1e-6;
    EXPECT_NEAR ((limiter.process (t + h) - limiter.process (t)) / h, 1.0, 1e-5);

    double previous = t;
    for (double x = t * 1.01; x < 1e6; x *= 1.01)
    {
        const double y = limiter.process (x);
        ASSERT_GE (y, previous) << x;  // never turns back: louder in, no quieter out
        ASSERT_LT (y, x) << x;
        ASSERT_LE (y, c) << x;
        ASSERT_EQ (limiter.process (-x), -y) << x;
        previous = y;
    }

    for (const double x : { 1e300, std::numeric_limits<double>::max(), std::numeric_limits<double>::infinity() })
    {
        EXPECT_LE (limiter.process (x), c);
        EXPECT_GE (limiter.process (-x), -c);
    }
    EXPECT_EQ (limiter.process (std::numeric_limits<double>::quiet_NaN()), 0.0);
}

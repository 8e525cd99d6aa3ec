#include "driver/time_step.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <sstream>

namespace orv {
namespace {

TimeStepInputs inputs(float speed, float spacing, int32_t sampling, int32_t data) {
    TimeStepInputs in;
    in.hour_max_speed = speed;
    in.time_step_spacing = spacing;
    in.sampling_interval = sampling;
    in.data_interval = data;
    return in;
}

TEST(TimeStep, RuleLimitedByTheHourAndItsDivisors) {
    // 0.75 x 40 km / 1.2 km per minute = 25, lowered to divide 60.
    EXPECT_EQ(automatic_time_step(0.75f, inputs(1.2f, 40.0f, INT32_MAX, 60)), 20);
    // A step of 7 or 45 with a limit of 60 becomes 6 or 30.
    EXPECT_EQ(automatic_time_step(1.0f, inputs(1.0f, 7.0f, INT32_MAX, 60)), 6);
    EXPECT_EQ(automatic_time_step(1.0f, inputs(1.0f, 45.0f, INT32_MAX, 180)), 30);
    // Data every 30 minutes and a grid sampling every 15: 12 becomes 5.
    EXPECT_EQ(automatic_time_step(1.0f, inputs(1.0f, 12.0f, 15, 30)), 5);
    // A step longer than the limit is cut to it.
    EXPECT_EQ(automatic_time_step(1.0f, inputs(1.0f, 500.0f, 15, 60)), 15);
}

TEST(TimeStep, FastOrMissingSpeed) {
    // A speed so large that the rule rounds to 0: one minute.
    EXPECT_EQ(automatic_time_step(0.75f, inputs(1.0e6f, 40.0f, INT32_MAX, 60)), 1);
    // An hour without particles left the speed at 0: the first hour's 1.2.
    EXPECT_EQ(automatic_time_step(0.75f, inputs(0.0f, 40.0f, INT32_MAX, 60)), 20);
    // An infinite rule value is clamped before it becomes a whole number.
    EXPECT_EQ(automatic_time_step(0.75f, inputs(1.0e-38f, 1.0e30f, INT32_MAX, 60)), 60);
}

TEST(TimeStep, FixedStepAndDirection) {
    Settings s;
    const TimeStepInputs in = inputs(1.2f, 40.0f, INT32_MAX, 60);
    EXPECT_EQ(choose_time_step(s, false, in), 20.0f);
    EXPECT_EQ(choose_time_step(s, true, in), -20.0f);
    s.DELT = -20.0f;  // the magnitude counts
    EXPECT_EQ(choose_time_step(s, false, in), 20.0f);
    EXPECT_EQ(choose_time_step(s, true, in), -20.0f);
    s.DELT = 7.5f;  // unrounded, not limited by the hour
    EXPECT_EQ(choose_time_step(s, false, in), 7.5f);
}

TEST(TimeStep, StepsPerHour) {
    EXPECT_EQ(steps_per_hour(20.0f), 3);
    EXPECT_EQ(steps_per_hour(-20.0f), 3);  // backward: still positive
    EXPECT_EQ(steps_per_hour(7.0f), 8);    // 56 minutes of model time
    EXPECT_EQ(steps_per_hour(7.9f), 8);
    EXPECT_EQ(steps_per_hour(90.0f), 0);   // no step in the hour
    EXPECT_EQ(steps_per_hour(0.5f), 0);    // never a division by zero
    EXPECT_EQ(whole_step_minutes(-7.9f), -7);
}

TEST(TimeStep, AgesGrowInMagnitudeInBothDirections) {
    int32_t age = 0;
    for (int k = 0; k < 3; ++k) age = aged(age, -5.0f);
    EXPECT_EQ(age, 15);  // a backward run does not oscillate 0, 5, 0, ...
    EXPECT_EQ(aged(0, 5.0f), 5);
    EXPECT_EQ(aged(10, 5.9f), 15);
    EXPECT_EQ(aged(-10, 5.0f), -15);  // a puff marked unsplittable stays marked
    EXPECT_EQ(aged(-10, -5.0f), -15);
    EXPECT_EQ(aged(INT32_MAX - 2, 20.0f), INT32_MAX);
}

TEST(TimeStep, DriftWarningForAStepThatDoesNotDivideTheHour) {
    auto warned = [](float delt) {
        Settings s;
        s.DELT = delt;
        std::ostringstream screen, text;
        TextOut console, log;
        console.attach(screen);
        log.attach(text);
        warn_time_step_drift(s, Messages{console, log});
        const std::string warning = "WARNING main: DELT does not divide the hour; the model clock will drift from "
                                    "the hour count and outputs due on the hour may never fall due";
        const bool on_console = screen.str().find(warning) != std::string::npos;
        EXPECT_EQ(on_console, text.str().find(warning) != std::string::npos) << delt;
        return on_console;
    };
    EXPECT_FALSE(warned(0.0f));
    EXPECT_FALSE(warned(20.0f));
    EXPECT_FALSE(warned(-15.0f));
    EXPECT_TRUE(warned(7.0f));
    EXPECT_TRUE(warned(7.5f));
    EXPECT_TRUE(warned(-45.0f));
}

}  // namespace
}  // namespace orv

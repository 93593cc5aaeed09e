// The timed helpers' deadline arithmetic.

#include "core/sync.h"

#include <gtest/gtest.h>

namespace {

struct DeadlineCase {
  timespec now;
  std::uint32_t timeoutMs;
  timespec deadline;
};

class Deadline : public testing::TestWithParam<DeadlineCase> {};

TEST_P(Deadline, CarriesWholeSecondsOutOfNanoseconds) {
  timespec got = deadlineAfter(GetParam().now, GetParam().timeoutMs);
  EXPECT_EQ(got.tv_sec, GetParam().deadline.tv_sec);
  EXPECT_EQ(got.tv_nsec, GetParam().deadline.tv_nsec);
}

INSTANTIATE_TEST_SUITE_P(Timeouts, Deadline,
                         testing::Values(DeadlineCase{{100, 800000000}, 1500, {102, 300000000}},
                                         DeadlineCase{{100, 800000000}, 0, {100, 800000000}},
                                         DeadlineCase{{100, 0}, 999, {100, 999000000}},
                                         DeadlineCase{{100, 999999999}, 1, {101, 999999}},
                                         DeadlineCase{
                                             {0, 500000000}, 4294967294u, {4294967, 794000000}}));

}  // namespace

// The customer record: how IDs are kept and how a customer shows in the customer list.

#include "core/customer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct IdCase {
  std::string given;
  std::string kept;
};

class CustomerId : public testing::TestWithParam<IdCase> {};

TEST_P(CustomerId, KeepsAtMost35Characters) {
  Customer customer(GetParam().given.c_str());
  EXPECT_EQ(std::string(customer.GetId()), GetParam().kept);
  customer.setId(GetParam().given.c_str());
  EXPECT_EQ(std::string(customer.GetId()), GetParam().kept);
}

INSTANTIATE_TEST_SUITE_P(Ids, CustomerId,
                         testing::Values(IdCase{"", ""}, IdCase{"7", "7"}, IdCase{"%s%d", "%s%d"},
                                         IdCase{std::string(35, 'x'), std::string(35, 'x')},
                                         IdCase{std::string(35, 'y') + "12345",
                                                std::string(35, 'y')}));

TEST(Customer, DisplayWritesTheThreeListLines) {
  Customer customer("7");
  customer.setDelay(1200);
  customer.setCuttingTime(700);
  testing::internal::CaptureStdout();
  customer.display();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "ID: 7\ndelay: 1200 miniseconds\ncuttingTime: 700 miniSeconds\n");
}

TEST(Customer, WaitForCuttingFinishingReturnsOncePosted) {
  Customer customer("w");
  sem_post(customer.GetHandle());
  testing::internal::CaptureStdout();
  EXPECT_EQ(customer.WaitForCuttingFinishing(), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\n<<Customer w : waiting>>\n");
}

}  // namespace

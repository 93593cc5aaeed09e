// Filling the roster at random.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/random_customers.h"
#include "core/customer.h"
#include "core/shop.h"

namespace {

TEST(RandomCustomers, ReplaceTheRosterWithTenInRange) {
  gCustomers.push_back(new Customer("old"));
  testing::internal::CaptureStdout();
  randomCustomers();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Created 10 customers\n");
  std::vector<std::string> ids;
  for (Customer* customer : gCustomers) {
    ids.push_back(customer->GetId());
    EXPECT_GE(customer->getDelay(), 0);
    EXPECT_LE(customer->getDelay(), 10000);
    EXPECT_GE(customer->getCuttingTime(), 500);
    EXPECT_LE(customer->getCuttingTime(), 2000);
    delete customer;
  }
  gCustomers.clear();
  EXPECT_EQ(ids, (std::vector<std::string>{"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}));
}

}  // namespace

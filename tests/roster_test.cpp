// The roster commands: deleting by index and filling the roster at random.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/menu.h"
#include "console/random_customers.h"
#include "core/customer.h"
#include "core/shop.h"

namespace {

class Roster : public testing::Test {
 protected:
  void fill(const std::vector<std::string>& ids) {
    for (const std::string& id : ids) gCustomers.push_back(new Customer(id.c_str()));
  }
  std::vector<std::string> ids() const {
    std::vector<std::string> result;
    for (Customer* customer : gCustomers) result.push_back(customer->GetId());
    return result;
  }
  void TearDown() override {
    for (Customer* customer : gCustomers) delete customer;
    gCustomers.clear();
  }
};

struct DeleteCase {
  unsigned index;
  std::vector<std::string> left;
  std::string printed;
};

class RosterDelete : public Roster, public testing::WithParamInterface<DeleteCase> {};

TEST_P(RosterDelete, RemovesOnlyAValidIndexKeepingTheOrder) {
  fill({"a", "b", "c"});
  testing::internal::CaptureStdout();
  mDelete(GetParam().index);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), GetParam().printed);
  EXPECT_EQ(ids(), GetParam().left);
}

INSTANTIATE_TEST_SUITE_P(
    Indexes, RosterDelete,
    testing::Values(DeleteCase{0, {"b", "c"}, "Deleted\n"}, DeleteCase{2, {"a", "b"}, "Deleted\n"},
                    DeleteCase{3, {"a", "b", "c"}, "Invalid index: 3\n"},
                    DeleteCase{4294967295u, {"a", "b", "c"}, "Invalid index: -1\n"}));

class RandomCustomers : public Roster, public testing::WithParamInterface<int> {};

TEST_P(RandomCustomers, ReplaceTheRosterWithTenInRange) {
  fill(std::vector<std::string>(static_cast<std::size_t>(GetParam()), "old"));
  testing::internal::CaptureStdout();
  randomCustomers();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Created 10 customers\n");
  EXPECT_EQ(ids(), (std::vector<std::string>{"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}));
  for (Customer* customer : gCustomers) {
    EXPECT_GE(customer->getDelay(), 0);
    EXPECT_LE(customer->getDelay(), 10000);
    EXPECT_GE(customer->getCuttingTime(), 500);
    EXPECT_LE(customer->getCuttingTime(), 2000);
  }
}

INSTANTIATE_TEST_SUITE_P(FromEmptyAndFull, RandomCustomers, testing::Values(0, 10));

}  // namespace

// The state block's text for a given shop.

#include "sim/state_display.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/customer.h"
#include "core/shop.h"

namespace {

using Ids = std::vector<std::string>;

struct BlockCase {
  std::string current;  // empty: nobody in the chair
  Ids waiting, finished, gone;
  std::string block;
};

class StateBlock : public testing::TestWithParam<BlockCase> {
 protected:
  Customer* person(const std::string& id) {
    fPeople.push_back(std::make_unique<Customer>(id.c_str()));
    return fPeople.back().get();
  }
  void TearDown() override {
    Barber::fgCustomerToCut = nullptr;
    WaitQueue::fgHairQueue.clear();
    Barber::fgFinished.clear();
    gGoAway.clear();
  }
  std::vector<std::unique_ptr<Customer>> fPeople;
};

TEST_P(StateBlock, ShowsTheShop) {
  const BlockCase& shop = GetParam();
  if (!shop.current.empty()) Barber::fgCustomerToCut = person(shop.current);
  for (const std::string& id : shop.waiting) WaitQueue::fgHairQueue.push_back(person(id));
  Barber::fgFinished.assign(shop.finished.begin(), shop.finished.end());
  for (const std::string& id : shop.gone) gGoAway.push_back(person(id));
  EXPECT_EQ(assembleState(), shop.block);
}

const std::string k34(34, 'i'), kLong = "[" + k34 + "]";

INSTANTIATE_TEST_SUITE_P(
    Shops, StateBlock,
    testing::Values(
        BlockCase{"", {}, {}, {}, "Curr: \nWait Queue: \n------------------------\n"},
        BlockCase{"3",
                  {"4", "5"},
                  {"1", "2"},
                  {"9"},
                  "Curr: {3}\nWait Queue: [4][5]\nFinished: [1][2]\nGo away: [9]\n"
                  "------------------------\n"},
        BlockCase{"",
                  {"%d%n"},
                  {},
                  {"%s"},
                  "Curr: \nWait Queue: [%d%n]\nGo away: [%s]\n------------------------\n"},
        // Far past the 425 characters a block starts with: nothing may be cut or overrun.
        BlockCase{k34, Ids(6, k34), Ids(10, k34), Ids(3, k34),
                  "Curr: {" + k34 + "}\nWait Queue: " + kLong + kLong + kLong + kLong + kLong +
                      kLong + "\nFinished: " + kLong + kLong + kLong + kLong + kLong + kLong +
                      kLong + kLong + kLong + kLong + "\nGo away: " + kLong + kLong + kLong +
                      "\n------------------------\n"}));

}  // namespace

// The state block's text for a given shop.

#include "sim/state_display.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/customer.h"
#include "core/shop.h"

namespace {

struct Shop {
  std::string current;  // empty: nobody in the chair
  std::vector<std::string> waiting, finished, gone;
};

// Puts `shop` into the shared state, keeping the customers it needs alive in `people`.
void setUp(const Shop& shop, std::vector<std::unique_ptr<Customer>>& people) {
  auto person = [&](const std::string& id) {
    people.push_back(std::make_unique<Customer>(id.c_str()));
    return people.back().get();
  };
  Barber::fgCustomerToCut = shop.current.empty() ? nullptr : person(shop.current);
  WaitQueue::fgHairQueue.clear();
  for (const std::string& id : shop.waiting) WaitQueue::fgHairQueue.push_back(person(id));
  Barber::fgFinished.assign(shop.finished.begin(), shop.finished.end());
  gGoAway.clear();
  for (const std::string& id : shop.gone) gGoAway.push_back(person(id));
}

struct BlockCase {
  const char* name;
  Shop shop;
  std::string block;
};

class StateBlock : public testing::TestWithParam<BlockCase> {
 protected:
  void TearDown() override { setUp(Shop{}, people_); }
  std::vector<std::unique_ptr<Customer>> people_;
};

TEST_P(StateBlock, ShowsTheShop) {
  setUp(GetParam().shop, people_);
  EXPECT_EQ(assembleState(), GetParam().block);
}

const std::string k34(34, 'i');
std::string bracketed(int n) {
  std::string text;
  for (int i = 0; i < n; ++i) text += "[" + k34 + "]";
  return text;
}

INSTANTIATE_TEST_SUITE_P(
    Shops, StateBlock,
    testing::Values(
        BlockCase{"Idle", {}, "Curr: \nWait Queue: \n------------------------\n"},
        BlockCase{"Busy",
                  {"3", {"4", "5"}, {"1", "2"}, {"9"}},
                  "Curr: {3}\nWait Queue: [4][5]\nFinished: [1][2]\nGo away: [9]\n"
                  "------------------------\n"},
        BlockCase{"OnlyGoneAway",
                  {"", {}, {}, {"8"}},
                  "Curr: \nWait Queue: \nGo away: [8]\n------------------------\n"},
        BlockCase{"PercentSignsInIds",
                  {"%s", {"%d%n"}, {"%%"}, {}},
                  "Curr: {%s}\nWait Queue: [%d%n]\nFinished: [%%]\n------------------------\n"},
        // Well past the 425 characters a block starts with: nothing may be cut or overrun.
        BlockCase{"FullShopOfLongIds",
                  {k34, std::vector<std::string>(6, k34), std::vector<std::string>(10, k34),
                   std::vector<std::string>(3, k34)},
                  "Curr: {" + k34 + "}\nWait Queue: " + bracketed(6) +
                      "\nFinished: " + bracketed(10) + "\nGo away: " + bracketed(3) +
                      "\n------------------------\n"}),
    [](const testing::TestParamInfo<BlockCase>& param) { return param.param.name; });

}  // namespace

// The customer record: an ID keeps at most 35 characters, whatever it is given.

#include "core/customer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class CustomerId : public testing::TestWithParam<std::string> {};

TEST_P(CustomerId, KeepsTheFirst35Characters) {
  Customer customer(GetParam().c_str());
  EXPECT_EQ(std::string(customer.GetId()), GetParam().substr(0, 35));
  customer.setId(GetParam().c_str());
  EXPECT_EQ(std::string(customer.GetId()), GetParam().substr(0, 35));
}

INSTANTIATE_TEST_SUITE_P(Ids, CustomerId,
                         testing::Values("", "%s%d", std::string(35, 'x'),
                                         std::string(35, 'y') + "12345"));

}  // namespace

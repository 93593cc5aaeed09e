// Finding a variant by the name a user types: exactly, or not at all.

#include "variants/variants.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(VariantsInfo, FindsByName) {
  ASSERT_NE(variantsBegin(), variantsEnd());
  const VariantInfo* last = variantsEnd() - 1;
  EXPECT_EQ(findVariant(last->name), last);
  EXPECT_EQ(findVariant(""), nullptr);
  EXPECT_EQ(findVariant(std::string(last->name) + "x"), nullptr);
}

}  // namespace

// The variants' table against the patch files it is generated from: every patch is in it, and
// each entry gives back its file byte for byte, so no field is lost, swapped or mis-quoted.

#include "variants/variants.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace {

const std::string kDir = std::string(BARBERSHOP_SOURCE_DIR) + "/variants/";

std::set<std::string> patchNames() {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(kDir)) {
    if (entry.path().extension() == ".patch") names.insert(entry.path().stem().string());
  }
  return names;
}

TEST(VariantsInfo, ListsEveryPatchOnceInNameOrderAndGivesBackItsFile) {
  std::set<std::string> listed;
  std::string previous;
  for (const VariantInfo* v = variantsBegin(); v != variantsEnd(); ++v) {
    EXPECT_LT(previous, v->name);
    previous = v->name;
    listed.insert(v->name);
    std::ifstream file(kDir + v->name + ".patch", std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    EXPECT_EQ(std::string("Name: ") + v->name + "\nFault: " + v->fault + "\nLesson: " + v->lesson +
                  "\nScenario: " + v->scenario + "\nRule: " + v->rule + "\n---\n" + v->change,
              text.str());
  }
  EXPECT_FALSE(listed.empty());
  EXPECT_EQ(listed, patchNames());
}

TEST(VariantsInfo, FindsByName) {
  ASSERT_NE(variantsBegin(), variantsEnd());
  const VariantInfo* last = variantsEnd() - 1;
  EXPECT_EQ(findVariant(last->name), last);
  EXPECT_EQ(findVariant(""), nullptr);
  EXPECT_EQ(findVariant(std::string(last->name) + "x"), nullptr);
}

}  // namespace

// Looking a variant up by name; the table itself is generated from the patches (info.cmake).

#include "variants/variants.h"

const VariantInfo* findVariant(const std::string& name) {
  for (const VariantInfo* variant = variantsBegin(); variant != variantsEnd(); ++variant) {
    if (name == variant->name) return variant;
  }
  return nullptr;
}

#ifndef BARBERSHOP_VARIANTS_VARIANTS_H_
#define BARBERSHOP_VARIANTS_VARIANTS_H_
// The shop's variants: each is the program with one change to its protocol that lets a classic
// concurrency fault happen, built from variants/NAME.patch as its own executable. This table
// holds what each patch's header says and the change itself, for tools that show them. It is
// made at build time and never changes: readable from any thread.

#include <string>

struct VariantInfo {
  const char* name;      // the executable's name, e.g. "lost-wakeup"
  const char* fault;     // one sentence on what goes wrong
  const char* lesson;    // why the correct shop has the step this variant changes
  const char* scenario;  // the companion's scenario that shows the fault
  // The scenario that shows it under the scheduler, whose virtual clock gives no step any time:
  // most often the same one.
  const char* controlledScenario;
  const char* rule;  // the check's rule that catches it, or "stuck"
  // A challenge for a class stepping the controlled scenario by hand: the fault to cause, in the
  // shop's words (met when the run breaks `rule`), and a hint shown after a few failed tries.
  const char* goal;
  const char* hint;
  const char* change;  // the unified diff against the program's sources, as in the patch
};

// Every variant, in the order of their names; an empty range when none are built.
const VariantInfo* variantsBegin();
const VariantInfo* variantsEnd();
// The variant called `name`, or null.
const VariantInfo* findVariant(const std::string& name);

#endif  // BARBERSHOP_VARIANTS_VARIANTS_H_

// Loads the built library at run time and looks up every plain name that it
// must export, as an application binding to it dynamically would.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shared_library.h"

namespace {

const char* const kExportedNames[] = {
#include "exported_names.inc"
};

TEST(Exports, EveryPlainNameResolvesAtRunTime) {
  tsk::test::SharedLibrary library(TSKBASE_LIBRARY_FILE);
  ASSERT_TRUE(library.loaded()) << TSKBASE_LIBRARY_FILE;
  std::vector<std::string> missing;
  for (const char* name : kExportedNames) {
    if (library.find(name) == nullptr) {
      missing.push_back(name);
    }
  }
  EXPECT_TRUE(missing.empty()) << missing.size() << " missing, first: " << missing.front();
}

} // namespace

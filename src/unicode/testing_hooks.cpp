// The transcoding switch of the testing library (never in the shipped one).
#include "unicode/dispatch.h"

namespace tsk::testing {

bool forceTranscodingLevel(unsigned level) {
  return unicode::selectLevel(static_cast<unicode::Level>(level));
}

unsigned supportedTranscodingLevel() { return static_cast<unsigned>(unicode::supportedLevel()); }

} // namespace tsk::testing

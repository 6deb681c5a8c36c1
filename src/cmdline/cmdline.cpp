#include "tskbase/cmdline.h"

#include "text/chars.h"

namespace {

// The entry of switch `name`, or the map's end for a missing switch. A null
// name names no switch.
template <typename Map>
auto findSwitch(Map& switches, const tsk_wchar_t* name) {
  return name == nullptr ? switches.end() : switches.find(typename Map::key_type(name));
}

} // namespace

CCmdLine::CCmdLine() = default;
CCmdLine::~CCmdLine() = default;
CCmdLine::CCmdLine(const CCmdLine&) = default;
CCmdLine& CCmdLine::operator=(const CCmdLine&) = default;

bool CCmdLine::IsSwitch(const tsk_wchar_t* word) {
  return word != nullptr && word[0] == '-' && word[1] != 0 && !tsk::text::isWideDigit(word[1]);
}

int64_t CCmdLine::SplitLine(int32_t argc, const tsk_wchar_t* const* argv) {
  switches_.clear();
  if (argv == nullptr) {
    return 0;
  }
  String current;
  for (int32_t i = 1; i < argc; ++i) {
    const tsk_wchar_t* word = argv[i];
    if (word == nullptr) {
      continue; // a missing word is no word at all
    }
    if (IsSwitch(word)) {
      current = word;
      // The switch's first argument is the next word unless that is a switch
      // itself or there is none. A repeated switch keeps its first list, and
      // the first argument taken here is dropped.
      String first;
      if (i + 1 < argc && argv[i + 1] != nullptr && !IsSwitch(argv[i + 1])) {
        first = argv[++i];
      }
      switches_.try_emplace(current, ArgumentList{std::move(first)});
    } else if (auto found = switches_.find(current); found != switches_.end()) {
      found->second.emplace_back(word);
    }
  }
  return static_cast<int64_t>(switches_.size());
}

bool CCmdLine::HasSwitch(const tsk_wchar_t* name) {
  return findSwitch(switches_, name) != switches_.end();
}

int64_t CCmdLine::GetArgumentCount(const tsk_wchar_t* name) {
  const auto found = findSwitch(switches_, name);
  return found == switches_.end() ? -1 : static_cast<int64_t>(found->second.size());
}

CCmdLine::String CCmdLine::GetArgument(const tsk_wchar_t* name, uint32_t index) {
  const auto found = findSwitch(switches_, name);
  if (found != switches_.end() && index < found->second.size()) {
    return found->second[index];
  }
  throw 0;
}

CCmdLine::String CCmdLine::GetSafeArgument(const tsk_wchar_t* name, int32_t index,
                                           const tsk_wchar_t* fallback) {
  String result = fallback != nullptr ? String(fallback) : String();
  try {
    // A negative index turns into a very large one, which is out of range.
    result = GetArgument(name, static_cast<uint32_t>(index));
  } catch (...) {
    // The fallback stands.
  }
  return result;
}

/// @file
/// tskbase/cmdline.h - grouping a program's arguments into switches.
///
/// CCmdLine takes the wide argument vector of a program, groups its words into
/// switches and their arguments, and answers questions about them. A switch is
/// a word of at least two characters that starts with '-' and whose second
/// character is not a decimal digit: -x, -out and --x are switches; -, -5,
/// -3.2 and /x are not, so negative numbers stay plain arguments.
///
/// Every switch in the object has at least one argument: a switch followed
/// directly by another switch, or standing last, has the one argument "".
/// Plain words after a switch's first argument are appended to its list;
/// plain words before the first switch are dropped. Switches match exactly,
/// case included, and are kept in the ordinal order of their UTF-16 units.
///
/// @code
///   CCmdLine cmd;
///   cmd.SplitLine(argc, argv);                       // prog -out a.txt -v
///   cmd.HasSwitch(TSK_W("-v"));                      // true
///   cmd.GetSafeArgument(TSK_W("-out"), 0, TSK_W("default.txt"));
/// @endcode
///
/// An object may be read from several threads once SplitLine has returned;
/// SplitLine must not run while any other member runs on the same object.
///
/// Memory: the switches and arguments an object holds, and the strings its
/// members return, are allocated by the library's C++ runtime. On Windows
/// that runtime is linked into the DLL, so its operator new serves them even
/// when the caller replaces operator new: the caller's replacement is not
/// asked, and the blocks come from the heap of the DLL's own C runtime
/// (msvcrt.dll). A caller that replaces operator new and delete therefore
/// meets blocks in its operator delete that it did not allocate (when
/// returned strings are destroyed or grow), which only msvcrt.dll's free
/// releases. On Linux the library shares the process's C++ runtime, and a
/// replaced operator new serves it too.
#ifndef TSKBASE_CMDLINE_H
#define TSKBASE_CMDLINE_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tskbase/common.h"

/// A program's switches and their arguments, as SplitLine found them.
class TSKBASE_API CCmdLine {
public:
  /// A wide (UTF-16) string.
  using String = std::basic_string<tsk_wchar_t>;
  /// The arguments of one switch, in command-line order.
  using ArgumentList = std::vector<String>;

  /// An empty object.
  CCmdLine();
  /// Releases the switches and arguments.
  ~CCmdLine();
  /// @{
  /// Copies hold the same switches and arguments.
  CCmdLine(const CCmdLine& other);
  CCmdLine& operator=(const CCmdLine& other);
  /// @}

  /// Groups argv[1] .. argv[argc - 1] (argv[0], the program name, is never
  /// read) and returns the number of distinct switches. Everything an earlier
  /// call found is discarded first. A count of 1 or less, or a null argv,
  /// gives no switches; null entries count as absent words.
  int64_t SplitLine(int32_t argc, const tsk_wchar_t* const* argv);

  /// Whether `name` (hyphen included) was on the command line. A null name
  /// counts as a missing switch in every lookup.
  bool HasSwitch(const tsk_wchar_t* name);

  /// The number of arguments of `name`, or -1 when it is missing.
  int64_t GetArgumentCount(const tsk_wchar_t* name);

  /// A copy of argument `index` of `name`. Throws an int of value 0 when the
  /// switch is missing or has no such argument.
  String GetArgument(const tsk_wchar_t* name, uint32_t index);

  /// Argument `index` of `name`, or else a copy of `fallback`, or else "" when
  /// `fallback` is null. A negative index always gives the fallback.
  String GetSafeArgument(const tsk_wchar_t* name, int32_t index, const tsk_wchar_t* fallback);

protected:
  /// Whether `word` is a switch: at least two characters, the first '-', the
  /// second no decimal digit.
  bool IsSwitch(const tsk_wchar_t* word);

private:
  std::map<String, ArgumentList> switches_;
};

#endif // TSKBASE_CMDLINE_H

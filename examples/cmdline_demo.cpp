// Groups an argument vector into switches and their arguments.
#include <cstdio>
#include <string>

#include "demo.h"
#include "tskbase/cmdline.h"

void demo::commandLine() {
  heading("Command line: switches and their arguments");

  const tsk_wchar_t* argv[] = {TSK_W("convert"), TSK_W("stray"), TSK_W("-in"),    TSK_W("a.txt"),
                               TSK_W("b.txt"),   TSK_W("-v"),    TSK_W("-shift"), TSK_W("-5")};
  CCmdLine cmd;
  const int64_t switches = cmd.SplitLine(8, argv);
  std::printf("convert stray -in a.txt b.txt -v -shift -5\n  %lld switches\n",
              static_cast<long long>(switches));
  for (const tsk_wchar_t* name : {TSK_W("-in"), TSK_W("-v"), TSK_W("-shift"), TSK_W("-out")}) {
    std::printf("  %-7s count %2lld, first argument \"%s\"\n", ascii(name).c_str(),
                static_cast<long long>(cmd.GetArgumentCount(name)),
                ascii(cmd.GetSafeArgument(name, 0, TSK_W("(default)")).c_str()).c_str());
  }
}

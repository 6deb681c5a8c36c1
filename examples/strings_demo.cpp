// Takes a line apart into tokens, replaces and cleans text in place, and
// writes some numbers as fractions.
#include "tskbase/strings.h"

#include <cstdio>
#include <initializer_list>

#include "demo.h"

void demo::strings() {
  heading("Strings: tokens, replacing and fractions");

  const char* line = "red;green;;blue;;;end";
  char token[32];
  std::printf(
      "Tokens of \"%s\" at ';' (two in a row separate like one, three hold an empty token):\n",
      line);
  for (const char* p = line; p != nullptr && string_getTokenA(p, ";", token, &p) == TSK_OK;) {
    std::printf("  \"%s\"\n", token);
  }
  uint32_t count = 0;
  string_getTokenCountA(line, ";", &count);
  std::printf("  %u tokens\n", count);

  char text[64] = "  copy C:\\temp\\old.txt  ";
  std::printf("\nBefore: \"%s\"\n", text);
  string_searchAndReplaceA(text, "old", "new");
  string_stripLeadWhiteSpaceA(text);
  string_stripTrailWhiteSpaceA(text);
  std::printf("After search and replace and trimming: \"%s\"\n", text);
  string_stripFileExtA(text);
  std::printf("Without the extension: \"%s\"\n", text);

  char lines[32] = "first\\nsecond";
  std::printf("\"%s\" with \\n made a newline:\n", lines);
  std::printf("%s\n", string_replaceCRA(lines));

  std::printf("\nFractions (truncated to five decimals, never rounded):\n");
  for (const double value : {3.25, 0.625, 12.09375, 7.0, 2.3, -2.25}) {
    char fraction[32];
    if (string_convertDoubleToFracA(value, fraction) == TSK_OK) {
      std::printf("  %10.5f -> \"%s\"\n", value, fraction);
    }
  }
}

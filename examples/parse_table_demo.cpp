// Takes a line apart with a template and builds new lines from its values.
#include "tskbase/parse_table.h"

#include <cstdio>

#include "demo.h"

void demo::parseTables() {
  heading("Parse tables: a line taken apart and built again");

  const char* line = "ACME-0042; Anvil, heavy; 17.50";
  const char* parseTemplate = "code+\"; \"+name+\", \"+kind+\"; \"+price";
  ParseTableValue* table = nullptr;
  const tsk_status parsed = string_parseString(parseTemplate, line, &table);
  std::printf("line     %s\ntemplate %s\nstatus   %u\n", line, parseTemplate, parsed);
  for (const ParseTableValue* entry = table; entry != nullptr; entry = entry->next) {
    std::printf("  %-6s = \"%s\"\n", entry->name, entry->value.text);
  }

  char built[256];
  const char* buildTemplate = "name:-8+\" [\"+code+\"] \"+\"(\"+note+\")\"";
  string_buildString(table, buildTemplate, 1, built);
  std::printf("\nbuilt with %s\n  \"%s\"   (note is no entry: its name stands)\n", buildTemplate,
              built);
  const char* empty = "";
  string_setParseTableValue("kind", table, empty);
  string_buildString(table, "name+\" (\"+kind+\")\"", 1, built);
  std::printf("an empty kind drops its brackets: \"%s\"\n", built);
  string_freeParseTable(&table);
}

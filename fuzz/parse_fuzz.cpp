// Random templates and input lines through parse tables: taking a line apart,
// building one, and tables made from templates. AddressSanitizer catches any
// access outside a buffer; the checks below catch broken results.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tskbase/parse_table.h"

namespace {

// Adds one entry of each value type, so that the formatted scans and the
// typed formats are reached too.
void addTypedEntries(ParseTableValue** table) {
  const char* const names[] = {"s", "l", "d", "t"};
  const uint32_t types[] = {TSK_PARSE_SHORT, TSK_PARSE_LONG, TSK_PARSE_DOUBLE, TSK_PARSE_TEXT};
  for (int i = 0; i < 4; ++i) {
    auto* entry = static_cast<ParseTableValue*>(std::calloc(1, sizeof(ParseTableValue)));
    std::strcpy(entry->name, names[i]);
    entry->type = types[i];
    string_addParseTableValue(table, entry);
  }
}

void checkTable(const ParseTableValue* table) {
  for (; table != nullptr; table = table->next) {
    if (strnlen(table->name, TSK_PARSE_NAME_SIZE) == TSK_PARSE_NAME_SIZE) {
      std::abort(); // a name without its terminator
    }
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) {
    return 0;
  }
  const uint32_t dropEmpty = data[0] & 1;
  // Template and input line, split at the first zero byte.
  const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const size_t split = rest.find('\0');
  const std::string templ = rest.substr(0, split);
  const std::string input = split == std::string::npos ? std::string() : rest.substr(split + 1);

  // The typed entries come first, so that the template's own text entries of
  // the same names do not hide them.
  ParseTableValue* table = nullptr;
  addTypedEntries(&table);
  ParseTableValue* fromTemplate = nullptr;
  string_buildParseTable(templ.c_str(), &fromTemplate);
  checkTable(fromTemplate);
  // Adding takes one record and cuts its next link, so the built records
  // are handed over one at a time.
  while (fromTemplate != nullptr) {
    ParseTableValue* const entry = fromTemplate;
    fromTemplate = entry->next;
    string_addParseTableValue(&table, entry);
  }
  string_parseString(templ.c_str(), input.c_str(), &table);
  checkTable(table);

  char output[256 + 16];
  std::memset(output, 0x5A, sizeof output);
  string_buildString(table, templ.c_str(), dropEmpty, output);
  if (strnlen(output, 256) == 256 || output[256] != 0x5A) {
    std::abort(); // more than the 256 bytes the output holds
  }
  string_freeParseTable(&table);
  return 0;
}

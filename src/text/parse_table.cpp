// Parse tables and templates: a line of text taken apart into named, typed
// values, and put together again. Templates are split and cleaned with the
// library's own narrow string functions; the work happens in std::string, so
// that no fixed buffer can be overrun, and the documented sizes are checked
// explicitly.
#include "tskbase/parse_table.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/heap.h"
#include "text/chars.h"
#include "text/format.h"
#include "tskbase/strings.h"

namespace {

using Text = std::string;

// The sizes that callers keep, terminator excluded.
constexpr size_t kTemplateTokenLimit = 255;
constexpr size_t kValueLimit = 127;
constexpr size_t kWordLimit = 255;
constexpr size_t kWidthLimit = 39;
constexpr size_t kBuildTokenLimit = 127;
constexpr size_t kPieceLimit = 127;
constexpr size_t kBuiltLimit = 255;
constexpr size_t kFormatLimit = 31;
constexpr size_t kNameLimit = TSK_PARSE_NAME_SIZE - 1;

// ---- Text helpers ------------------------------------------------------------

// Runs an in-place C string function over `text` and keeps what it leaves.
template <typename Edit>
void editInPlace(Text& text, Edit edit) {
  edit(text.data());
  text.resize(std::strlen(text.c_str()));
}

void stripWhiteSpace(Text& text) {
  editInPlace(text, string_stripLeadWhiteSpaceA);
  editInPlace(text, string_stripTrailWhiteSpaceA);
}

bool isLiteral(const Text& token) {
  return token.size() >= 2 && token.front() == '"' && token.back() == '"';
}

// A literal's text: the quotes removed and, with `unescape`, each backslash
// making the character after it literal.
Text literalText(const Text& token, bool unescape) {
  Text text = token.substr(1, token.size() - 2);
  if (unescape) {
    editInPlace(text, [](char* s) { string_stripCharA(s, '\\'); });
  }
  return text;
}

Text beforeColon(const Text& token) { return token.substr(0, token.find(':')); }

// The text after the first colon; empty when there is none.
Text afterColon(const Text& token) {
  const size_t colon = token.find(':');
  return colon == Text::npos ? Text() : token.substr(colon + 1);
}

// Cuts `text` to at most `limit` bytes without splitting a character.
void cutAtCharacter(Text& text, size_t limit) {
  if (text.size() <= limit) {
    return;
  }
  const auto* start = reinterpret_cast<const unsigned char*>(text.c_str());
  size_t cut = 0;
  for (const unsigned char* p = start; *p != 0;) {
    const unsigned char* next = tsk::text::mbsInc(p);
    if (static_cast<size_t>(next - start) > limit) {
      break;
    }
    cut = static_cast<size_t>(next - start);
    p = next;
  }
  text.resize(cut);
}

// An entry name as entries hold it: cut to 63 bytes.
Text entryName(Text name) {
  cutAtCharacter(name, kNameLimit);
  return name;
}

// Splits a template into its tokens at plus signs, as string_getTokenA takes
// them. Fails when a token is longer than `limit`.
bool splitTemplate(const char* templ, size_t limit, std::vector<Text>* tokens) {
  std::vector<char> token(std::strlen(templ) + 1); // room for any token
  const char* cursor = templ;
  while (cursor != nullptr && string_getTokenA(cursor, "+", token.data(), &cursor) == TSK_OK) {
    tokens->emplace_back(token.data());
    if (tokens->back().size() > limit) {
      return false;
    }
  }
  return true;
}

// A group token "(item, item, ...)" stands for its first item that is neither
// empty nor a literal; without one it is only cut at its closing parenthesis.
void resolveGroup(Text& token) {
  const size_t open = token.find('(');
  if (open == Text::npos) {
    return;
  }
  const size_t close = token.find(')', open);
  const Text items = token.substr(open + 1, close == Text::npos ? Text::npos : close - open - 1);
  for (size_t start = 0;;) {
    const size_t comma = items.find(',', start);
    Text item = items.substr(start, comma == Text::npos ? Text::npos : comma - start);
    stripWhiteSpace(item);
    if (!item.empty() && !isLiteral(item)) {
      token = item;
      return;
    }
    if (comma == Text::npos) {
      break;
    }
    start = comma + 1;
  }
  if (close != Text::npos) {
    token.resize(close);
  }
}

// Cleans a template token: white space stripped, optionally cut at its first
// colon, and a field name turned to lower case with its group resolved.
void prepareToken(Text& token, bool cutAtColon) {
  stripWhiteSpace(token);
  if (cutAtColon) {
    token = beforeColon(token);
  }
  if (!token.empty() && !isLiteral(token)) {
    editInPlace(token, string_toLowerA);
    resolveGroup(token);
  }
}

// ---- Entries ---------------------------------------------------------------

size_t nameLength(const ParseTableValue* entry) {
  return strnlen(entry->name, TSK_PARSE_NAME_SIZE);
}

bool hasName(const ParseTableValue* entry, const Text& name) {
  return nameLength(entry) == name.size() &&
         std::memcmp(entry->name, name.data(), name.size()) == 0;
}

ParseTableValue* findExact(ParseTableValue* table, const Text& name) {
  for (ParseTableValue* entry = table; entry != nullptr; entry = entry->next) {
    if (hasName(entry, name)) {
      return entry;
    }
  }
  return nullptr;
}

ParseTableValue* findField(ParseTableValue* table, const char* name) {
  ParseTableValue* entry = nullptr;
  return string_getParseTableValue(name, table, &entry) == TSK_OK ? entry : nullptr;
}

// A new text entry without value; the name is cut to what the entry holds.
ParseTableValue* newTextEntry(const Text& name) {
  auto* entry = static_cast<ParseTableValue*>(tsk::heap::allocate(sizeof(ParseTableValue)));
  if (entry == nullptr) {
    return nullptr;
  }
  std::memset(entry, 0, sizeof *entry);
  const Text held = entryName(name);
  std::memcpy(entry->name, held.data(), held.size());
  entry->type = TSK_PARSE_TEXT;
  return entry;
}

void releaseEntry(ParseTableValue* entry) {
  if (entry->type == TSK_PARSE_TEXT) {
    tsk::heap::release(entry->value.text);
  }
  tsk::heap::release(entry);
}

void releaseTable(ParseTableValue* table) {
  while (table != nullptr) {
    ParseTableValue* next = table->next;
    releaseEntry(table);
    table = next;
  }
}

// A decimal number as a 32-bit integer, clamped to its range, so that every
// platform reads the same value.
int32_t readInt32(const Text& text) {
  const long long number = std::strtoll(text.c_str(), nullptr, 10);
  return static_cast<int32_t>(std::clamp<long long>(number, INT32_MIN, INT32_MAX));
}

// Stores `value`, given as text, into the entry by the entry's type. Fails
// for a type that holds no value or when memory runs out.
bool storeText(ParseTableValue* entry, const Text& value) {
  switch (entry->type) {
  case TSK_PARSE_TEXT: {
    char* copy = tsk::heap::duplicate(value.c_str());
    if (copy == nullptr) {
      return false;
    }
    tsk::heap::release(entry->value.text);
    entry->value.text = copy;
    return true;
  }
  case TSK_PARSE_SHORT:
    entry->value.shortValue = static_cast<int16_t>(readInt32(value));
    return true;
  case TSK_PARSE_LONG:
    entry->value.longValue = readInt32(value);
    return true;
  case TSK_PARSE_DOUBLE:
    entry->value.doubleValue = std::atof(value.c_str());
    return true;
  default:
    return false;
  }
}

// ---- Parsing -----------------------------------------------------------------

// Bytes of `input` that the C library's formatted scan for the entry's type
// consumes (leading white space included), 0 when it reads nothing.
size_t scannedLength(const ParseTableValue* entry, const char* input) {
  int consumed = 0;
  switch (entry->type) {
  case TSK_PARSE_TEXT: {
    char word[kWordLimit + 2]; // the scan stops one byte past the limit
    std::sscanf(input, "%256s%n", word, &consumed);
    break;
  }
  case TSK_PARSE_SHORT:
  case TSK_PARSE_LONG: {
    long long number = 0;
    std::sscanf(input, "%lld%n", &number, &consumed);
    break;
  }
  case TSK_PARSE_DOUBLE: {
    double number = 0;
    std::sscanf(input, "%lf%n", &number, &consumed);
    break;
  }
  default:
    break;
  }
  return consumed > 0 ? static_cast<size_t>(consumed) : 0;
}

// Walks the input against the template's tokens.
class Parser {
public:
  Parser(const char* input, ParseTableValue** table) : input_(input), table_(table) {}

  tsk_status run(const std::vector<Text>& tokens) {
    for (size_t i = 0; i < tokens.size(); ++i) {
      if (consumed_ || *input_ == 0) {
        continue;
      }
      const bool ok = isLiteral(tokens[i]) ? matchLiteral(tokens[i]) : readField(tokens, i);
      if (!ok) {
        return TSK_FAIL;
      }
    }
    return status_;
  }

private:
  bool matchLiteral(const Text& token) {
    const Text text = literalText(token, true);
    if (std::strncmp(input_, text.c_str(), text.size()) != 0) {
      return false;
    }
    input_ += text.size();
    return true;
  }

  Text takeRest() {
    consumed_ = true;
    return Text(input_);
  }

  Text take(size_t length) {
    Text value(input_, length);
    input_ += length;
    return value;
  }

  // Reads field tokens[i] (and the literal behind it, if there is one).
  bool readField(const std::vector<Text>& tokens, size_t& i) {
    const Text name = beforeColon(tokens[i]);
    const Text format = afterColon(tokens[i]);
    Text value;
    if (i + 1 == tokens.size()) {
      value = takeRest();
    } else if (isLiteral(tokens[i + 1])) {
      const Text literal = literalText(tokens[i + 1], true);
      const char* found = string_strstrA(input_, literal.c_str());
      if (found != nullptr) {
        value = take(static_cast<size_t>(found - input_));
        input_ += literal.size();
      } else if (i + 2 == tokens.size()) {
        value = takeRest();
      } else {
        return false;
      }
      ++i; // the literal is done
    } else if (!format.empty()) {
      if (format.size() > kWidthLimit) {
        return false;
      }
      const int width = std::atoi(format.substr(0, format.find('.')).c_str());
      if (width < 0) {
        return false;
      }
      value = take(std::min(static_cast<size_t>(width), std::strlen(input_)));
    } else if (ParseTableValue* entry = findField(*table_, name.c_str()); entry == nullptr) {
      value = takeRest();
    } else {
      value = take(scannedLength(entry, input_));
    }
    return value.size() <= kValueLimit && store(name, value);
  }

  // Stores a field's value, adding a text entry for a name the table lacks.
  bool store(const Text& name, const Text& value) {
    ParseTableValue* entry = findField(*table_, name.c_str());
    if (entry == nullptr) {
      entry = newTextEntry(name);
      if (entry == nullptr) {
        return false;
      }
      string_addParseTableValue(table_, entry);
    }
    if (!storeText(entry, value)) {
      if (entry->type == TSK_PARSE_TEXT) {
        return false; // no memory for the text
      }
      status_ = TSK_FAIL; // a type without value; parsing goes on
    }
    return true;
  }

  const char* input_;
  ParseTableValue** table_;
  bool consumed_ = false;
  tsk_status status_ = TSK_OK;
};

// ---- Building text -------------------------------------------------------------

// Whether `format` is what a format may hold between '%' and its conversion:
// flags, a width and a precision. Anything else could make the formatter
// read arguments that are not there.
bool isPlainFormat(const Text& format) {
  size_t i = format.find_first_not_of("-+ #0");
  i = format.find_first_not_of("0123456789", i == Text::npos ? format.size() : i);
  if (i != Text::npos && format[i] == '.') {
    i = format.find_first_not_of("0123456789", i + 1);
  }
  return i == Text::npos && format.size() <= kFormatLimit - 2;
}

// Formats one value with '%' + format + conversion into `piece`.
template <typename Value>
bool formatPiece(const Text& format, char conversion, Value value, Text* piece) {
  if (!isPlainFormat(format)) {
    return false;
  }
  const Text printfFormat = "%" + format + conversion;
  char buffer[kPieceLimit + 1];
  if (tsk::text::formatSecure(buffer, sizeof buffer, printfFormat.c_str(), value) < 0) {
    return false;
  }
  *piece = buffer;
  return true;
}

// The piece of text for a field token: the entry's value formatted, or the
// token itself when it names no entry.
bool fieldPiece(ParseTableValue* table, const Text& rawToken, Text* piece) {
  Text token = rawToken;
  stripWhiteSpace(token);
  const Text format = afterColon(token);
  token = beforeColon(token);
  const ParseTableValue* entry = findField(table, token.c_str());
  if (entry == nullptr) {
    *piece = token;
    return true;
  }
  switch (entry->type) {
  case TSK_PARSE_TEXT:
    if (entry->value.text == nullptr) {
      piece->clear(); // no text, no piece: not even the padding of a width
      return true;
    }
    return formatPiece(format, 's', entry->value.text, piece);
  case TSK_PARSE_SHORT:
    return formatPiece(format, 'd', static_cast<int>(entry->value.shortValue), piece);
  case TSK_PARSE_LONG:
    return formatPiece(format, 'd', static_cast<int>(entry->value.longValue), piece);
  case TSK_PARSE_DOUBLE:
    return formatPiece(format, 'f', entry->value.doubleValue, piece);
  default:
    piece->clear();
    return false;
  }
}

// Copies the built text into the caller's 256-byte output, cut to fit.
void writeOutput(Text built, char* output) {
  cutAtCharacter(built, kBuiltLimit);
  std::memcpy(output, built.data(), built.size() + 1);
}

} // namespace

tsk_status string_buildParseTable(const char* templ, ParseTableValue** table) {
  if (templ == nullptr || table == nullptr) {
    return TSK_FAIL;
  }
  std::vector<Text> tokens;
  if (!splitTemplate(templ, kTemplateTokenLimit, &tokens)) {
    return TSK_FAIL;
  }
  ParseTableValue* built = nullptr;
  for (Text& token : tokens) {
    prepareToken(token, true);
    if (isLiteral(token)) {
      continue;
    }
    ParseTableValue* entry = newTextEntry(token);
    if (entry == nullptr) {
      releaseTable(built);
      return TSK_FAIL;
    }
    entry->next = built; // the table lists the fields last to first
    built = entry;
  }
  *table = built;
  return TSK_OK;
}

tsk_status string_parseString(const char* templ, const char* input, ParseTableValue** table) {
  if (templ == nullptr || input == nullptr || table == nullptr) {
    return TSK_FAIL;
  }
  std::vector<Text> tokens;
  if (!splitTemplate(templ, kTemplateTokenLimit, &tokens)) {
    return TSK_FAIL;
  }
  for (Text& token : tokens) {
    prepareToken(token, false);
  }
  return Parser(input, table).run(tokens);
}

tsk_status string_buildString(ParseTableValue* table, const char* templ, uint32_t dropEmpty,
                              char* output) {
  if (table == nullptr || templ == nullptr || output == nullptr) {
    return TSK_FAIL;
  }
  std::vector<Text> tokens;
  if (!splitTemplate(templ, kBuildTokenLimit, &tokens)) {
    output[0] = 0;
    return TSK_FAIL;
  }
  tsk_status status = TSK_OK;
  Text built;
  size_t lastLiteral = 0; // length of the literal appended last, 0 after a field
  for (size_t i = 0; i < tokens.size(); ++i) {
    const bool literal = isLiteral(tokens[i]);
    Text piece;
    if (literal) {
      piece = literalText(tokens[i], false);
      lastLiteral = piece.size();
    } else if (!fieldPiece(table, tokens[i], &piece)) {
      status = TSK_FAIL;
    }
    if (dropEmpty == 0 || !piece.empty()) {
      built += piece;
      lastLiteral = literal ? piece.size() : 0;
      if (built.size() > kBuiltLimit) {
        status = TSK_FAIL;
      }
      continue;
    }
    // An empty value swallows the literal behind it; at the end of the
    // template it also takes back the literal in front of it.
    if (i + 1 < tokens.size() && isLiteral(tokens[i + 1])) {
      ++i;
    }
    const bool atEnd = i + 1 == tokens.size();
    if (!literal && lastLiteral > 0 && atEnd && lastLiteral <= built.size()) {
      built.resize(built.size() - lastLiteral);
    }
  }
  writeOutput(built, output);
  return status;
}

tsk_status string_getParseTableValue(const char* name, ParseTableValue* table,
                                     ParseTableValue** entry) {
  if (name == nullptr || table == nullptr || entry == nullptr) {
    return TSK_FAIL;
  }
  Text lower = name;
  editInPlace(lower, string_toLowerA);
  ParseTableValue* found = findExact(table, entryName(lower));
  if (found == nullptr) {
    return TSK_FAIL;
  }
  *entry = found;
  return TSK_OK;
}

tsk_status string_setParseTableValue(const char* name, ParseTableValue* table, const void* value) {
  if (name == nullptr || table == nullptr || value == nullptr) {
    return TSK_FAIL;
  }
  ParseTableValue* entry = findExact(table, entryName(name));
  if (entry == nullptr) {
    return TSK_FAIL;
  }
  switch (entry->type) {
  case TSK_PARSE_TEXT: {
    // Copied before the old text goes: the value may be that very text.
    char* copy = tsk::heap::duplicate(static_cast<const char*>(value));
    tsk::heap::release(entry->value.text);
    entry->value.text = copy;
    return copy != nullptr ? TSK_OK : TSK_FAIL;
  }
  case TSK_PARSE_SHORT:
    std::memcpy(&entry->value.shortValue, value, sizeof(int16_t));
    return TSK_OK;
  case TSK_PARSE_LONG:
    std::memcpy(&entry->value.longValue, value, sizeof(int32_t));
    return TSK_OK;
  case TSK_PARSE_DOUBLE:
    std::memcpy(&entry->value.doubleValue, value, sizeof(double));
    return TSK_OK;
  default:
    return TSK_FAIL;
  }
}

tsk_status string_addParseTableValue(ParseTableValue** table, ParseTableValue* entry) {
  if (table == nullptr || entry == nullptr) {
    return TSK_FAIL;
  }
  ParseTableValue** link = table;
  while (*link != nullptr) {
    link = &(*link)->next;
  }
  *link = entry;
  entry->next = nullptr;
  return TSK_OK;
}

tsk_status string_parseTableLength(ParseTableValue* table, uint32_t* count) {
  if (table == nullptr || count == nullptr) {
    return TSK_FAIL;
  }
  uint32_t length = 0;
  for (const ParseTableValue* entry = table; entry != nullptr; entry = entry->next) {
    ++length;
  }
  *count = length;
  return TSK_OK;
}

tsk_status string_freeParseTable(ParseTableValue** table) {
  if (table == nullptr) {
    return TSK_FAIL;
  }
  releaseTable(*table);
  *table = nullptr;
  return TSK_OK;
}

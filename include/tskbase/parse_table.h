/**
 * @file
 * tskbase/parse_table.h - templates that take a line apart and build it.
 *
 * A parse table is a caller-owned singly linked list of named, typed values.
 * A template describes a line of narrow text as fields and quoted literals
 * joined by plus signs:
 *
 * @verbatim
 *   name+" ("+code:5+")"
 * @endverbatim
 *
 * A field is a name, optionally followed by a colon and a format (a width
 * when parsing, printf flags, width and precision when building). A literal
 * is text between double quotes (a lone quote is no literal); a backslash in
 * it makes the next character literal. A group token "(item, item)" stands for its first item that
 * is neither empty nor a literal. Names match without regard to case; names made from templates are
 * lower case.
 *
 * string_parseString takes a line apart into the table's values,
 * string_buildString puts a line together from them, and
 * string_buildParseTable makes a table with one text entry per field.
 *
 * Sizes: a template token holds at most 255 bytes, a parsed value 127, a
 * word read by the text scan 255, a width 39; a built token, piece or the
 * whole built text 127, 127 and 255 bytes, a format 31; a name 63. Input
 * beyond these sizes makes the call fail; names are cut to 63 bytes wherever
 * they are made or looked up. No buffer is ever written past its end.
 *
 * Every function returns TSK_OK or TSK_FAIL. Tables belong to their caller;
 * nothing is locked.
 */
#ifndef TSKBASE_PARSE_TABLE_H
#define TSKBASE_PARSE_TABLE_H

#include "tskbase/common.h"

TSKBASE_EXTERN_C_BEGIN

/** Value types of a parse-table entry. */
#define TSK_PARSE_TEXT 1u   /**< value.text: heap text owned by the entry, or null */
#define TSK_PARSE_SHORT 2u  /**< value.shortValue: signed 16-bit integer */
#define TSK_PARSE_LONG 3u   /**< value.longValue: signed 32-bit integer */
#define TSK_PARSE_DOUBLE 4u /**< value.doubleValue */

/** Size of an entry's name field: 63 characters and the terminator. */
#define TSK_PARSE_NAME_SIZE 64

/** One entry. The layout is part of the interface: a caller may allocate an
 * entry with malloc, fill in name and type, and hand it to
 * string_addParseTableValue; the table then owns it and releases it (and the
 * text of a TSK_PARSE_TEXT entry) with free (the C runtime heap of
 * tskbase/common.h). */
typedef struct ParseTableValue {
  char name[TSK_PARSE_NAME_SIZE]; /**< zero-terminated, at most 63 characters */
  uint32_t type;                  /**< TSK_PARSE_TEXT .. TSK_PARSE_DOUBLE */
  /** The value, in the member that `type` names. */
  union {
    char* text;         /**< TSK_PARSE_TEXT */
    int16_t shortValue; /**< TSK_PARSE_SHORT */
    int32_t longValue;  /**< TSK_PARSE_LONG */
    double doubleValue; /**< TSK_PARSE_DOUBLE */
  } value;
  struct ParseTableValue* next; /**< null in the last entry */
} ParseTableValue;

/** Makes a new table with one text entry, without value, for each field of
 * the template (in reverse template order) and stores it in *table, null for
 * a template without fields. What *table held before is not looked at. */
TSKBASE_API tsk_status string_buildParseTable(const char* templ, ParseTableValue** table);

/** Reads `input` against the template into the table, adding text entries for
 * fields it lacks. A literal that the input does not match fails the call;
 * values stored before stay. Input left over after the template is ignored,
 * and input that ends early leaves the remaining fields alone. */
TSKBASE_API tsk_status string_parseString(const char* templ, const char* input,
                                          ParseTableValue** table);

/** Writes the text that the template describes with the table's values into
 * `output`, which must hold 256 bytes. With `dropEmpty` set, an empty value
 * swallows the literal that follows it, and an empty value at the end also
 * takes back the literal before it. Names that are no entry are output as
 * they are. */
TSKBASE_API tsk_status string_buildString(ParseTableValue* table, const char* templ,
                                          uint32_t dropEmpty, char* output);

/** Finds the entry whose name equals `name` in lower case. */
TSKBASE_API tsk_status string_getParseTableValue(const char* name, ParseTableValue* table,
                                                 ParseTableValue** entry);

/** Stores *value, of the entry's own type, into the entry named exactly
 * `name` (case included). Text is copied. */
TSKBASE_API tsk_status string_setParseTableValue(const char* name, ParseTableValue* table,
                                                 const void* value);

/** Appends `entry` at the end of the table, which takes it over. */
TSKBASE_API tsk_status string_addParseTableValue(ParseTableValue** table, ParseTableValue* entry);

/** Stores the number of entries; an empty (null) table fails. */
TSKBASE_API tsk_status string_parseTableLength(ParseTableValue* table, uint32_t* count);

/** Releases every entry and its text, and stores null in *table. */
TSKBASE_API tsk_status string_freeParseTable(ParseTableValue** table);

TSKBASE_EXTERN_C_END

#endif /* TSKBASE_PARSE_TABLE_H */

// Reads one YAML document into a dynamic value, on libyaml's event parser.
//
// Mappings become structures (members in name order), sequences collections. Quoted scalars are
// strings; plain, literal and folded ones are typed: "", "~", "null", "Null", "NULL" stay empty;
// numbers (whatever the C library's strtod takes whole, infinities excepted) become unsigned,
// signed or float; "true"/"yes"/"on"/"y" and "false"/"no"/"off"/"n" (in lower, capitalised and
// upper case; "y" and "n" also upper) become bools; everything else a string. The tags !!str,
// !!int, !!float and !!bool force a type; any other tag fails. Anchors and aliases copy values.
#pragma once

#include <string>

#include "binding/binding_result.h"

namespace Velto {

// Reads `text` (UTF-8). The empty text succeeds with an empty value.
//
// Failures carry a message; the reader's own messages end with "At line: L col: C" (1-based),
// libyaml's syntax errors are reported as "YAML parser error: <problem>. At line: L col: C" with
// libyaml's 0-based position. Fails on a second non-empty document, keys that are not string
// scalars, undefined, duplicate or cyclic anchors, unsupported tags, tagged scalars that do not
// convert, nesting deeper than kMaxNestingDepth (aliases included), and aliases whose copies
// would add up to more than max(1,000,000, 64 x text size) values, so a small text cannot
// expand into a huge tree. A repeated key replaces the earlier value; the empty key names a
// member like any other.
BindingResult ReadYaml(const std::string& text);

}  // namespace Velto

// The UTF-8 and UTF-16 building blocks of the text layer, which live below
// it in unicode/: string lengths, single characters, bulk transcoding.
#ifndef TSKBASE_SRC_TEXT_UTF_H
#define TSKBASE_SRC_TEXT_UTF_H

#include "unicode/transcode.h"
#include "unicode/utf.h"

namespace tsk::text {

using unicode::decodeUtf8;
using unicode::encodeUtf8;
using unicode::isHighSurrogate;
using unicode::isLowSurrogate;
using unicode::isSurrogate;
using unicode::kReplacementChar;
using unicode::narrowLength;
using unicode::Transcoded;
using unicode::utf16ToUtf8;
using unicode::Utf8Char;
using unicode::utf8ToUtf16;
using unicode::wideLength;

} // namespace tsk::text

#endif // TSKBASE_SRC_TEXT_UTF_H

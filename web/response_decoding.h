// Turning a response body into the program's GBK text, and the UTF-16 forms of
// texts that cross to platform interfaces.
#pragma once

#include "text/text.h"

namespace tw {

class RegexObject;

// The body as GBK text. A page that begins with a byte-order mark is decoded
// from the encoding the mark names, without the mark. Otherwise a page that
// names a charset in a meta tag within its first 1024 bytes is re-decoded from
// that charset, unless it is one of the GBK names (any letter case), which are
// the program's own code page. Undecoded text ends before the first zero byte;
// a re-decoded one is made from every byte. `regex` is the caller's, reused for
// the charset search.
Text DecodeResponseText(const Bytes& body, RegexObject& regex);

// UTF-16LE bytes with a terminating zero unit; an empty text gives no bytes.
Bytes TextToUtf16(const Text& text);

// UTF-16LE bytes up to the first zero unit, as GBK text.
Text Utf16ToText(const Bytes& bytes);

}  // namespace tw

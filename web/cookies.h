// Cookie texts: "name=value" items separated by "; ". A fetch collects the
// cookies a response sets and merges them into the caller's cookie text, so
// one variable can carry cookies from request to request.
#pragma once

#include <string_view>

#include "text/text.h"

namespace tw {

// Appends the name=value of a "Set-Cookie: " response line (exact name case),
// without its attributes, and "; " to `newCookies`. Other lines change nothing.
void CollectSetCookies(std::string_view line, Text& newCookies);

// Drops the "; " that collection leaves after the last cookie.
void TidyNewCookies(Text& newCookies);

// The response's cookies first, in the server's order, then the caller's
// cookies the response did not set; "name=deleted" items are dropped. Both
// arguments are left trimmed; the merged text is returned.
Text MergeCookies(Text& cookies, Text& newCookies);

// The text before the first "=", trimmed (the whole item without one).
Text CookieName(std::string_view item);

// Splits at `separator`, keeps the first of identical pieces and joins them again.
Text RemoveDuplicateItems(std::string_view text, std::string_view separator);

}  // namespace tw

// Turning a share link of the cloud share service into the direct download URL
// of its file: the share page gives the share id, the verify answer the size
// and the long download URL, whose redirect names the direct URL.
#pragma once

#include <cstdint>
#include <functional>

#include "text/text.h"

namespace tw {

// The verify request for `shareId`, on the share host over plain HTTP.
Text VerifyUrl(const Text& shareId);

// The direct URL, empty when the chain broke anywhere. `size`, when given,
// receives the file size the service reports (0 when it reports none). Runs
// three blocking requests; no state or cookie is carried between them.
// `abandoned`, when given, is asked while the requests wait: true ends the
// resolution there, with an empty result and no further request.
Text ShareLinkResolver(const Text& shareLink, int64_t* size = nullptr,
                       const std::function<bool()>& abandoned = {});

// A size as the service writes it: full-width forms read as ASCII, leading
// white space skipped, an optional sign, then decimal digits up to the first
// other character. No digits give 0; values beyond 64 bits saturate.
int64_t ParseFileSize(const Text& text);

}  // namespace tw

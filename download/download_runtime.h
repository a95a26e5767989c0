// Process-wide preparation the engine needs before its first transfer.
#pragma once

namespace tw {

// Idempotent and thread-safe. Initialises libcurl once (it is never cleaned up:
// downloads may outlive the exit routine), and ignores SIGXFSZ and SIGPIPE, so
// that exceeding the file size limit or writing to a closed socket becomes an
// error the engine reports instead of the end of the process.
void PrepareDownloadRuntime();

}  // namespace tw

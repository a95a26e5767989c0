// Process-wide preparation the engine needs before its first transfer.
#pragma once

namespace tw {

// Idempotent and thread-safe. Prepares the network layer, and ignores SIGXFSZ
// so that exceeding the file size limit becomes an error the engine reports
// instead of the end of the process.
void PrepareDownloadRuntime();

}  // namespace tw

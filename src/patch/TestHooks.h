#pragma once

// Seams for tests, and only for them: nothing in the program calls what is declared here (see
// platform/TestHooks.h).

#include "patch/PatchDownload.h"

namespace updater {

// The waits of downloads and retries: tests shorten them, and put back what they found.
const RetryTiming& retryTimingInUse();
void setRetryTimingForTest(const RetryTiming& timing);

// Starts the count of archive entries processed (unpackedFileCount) again from 0.
void resetUnpackedFileCountForTest();

} // namespace updater

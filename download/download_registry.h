// The program-wide registry of running downloads, found again by download id.
//
// Each download runs on a download thread of its own, which builds the job,
// waits for its done event, stops it, leaves the registry and destroys the job.
// The user interface learns of progress and of the end only through the
// job's reports.
//
// Lifetime: the registry is shared between the program and every download
// thread registered in it. ReleaseDownloadRegistry (the exit routine) only lets
// go of the program's reference and stops nothing; a download still running
// keeps the registry, its lock and its entry alive until it has removed itself,
// so a download finishing after exit never touches freed memory.
//
// Thread handles are shared references (see thread_record.h): the entry's
// reference is dropped when the download removes itself, while a StopDownload
// that waits holds its own, so it never waits on a released handle.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "download/auto_reset_event.h"
#include "download/critical_section_lock.h"
#include "download/download_status.h"
#include "download/thread_record.h"
#include "text/text.h"

namespace tw {

struct RegistryEntry {
  int32_t id = 0;
  EventHandle doneEvent;
  Text targetPath;
  ThreadHandle thread;
};

struct DownloadRegistry {
  CriticalSectionLock registryLock;                     // RegistryLock: guards `entries`
  std::vector<std::unique_ptr<RegistryEntry>> entries;  // in order of registration
};

using RegistryHandle = std::shared_ptr<DownloadRegistry>;

void CreateDownloadRegistry();   // start-up
void ReleaseDownloadRegistry();  // exit routine; running downloads go on

// 1 when registered and launched; -1 when `id` (other than 0) is already
// registered, when there is no registry, or when no thread could be started.
// `expectedBytes`: the file's size as the starter knows it (0: unknown), see
// DownloadJob::Start.
int32_t StartDownload(const Text& url, const Text& targetPath, ProgressCallback progressCallback,
                      int32_t id, int64_t expectedBytes = 0);
// 0 when the registry is empty (or absent), -1 when no entry has `id`, 1 when
// one was found and asked to stop. With `wait`, also waits for its download
// thread (timeoutMs 0: without limit) while keeping the window responsive.
int32_t StopDownload(int32_t id, bool wait = false, int32_t timeoutMs = 2000);
// True when `thread` ended within `timeoutMs` (0 or negative: no limit). On
// the UI thread, pending window messages are processed while waiting.
bool WaitThreadPumping(const ThreadHandle& thread, int32_t timeoutMs);

// The registry StartDownload uses now; null after release.
RegistryHandle CurrentDownloadRegistry();

// What a download thread is started with; it owns these copies from the
// moment the thread exists, so its launcher may return at once.
using DownloadRoutine = void (*)(const Text& url, const Text& targetPath,
                                 const ProgressCallback& progressCallback, int32_t id,
                                 const EventHandle& doneEvent, const RegistryHandle& registry,
                                 int64_t expectedBytes);
struct DownloadArguments {
  DownloadRoutine routine = nullptr;
  Text url;
  Text targetPath;
  ProgressCallback progressCallback;
  int32_t id = 0;
  EventHandle doneEvent;
  RegistryHandle registry;
  int64_t expectedBytes = 0;
};

// Null when no thread could be started. With `closeHandle`, the thread runs on
// but the caller gets no handle to it.
ThreadHandle LaunchDownloadThread(DownloadArguments arguments, bool closeHandle = false);
void DownloadThreadMain(DownloadArguments& arguments);
void RunDownload(const Text& url, const Text& targetPath, const ProgressCallback& progressCallback,
                 int32_t id, const EventHandle& doneEvent, const RegistryHandle& registry,
                 int64_t expectedBytes = 0);

}  // namespace tw

#include "download/download_registry.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <utility>

#include "download/download_job.h"
#include "download/download_runtime.h"
#include "download/keep_awake.h"
#include "text/message_pump.h"

namespace tw {
namespace {

std::mutex registrySlotMutex;
RegistryHandle registrySlot;

// How often a pumping wait looks at the window's messages.
constexpr int32_t kPumpSliceMs = 10;

}  // namespace

void CreateDownloadRegistry() {
  PrepareDownloadRuntime();
  std::lock_guard guard(registrySlotMutex);
  registrySlot = std::make_shared<DownloadRegistry>();
}

void ReleaseDownloadRegistry() {
  RegistryHandle released;
  {
    std::lock_guard guard(registrySlotMutex);
    released.swap(registrySlot);
  }
  // Freed here unless download threads still hold it; then the last of them
  // frees it when it ends.
}

RegistryHandle CurrentDownloadRegistry() {
  std::lock_guard guard(registrySlotMutex);
  return registrySlot;
}

int32_t StartDownload(const Text& url, const Text& targetPath, ProgressCallback progressCallback,
                      int32_t id, int64_t expectedBytes, DownloadHooks hooks) {
  RegistryHandle registry = CurrentDownloadRegistry();
  if (!registry) return -1;
  std::lock_guard guard(registry->registryLock);
  if (id != 0) {
    for (const auto& entry : registry->entries) {
      if (entry->id == id) return -1;
      ProcessPendingMessages();
    }
  }
  auto doneEvent = std::make_shared<AutoResetEvent>();
  DownloadArguments arguments{
      &RunDownload, url,           targetPath,      std::move(progressCallback), id, doneEvent,
      registry,     expectedBytes, std::move(hooks)};
  ThreadHandle thread = LaunchDownloadThread(std::move(arguments));
  // An entry without a thread could never be removed and would block its id
  // for good; such a download is refused instead.
  if (!thread) return -1;
  auto entry = std::make_unique<RegistryEntry>();
  entry->id = id;
  entry->doneEvent = doneEvent;
  entry->targetPath = targetPath;
  entry->thread = thread;
  // The new thread cannot remove its entry before this: it asks for the lock
  // only after its job has ended, and the lock is held here.
  registry->entries.push_back(std::move(entry));
  return 1;
}

ThreadHandle LaunchDownloadThread(DownloadArguments arguments, bool closeHandle) {
  auto block = std::make_shared<DownloadArguments>(std::move(arguments));
  ThreadHandle thread = ThreadRecord::Launch([block] { DownloadThreadMain(*block); });
  return closeHandle ? nullptr : thread;
}

void DownloadThreadMain(DownloadArguments& arguments) {
  if (arguments.routine == nullptr) return;
  arguments.routine(arguments.url, arguments.targetPath, arguments.progressCallback, arguments.id,
                    arguments.doneEvent, arguments.registry, arguments.expectedBytes,
                    arguments.hooks);
}

void RunDownload(const Text& url, const Text& targetPath, const ProgressCallback& progressCallback,
                 int32_t id, const EventHandle& doneEvent, const RegistryHandle& registry,
                 int64_t expectedBytes, const DownloadHooks& hooks) {
  // Declared first, so it is let go last, once the job has ended in every way.
  const KeepAwake awake;
  auto job = std::make_unique<DownloadJob>();
  job->Start(url, targetPath, progressCallback, id, doneEvent, expectedBytes, hooks);
  doneEvent->Wait();
  job->Stop();
  ThreadHandle ownHandle;
  if (registry) {
    std::lock_guard guard(registry->registryLock);
    auto& entries = registry->entries;
    for (auto it = entries.begin(); it != entries.end(); ++it) {
      // Matched by its event, not its id: several downloads may share id 0.
      if ((*it)->doneEvent == doneEvent) {
        ownHandle = std::move((*it)->thread);
        entries.erase(it);
        break;
      }
      ProcessPendingMessages();
    }
  }
  ownHandle.reset();
  job.reset();
}

int32_t StopDownload(int32_t id, bool wait, int32_t timeoutMs) {
  RegistryHandle registry = CurrentDownloadRegistry();
  if (!registry) return 0;
  EventHandle doneEvent;
  ThreadHandle thread;
  {
    std::lock_guard guard(registry->registryLock);
    if (registry->entries.empty()) return 0;
    for (const auto& entry : registry->entries) {
      if (entry->id == id) {
        doneEvent = entry->doneEvent;
        if (wait) thread = entry->thread;
        break;
      }
      ProcessPendingMessages();
    }
  }
  if (!doneEvent) return -1;
  doneEvent->Set();
  if (wait) WaitThreadPumping(thread, timeoutMs);
  return 1;
}

bool WaitThreadPumping(const ThreadHandle& thread, int32_t timeoutMs) {
  if (!thread) return false;
  bool limited = timeoutMs > 0;
  if (!IsUiThread()) return thread->Wait(limited ? timeoutMs : kInfinite) == kWaitObject0;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    int32_t slice = kPumpSliceMs;
    if (limited) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                      deadline - std::chrono::steady_clock::now())
                      .count();
      slice = static_cast<int32_t>(std::clamp<int64_t>(left, 0, kPumpSliceMs));
    }
    int32_t r = thread->Wait(slice);
    ProcessPendingMessages();
    if (r == kWaitObject0) return true;
    if (limited && std::chrono::steady_clock::now() >= deadline) return false;
  }
}

}  // namespace tw

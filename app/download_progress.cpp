#include "app/download_progress.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <mutex>
#include <thread>

#include "app/app_state.h"
#include "app/main_window.h"
#include "download/download_registry.h"
#include "download/part_file.h"
#include "text/system_texts.h"
#include "ui_engine/ui.h"
#include "web/share_link_resolver.h"

namespace tw {

namespace {

// What the window knows of the download in progress. Reports arrive on several
// engine threads at once; the lock keeps their effects on the window in order.
// The UI thread never takes it: a reporter holding it waits for the UI thread
// to run its engine calls.
struct DownloadView {
  std::mutex lock;
  int64_t previousBytesDone = 0;
  bool failed = false;                               // a Failed report arrived
  DownloadFailure failure = DownloadFailure::kNone;  // why, as the engine told it
  int64_t bytesNeeded = 0;
  int32_t task = UI_TASK_NONE;         // what the taskbar button shows of it
  std::atomic<bool> cancelled{false};  // the user stopped it
  std::atomic<bool> ended{false};      // the final report has been handled
};

std::atomic<int> gStartersRunning{0};

DownloadView& View() {
  static DownloadView view;
  return view;
}

// Shows the download's state on the taskbar button (through the progress
// bar, whose position it shows). Called with the view's lock held, so the
// states follow the reports in their order.
void ShowTask(DownloadView& view, int32_t state) {
  if (view.task == state) return;
  view.task = state;
  ui::SetNumber(App().window.progressBar, UI_PROP_TASK_STATE, state);
}

// The taskbar button shows nothing once the download's last box is closed.
void ClearTask() {
  DownloadView& view = View();
  std::lock_guard<std::mutex> lock(view.lock);
  ShowTask(view, UI_TASK_NONE);
}

void ShowFailure(const Text& message) {
  const SystemTexts& t = Texts();
  ui::MessageBox(t.downloadFailed, message, t.confirm);
}

// "1.5GB" or "300MB", as the status line writes amounts, rounded up so the
// user never frees too little.
Text AmountText(int64_t bytes) {
  const double b = static_cast<double>(bytes);
  if (b / 1048576 - 1024 >= -1e-7)
    return FormatNumber(std::ceil(b / 1073741824 * 100) / 100) + "GB";
  return FormatNumber(std::ceil(b / 1048576)) + "MB";
}

// Runs on the download's worker thread, with no window state touched: the
// resolver's requests pump no messages there, and its script objects are made
// on this thread for this call.
Text RenewDirectUrl(const Text& shareLink, const std::function<bool()>& stopRequested) {
  return ShareLinkResolver(shareLink, nullptr, stopRequested);
}

}  // namespace

Text FailureMessage(DownloadFailure failure, int64_t bytesNeeded) {
  const SystemTexts& t = Texts();
  switch (failure) {
    case DownloadFailure::kNoUrl:
      return t.failNoUrl;
    case DownloadFailure::kUnreachable:
      return t.failUnreachable;
    case DownloadFailure::kRefused:
      return t.failRefused;
    case DownloadFailure::kGone:
      return t.failGone;
    case DownloadFailure::kBrokeOff:
      return t.failBrokeOff;
    case DownloadFailure::kNoRanges:
      return t.failNoRanges;
    case DownloadFailure::kChanged:
      return t.failChanged;
    case DownloadFailure::kNoSpace:
      return t.failNoSpaceBefore + AmountText(bytesNeeded) + t.failNoSpaceAfter;
    case DownloadFailure::kIncomplete:
      return t.failIncomplete;
    case DownloadFailure::kFatVolume:
      return t.failFatVolume;
    case DownloadFailure::kWriteFailed:
      return t.failWrite;
    case DownloadFailure::kBusy:
      return t.failBusy;
    case DownloadFailure::kBadAnswer:
      return t.failBadAnswer;
    case DownloadFailure::kNotAFile:
      return t.failNotAFile;
    case DownloadFailure::kNone:
      break;
  }
  return t.downloadFailed;
}

namespace {}  // namespace

double RoundHalfUp(double value, int digits) {
  if (value == 0) return 0;
  const double scale = std::pow(10.0, std::abs(digits));
  double x = std::fabs(value);
  x = digits > 0 ? x * scale : x / scale;
  x += 1e-12;
  double whole = std::floor(x);
  if (x - whole >= 0.5) whole += 1;
  whole = digits > 0 ? whole / scale : whole * scale;
  return value < 0 ? -whole : whole;
}

Text ProgressStatusText(float fraction, int64_t bytesDone, int64_t previousBytesDone) {
  const double done = static_cast<double>(bytesDone);
  // After a fresh start the bytes done fall back; a fall is no speed.
  const auto delta = static_cast<int64_t>(
      static_cast<double>(std::max<int64_t>(bytesDone - previousBytesDone, 0)) * 2);
  const Text percent = FormatNumber(RoundHalfUp(static_cast<double>(fraction) * 100, 2)) + "%";
  const Text speed = FormatNumber(RoundHalfUp(static_cast<double>(delta) / 1048576, 1)) + "MB/s";
  const Text amount = done / 1048576 - 1024 >= -1e-7
                          ? FormatNumber(RoundHalfUp(done / 1073741824, 2)) + "GB"
                          : FormatNumber(RoundHalfUp(done / 1048576, 0)) + "MB";
  return percent + "   " + speed + "   " + amount;
}

void LaunchBeginDownload() {
  ++gStartersRunning;
  std::thread([] {
    BeginDownload();
    --gStartersRunning;
  }).detach();
}

bool DownloadStarterRunning() { return gStartersRunning > 0; }

void BeginDownload() {
  AppState& app = App();
  const Text path = app.targetPath;
  {
    DownloadView& view = View();
    std::lock_guard<std::mutex> lock(view.lock);
    // Each download's first speed is measured from what it starts with: zero,
    // or the part an earlier download of this file left.
    view.previousBytesDone = ResumableBytes(path);
    view.failed = view.cancelled = view.ended = false;
    view.failure = DownloadFailure::kNone;
    view.bytesNeeded = 0;
  }
  DownloadHooks hooks;
  hooks.renewUrl = [link = app.shareLink](const std::function<bool()>& stopRequested) {
    return RenewDirectUrl(link, stopRequested);
  };
  hooks.failed = [](DownloadFailure failure, int64_t bytesNeeded) {
    DownloadView& view = View();
    std::lock_guard<std::mutex> lock(view.lock);
    view.failure = failure;
    view.bytesNeeded = bytesNeeded;
  };
  hooks.retrying = [](bool waiting) {
    DownloadView& view = View();
    std::lock_guard<std::mutex> lock(view.lock);
    if (!view.ended) ShowTask(view, waiting ? UI_TASK_PAUSED : UI_TASK_RUNNING);
  };
  // The verify answer's size stands in for a length the response may not give.
  if (StartDownload(app.directUrl, path, &OnDownloadProgress, kDownloadId, app.resolvedSize,
                    std::move(hooks)) == 1) {
    return;
  }
  {
    DownloadView& view = View();
    std::lock_guard<std::mutex> lock(view.lock);
    ShowTask(view, UI_TASK_FAILED);
  }
  ShowFailure(Texts().downloadFailed);
  ClearTask();
  LeaveBusyState();
}

void OnDownloadProgress(int32_t, int32_t status, int64_t, int64_t bytesDone, int64_t,
                        float fraction, float, int32_t, const Text&) {
  DownloadView& view = View();
  std::unique_lock<std::mutex> lock(view.lock);
  // A report that comes after the final one (a late periodic report, or the
  // second final report of a stop that met a finishing transfer) changes nothing.
  if (view.ended) return;
  if (status == Failed) view.failed = true;

  const MainWindow& w = App().window;
  ui::SetText(w.statusLabel, ProgressStatusText(fraction, bytesDone, view.previousBytesDone));
  const double bar = RoundHalfUp(static_cast<double>(fraction) * 100, 0);
  ui::SetNumber(w.progressBar, UI_PROP_VALUE, static_cast<int64_t>(std::clamp(bar, 0.0, 100.0)));
  // The bar first: the taskbar button shows the new position, not the last
  // download's. A wait before a new try stays paused through its reports.
  if (status == Failed) {
    ShowTask(view, UI_TASK_FAILED);
  } else if (view.task == UI_TASK_NONE && status != Ended) {
    ShowTask(view, UI_TASK_RUNNING);
  }
  view.previousBytesDone = bytesDone;
  if (status != Ended) return;

  view.ended = true;
  const bool complete = std::fabs(static_cast<double>(fraction) - 1) <= 1e-7;
  const bool failed = view.failed;
  const Text message = FailureMessage(view.failure, view.bytesNeeded);
  lock.unlock();
  // The reporting thread waits while a box is open.
  if (complete && !failed) {
    const SystemTexts& t = Texts();
    ui::MessageBox(t.downloadDone, t.downloadDone, t.confirm);
  } else if (view.cancelled) {
    ClearTask();
    return;  // CancelDownload has already returned the window to idle
  } else if (failed) {
    ShowFailure(message);
  }
  ClearTask();
  LeaveBusyState();
}

void CancelDownload() {
  AppState& app = App();
  if (app.resolving) {
    // Nothing is registered yet: the resolution gives up instead, and the
    // request returns the window to idle.
    app.resolutionAbandoned = true;
    return;
  }
  DownloadView& view = View();
  if (view.ended) return;
  // Marked before the stop request, so the final report it causes finds it.
  view.cancelled = true;
  if (StopDownload(kDownloadId, false) == 1) {
    LeaveBusyState();
    return;
  }
  view.cancelled = false;
}

}  // namespace tw

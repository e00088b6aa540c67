#include "engine-sim/VirtualCamera.h"

#include <algorithm>
#include <utility>

#include "engine-sim/SimControl.h"

namespace keystead::sim {
namespace {

// How often the capture thread looks at the settings again while it idles, so that
// switching the automatic frames on takes effect without a push.
constexpr std::chrono::milliseconds kSettingsPoll(100);

}  // namespace

VirtualCamera::VirtualCamera(SettingsSource settings) : settings_(std::move(settings)) {}

VirtualCamera::~VirtualCamera() { Stop(); }

int VirtualCamera::Start(sdk::FrameCallback* callback) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (OnCaptureThreadLocked()) {
      if (stopRequested_) return kErrorBusy;
      callback_ = callback;
      return 0;
    }
  }
  std::lock_guard<std::mutex> lifecycle(lifecycleMutex_);
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (running_ && !stopRequested_) {
      if (callback_ != callback) {
        callback_ = callback;
        const std::uint64_t last = finishedDeliveries_ + (delivering_ ? 1 : 0);
        idle_.wait(lock, [&] { return finishedDeliveries_ >= last; });
      }
      return 0;
    }
  }
  // A stop marked inside a frame callback: that thread ends once its callback returns.
  if (thread_.joinable()) thread_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  callback_ = callback;
  stopRequested_ = false;
  running_ = true;
  thread_ = std::thread([this] { Run(); });
  threadId_ = thread_.get_id();
  return 0;
}

void VirtualCamera::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (OnCaptureThreadLocked()) {
      // Joining here would wait for ourselves; the loop ends after this callback.
      stopRequested_ = true;
      return;
    }
  }
  std::lock_guard<std::mutex> lifecycle(lifecycleMutex_);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopRequested_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  callback_ = nullptr;
  threadId_ = std::thread::id();
}

bool VirtualCamera::Deliver(Delivery delivery, bool wait) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!running_ || stopRequested_) return false;
  if (OnCaptureThreadLocked()) {
    sdk::FrameCallback* callback = callback_;
    lock.unlock();
    delivery(*callback);
    return true;
  }
  auto done = wait ? std::make_shared<std::promise<bool>>() : nullptr;
  std::future<bool> delivered = wait ? done->get_future() : std::future<bool>();
  pending_.push_back(Pending{std::move(delivery), done});
  lock.unlock();
  wake_.notify_all();
  return wait ? delivered.get() : true;
}

void VirtualCamera::Run() {
  Clock::time_point nextFrame = Clock::now();
  std::uint64_t frameIndex = 0;
  for (;;) {
    Pending job;
    sdk::FrameCallback* callback = nullptr;
    const Step step = NextDelivery(settings_(), nextFrame, frameIndex, job, callback);
    if (step == Step::kStop) break;
    if (step == Step::kIdle) continue;
    try {
      job.delivery(*callback);
    } catch (...) {
      // A throwing callback must not end the capture thread (nor the process).
    }
    FinishDelivery(job);
  }
  std::deque<Pending> dropped;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    dropped.swap(pending_);
    running_ = false;
  }
  for (const Pending& pending : dropped) {
    if (pending.done) pending.done->set_value(false);
  }
}

VirtualCamera::Step VirtualCamera::NextDelivery(const CameraSettings& settings,
                                                Clock::time_point& nextFrame,
                                                std::uint64_t& frameIndex, Pending& job,
                                                sdk::FrameCallback*& callback) {
  std::unique_lock<std::mutex> lock(mutex_);
  const Clock::time_point wakeAt = settings.autoFrames
                                       ? std::min(nextFrame, Clock::now() + kSettingsPoll)
                                       : Clock::now() + kSettingsPoll;
  wake_.wait_until(lock, wakeAt, [&] { return stopRequested_ || !pending_.empty(); });
  if (stopRequested_) return Step::kStop;
  if (!pending_.empty()) {
    job = std::move(pending_.front());
    pending_.pop_front();
  } else if (settings.autoFrames && Clock::now() >= nextFrame) {
    const std::uint64_t index = frameIndex++;
    job.delivery = [settings, index](sdk::FrameCallback& frameCallback) {
      frameCallback.OnFrame(MakeFrame(settings, index));
    };
    const auto period = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(1.0 / settings.fps));
    // After a slow callback, carry on at the rate instead of catching up in a burst.
    nextFrame = std::max(nextFrame + period, Clock::now());
  } else {
    return Step::kIdle;
  }
  callback = callback_;
  delivering_ = true;
  return Step::kDeliver;
}

void VirtualCamera::FinishDelivery(const Pending& job) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    delivering_ = false;
    ++finishedDeliveries_;
  }
  idle_.notify_all();
  if (job.done) job.done->set_value(true);
}

bool VirtualCamera::OnCaptureThreadLocked() const {
  return threadId_ == std::this_thread::get_id();
}

}  // namespace keystead::sim

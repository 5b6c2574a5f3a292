#include "engine/fast/threads.h"

#include <chrono>
#include <exception>
#include <new>
#include <thread>
#include <vector>

bool HelpersPay(const EngineOptions& options) {
  return options.Threads && std::thread::hardware_concurrency() >= 2;
}

template <class Ready>
void RowQueue::Watch(Ready ready) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point until = Clock::now() + kWatch;
  for (int i = 1; !ready(); ++i) {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
    if (i % 64 == 0 && Clock::now() >= until) return;
  }
}

bool RowQueue::WaitForRoom(std::size_t item) {
  Watch([this, item] {
    return Stopped() || item - released_hint_.load(std::memory_order_relaxed) < capacity_;
  });
  std::unique_lock lock(mutex_);
  released_changed_.wait(lock, [&] { return Stopped() || item - released_ < capacity_; });
  return !Stopped();
}

void RowQueue::Publish(std::size_t count) {
  {
    const std::lock_guard lock(mutex_);
    published_ = count;
    published_hint_.store(count, std::memory_order_relaxed);
  }
  published_changed_.notify_one();
}

void RowQueue::Close() {
  {
    const std::lock_guard lock(mutex_);
    closed_ = true;
    closed_hint_.store(true, std::memory_order_relaxed);
  }
  published_changed_.notify_one();
}

std::size_t RowQueue::WaitForItems(std::size_t seen) {
  Watch([this, seen] {
    return published_hint_.load(std::memory_order_relaxed) > seen ||
           closed_hint_.load(std::memory_order_relaxed);
  });
  std::unique_lock lock(mutex_);
  published_changed_.wait(lock, [&] { return published_ > seen || closed_; });
  return published_;
}

std::size_t RowQueue::Published(bool& closed) {
  const std::lock_guard lock(mutex_);
  closed = closed_;
  return published_;
}

void RowQueue::Release(std::size_t count) {
  {
    const std::lock_guard lock(mutex_);
    released_ = count;
    released_hint_.store(count, std::memory_order_relaxed);
  }
  released_changed_.notify_one();
}

void RowQueue::Stop() {
  {
    const std::lock_guard lock(mutex_);
    stopped_.store(true, std::memory_order_relaxed);
  }
  released_changed_.notify_one();
}

// A thread that runs one ForkJoin task at a time and waits, parked, in between (rule 8).
class HelperThread {
 public:
  // A parked helper, or a new one; null when no thread can be made.
  static HelperThread* Take();
  // Back to the parked ones, once its task is done.
  static void Give(HelperThread* helper);

  void Start(std::unique_ptr<ForkJoin::Work> work) {
    {
      const std::lock_guard lock(mutex_);
      work_ = std::move(work);
      done_ = false;
    }
    changed_.notify_one();
  }
  bool Wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return done_; });
    return ok_;
  }

 private:
  HelperThread() = default;
  void Loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return work_ != nullptr; });
      std::unique_ptr<ForkJoin::Work> work = std::move(work_);
      lock.unlock();
      bool ok = false;
      try {
        ok = work->Run();
      } catch (...) {  // rule 4: nothing leaves the thread
      }
      work.reset();  // what the task holds goes before its forking thread goes on
      lock.lock();
      ok_ = ok;
      done_ = true;
      changed_.notify_one();
    }
  }

  std::mutex mutex_;  // guards the three below
  std::condition_variable changed_;
  std::unique_ptr<ForkJoin::Work> work_;
  bool done_ = true;
  bool ok_ = false;
};

namespace {

// The parked helpers. Made once and never destroyed, like the threads waiting on them, so
// that nothing they use goes away while the process ends.
struct Parked {
  std::mutex mutex;                    // guards the two below
  std::vector<HelperThread*> helpers;  // room kept for every helper made, so Give cannot fail
  std::size_t made = 0;
};

Parked& TheParked() {
  static Parked* const parked = new Parked;
  return *parked;
}

}  // namespace

HelperThread* HelperThread::Take() {
  Parked& parked = TheParked();
  {
    const std::lock_guard lock(parked.mutex);
    if (!parked.helpers.empty()) {
      HelperThread* helper = parked.helpers.back();
      parked.helpers.pop_back();
      return helper;
    }
    try {
      parked.helpers.reserve(parked.made + 1);
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
    ++parked.made;
  }
  auto* helper = new (std::nothrow) HelperThread;
  if (helper != nullptr) {
    try {
      std::thread([helper] { helper->Loop(); }).detach();
      return helper;
    } catch (const std::exception&) {  // no thread (system_error) or no memory for it
      delete helper;
    }
  }
  const std::lock_guard lock(parked.mutex);
  --parked.made;
  return nullptr;
}

void HelperThread::Give(HelperThread* helper) {
  Parked& parked = TheParked();
  const std::lock_guard lock(parked.mutex);
  parked.helpers.push_back(helper);
}

bool ForkJoin::Start(std::unique_ptr<Work> work) {
  helper_ = HelperThread::Take();
  if (helper_ == nullptr) return false;
  helper_->Start(std::move(work));
  forked_ = true;
  return true;
}

bool ForkJoin::Join() {
  if (helper_ != nullptr) {
    ok_ = helper_->Wait();
    HelperThread::Give(helper_);
    helper_ = nullptr;
  }
  return forked_ && ok_;
}

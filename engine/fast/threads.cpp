#include "engine/fast/threads.h"

#include <chrono>

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

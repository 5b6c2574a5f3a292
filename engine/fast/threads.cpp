#include "engine/fast/threads.h"

bool HelpersPay(const EngineOptions& options) {
  return options.Threads && std::thread::hardware_concurrency() >= 2;
}

bool RowQueue::WaitForRoom(std::size_t item) {
  std::unique_lock lock(mutex_);
  released_changed_.wait(lock, [&] { return Stopped() || item - released_ < capacity_; });
  return !Stopped();
}

void RowQueue::Publish(std::size_t count) {
  {
    const std::lock_guard lock(mutex_);
    published_ = count;
  }
  published_changed_.notify_one();
}

void RowQueue::Close() {
  {
    const std::lock_guard lock(mutex_);
    closed_ = true;
  }
  published_changed_.notify_one();
}

std::size_t RowQueue::WaitForItems(std::size_t seen) {
  std::unique_lock lock(mutex_);
  published_changed_.wait(lock, [&] { return published_ > seen || closed_; });
  return published_;
}

void RowQueue::Release(std::size_t count) {
  {
    const std::lock_guard lock(mutex_);
    released_ = count;
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

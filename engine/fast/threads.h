#pragma once
// The fast road's threads: one fork-join helper and one bounded queue, and the rules every
// thread of the fast road keeps. The reading of a file in two parts (file_parts.h), the grey
// dither pipe (dither_pipe.h), the split draw (split_draw.h), the entropy index's second
// reader (entropy_index.h) and the progressive decoder's helper (progressive_store.h) use
// nothing else.
//
// The rules
// 1. Inputs by value. A helper gets what it reads when it is forked, copied into its task:
//    numbers, settings, plans, and views (spans, pointers) of data that stays unchanged
//    until the helper is joined: the picture's bytes, the lists of picks and destination
//    rows, a prepared entropy index's tables and MCU rows. What is handed over later goes
//    through a RowQueue: the progressive decoder's scans, each written whole before it is
//    published, and the rows of each scan read so far.
// 2. One writer for everything. While a helper runs, it alone writes its own library object
//    (with its own error manager and jump), its own counts and block filter, and the part
//    of the output handed to it: the second part of a file's bytes (file parts); the
//    destination rows at and below the cut (split draw); every destination row and the
//    dither's error row (dither worker: the decoding thread leaves them alone until the
//    pipe is finished); the marks of the second entropy reader; a progressive scan the
//    helper has claimed, and the rows of the stores that scan fills (its components' DC or
//    AC coefficients, by its kind) from when the scans before it have published them until
//    it publishes them itself. The library's thread, which reads progressive scans too once
//    every header is read (all but the last, which it leaves to a running helper unless
//    that one is still reading a scan the last comes after), keeps the same rule for the
//    scans it claims. A last scan it reads as it draws it hands over, as it stands, through
//    a one-item RowQueue when the helper, done with the rest, asks for it, and touches it
//    no more. The forking thread reads the rest only after Join, or, through a RowQueue,
//    the items the helper has published.
// 3. Crossing threads: a RowQueue (a mutex and two condition variables), the join, and a
//    few atomics: the entropy index's failure mark, which either decoder of a split draw may
//    raise when the engine's decoder meets data it does not take; the progressive readers'
//    set of scans claimed, their failure mark, their stop mark and the helper's asking for
//    the last scan; a queue's copies of its counts (rule 7). None of the atomics orders
//    other data: what one thread hands another goes through a queue or the join.
// 4. Stopping. A helper ends when its work is done, when the consumer of the queue it feeds
//    stops that queue, when the producer of the queue it reads closes it, or when its
//    forking thread sets a stop mark it reads. A reader of rows closes its queue on every
//    way out, read or not, so that no one waits for rows that never come. Nothing leaves a
//    helper by exception or longjmp: its library object jumps back inside the helper, and
//    the helper catches whatever is left and reports the task as failed. The output of a failed
//    helper is never used: the picture is drawn again on the calling thread.
// 5. Joining. The forking thread joins every helper before anything the helper uses goes
//    away: a ForkJoin joins when it is destroyed, so it is declared after the objects its
//    task uses, and a queue's producer closes it (its consumer stops it) on every way out.
// 6. Apart in the cache. What a thread writes as it goes (a reader's state, a draw's counts
//    and block filter, the dither's place, a queue's counts) is declared
//    alignas(kCacheLine), so that no cache line holds both it and what the other thread
//    reads or writes as it goes. A line written by one core and read by the other moves
//    between them at every write: the second entropy reader's state beside the first
//    reader's cost each of them a third of its speed, in some processes and not others,
//    by where the stack happened to fall.
// 7. Watching before sleeping. A thread that waits on a RowQueue first watches copies of the
//    queue's counts for up to 0.1 ms, and sleeps on a condition variable only when nothing
//    comes in that time; it then reads the counts under the mutex as before. Rows come every
//    few tens of microseconds; a consumer that slept for each of them made the preview of a
//    16 MP progressive photo take 35-38 ms in half of the processes against 29-33 ms in the
//    others (most likely the sleeper was woken on its waker's core and the two shared it).
// 8. Helpers are kept. A helper thread, once made, waits parked for its next task when its
//    task is done, and Fork hands a task to a parked one (making one only when none is
//    free). A new thread starts on the core of the thread that made it, and the system may
//    leave it there, sharing that core, until its next balancing tick: a preview forks two
//    or three helpers, and in some runs each of them lost up to 4 ms so, while the other
//    core stood idle (a preview of the 20 MP photo took 30-36 ms instead of 20-21). A parked
//    thread that is woken is put on an idle core at once. The parked threads stay until the
//    process ends; only ForkJoin hands them work, and only ForkJoin's Join reads what a task
//    did, once the helper has said under its mutex that the task is done.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <type_traits>
#include <utility>

#include "engine/engine_options.h"

// The size of a cache line on the processors the engine runs on (rule 6).
inline constexpr std::size_t kCacheLine = 64;

// True when the options allow helper threads and the machine has more than one core.
bool HelpersPay(const EngineOptions& options);

class HelperThread;

// One task on one helper thread, joined by the thread that forked it (rule 8).
class ForkJoin {
 public:
  ForkJoin() = default;
  ~ForkJoin() { Join(); }
  ForkJoin(const ForkJoin&) = delete;
  ForkJoin& operator=(const ForkJoin&) = delete;

  // Runs task() on a helper thread; the task (and all it captures) is taken by value. A task
  // that returns bool reports whether its work is good; one returning nothing is good when
  // it returns. False when no thread can be had: nothing runs, and the caller does the work
  // itself.
  template <class Given>
  bool Fork(Given&& given) {
    using Task = std::decay_t<Given>;
    if (forked_) return false;
    struct Held final : Work {
      explicit Held(Given&& t) : task(std::forward<Given>(t)) {}
      bool Run() override {
        if constexpr (std::is_void_v<decltype(task())>) {
          task();
          return true;
        } else {
          return task();
        }
      }
      Task task;
    };
    std::unique_ptr<Work> work;
    try {
      work = std::make_unique<Held>(std::forward<Given>(given));
    } catch (const std::bad_alloc&) {
      return false;
    }
    return Start(std::move(work));
  }
  bool Forked() const { return forked_; }

  // Waits for the task; true when it was forked and its work is good.
  bool Join();

  // The work a helper runs; Run catches nothing (the helper does, rule 4).
  struct Work {
    virtual ~Work() = default;
    virtual bool Run() = 0;
  };

 private:
  bool Start(std::unique_ptr<Work> work);

  HelperThread* helper_ = nullptr;  // until joined
  bool forked_ = false;
  bool ok_ = false;
};

// Items (rows, marks, scans) handed in order from one producer thread to a consumer by
// count: the producer writes item i into its slot and publishes; the consumer reads the
// items below the published count and releases them, after which their slots may be written
// again. At most `capacity` items are published and not yet released. The consumer may be
// one thread at one time and another later, but two threads never wait on one queue at once.
class alignas(kCacheLine) RowQueue {
 public:
  static constexpr std::size_t kUnbounded = SIZE_MAX;
  explicit RowQueue(std::size_t capacity = kUnbounded) : capacity_(capacity) {}
  RowQueue(const RowQueue&) = delete;
  RowQueue& operator=(const RowQueue&) = delete;

  // Producer: blocks until the slot of `item` is free; false once the consumer has stopped.
  bool WaitForRoom(std::size_t item);
  // Producer: the items below `count` are ready.
  void Publish(std::size_t count);
  // Producer: no more items come.
  void Close();
  // Producer: whether the consumer wants no more (cheap enough to ask after every item).
  bool Stopped() const { return stopped_.load(std::memory_order_relaxed); }

  // Consumer: blocks until more than `seen` items are published or the queue is closed;
  // returns the count published, which is `seen` or less only once it is closed.
  std::size_t WaitForItems(std::size_t seen);
  // Consumer: the count published so far, without waiting, and whether that is all.
  std::size_t Published(bool& closed);
  // Consumer: the items below `count` are done with.
  void Release(std::size_t count);
  // Consumer: wants no more items; a waiting producer returns.
  void Stop();

 private:
  const std::size_t capacity_;
  std::mutex mutex_;  // guards the three below
  std::condition_variable published_changed_, released_changed_;
  std::size_t published_ = 0;
  std::size_t released_ = 0;
  bool closed_ = false;
  std::atomic<bool> stopped_{false};
  // Before it sleeps, a waiting thread watches these copies for up to kWatch (rule 7); they
  // are written under the mutex, and what the thread uses it reads there.
  static constexpr std::chrono::microseconds kWatch{100};
  template <class Ready>
  void Watch(Ready ready);
  std::atomic<std::size_t> published_hint_{0}, released_hint_{0};
  std::atomic<bool> closed_hint_{false};
};

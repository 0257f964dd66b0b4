#pragma once

// Running the engine without the GIL, interruptible with Ctrl+C. A run of a
// built-in scheme or a tableau goes to one of the engine's threads while the calling
// thread looks for signals every 50 ms: Ctrl+C sets the engine's cancel flag
// and the call raises KeyboardInterrupt. A user's own step runs on the
// calling thread and takes the GIL for each of its calls.

#include <pybind11/pybind11.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "cases.h"

namespace py = pybind11;

// How long a thread that handed work over, or finished it, keeps looking
// for the answer or the next job before it sleeps: waking a sleeping thread
// takes tens of µs on an idle machine, more than a whole adaptive flight,
// so calls in a loop hand over without sleeping.
constexpr std::chrono::microseconds kEngineSpin{2000};

// Spins (yielding) until ready() or the spin time is over; whether ready().
template <class Ready>
bool spinUntil(Ready ready) {
  const auto end = std::chrono::steady_clock::now() + kEngineSpin;
  while (!ready()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::yield();
  }
  return true;
}

// Threads kept for the engine's runs: a run takes an idle one, or a new one
// when all are busy, so that a short run does not pay for starting a thread
// (about 30 µs, ten times a whole adaptive flight). The pool is never
// destroyed: its threads wait for work until the process ends.
class EngineThreads {
 public:
  static EngineThreads& instance() {
    static EngineThreads* pool = new EngineThreads;  // NOLINT: outlives every caller
    return *pool;
  }
  void run(std::function<void()> job) {
    std::lock_guard<std::mutex> lock(mutex_);
    jobs_.push_back(std::move(job));
    queued_.fetch_add(1, std::memory_order_release);
    if (idle_ > 0) {
      wake_.notify_one();
    } else {
      std::thread([this] { serve(); }).detach();
    }
  }

 private:
  void serve() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      ++idle_;
      if (jobs_.empty()) {
        lock.unlock();
        spinUntil([this] { return queued_.load(std::memory_order_acquire) > 0; });
        lock.lock();
        wake_.wait(lock, [this] { return !jobs_.empty(); });
      }
      --idle_;
      std::function<void()> job = std::move(jobs_.front());
      jobs_.pop_front();
      queued_.fetch_sub(1, std::memory_order_relaxed);
      lock.unlock();
      job();
      lock.lock();
    }
  }
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> jobs_;
  int idle_ = 0;                // threads waiting for a job, spinning or asleep
  std::atomic<int> queued_{0};  // jobs_.size(), for the spinning threads to read
};

// work(cancel) -> result, with `custom` set when Python code runs inside.
template <class Work>
auto runEngine(bool custom, Work&& work) -> decltype(work(nullptr)) {
  using Result = decltype(work(nullptr));
  if (custom) {
    // Python code runs inside: it takes the GIL per step and sees signals
    // itself.
    py::gil_scoped_release release;
    return work(nullptr);
  }
  CancelFlag cancel{false};
  std::optional<Result> result;
  std::exception_ptr error;
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  std::atomic<bool> answered{false};  // done, for the spin to read
  std::optional<py::error_already_set> interrupt;
  {
    py::gil_scoped_release release;
    EngineThreads::instance().run([&] {
      try {
        result.emplace(work(&cancel));
      } catch (...) {
        error = std::current_exception();
      }
      std::lock_guard<std::mutex> lock(mutex);
      done = true;
      answered.store(true, std::memory_order_release);
      finished.notify_one();
    });
    spinUntil([&] { return answered.load(std::memory_order_acquire); });
    // Taken once even after the spin saw the answer: the job has let go of
    // `mutex` and `finished` before this frame ends.
    std::unique_lock<std::mutex> lock(mutex);
    while (!finished.wait_for(lock, std::chrono::milliseconds(50), [&] { return done; })) {
      if (interrupt) continue;
      lock.unlock();
      {
        py::gil_scoped_acquire gil;
        if (PyErr_CheckSignals() != 0) {
          interrupt.emplace();  // fetches the signal handler's exception
          cancel.store(true);
        }
      }
      lock.lock();
    }
    // The job has told `finished` under the lock: nothing of it is left
    // to touch this frame's variables.
  }
  if (interrupt) throw std::move(*interrupt);
  if (error) std::rethrow_exception(error);
  return std::move(*result);
}

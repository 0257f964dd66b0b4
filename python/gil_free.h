#pragma once

// Running the engine without the GIL, interruptible with Ctrl+C. A run of a
// built-in scheme or a tableau goes to a worker thread while the calling
// thread looks for signals every 50 ms: Ctrl+C sets the engine's cancel flag
// and the call raises KeyboardInterrupt. A user's own step runs on the
// calling thread and takes the GIL for each of its calls.

#include <pybind11/pybind11.h>

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "cases.h"

namespace py = pybind11;

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
  std::optional<py::error_already_set> interrupt;
  {
    py::gil_scoped_release release;
    std::thread worker([&] {
      try {
        result.emplace(work(&cancel));
      } catch (...) {
        error = std::current_exception();
      }
      std::lock_guard<std::mutex> lock(mutex);
      done = true;
      finished.notify_one();
    });
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
    lock.unlock();
    worker.join();
  }
  if (interrupt) throw std::move(*interrupt);
  if (error) std::rethrow_exception(error);
  return std::move(*result);
}

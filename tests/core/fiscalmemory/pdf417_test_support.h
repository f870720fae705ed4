// Symbols as a scanner delivers them, a scripted scanner port and a recording observer.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "core/common/charset.h"
#include "core/fiscalmemory/pdf417_scanner_port.h"
#include "core/fiscalmemory/pdf417_session.h"

namespace tervane::testing {

// A symbol: L and O little endian, the data, then a two-byte trailer.
inline std::vector<std::uint8_t> MakeSymbol(std::uint32_t total, std::uint32_t offset,
                                            const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> s;
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<std::uint8_t>(total >> (8 * i)));
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<std::uint8_t>(offset >> (8 * i)));
  s.insert(s.end(), data.begin(), data.end());
  s.push_back('\r');
  s.push_back('\n');
  return s;
}

// `count` data bytes, each (seed + i) mod 251 + 1: never zero, and different per symbol.
inline std::vector<std::uint8_t> Data(std::size_t count, unsigned seed) {
  std::vector<std::uint8_t> d(count);
  for (std::size_t i = 0; i < count; ++i) d[i] = static_cast<std::uint8_t>((seed + i) % 251 + 1);
  return d;
}

// A port whose events come from a script. Each event delivers `first` on the read
// after the long pause and `second` on the read after the short one. Once the script is
// used up, WaitEvent blocks until Interrupt (or until more is queued).
class ScriptedScannerPort final : public ScannerPort {
 public:
  struct Event {
    int bits = kScannerReceived;
    std::vector<std::uint8_t> first;
    std::vector<std::uint8_t> second;
  };
  struct Shared {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Event> script;
    int opens = 0;
    int openFailures = 0;  // the next Open calls that fail
    int closeFailures = 0; // the next Close calls that fail
    int closes = 0;
    int lineErrorsCleared = 0;
    bool open = false;
    bool interrupted = false;
    ScannerLineSettings lastLine;

    void Queue(Event e) {
      std::lock_guard lock(mutex);
      script.push_back(std::move(e));
      changed.notify_all();
    }
    void QueueSymbol(std::vector<std::uint8_t> bytes) {
      Event e;
      e.first = std::move(bytes);
      Queue(std::move(e));
    }
  };

  explicit ScriptedScannerPort(Shared& shared) : s_(shared) {}

  bool Open(const ScannerLineSettings& line, std::string* error) override {
    std::lock_guard lock(s_.mutex);
    ++s_.opens;
    s_.lastLine = line;
    if (s_.openFailures > 0) {
      --s_.openFailures;
      *error = "Device or resource busy";
      return false;
    }
    s_.open = true;
    s_.interrupted = false;
    return true;
  }
  int WaitEvent() override {
    std::unique_lock lock(s_.mutex);
    s_.changed.wait(lock, [&] { return s_.interrupted || !s_.script.empty(); });
    if (s_.interrupted) return kScannerStopped;
    current_ = std::move(s_.script.front());
    s_.script.pop_front();
    reads_ = 0;
    return current_.bits;
  }
  bool ReadHeld(std::vector<std::uint8_t>& out) override {
    const auto& part = reads_++ == 0 ? current_.first : current_.second;
    out.insert(out.end(), part.begin(), part.end());
    return true;
  }
  void ClearLineError() override {
    std::lock_guard lock(s_.mutex);
    ++s_.lineErrorsCleared;
  }
  void Interrupt() override {
    std::lock_guard lock(s_.mutex);
    s_.interrupted = true;
    s_.changed.notify_all();
  }
  void Resume() override {
    std::lock_guard lock(s_.mutex);
    s_.interrupted = false;
  }
  bool Close(std::string* error) override {
    std::lock_guard lock(s_.mutex);
    ++s_.closes;
    if (s_.closeFailures > 0) {
      --s_.closeFailures;
      if (error) *error = "Input/output error";
      return false;
    }
    s_.open = false;
    return true;
  }

 private:
  Shared& s_;
  Event current_;
  int reads_ = 0;
};

// Records what the reading thread reports and lets a test wait for it.
class RecordingObserver final : public Pdf417Observer {
 public:
  void OnSymbol(const Pdf417View& view) override {
    std::lock_guard lock(mutex_);
    views_.push_back(view);
    changed_.notify_all();
  }
  void OnAllRead() override {
    std::lock_guard lock(mutex_);
    allRead_ = true;
    changed_.notify_all();
  }
  void OnPortLost() override {
    std::lock_guard lock(mutex_);
    lost_ = true;
    changed_.notify_all();
  }
  // Waits (real time, bounded) until `count` symbols were reported.
  bool WaitForSymbols(std::size_t count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return views_.size() >= count; });
  }
  bool WaitForAllRead() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return allRead_; });
  }
  std::vector<Pdf417View> Views() {
    std::lock_guard lock(mutex_);
    return views_;
  }
  bool AllRead() {
    std::lock_guard lock(mutex_);
    return allRead_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Pdf417View> views_;
  bool allRead_ = false;
  bool lost_ = false;
};

}  // namespace tervane::testing

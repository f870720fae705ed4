// One PDF-417 capture: opening the scanner's port, the reading thread that assembles the
// symbols, and the stop flow that saves the MFD (or, in the signature pass, .rsa) file.
// The capture window and the command line both drive it; every question and message
// goes through the Prompter, every wait through the Clock.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "core/common/clock.h"
#include "core/common/prompter.h"
#include "core/fiscalmemory/pdf417_capture.h"
#include "core/fiscalmemory/pdf417_scanner_port.h"

namespace tervane {

// Pauses of the reading thread after a port event, before the bytes are read, and
// before they are read a second time.
inline constexpr int kPdf417SettleMs = 1500;
inline constexpr int kPdf417SecondReadMs = 100;

// What the window shows, copied under the session's lock.
struct Pdf417View {
  std::string expectedText;   // "Total de símbolos do conjunto:"
  std::string receivedText;   // "Total de símbolos já lidos:"
  std::string status;         // "Resultado da Leitura"
  std::string dump;           // "Dump"
  std::uint32_t expected = 0;
  std::uint32_t received = 0;
  Pdf417SymbolOutcome outcome = Pdf417SymbolOutcome::kStored;
};

// Told by the reading thread what happened. Called on the reading thread: a window
// passes the calls on to its own thread.
class Pdf417Observer {
 public:
  virtual ~Pdf417Observer() = default;
  // A symbol was taken (stored, repeated or refused): beep and refresh the fields.
  virtual void OnSymbol(const Pdf417View& view) = 0;
  // Every symbol of the set was read; the thread ends after this call. The window shows
  // "Todos os símbolos foram lidos." and then stops the capture for the user.
  virtual void OnAllRead() = 0;
  // The port stopped delivering (unplugged, closed by the other side); the thread ends.
  virtual void OnPortLost() {}
};

enum class Pdf417StopResult {
  kCapturing,      // the person chose to go on capturing (or cancelled the save dialog,
                   // or the file could not be written): the port stays open
  kClosed,         // closed without saving: nothing was read, or the person chose so
  kSaved,          // the file was written and the port closed
  kNotRunning,     // there was no capture to stop
};

class Pdf417Session {
 public:
  using PortMaker = std::function<std::unique_ptr<ScannerPort>()>;

  // `observer` may be null. `makePort` makes the port for each Start (default: the
  // termios port).
  Pdf417Session(Prompter& prompter, Clock& clock, Pdf417Observer* observer, PortMaker makePort = {});
  // Stops the thread and closes the port without asking anything.
  ~Pdf417Session();
  Pdf417Session(const Pdf417Session&) = delete;
  Pdf417Session& operator=(const Pdf417Session&) = delete;

  // The signature pass: symbols of any length, an .rsa file. Only between captures.
  void SetSignature(bool signature);
  bool Signature() const { return signature_; }

  // Opens the port (a failing step shows "Erro na porta <name>" with the system's text,
  // then asks Retry/Cancel; Retry repeats the whole opening), clears the capture and
  // starts the reading thread. False when the person cancelled or already running.
  bool Start(const ScannerLineSettings& line);
  bool Running() const { return port_ != nullptr; }
  // True once the reading thread has ended by itself (set complete, port lost).
  bool ThreadEnded() const { return threadEnded_.load(); }

  // The stop flow: the question when symbols are missing, the save dialog
  // (`suggestedPath` is its starting name), writing the file, the "Concluído" message
  // (MFD pass), closing the port. `savedPath` receives the file written.
  Pdf417StopResult Stop(const std::string& suggestedPath = "", std::string* savedPath = nullptr);

  // The current texts and counts.
  Pdf417View View() const;

 private:
  void StartThread();
  void StopThread();
  void ReadLoop();
  // Sleeps `ms` on the clock in short steps; false when the thread was asked to stop.
  bool Pause(int ms);
  void ReadHeldBytes();
  // Closes the port, asking Retry/Cancel while the system refuses; frees the symbols.
  void ClosePort();
  // Writes `bytes` to `path` (created, truncated); shows the error message and removes a
  // partial file on failure.
  bool WriteFile(const std::string& path, const std::string& bytes);
  Pdf417View ViewLocked() const;

  Prompter& prompter_;
  Clock& clock_;
  Pdf417Observer* observer_;
  PortMaker makePort_;
  bool signature_ = false;
  std::string portName_;

  mutable std::mutex mutex_;  // guards capture_
  Pdf417Capture capture_;
  std::unique_ptr<ScannerPort> port_;
  std::thread thread_;
  std::atomic<bool> stopRequested_{false};
  std::atomic<bool> threadEnded_{false};
};

}  // namespace tervane

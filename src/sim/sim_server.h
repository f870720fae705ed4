// The simulator's I/O: a single-threaded poll loop serving the engine on any of three
// faces at once (a pseudo-terminal, a TCP port, a folder of exchange files) until a
// stop signal arrives, then removing what it created.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <poll.h>

#include "sim/command_handler.h"
#include "sim/fault_injector.h"

namespace tervane::sim {

struct ServerOptions {
  bool pty = false;
  std::string link;         // symlink to the pty's slave (empty: none)
  int tcpPort = -1;         // -1: no TCP face; 0: any free port
  std::string filesDir;     // empty: no file face
  long baud = 0;            // 0: unpaced
  bool verbose = false;     // trace every frame and reply on the log stream
};

// What the faces share: the engine, the faults, the line speed and the two streams.
struct FaceContext {
  CommandHandler* handler = nullptr;
  FaultInjector* faults = nullptr;
  long baud = 0;
  std::ostream* ready = nullptr;  // one line per face when it is ready
  std::ostream* log = nullptr;    // trace and warnings (null: quiet)
  bool verbose = false;

  // Writes "<face> <direction> hex" to the log when tracing.
  void Trace(const char* face, const char* direction, const std::uint8_t* data, std::size_t size) const;
  // Writes a warning line to the log.
  void Warn(const std::string& text) const;
};

// One way into the printer.
class Face {
 public:
  virtual ~Face() = default;
  // Acquires what the face needs and prints its ready line. False (with `error`) when it
  // cannot start; whatever it made is removed again by Cleanup.
  virtual bool Start(std::string* error) = 0;
  // Adds the descriptors to watch and lowers `wakeUs` to when the face next needs time.
  virtual void Prepare(std::vector<pollfd>& fds, std::int64_t nowUs, std::int64_t* wakeUs) = 0;
  // Acts on what the poll reported for the descriptors this face added (in order).
  virtual void Service(const pollfd* fds, std::size_t count, std::int64_t nowUs) = 0;
  // Closes and removes everything the face created.
  virtual void Cleanup() = 0;
};

std::unique_ptr<Face> MakePtyFace(FaceContext& context, const std::string& link);
std::unique_ptr<Face> MakeTcpFace(FaceContext& context, int port);
std::unique_ptr<Face> MakeFileFace(FaceContext& context, const std::string& directory);

class SimServer {
 public:
  SimServer(CommandHandler& handler, FaultInjector& faults, ServerOptions options, std::ostream& ready,
            std::ostream* log);
  ~SimServer();

  // Starts every face asked for. False (with `error`) when one cannot start; the faces
  // already started are cleaned up.
  bool Start(std::string* error);

  // Serves until `stopFd` becomes readable (a signalfd or a pipe), then cleans up.
  // Returns 0, or 1 when polling itself failed.
  int Run(int stopFd);

  void Cleanup();

 private:
  FaceContext context_;
  ServerOptions options_;
  std::vector<std::unique_ptr<Face>> faces_;
};

// Hex text of bytes, " 06 00 00" style without the leading blank.
std::string HexTrace(const std::uint8_t* data, std::size_t size);

}  // namespace tervane::sim

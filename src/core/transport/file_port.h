// The port kind for a printer served by a peer program through two exchange files
// ("FILE"): the request file comando.dat, to which each frame is appended, and the reply
// file retorno.dat, which the peer fills and this side empties as it reads.
//
// A peer that holds an advisory lock (flock, exclusive) on the reply file while it
// appends never loses bytes to the emptying; this side takes the same lock while it
// reads and cuts the file.
#pragma once

#include <cstdint>
#include <string>

#include "core/transport/port.h"

namespace tervane {

inline constexpr const char* kRequestFileName = "comando.dat";
inline constexpr const char* kReplyFileName = "retorno.dat";
// Reply bytes behind the ones a ReadReply takes are kept for the next read, up to this
// many; a larger remainder is not a reply and is dropped.
inline constexpr std::int64_t kMaxKeptReplyBytes = 1 << 20;

class CFilePort final : public CPort {
 public:
  // `folder` holds both files. Creating the port deletes the request file, so the file
  // holds exactly the frames written through this port.
  explicit CFilePort(std::string folder);
  ~CFilePort() override;
  CFilePort(const CFilePort&) = delete;
  CFilePort& operator=(const CFilePort&) = delete;

  // Opens the reply file for reading and writing, creating it empty when absent. `side`
  // is kept (the exchange passes 0). False when the file cannot be opened or created
  // (the port then reads as empty), or the port is already open.
  bool Open(int side) override;
  // Closes the reply file. Safe to call more than once.
  void Close() override;
  // Not offered by this kind: always false.
  bool Send(const std::uint8_t* data, int length, int param) override;
  bool Receive(std::uint8_t* buffer, int length, int timeoutMs) override;
  // Reads and discards every reply byte waiting. False when not open, a read fails, or
  // the peer holds the file's lock at this moment.
  bool Purge() override;
  // Appends the bytes to the request file (created when absent). True only when every
  // byte is in the file; on failure the file is cut back to its size before the call
  // and `written` (when given) is 0, so a retry never leaves a partial frame behind.
  bool WriteRequest(const std::uint8_t* data, int length, std::uint32_t* written) override;
  // Takes up to `length` reply bytes from the start of the reply file and removes them
  // from it: the file is emptied, and bytes beyond `length` already in the file are put
  // back for the next read. `read` gets the count (0 when nothing waits, or while the
  // peer holds the file's lock). False, with
  // `read` 0, when not open or the file cannot be read.
  bool ReadReply(std::uint8_t* buffer, int length, std::uint32_t* read) override;
  // The number of reply bytes waiting (the reply file's size, at most INT_MAX); 0 when
  // not open or the size cannot be read.
  int PendingReplySize() override;

  const std::string& RequestPath() const { return requestPath_; }
  const std::string& ReplyPath() const { return replyPath_; }
  int Side() const { return side_; }
  bool IsOpen() const { return replyFd_ >= 0; }

 private:
  std::string requestPath_;
  std::string replyPath_;
  int side_ = 0;
  int replyFd_ = -1;
};

}  // namespace tervane

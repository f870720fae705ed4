// The replies of a recorded session, for the simulator to answer with: a frame recorded
// in a transcript gets the reply recorded for the same bytes, in the recorded order when
// the same frame was sent more than once (the last one again once they are used up).
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "sim/sim_frame.h"

namespace tervane::sim {

class ReplayBook {
 public:
  // Reads the transcript. False with `error` when the file cannot be read; lines that
  // are not transcript objects are skipped and counted in `skipped`.
  bool Load(const std::string& path, std::string* error, int* skipped = nullptr);

  // The recorded reply for `frame`; false when the frame was not recorded, or only
  // without a reply (the printer's own rules then answer it).
  bool Answer(const Bytes& frame, Bytes* reply);

  std::size_t Size() const { return entries_; }

 private:
  struct Replies {
    std::vector<Bytes> replies;
    std::size_t next = 0;
  };
  std::map<Bytes, Replies> book_;
  std::size_t entries_ = 0;
};

}  // namespace tervane::sim

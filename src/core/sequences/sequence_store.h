// Named sequences of catalogue commands and the file that keeps them, sequencias.xml.
//
// The file is written whole at every save, in one fixed layout: the declaration, a
// stylesheet instruction, and a root "sequencias" (xml:space="preserve") holding one
// "sequencia" per sequence, its "titulo" and one "cmd" per command with the command's
// kind, title, escape text, reply size and kind, its "parametro" elements (title, value,
// size, kind, mandatory flag) and its "retorno" elements (title, size, kind). The blanks
// between elements are real text nodes: a line break and one tab per level.
//
// Reading is looser: every "sequencia" element at any depth is a sequence, named by the
// text of its "titulo" child; its "cmd" children are read like catalogue commands, with
// the same defaults for what is missing and the same inheritance of a parameter's or
// return field's absent sub-elements from the previous one.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/common/settings.h"
#include "core/catalogue/command_record.h"

namespace tervane {

inline constexpr char kSequenceFileName[] = "sequencias.xml";

struct CSequence {
  std::string name;                     // upper case once validated; compared exactly
  std::vector<CommandRecord> commands;  // copies, never shared with the catalogue
};

// The default sequence file: sequencias.xml in g_workDir.
std::string DefaultSequenceFile(const ProgramSettings& settings);

// Outcome of a load, for a person to act on.
struct SequenceLoadResult {
  int code = 0;              // 0 or -1
  bool missing = false;      // the file does not exist (a first save will create it)
  std::string description;   // what was wrong and where (empty on success); Windows-1252
};

// Reads a sequence document from bytes and appends its sequences to `sequences`.
// Returns 0, or -1 when the bytes are not a well-formed document; `sequences` is then
// untouched and `result->description` (when given) says what was wrong and where.
int ReadSequenceDocument(std::string_view bytes, std::vector<CSequence>& sequences,
                         SequenceLoadResult* result = nullptr);

// The bytes of the sequence file for `sequences`, in the fixed layout (Windows-1252).
// Returns false with `error` set when a name or text holds a NUL byte, which the file
// cannot carry; `out` is then empty.
bool WriteSequenceDocument(const std::vector<CSequence>& sequences, std::string& out,
                           std::string* error = nullptr);

class CSequenceStore {
 public:
  CSequenceStore() = default;
  explicit CSequenceStore(std::string filePath) : filePath_(std::move(filePath)) {}

  // The current sequence file, where SaveSequences writes.
  const std::string& FilePath() const { return filePath_; }
  void SetFilePath(std::string path) { filePath_ = std::move(path); }

  const std::vector<CSequence>& Sequences() const { return sequences_; }
  int count() const { return static_cast<int>(sequences_.size()); }
  void Clear() { sequences_.clear(); }

  // Reads the file at `path` and appends its sequences, in file order. Returns 0, or -1
  // when the file is missing, unreadable or not well-formed; the list is then untouched
  // and `result` (when given) says why. The current file path is not changed.
  int LoadSequences(const std::string& path, SequenceLoadResult* result = nullptr);

  // Writes the whole list to the current file, atomically: on any failure (a NUL byte
  // in a text, a folder that cannot be written, a full disk) the file keeps its
  // previous content. Returns 0, or -1 with `error` (when given) set to what failed.
  int SaveSequences(std::string* error = nullptr) const;

  // Stores a sequence by name. If one of that name exists and `replace` is false,
  // changes nothing and returns 1; with `replace` true, removes the existing one and
  // appends the new one at the end. A new name is appended at the end. Returns 0 then.
  int UpsertSequence(CSequence sequence, bool replace);

  // Removes the first sequence of that name. Returns 0, or -1 when none has it.
  int RemoveSequence(std::string_view name);

  // The first sequence of that exact name, or null.
  const CSequence* FindSequence(std::string_view name) const;
  CSequence* FindSequence(std::string_view name);

 private:
  std::string filePath_;
  std::vector<CSequence> sequences_;
};

}  // namespace tervane

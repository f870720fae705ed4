// Reading and writing the sequence file's document.
#include <cstdint>
#include <memory>
#include <string>

#include "core/catalogue/command_xml_fields.h"
#include "core/catalogue/catalogue.h"
#include "core/common/text.h"
#include "core/common/xml_document.h"
#include "core/sequences/sequence_store.h"

namespace tervane {
namespace {

// ------------------------------------------------------------------------------ reading

// Builds the sequences from one walk over the document, which files of tens of
// thousands of commands need.
//
// Every "sequencia" element, at any depth, starts a sequence, in document order; the
// first "titulo" child names it. Each "cmd" child of a sequence is a command, read as
// the catalogue reads its commands: the first occurrence of each single-valued child
// counts, absent ones keep their defaults, and every "parametro" and "retorno" child is
// read into a working record kept per command, so that an absent sub-element keeps the
// previous entry's value (only "valor" starts empty each time). A field's value is all
// the text inside it, white space as written.
class SequenceBuilder final : public XmlVisitor {
 public:
  SequenceBuilder() { wantsText = false; }

  std::vector<CSequence>& sequences() { return sequences_; }

  // True when some field holds more than plain text (an element, a CDATA section, a
  // comment): the blanks beside those count in the field's text, so the document must
  // be read with every whitespace node kept.
  bool needsAllWhitespace() const { return needsAllWhitespace_; }

  void StartElement(std::string_view name) override {
    if (active_ > 0) needsAllWhitespace_ = true;
    const Frame parent = frames_.empty() ? Frame{} : frames_.back();
    Frame frame;
    frame.sequence = parent.sequence;
    frame.command = parent.command;
    frame.open = parent.open;
    if (name == "sequencia") {
      frame.role = Role::kSequence;
      frame.sequence = static_cast<int>(sequences_.size());
      sequences_.emplace_back();
    } else if (parent.role == Role::kSequence) {
      if (name == "cmd") {
        frame.role = Role::kCommand;
        auto& commands = sequences_[static_cast<size_t>(parent.sequence)].commands;
        frame.command = static_cast<int>(commands.size());
        commands.emplace_back();
        if (openCount_ == open_.size()) open_.emplace_back();
        frame.open = static_cast<int>(openCount_++);
        open_[static_cast<size_t>(frame.open)].Reset();
      } else if (name == "titulo") {
        StartField(frame, Field::kSequenceName);
      }
    } else if (parent.role == Role::kCommand) {
      if (name == "parametro") {
        frame.role = Role::kParameter;
        open_[static_cast<size_t>(frame.open)].parameter.value.clear();
      } else if (name == "retorno") {
        frame.role = Role::kReturnField;
      } else {
        StartField(frame, CommandFieldNamed(name));
      }
    } else if (parent.role == Role::kParameter) {
      StartField(frame, ParameterFieldNamed(name));
    } else if (parent.role == Role::kReturnField) {
      StartField(frame, ReturnFieldNamed(name));
    }
    frames_.push_back(frame);
  }

  void Text(std::string_view text, bool cdata) override {
    // Text belongs to every field element it lies in.
    for (size_t i = 0; i < active_; ++i) collectors_[i].append(text);
    if (cdata && active_ > 0) needsAllWhitespace_ = true;
  }

  void Markup() override {
    if (active_ > 0) needsAllWhitespace_ = true;
  }

  void EndElement() override {
    const Frame frame = frames_.back();
    frames_.pop_back();
    switch (frame.role) {
      case Role::kField:
        EndField(frame);
        break;
      case Role::kParameter:
        CommandOf(frame).parameters.push_back(open_[static_cast<size_t>(frame.open)].parameter);
        break;
      case Role::kReturnField:
        CommandOf(frame).returnFields.push_back(open_[static_cast<size_t>(frame.open)].returnField);
        break;
      case Role::kCommand: {
        --openCount_;
        CommandRecord& command = CommandOf(frame);
        // Parsed once the title is known, so that a refusal can name the command.
        if (command.hasEscape) ParseEscapeText(command.escapeText, command);
        break;
      }
      case Role::kSequence:
      case Role::kOther:
        break;
    }
  }

 private:
  enum class Role : std::uint8_t { kOther, kSequence, kCommand, kParameter, kReturnField, kField };
  using Field = CommandXmlField;

  // Everything is kept as indexes: sequences and commands may be added while a field
  // is open (an element of that name inside the field), which moves the lists.
  struct Frame {
    Role role = Role::kOther;
    Field field = Field::kNone;
    int sequence = -1;       // index in sequences_
    int command = -1;        // index in that sequence's commands
    int open = -1;           // index in open_ of the command's working records
    std::uint32_t seen = 0;  // the single-valued children met so far
  };

  // The working records of a "cmd" being read, kept in a pool.
  struct Open {
    ParameterRecord parameter;
    ReturnFieldRecord returnField;
    void Reset() {
      parameter = ParameterRecord();
      returnField = ReturnFieldRecord();
    }
  };


  CommandRecord& CommandOf(const Frame& frame) {
    return sequences_[static_cast<size_t>(frame.sequence)].commands[static_cast<size_t>(frame.command)];
  }

  // Starts collecting a field's text unless a field of that name was met before in the
  // same parent.
  void StartField(Frame& frame, Field field) {
    if (field == Field::kNone) return;
    std::uint32_t& seen = frames_.back().seen;
    const std::uint32_t bit = 1u << static_cast<unsigned>(field);
    if (seen & bit) return;
    seen |= bit;
    frame.role = Role::kField;
    frame.field = field;
    if (active_ == collectors_.size()) collectors_.emplace_back();
    collectors_[active_++].clear();
    wantsText = true;
  }

  void EndField(const Frame& frame) {
    // Fields nest strictly, so the innermost collector is this field's.
    std::string& text = collectors_[--active_];
    wantsText = active_ > 0;
    if (frame.field == Field::kSequenceName) {
      sequences_[static_cast<size_t>(frame.sequence)].name = text;
      return;
    }
    CommandRecord& command = CommandOf(frame);
    Open& open = open_[static_cast<size_t>(frame.open)];
    switch (frame.field) {
      case Field::kGroup: command.group = text; break;
      case Field::kMask: command.modelMask = static_cast<std::uint32_t>(Atoi(text)); break;
      case Field::kTitle: command.title = text; break;
      case Field::kEscape:
        command.escapeText = text;
        command.hasEscape = true;
        break;
      case Field::kReturnSize: command.declaredReturnSize = Atoi(text); break;
      case Field::kReturnKind: command.returnKind = text; break;
      case Field::kParamTitle: open.parameter.title = text; break;
      case Field::kParamSize: open.parameter.size = Atoi(text); break;
      case Field::kParamKind: open.parameter.kind = text; break;
      case Field::kParamMandatory: open.parameter.mandatory = text == "S"; break;
      case Field::kParamValue: open.parameter.value = text; break;
      case Field::kFieldTitle: open.returnField.title = text; break;
      case Field::kFieldSize: open.returnField.size = Atoi(text); break;
      case Field::kFieldKind: open.returnField.kind = text; break;
      default: break;
    }
  }

  std::vector<CSequence> sequences_;
  std::vector<Frame> frames_;
  std::vector<Open> open_;                // the first openCount_ are open, innermost last
  size_t openCount_ = 0;
  std::vector<std::string> collectors_;   // reused; the first active_ are in use
  size_t active_ = 0;
  bool needsAllWhitespace_ = false;
};

// ------------------------------------------------------------------------------ writing

// The blanks before an element at each depth below the root: a line break and one tab
// per level.
constexpr std::string_view kIndent1 = "\n\t";
constexpr std::string_view kIndent2 = "\n\t\t";
constexpr std::string_view kIndent3 = "\n\t\t\t";
constexpr std::string_view kIndent4 = "\n\t\t\t\t";

constexpr std::string_view kHead =
    "<?xml version=\"1.0\" encoding=\"Windows-1252\"?>\n"
    "<?xml-stylesheet type='text/xml' href='style.xsl'?>\n"
    "<sequencias xml:space=\"preserve\">";
constexpr std::string_view kTail = "\n</sequencias>\n";

// Writes the fixed layout straight into bytes, as the document model would print it:
// "&", "<" and ">" as entities, other control characters but tab and line feed as
// two-digit character references. A carriage return is written as a reference too,
// because a reader turns every CR LF and lone CR written as such into LF: values with
// CR LF line ends, such as a cliché's lines, would come back changed in size.
class Writer {
 public:
  explicit Writer(std::string& out) : out_(out) {}

  bool ok() const { return ok_; }
  const std::string& error() const { return error_; }

  void Raw(std::string_view text) { out_.append(text); }

  void Open(std::string_view indent, std::string_view name) {
    out_.append(indent);
    out_ += '<';
    out_.append(name);
    out_ += '>';
  }
  void Close(std::string_view indent, std::string_view name) {
    out_.append(indent);
    out_.append("</");
    out_.append(name);
    out_ += '>';
  }

  // An element holding `text`; an empty element when the text is empty.
  void Leaf(std::string_view indent, std::string_view name, std::string_view text) {
    out_.append(indent);
    out_ += '<';
    out_.append(name);
    if (text.empty()) {
      out_.append("/>");
      return;
    }
    out_ += '>';
    Escaped(name, text);
    out_.append("</");
    out_.append(name);
    out_ += '>';
  }

 private:
  static bool Plain(unsigned char c) {
    return c >= 0x20 ? c != '&' && c != '<' && c != '>' : c == '\t' || c == '\n';
  }

  void Escaped(std::string_view name, std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
      size_t run = i;
      while (run < text.size() && Plain(static_cast<unsigned char>(text[run]))) ++run;
      out_.append(text.data() + i, run - i);
      if (run == text.size()) break;
      const auto c = static_cast<unsigned char>(text[run]);
      switch (c) {
        case '&': out_.append("&amp;"); break;
        case '<': out_.append("&lt;"); break;
        case '>': out_.append("&gt;"); break;
        case 0:
          if (ok_) {
            ok_ = false;
            error_ = "cannot write \"" + std::string(name) + "\": a text holds a NUL byte";
          }
          break;
        default: {
          const char reference[] = {'&', '#', static_cast<char>('0' + c / 10), static_cast<char>('0' + c % 10), ';'};
          out_.append(reference, sizeof reference);
        }
      }
      i = run + 1;
    }
  }

  std::string& out_;
  bool ok_ = true;
  std::string error_;
};

void WriteCommand(Writer& w, const CommandRecord& command) {
  w.Open(kIndent2, "cmd");
  w.Leaf(kIndent3, "tipo", command.group);
  w.Leaf(kIndent3, "titulo", command.title);
  w.Leaf(kIndent3, "escape", command.escapeText);
  w.Leaf(kIndent3, "tamanho_retorno", std::to_string(command.declaredReturnSize));
  w.Leaf(kIndent3, "tipo_retorno", command.returnKind);
  for (const ParameterRecord& p : command.parameters) {
    w.Open(kIndent3, "parametro");
    w.Leaf(kIndent4, "titulo", p.title);
    w.Leaf(kIndent4, "valor", p.value);
    w.Leaf(kIndent4, "tamanho", std::to_string(p.size));
    w.Leaf(kIndent4, "formato", p.kind);
    w.Leaf(kIndent4, "obrigatorio", p.mandatory ? "S" : "N");
    w.Close(kIndent3, "parametro");
  }
  for (const ReturnFieldRecord& f : command.returnFields) {
    w.Open(kIndent3, "retorno");
    w.Leaf(kIndent4, "titulo", f.title);
    w.Leaf(kIndent4, "tamanho", std::to_string(f.size));
    w.Leaf(kIndent4, "formato", f.kind);
    w.Close(kIndent3, "retorno");
  }
  w.Close(kIndent2, "cmd");
}

// A rough size of the file, so that the bytes are laid out once.
size_t EstimatedSize(const std::vector<CSequence>& sequences) {
  size_t size = kHead.size() + kTail.size();
  for (const CSequence& s : sequences) {
    size += 64 + s.name.size();
    for (const CommandRecord& c : s.commands) {
      size += 200 + c.group.size() + c.title.size() + c.escapeText.size() + c.returnKind.size();
      for (const ParameterRecord& p : c.parameters) size += 160 + p.title.size() + p.value.size() + p.kind.size();
      for (const ReturnFieldRecord& f : c.returnFields) size += 100 + f.title.size() + f.kind.size();
    }
  }
  return size + size / 16;
}

}  // namespace

int ReadSequenceDocument(std::string_view bytes, std::vector<CSequence>& sequences,
                         SequenceLoadResult* result) {
  // First keeping only the whitespace nodes that can matter (the quick way), then, if
  // some field turns out to hold more than text, once more with all of them.
  XmlDocument document;
  XmlLoadResult loaded = document.LoadBytes(bytes, XmlLoadMode::kWalkOnly);
  auto builder = std::make_unique<SequenceBuilder>();
  if (loaded) {
    document.Walk(*builder);
    if (builder->needsAllWhitespace()) {
      loaded = document.LoadBytes(bytes, XmlLoadMode::kFull);
      builder = std::make_unique<SequenceBuilder>();
      if (loaded) document.Walk(*builder);
    }
  }
  if (!loaded) {
    if (result) {
      result->code = -1;
      result->description = loaded.description;
    }
    return -1;
  }
  std::vector<CSequence>& read = builder->sequences();
  if (sequences.empty()) {
    sequences = std::move(read);
  } else {
    sequences.insert(sequences.end(), std::make_move_iterator(read.begin()), std::make_move_iterator(read.end()));
  }
  if (result) {
    result->code = 0;
    result->description.clear();
  }
  return 0;
}

bool WriteSequenceDocument(const std::vector<CSequence>& sequences, std::string& out, std::string* error) {
  out.clear();
  out.reserve(EstimatedSize(sequences));
  Writer w(out);
  w.Raw(kHead);
  for (const CSequence& sequence : sequences) {
    w.Open(kIndent1, "sequencia");
    w.Leaf(kIndent2, "titulo", sequence.name);
    for (const CommandRecord& command : sequence.commands) WriteCommand(w, command);
    w.Close(kIndent1, "sequencia");
  }
  w.Raw(kTail);
  if (!w.ok()) {
    if (error) *error = w.error();
    out.clear();
    return false;
  }
  return true;
}

}  // namespace tervane

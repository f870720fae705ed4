#include "core/catalogue/catalogue.h"

#include <array>
#include <cstdio>
#include <iterator>
#include <memory>

#include "core/catalogue/catalogue_scanner.h"
#include "core/catalogue/command_xml_fields.h"
#include "core/common/atomic_file.h"
#include "core/common/charset.h"
#include "core/common/text.h"
#include "core/common/xml_document.h"

namespace tervane {
namespace {

constexpr char kCatalogueFileName[] = "comandos.xml";
constexpr char kLoadFailureLine[] = "Failed to instantiate an XML DOM.\n";

// Builds the catalogue's records from one walk over the document.
//
// Every `cmd` element, at any depth, starts a record, in document order. Its child
// elements are its fields: the first of each single-valued name counts; every
// `parametro` and `retorno` child adds one entry, read into a working record kept per
// command, so that a sub-element left out keeps the previous entry's value (only
// `valor` starts empty each time). A field's value is all the text inside it, white
// space as written. This gives the same records as looking each child up by name, in
// a single pass over a document that may hold tens of thousands of commands.
class CatalogueBuilder final : public XmlVisitor {
 public:
  CatalogueBuilder() { wantsText = false; }

  struct Entry {
    std::string group, title, escapeText, returnKind;
    std::uint32_t modelMask = 0;
    int declaredReturnSize = 0;
    bool hasEscape = false;
    std::vector<ParameterRecord> parameters;
    std::vector<ReturnFieldRecord> returnFields;
  };

  std::vector<Entry>& entries() { return entries_; }

  // True when some field holds more than plain text (an element, a CDATA section, a
  // comment): the blanks beside those count in the field's text, so the document must
  // be read with every whitespace node kept.
  bool needsAllWhitespace() const { return needsAllWhitespace_; }

  void StartElement(std::string_view name) override {
    if (active_ > 0) needsAllWhitespace_ = true;
    const Frame parent = frames_.empty() ? Frame{} : frames_.back();
    Frame frame;
    if (NameEquals(name, "cmd")) {
      frame.role = Role::kCommand;
      frame.command = static_cast<int>(openCount_);
      const Open* openBefore = open_.data();
      const Entry* entriesBefore = entries_.data();
      if (openCount_ == open_.size()) open_.emplace_back();
      open_[openCount_++].Reset(entries_.size());
      entries_.emplace_back();
      // A command inside a field (rare): the field's text moved if a list grew.
      if (active_ > 0 && (open_.data() != openBefore || entries_.data() != entriesBefore)) {
        RefreshCollectors();
      }
    } else if (parent.role == Role::kCommand) {
      Open& command = open_[static_cast<size_t>(parent.command)];
      frame.command = parent.command;
      if (NameEquals(name, "parametro")) {
        frame.role = Role::kParameter;
        command.parameter.value.clear();
      } else if (NameEquals(name, "retorno")) {
        frame.role = Role::kReturnField;
      } else {
        StartField(frame, CommandFieldNamed(name), command.seen);
      }
    } else if (parent.role == Role::kParameter) {
      frame.command = parent.command;
      StartField(frame, ParameterFieldNamed(name), frames_.back().seen);
    } else if (parent.role == Role::kReturnField) {
      frame.command = parent.command;
      StartField(frame, ReturnFieldNamed(name), frames_.back().seen);
    }
    frames_.push_back(frame);
  }

  void Text(std::string_view text, bool cdata) override {
    // Text belongs to every field element it lies in (a field may hold a nested `cmd`).
    for (size_t i = 0; i < active_; ++i) collectors_[i].Target().append(text);
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
      case Role::kParameter: {
        Open& command = open_[static_cast<size_t>(frame.command)];
        command.parameters.push_back(command.parameter);
        break;
      }
      case Role::kReturnField: {
        Open& command = open_[static_cast<size_t>(frame.command)];
        command.returnFields.push_back(command.returnField);
        break;
      }
      case Role::kCommand: {
        // The lists are gathered in reused buffers and stored at their final size.
        Open& command = open_[--openCount_];
        Entry& entry = entries_[command.entry];
        entry.parameters.assign(std::make_move_iterator(command.parameters.begin()),
                                std::make_move_iterator(command.parameters.end()));
        entry.returnFields.assign(std::make_move_iterator(command.returnFields.begin()),
                                  std::make_move_iterator(command.returnFields.end()));
        break;
      }
      case Role::kOther:
        break;
    }
  }

 private:
  enum class Role : std::uint8_t { kOther, kCommand, kParameter, kReturnField, kField };
  using Field = CommandXmlField;

  struct Frame {
    Role role = Role::kOther;
    Field field = Field::kNone;
    int command = -1;            // index in open_ of the command this element belongs to
    std::uint32_t seen = 0;      // parametro/retorno: the sub-fields met so far
  };

  // A `cmd` element being read, with its working records and the lists gathered so
  // far. Kept in a pool, so that the lists' buffers serve command after command.
  struct Open {
    size_t entry = 0;
    ParameterRecord parameter;
    ReturnFieldRecord returnField;
    std::vector<ParameterRecord> parameters;
    std::vector<ReturnFieldRecord> returnFields;
    std::uint32_t seen = 0;      // the single-valued fields met so far

    void Reset(size_t index) {
      entry = index;
      parameter = ParameterRecord();
      returnField = ReturnFieldRecord();
      parameters.clear();
      returnFields.clear();
      seen = 0;
    }
  };

  // Where a field's text goes: straight into the text it sets, or into a scratch text
  // that is read as a number or flag when the field ends.
  struct Collector {
    Field field = Field::kNone;
    int command = -1;
    std::string* text = nullptr;
    std::string scratch;
    std::string& Target() { return text ? *text : scratch; }
  };


  // The text a field sets directly, or null for the fields read as numbers or flags.
  std::string* TextOf(Field field, int commandIndex) {
    Open& command = open_[static_cast<size_t>(commandIndex)];
    Entry& entry = entries_[command.entry];
    switch (field) {
      case Field::kGroup: return &entry.group;
      case Field::kTitle: return &entry.title;
      case Field::kEscape: return &entry.escapeText;
      case Field::kReturnKind: return &entry.returnKind;
      case Field::kParamTitle: return &command.parameter.title;
      case Field::kParamKind: return &command.parameter.kind;
      case Field::kParamValue: return &command.parameter.value;
      case Field::kFieldTitle: return &command.returnField.title;
      case Field::kFieldKind: return &command.returnField.kind;
      default: return nullptr;
    }
  }

  // Starts collecting a field's text unless the field was met before in this parent.
  void StartField(Frame& frame, Field field, std::uint32_t& seen) {
    if (field == Field::kNone) return;
    const std::uint32_t bit = 1u << static_cast<unsigned>(field);
    if (seen & bit) return;
    seen |= bit;
    frame.role = Role::kField;
    frame.field = field;
    if (field == Field::kEscape) {
      entries_[open_[static_cast<size_t>(frame.command)].entry].hasEscape = true;
    }
    if (active_ == collectors_.size()) collectors_.emplace_back();
    Collector& collector = collectors_[active_++];
    collector.field = field;
    collector.command = frame.command;
    collector.text = TextOf(field, frame.command);
    collector.Target().clear();   // a field present overwrites the inherited value
    wantsText = true;
  }

  // Points the active collectors at their texts again after a list they point into grew.
  void RefreshCollectors() {
    for (size_t i = 0; i < active_; ++i) {
      collectors_[i].text = TextOf(collectors_[i].field, collectors_[i].command);
    }
  }

  void EndField(const Frame& frame) {
    // Fields nest strictly, so the innermost collector is this field's.
    const std::string& text = collectors_[--active_].Target();
    wantsText = active_ > 0;
    Open& command = open_[static_cast<size_t>(frame.command)];
    switch (frame.field) {
      case Field::kMask:
        entries_[command.entry].modelMask = static_cast<std::uint32_t>(Atoi(text));
        break;
      case Field::kReturnSize: entries_[command.entry].declaredReturnSize = Atoi(text); break;
      case Field::kParamSize: command.parameter.size = Atoi(text); break;
      case Field::kParamMandatory: command.parameter.mandatory = text == "S"; break;
      case Field::kFieldSize: command.returnField.size = Atoi(text); break;
      default: break;   // the text fields were written in place
    }
  }

  std::vector<Entry> entries_;
  std::vector<Frame> frames_;
  std::vector<Open> open_;                // the first openCount_ are open, innermost last
  size_t openCount_ = 0;
  std::vector<Collector> collectors_;     // reused; the first active_ are in use
  size_t active_ = 0;
  bool needsAllWhitespace_ = false;
};

int Fail(const XmlLoadResult& loaded, CatalogueLoadResult* result) {
  std::fputs(kLoadFailureLine, stdout);
  std::fflush(stdout);
  if (result) {
    result->code = kCatalogueNotLoadable;
    result->description = loaded.description;
  }
  return kCatalogueNotLoadable;
}

void Store(CatalogueBuilder& builder, CommandCatalogue& catalogue) {
  std::vector<CatalogueBuilder::Entry>& entries = builder.entries();
  const size_t base = catalogue.commands.size();
  catalogue.commands.resize(base + entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    CatalogueBuilder::Entry& e = entries[i];
    CommandRecord& command = catalogue.commands[base + i];
    command.group = std::move(e.group);
    command.modelMask = e.modelMask;
    command.title = std::move(e.title);
    command.hasEscape = e.hasEscape;
    command.escapeText = std::move(e.escapeText);
    command.returnKind = std::move(e.returnKind);
    command.declaredReturnSize = e.declaredReturnSize;
    command.parameters = std::move(e.parameters);
    command.returnFields = std::move(e.returnFields);
    // Parsed once the title is known, so that a refusal can name the command.
    if (command.hasEscape) ParseEscapeText(command.escapeText, command);
  }
}

// Loads with `load` (a file or bytes), first keeping only the whitespace nodes that can
// matter (the quick way), then, if some field turns out to hold more than text, once
// more with all of them.
template <typename LoadFunction>
int Load(LoadFunction load, CommandCatalogue& catalogue, CatalogueLoadResult* result) {
  XmlDocument document;
  XmlLoadResult loaded = load(document, XmlLoadMode::kWalkOnly);
  if (!loaded) return Fail(loaded, result);
  auto builder = std::make_unique<CatalogueBuilder>();
  document.Walk(*builder);
  if (builder->needsAllWhitespace()) {
    loaded = load(document, XmlLoadMode::kFull);
    if (!loaded) return Fail(loaded, result);
    builder = std::make_unique<CatalogueBuilder>();
    document.Walk(*builder);
  }
  Store(*builder, catalogue);
  if (result) {
    result->code = kOk;
    result->description.clear();
  }
  return kOk;
}

// A plain document, read by the quick reader straight into the catalogue. False, with
// the catalogue untouched, when the document is not one.
bool LoadPlain(std::string_view bytes, CommandCatalogue& catalogue, CatalogueLoadResult* result) {
  const size_t base = catalogue.commands.size();
  if (!ScanPlainCatalogue(bytes, catalogue.commands)) return false;
  for (size_t i = base; i < catalogue.commands.size(); ++i) {
    CommandRecord& command = catalogue.commands[i];
    if (command.hasEscape) ParseEscapeText(command.escapeText, command);
  }
  if (result) {
    result->code = kOk;
    result->description.clear();
  }
  return true;
}

std::string EscapeError(const CommandRecord& command, const char* reasonUtf8) {
  return Utf8ToCp1252Lossy("Comando \"") + command.title +
         Utf8ToCp1252Lossy("\": texto de escape inválido (") + Utf8ToCp1252Lossy(reasonUtf8) + ")";
}

}  // namespace

int LoadCatalogue(const std::string& directory, CommandCatalogue& catalogue,
                  CatalogueLoadResult* result) {
  std::string path = directory;
  if (path.empty() || path.back() != '/') path += '/';
  path += kCatalogueFileName;
  return LoadCatalogueFile(path, catalogue, result);
}

int LoadCatalogueFile(const std::string& path, CommandCatalogue& catalogue,
                      CatalogueLoadResult* result) {
  FileBytes bytes;
  if (ReadWholeFile(path, bytes) && LoadPlain(bytes.view(), catalogue, result)) return kOk;
  // Unreadable, or beyond the quick reader: the document reader reads it or says why not.
  return Load([&path](XmlDocument& d, XmlLoadMode w) { return d.LoadFile(path, w); },
              catalogue, result);
}

int LoadCatalogueBytes(std::string_view bytes, CommandCatalogue& catalogue,
                       CatalogueLoadResult* result) {
  if (LoadPlain(bytes, catalogue, result)) return kOk;
  return LoadCatalogueBytesThroughDocument(bytes, catalogue, result);
}

int LoadCatalogueBytesThroughDocument(std::string_view bytes, CommandCatalogue& catalogue,
                                      CatalogueLoadResult* result) {
  return Load([bytes](XmlDocument& d, XmlLoadMode w) { return d.LoadBytes(bytes, w); },
              catalogue, result);
}

bool ParseEscapeText(std::string_view text, CommandRecord& command, std::string* error) {
  std::array<std::uint8_t, kMaxEscapeBytes> bytes{};
  int count = 0;
  const char* reason = nullptr;
  // Every single space ends a token, so n spaces make n + 1 tokens, empty ones included;
  // each token is one byte, the low eight bits of its atoi value.
  for (size_t start = 0;;) {
    size_t end = text.find(' ', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view token = text.substr(start, end - start);
    if (token.size() > static_cast<size_t>(kMaxEscapeToken)) {
      reason = "número com mais de 15 caracteres";
      break;
    }
    if (count == kMaxEscapeBytes) {
      reason = "mais de 12 números";
      break;
    }
    bytes[static_cast<size_t>(count++)] = static_cast<std::uint8_t>(Atoi(token) & 0xFF);
    if (end == text.size()) break;
    start = end + 1;
  }
  if (reason) {
    command.escapeBytes.fill(0);
    command.escapeCount = 0;
    command.escapeError = EscapeError(command, reason);
    if (error) *error = command.escapeError;
    return false;
  }
  command.escapeBytes = bytes;
  command.escapeCount = count;
  command.escapeError.clear();
  return true;
}

bool IsCommandEnabled(const CommandRecord& command, const ProgramSettings& settings) {
  return !settings.g_filterByModel || (command.modelMask & settings.g_modelMask) != 0;
}

}  // namespace tervane

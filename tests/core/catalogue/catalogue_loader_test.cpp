#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/catalogue/catalogue.h"
#include "core/catalogue/catalogue_scanner.h"
#include "core/common/charset.h"
#include "core/common/text.h"
#include "core/common/xml_document.h"
#include "support/catalogue_records.h"
#include "support/file_contents.h"

namespace tervane {
namespace {

CommandCatalogue Load(const std::string& xml) {
  CommandCatalogue catalogue;
  CatalogueLoadResult result;
  EXPECT_EQ(LoadCatalogueBytes(xml, catalogue, &result), 0) << result.description;
  return catalogue;
}

CommandRecord One(const std::string& cmdBody) {
  const CommandCatalogue c = Load("<comandos><cmd>" + cmdBody + "</cmd></comandos>");
  EXPECT_EQ(c.count(), 1);
  return c.commands.empty() ? CommandRecord() : c.commands[0];
}

std::vector<int> EscapeOf(const CommandRecord& c) {
  return std::vector<int>(c.escapeBytes.begin(), c.escapeBytes.begin() + c.escapeCount);
}

TEST(CatalogueLoader, ReadsTheFileInTheDirectoryOrFailsLeavingTheCatalogueAlone) {
  const auto dir = std::filesystem::temp_directory_path() / "tervane-catalogue-load";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  CommandCatalogue catalogue;
  catalogue.commands.emplace_back();
  catalogue.commands[0].title = "kept";

  // Missing file: -1, the line on standard output, the catalogue unchanged.
  CatalogueLoadResult result;
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(LoadCatalogue(dir.string(), catalogue, &result), -1);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Failed to instantiate an XML DOM.\n");
  EXPECT_EQ(result.code, -1);
  EXPECT_NE(result.description.find("comandos.xml"), std::string::npos) << result.description;
  ASSERT_EQ(catalogue.count(), 1);

  // Not well-formed: the same, with the line.
  std::ofstream(dir / "comandos.xml") << "<comandos>\n<cmd><titulo>A</titulo></cmd>\n<cmd>";
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(LoadCatalogue(dir.string(), catalogue, &result), -1);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Failed to instantiate an XML DOM.\n");
  EXPECT_NE(result.description.find("line 3"), std::string::npos) << result.description;
  ASSERT_EQ(catalogue.count(), 1);

  // A good file appends its commands after the ones already there.
  std::ofstream(dir / "comandos.xml", std::ios::trunc)
      << "<?xml version=\"1.0\" encoding=\"Windows-1252\"?>\n<lista><cmd><titulo>Leitura X</titulo></cmd>"
         "<cmd><titulo>Programa\xE7\xE3o</titulo></cmd></lista>";
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(LoadCatalogue(dir.string() + "/", catalogue, &result), 0);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  ASSERT_EQ(catalogue.count(), 3);
  EXPECT_EQ(catalogue.commands[0].title, "kept");
  EXPECT_EQ(catalogue.commands[2].title, "Programa\xE7\xE3o");
  std::filesystem::remove_all(dir);

  EXPECT_EQ(Load("<comandos><outro/></comandos>").count(), 0);
}

TEST(CatalogueLoader, ReadsUtf8AndCharacterReferences) {
  for (const char* declaration : {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
                                  "<?xml version=\"1.0\" encoding=\"Windows-1252\"?>"}) {
    const CommandCatalogue c = Load(std::string(declaration) +
                                    "<r><cmd><tipo>&#233;x</tipo><titulo>A &#8364;</titulo>"
                                    "<parametro><titulo>&#231;</titulo></parametro></cmd></r>");
    ASSERT_EQ(c.count(), 1) << declaration;
    EXPECT_EQ(c.commands[0].group, "\xE9x");
    EXPECT_EQ(c.commands[0].title, "A \x80");
    EXPECT_EQ(c.commands[0].parameters.at(0).title, "\xE7");
  }
  EXPECT_EQ(One("<titulo>Programação</titulo>").title, Cp("Programação"));
}

TEST(CatalogueLoader, FieldsDefaultsAndNumbers) {
  const CommandRecord c = One(
      "\n\t<tipo>Relat\xF3rios</tipo><equipamentos_hab> 768abc</equipamentos_hab>"
      "<titulo> Leitura X </titulo><titulo>second</titulo><tamanho_retorno>-1</tamanho_retorno>"
      "<tipo_retorno>ASCII</tipo_retorno><ignored>9</ignored>\n");
  EXPECT_EQ(c.group, "Relat\xF3rios");
  EXPECT_EQ(c.modelMask, 768u);
  EXPECT_EQ(c.title, " Leitura X ");   // white space as written; the first titulo counts
  EXPECT_EQ(c.declaredReturnSize, -1);
  EXPECT_EQ(c.returnKind, "ASCII");
  EXPECT_FALSE(c.hasEscape);
  EXPECT_EQ(c.escapeCount, 0);
  EXPECT_TRUE(c.parameters.empty());
  EXPECT_TRUE(c.HexTrace.empty());
  EXPECT_EQ(c.frame.length, 0u);

  const CommandRecord empty = One("");
  EXPECT_EQ(empty.group, "");
  EXPECT_EQ(empty.modelMask, 0u);
  EXPECT_EQ(empty.declaredReturnSize, 0);
  EXPECT_EQ(One("<tamanho_retorno>x12</tamanho_retorno>").declaredReturnSize, 0);
  EXPECT_EQ(One("<tamanho_retorno>-2</tamanho_retorno>").declaredReturnSize, -2);
}

TEST(CatalogueLoader, ParametersAndReturnFieldsInheritAbsentValues) {
  const CommandRecord c = One(
      "<parametro><titulo>Valor</titulo><tamanho>14</tamanho><formato>FINANCE</formato>"
      "<valor>100</valor></parametro>\n"
      "<retorno><titulo>Contador</titulo><tamanho>4</tamanho><formato>BCD</formato></retorno>"
      "<parametro><titulo>Desconto</titulo><obrigatorio>N</obrigatorio></parametro>"
      "<parametro><tamanho>2</tamanho><obrigatorio>s</obrigatorio><valor></valor></parametro>"
      "<parametro><obrigatorio>S</obrigatorio><valor> </valor></parametro>"
      "<retorno><tamanho>6</tamanho></retorno>");
  ASSERT_EQ(c.parameterCount(), 4);
  const auto& p = c.parameters;
  EXPECT_EQ(p[0].title, "Valor");
  EXPECT_TRUE(p[0].mandatory);   // no obrigatorio: mandatory for the first
  EXPECT_EQ(p[0].value, "100");
  EXPECT_EQ(p[1].title, "Desconto");
  EXPECT_EQ(p[1].size, 14);
  EXPECT_EQ(p[1].kind, "FINANCE");
  EXPECT_FALSE(p[1].mandatory);
  EXPECT_EQ(p[1].value, "");     // valor is never inherited
  EXPECT_EQ(p[2].title, "Desconto");
  EXPECT_EQ(p[2].size, 2);
  EXPECT_FALSE(p[2].mandatory);  // lower-case s is not S
  EXPECT_EQ(p[3].size, 2);
  EXPECT_TRUE(p[3].mandatory);
  EXPECT_EQ(p[3].value, " ");
  for (const auto& each : p) EXPECT_EQ(each.extra, "");

  ASSERT_EQ(c.returnFieldCount(), 2);
  EXPECT_EQ(c.returnFields[1].title, "Contador");
  EXPECT_EQ(c.returnFields[1].size, 6);
  EXPECT_EQ(c.returnFields[1].kind, "BCD");

  // The working records start afresh for each command.
  const CommandCatalogue two = Load(
      "<r><cmd><parametro><titulo>A</titulo><obrigatorio>N</obrigatorio></parametro></cmd>"
      "<cmd><parametro><tamanho>1</tamanho></parametro></cmd></r>");
  ASSERT_EQ(two.count(), 2);
  EXPECT_EQ(two.commands[1].parameters[0].title, "");
  EXPECT_TRUE(two.commands[1].parameters[0].mandatory);
}

TEST(CatalogueLoader, CommandsAtAnyDepthInDocumentOrder) {
  const CommandCatalogue c = Load(
      "<r><grupo><cmd><titulo>1</titulo><parametro><titulo>p</titulo>"
      "<cmd><titulo>2</titulo></cmd><valor>v</valor></parametro></cmd></grupo>"
      "<cmd><titulo>3<cmd><titulo>4</titulo></cmd>!</titulo></cmd></r>");
  ASSERT_EQ(c.count(), 4);
  EXPECT_EQ(c.commands[0].title, "1");
  EXPECT_EQ(c.commands[0].parameters.at(0).value, "v");
  EXPECT_EQ(c.commands[1].title, "2");
  EXPECT_EQ(c.commands[2].title, "34!");   // a field's text is all the text inside it
  EXPECT_EQ(c.commands[3].title, "4");
}

// Documents unlike the usual file: every command comes out once, whole and in order.
TEST(CatalogueLoader, UnusualDocumentsReadWhole) {
  // Elements nested far deeper than any catalogue: no recursion runs out of stack.
  std::string deep = "<r>";
  for (int i = 0; i < 100000; ++i) deep += "<a>";
  deep += "<cmd><titulo>fundo</titulo><parametro><titulo>p</titulo></parametro></cmd>";
  for (int i = 0; i < 100000; ++i) deep += "</a>";
  deep += "<cmd><titulo>raso</titulo></cmd></r>";
  CommandCatalogue c = Load(deep);
  ASSERT_EQ(c.count(), 2);
  EXPECT_EQ(c.commands[0].title, "fundo");
  EXPECT_EQ(c.commands[0].parameters.at(0).title, "p");
  EXPECT_EQ(c.commands[1].title, "raso");

  // Plain commands, then one whose field holds a comment: its blanks count, and the
  // commands read before it are neither lost nor doubled.
  c = Load("<comandos>\n\t<cmd><titulo>um</titulo><parametro><titulo>p</titulo></parametro></cmd>\n"
           "\t<cmd><titulo>dois <!-- nota --> </titulo></cmd>\n\t<cmd><titulo>tr\xEAs</titulo></cmd>\n"
           "</comandos>");
  ASSERT_EQ(c.count(), 3);
  EXPECT_EQ(c.commands[0].title, "um");
  EXPECT_EQ(c.commands[0].parameterCount(), 1);
  EXPECT_EQ(c.commands[1].title, "dois  ");
  EXPECT_EQ(c.commands[2].title, "tr\xEAs");

  // A processing instruction named like a field is not that field.
  c = Load("<comandos><cmd><?titulo x?><titulo>T</titulo>"
           "<parametro><?valor v?><titulo>P</titulo></parametro><?cmd c?></cmd></comandos>");
  ASSERT_EQ(c.count(), 1);
  EXPECT_EQ(c.commands[0].title, "T");
  ASSERT_EQ(c.commands[0].parameterCount(), 1);
  EXPECT_EQ(c.commands[0].parameters[0].value, "");
  EXPECT_EQ(c.commands[0].parameters[0].title, "P");
}

TEST(CatalogueLoader, EscapeTextBecomesBytes) {
  EXPECT_EQ(EscapeOf(One("<escape>35 60</escape>")), (std::vector<int>{0x23, 0x3C}));
  EXPECT_EQ(EscapeOf(One("<escape>8</escape>")), (std::vector<int>{8}));
  EXPECT_EQ(EscapeOf(One("<escape>1  2</escape>")), (std::vector<int>{1, 0, 2}));
  EXPECT_EQ(EscapeOf(One("<escape> 5 </escape>")), (std::vector<int>{0, 5, 0}));
  EXPECT_EQ(EscapeOf(One("<escape>256 -1 x</escape>")), (std::vector<int>{0, 0xFF, 0}));
  const CommandRecord empty = One("<escape></escape>");
  EXPECT_TRUE(empty.hasEscape);
  EXPECT_EQ(EscapeOf(empty), (std::vector<int>{0}));
  EXPECT_EQ(EscapeOf(One("<escape/>")), (std::vector<int>{0}));

  // Twelve numbers and fifteen-character tokens are the limits.
  EXPECT_EQ(One("<escape>1 2 3 4 5 6 7 8 9 10 11 12</escape>").escapeCount, 12);
  EXPECT_EQ(EscapeOf(One("<escape>000000000000035</escape>")), (std::vector<int>{0x23}));
  const CommandRecord many = One("<titulo>Abre cupom</titulo><escape>1 2 3 4 5 6 7 8 9 10 11 12 13</escape>");
  EXPECT_EQ(many.escapeCount, 0);
  EXPECT_EQ(many.escapeError, Cp("Comando \"Abre cupom\": texto de escape inválido (mais de 12 números)"));
  EXPECT_EQ(many.title, "Abre cupom");   // still loaded
  const CommandRecord longToken = One("<escape>0000000000000035</escape><titulo>Z</titulo>");
  EXPECT_EQ(longToken.escapeCount, 0);
  EXPECT_EQ(longToken.escapeError,
            Cp("Comando \"Z\": texto de escape inválido (número com mais de 15 caracteres)"));

  // Parsing again clears an earlier refusal.
  CommandRecord c = many;
  std::string error;
  EXPECT_TRUE(ParseEscapeText("7 8", c, &error));
  EXPECT_EQ(EscapeOf(c), (std::vector<int>{7, 8}));
  EXPECT_TRUE(c.escapeError.empty());
  EXPECT_FALSE(ParseEscapeText(std::string(40, '1'), c, &error));
  EXPECT_EQ(error, c.escapeError);
}

TEST(CatalogueLoader, ModelFilter) {
  ProgramSettings settings;
  CommandRecord c;
  auto enabled = [&](std::uint32_t commandMask, std::uint32_t modelMask, bool filter) {
    c.modelMask = commandMask;
    settings.g_modelMask = modelMask;
    settings.g_filterByModel = filter;
    return IsCommandEnabled(c, settings);
  };
  EXPECT_TRUE(enabled(768, 256, true));
  EXPECT_TRUE(enabled(511, 256, true));
  EXPECT_FALSE(enabled(255, 256, true));
  EXPECT_FALSE(enabled(0, 256, true));
  EXPECT_FALSE(enabled(0, kAllModelsMask, true));
  EXPECT_TRUE(enabled(65536, kAllModelsMask, true));
  EXPECT_TRUE(enabled(0, 256, false));
  EXPECT_TRUE(enabled(255, 256, false));
}

// The loader reads the document in one pass. It must give the records that looking each
// child up by name gives, which is what this reference does, through the DOM.
CommandCatalogue ReferenceLoad(const std::string& xml) {
  CommandCatalogue out;
  XmlDocument doc;
  if (!doc.LoadBytes(xml).ok) return out;
  const XmlNodeList cmds = doc.SelectElements("cmd");
  for (int n = 0; n < cmds.size(); ++n) {
    CommandRecord c;
    const XmlNodeList ch = cmds[n].Children();
    auto get = [](const XmlNodeList& list, const char* name, std::string& value) {
      const int i = FindChild(list, name, 0);
      if (i >= 0) value = list[i].Text();
      return i >= 0;
    };
    std::string t;
    get(ch, "tipo", c.group);
    if (get(ch, "equipamentos_hab", t)) c.modelMask = static_cast<std::uint32_t>(Atoi(t));
    get(ch, "titulo", c.title);
    if (get(ch, "tamanho_retorno", t)) c.declaredReturnSize = Atoi(t);
    get(ch, "tipo_retorno", c.returnKind);
    if (get(ch, "escape", c.escapeText)) {
      c.hasEscape = true;
      ParseEscapeText(c.escapeText, c);
    }
    ParameterRecord p;
    for (int k = 0, i; (i = FindChild(ch, "parametro", k)) >= 0; ++k) {
      const XmlNodeList pc = ch[i].Children();
      get(pc, "titulo", p.title);
      if (get(pc, "tamanho", t)) p.size = Atoi(t);
      get(pc, "formato", p.kind);
      if (get(pc, "obrigatorio", t)) p.mandatory = t == "S";
      p.value.clear();
      get(pc, "valor", p.value);
      c.parameters.push_back(p);
    }
    ReturnFieldRecord r;
    for (int k = 0, i; (i = FindChild(ch, "retorno", k)) >= 0; ++k) {
      const XmlNodeList rc = ch[i].Children();
      get(rc, "titulo", r.title);
      if (get(rc, "tamanho", t)) r.size = Atoi(t);
      get(rc, "formato", r.kind);
      c.returnFields.push_back(r);
    }
    out.commands.push_back(std::move(c));
  }
  return out;
}

// Random catalogues in the shapes hand-edited files take: fields missing, repeated or
// empty, blanks and line breaks around values, comments and CDATA inside fields,
// commands nested in groups, parameters and titles.
class Generator {
 public:
  explicit Generator(unsigned seed) : rng_(seed) {}
  std::string Document() {
    std::string x = Pick({"", "<?xml version=\"1.0\" encoding=\"Windows-1252\"?>\n"}) + "<comandos>";
    const int n = Int(0, 4);
    for (int i = 0; i < n; ++i) x += Space() + (Int(0, 4) == 0 ? "<grupo>" + Cmd(1) + "</grupo>" : Cmd(1));
    return x + Space() + "</comandos>";
  }

 private:
  std::string Cmd(int depth) {
    std::string x = "<cmd>";
    const int n = Int(0, 12);
    for (int i = 0; i < n; ++i) {
      x += Space();
      switch (Int(0, 9)) {
        case 0: x += Field(Pick({"tipo", "titulo", "tipo_retorno"}), depth); break;
        case 1: x += Field(Pick({"equipamentos_hab", "tamanho_retorno"}), depth); break;
        case 2: x += Field("escape", depth); break;
        case 3: case 4: case 5: x += Entry("parametro", depth); break;
        case 6: case 7: x += Entry("retorno", depth); break;
        case 8: x += "<!-- nota -->"; break;
        default: x += depth < 3 && Int(0, 2) == 0 ? Cmd(depth + 1) : "<outro>x</outro>"; break;
      }
    }
    return x + Space() + "</cmd>";
  }
  std::string Entry(const char* name, int depth) {
    std::string x = std::string("<") + name + ">";
    const int n = Int(0, 6);
    for (int i = 0; i < n; ++i) {
      x += Space() + Field(Pick({"titulo", "tamanho", "formato", "obrigatorio", "valor"}), depth);
    }
    return x + Space() + "</" + name + ">";
  }
  std::string Field(const std::string& name, int depth) {
    if (Int(0, 9) == 0) return "<" + name + "/>";
    std::string inner = Value();
    switch (Int(0, 14)) {
      case 0: inner += "<!-- c -->" + Space(); break;
      case 1: inner = "<![CDATA[" + inner + "]]>" + Space(); break;
      case 2: if (depth < 3) inner += Cmd(depth + 1); break;
      default: break;
    }
    return "<" + name + ">" + inner + "</" + name + ">";
  }
  std::string Value() {
    return Space() + Pick({"S", "N", "s", "", "12", " 7x", "-1", "35 60", "1  2", "Valor \xE9", "&lt;a&gt;",
                           "1 2 3 4 5 6 7 8 9 10 11 12 13", "0000000000000035", "768"}) + Space();
  }
  std::string Space() { return Pick({"", "", "", " ", "\n\t", "\n\t\t", "  "}); }
  int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  std::string Pick(std::initializer_list<const char*> options) {
    return *(options.begin() + Int(0, static_cast<int>(options.size()) - 1));
  }
  std::mt19937 rng_;
};

// Both readers, the quick one for plain documents and the document reader for every
// other, give the records of looking each child up by name; the quick one takes the
// plain documents among them.
TEST(CatalogueLoader, GivesTheRecordsOfLookingEachChildUpByName) {
  int quick = 0, quickUtf8 = 0;
  for (unsigned seed = 1; seed <= 400; ++seed) {
    const std::string xml = Generator(seed).Document();
    SCOPED_TRACE(::testing::Message() << "seed " << seed << "\n" << xml);
    const CommandCatalogue expected = ReferenceLoad(xml);
    EXPECT_EQ(testing::CatalogueDifference(Load(xml).commands, expected.commands), "");
    CommandCatalogue throughDocument;
    ASSERT_EQ(LoadCatalogueBytesThroughDocument(xml, throughDocument), 0);
    EXPECT_EQ(testing::CatalogueDifference(throughDocument.commands, expected.commands), "");
    std::vector<CommandRecord> scanned;
    quick += ScanPlainCatalogue(xml, scanned) ? 1 : 0;

    // The same document in UTF-8 gives the same records.
    const std::string declaration = "<?xml version=\"1.0\" encoding=\"Windows-1252\"?>\n";
    const std::string body = xml.rfind(declaration, 0) == 0 ? xml.substr(declaration.size()) : xml;
    const std::string utf8 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + Cp1252ToUtf8(body);
    EXPECT_EQ(testing::CatalogueDifference(Load(utf8).commands, expected.commands), "") << "in UTF-8";
    scanned.clear();
    quickUtf8 += Cp1252ToUtf8(body) != body && ScanPlainCatalogue(utf8, scanned) ? 1 : 0;
    if (HasFailure()) break;
  }
  EXPECT_GT(quick, 40) << "the quick reader took too few of the generated documents";
  EXPECT_GT(quickUtf8, 4) << "the quick reader took too few of them in UTF-8";
}

// Documents at the edge of the quick reader's shape: it takes the plain ones and leaves
// the others (and every faulty one) to the document reader, and the load comes out the
// same either way, failures with the same description.
TEST(CatalogueLoader, QuickReaderTakesPlainDocumentsAndLeavesTheRest) {
  using namespace std::string_literals;
  const std::string shipped = testing::ReadAll(std::string(TERVANE_REPO_DIR) + "/data/comandos.xml");
  ASSERT_FALSE(shipped.empty());
  struct Case {
    std::string xml;
    bool plain;
  };
  const std::vector<Case> cases = {
      {shipped, true},
      {"\xEF\xBB\xBF<?xml version='1.0' encoding=\"UTF-8\" ?>\r\n<!-- c -->\r\n<comandos>\r\n"
       "\t<cmd>\r\n\t\t<titulo>Relat\xC3\xB3rio &amp; &lt;X&gt; &quot;&apos;</titulo>\r\n"
       "\t\t<escape>35\r\n60</escape><escape>1</escape>\t<outro >x</outro><!-- n -->\r\n"
       "\t\t<parametro><titulo>P</titulo><valor>9</valor><tamanho>3</tamanho></parametro>\r\n"
       "\t\t<parametro/><parametro><valor/><titulo>  </titulo></parametro>\r\n"
       "\t\t<retorno><tamanho>2</tamanho></retorno><retorno/><tamanho_retorno/>\r\n"
       "\t</cmd><cmd/>\r\n</comandos >\r\n<!-- fim -->\r\n",
       true},
      {"<comandos><cmd><titulo>sem declara\xE7\xE3o</titulo></cmd></comandos>", true},
      {"<comandos><cmd><titulo>sem declara\xC3\xA7\xC3\xA3o, em UTF-8</titulo></cmd></comandos>", true},
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><comandos><cmd><titulo>Relat\xC3\xB3rio</titulo>"
       "<parametro><titulo>C\xC3\xB3" "digo</titulo><valor>\xE2\x82\xAC 5</valor><tamanho>\xC2\xB2</tamanho>"
       "</parametro></cmd></comandos>",
       true},
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><comandos><!-- \xE4\xB8\xAD --><cmd/></comandos>", false},
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><comandos><cmd><titulo>\xE4\xB8\xAD</titulo></cmd></comandos>", false},
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><comandos><outro>\xFF</outro><cmd/></comandos>", false},
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><comandos><cmd><titulo>Relat\xC3</titulo></cmd></comandos>", false},
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><comandos><!-- \xC3\xA9 &#65; --><cmd><outro>\xC3\xA9</outro></cmd></comandos>", true},
      {"<?xml version=\"1.0\" encoding=\"Windows-1252\"?><comandos><cmd><titulo>a\0b</titulo></cmd></comandos>"s, false},
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><comandos><!-- \0 --><cmd/></comandos>"s, false},
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><comandos>\0<cmd/></comandos>"s, false},
      {"<comandos/>", true},
      {"<comandos><cmd a=\"1\"><titulo>T</titulo></cmd></comandos>", false},
      {"<comandos><cmd><titulo><![CDATA[T]]></titulo></cmd></comandos>", false},
      {"<comandos><cmd><titulo>T<!-- c --> </titulo></cmd></comandos>", false},
      {"<comandos><cmd><titulo>&#65;&#x42;</titulo></cmd></comandos>", false},
      {"<comandos><cmd><titulo>&nbsp;</titulo></cmd></comandos>", false},
      {"<comandos><cmd><titulo>a & b</titulo></cmd></comandos>", false},
      {"<comandos><cmd><titulo>T</titulo><cmd><titulo>U</titulo></cmd></cmd></comandos>", false},
      {"<comandos><grupo><cmd><titulo>T</titulo></cmd></grupo></comandos>", false},
      {"<cmd><titulo>T</titulo></cmd>", false},
      {"<?xml version=\"1.0\"?><?pi x?><comandos/>", false},
      {"<!DOCTYPE comandos><comandos/>", false},
      {"<comandos><cmd><titulo>T</tipo></cmd></comandos>", false},
      {"<comandos><cmd><titulo>T</titulo></cmd></comandos>x", false},
      {"<comandos/><comandos/>", false},
      {"<comandos><cmd><titulo>T</titulo>", false},
      {"<comandos><!-- a -- b --><cmd/></comandos>", false},
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><comandos><cmd><titulo>\xE9</titulo></cmd></comandos>", false},
      {"<?xml version=\"1.0\" encoding=\"KOI8-R\"?><comandos/>", false},
      {"<?xml version=\"1.0\"encoding=\"UTF-8\"?><comandos/>", false},
      {"<?xml version=\"1.0\" encoding=\"U?>TF-8\"?><comandos/>", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.xml.substr(0, 200));
    std::vector<CommandRecord> scanned;
    EXPECT_EQ(ScanPlainCatalogue(c.xml, scanned), c.plain);
    CommandCatalogue loaded, throughDocument;
    loaded.commands.emplace_back();
    throughDocument.commands.emplace_back();
    CatalogueLoadResult result, documentResult;
    ::testing::internal::CaptureStdout();
    const int code = LoadCatalogueBytes(c.xml, loaded, &result);
    EXPECT_EQ(LoadCatalogueBytesThroughDocument(c.xml, throughDocument, &documentResult), code);
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(result.description, documentResult.description);
    EXPECT_EQ(testing::CatalogueDifference(loaded.commands, throughDocument.commands), "");
  }
}

}  // namespace
}  // namespace tervane

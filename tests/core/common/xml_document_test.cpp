#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/common/atomic_file.h"
#include "core/common/charset.h"
#include "core/common/xml_document.h"

namespace tervane {
namespace {

std::string RootText(const std::string& bytes) {
  XmlDocument doc;
  const XmlLoadResult r = doc.LoadBytes(bytes);
  EXPECT_TRUE(r.ok) << r.description;
  return doc.RootElement().Text();
}

TEST(XmlDocument, ReadsEachEncodingIntoWindows1252) {
  // Windows-1252 and ISO-8859-1 bytes pass unchanged, 80h..9Fh included.
  EXPECT_EQ(RootText("<?xml version=\"1.0\" encoding=\"Windows-1252\"?><r>a\xE7\xE3o \x80\x93</r>"),
            "a\xE7\xE3o \x80\x93");
  EXPECT_EQ(RootText("<?xml version='1.0' encoding='iso-8859-1'?><r>\xE9\x85</r>"), "\xE9\x85");
  // UTF-8, declared in any case, with or without a byte order mark.
  EXPECT_EQ(RootText("<?xml version=\"1.0\" encoding=\"utf-8\"?><r>ação €</r>"), Cp("ação €"));
  EXPECT_EQ(RootText("\xEF\xBB\xBF<r>ção</r>"), Cp("ção"));
  // No declaration: UTF-8 when the bytes are UTF-8, Windows-1252 when not.
  EXPECT_EQ(RootText("<r>Ônibus</r>"), Cp("Ônibus"));
  EXPECT_EQ(RootText("<r>\xD4nibus</r>"), "\xD4nibus");
  // Character references end up as the Windows-1252 byte; U+0080..U+009F keep their byte.
  EXPECT_EQ(RootText("<?xml version='1.0' encoding='Windows-1252'?><r>\xE7&#8364;&#233;&#x41;</r>"),
            "\xE7\x80\xE9" "A");
  EXPECT_EQ(RootText("<?xml version='1.0' encoding='UTF-8'?><r>ç&#8220;\xC2\x80</r>"), "\xE7\x93\x80");
  // Names are converted as well.
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadBytes("<?xml version='1.0' encoding='UTF-8'?><descrição/>").ok);
  EXPECT_EQ(doc.RootElement().Name(), Cp("descrição"));
}

TEST(XmlDocument, RefusesWhatWindows1252CannotHoldWithItsPlace) {
  struct Case {
    std::string bytes;
    int line, column;
    const char* what;
  } cases[] = {
      {"<?xml version='1.0' encoding='UTF-8'?>\n<r>\n  ab\xE4\xB8\xAD</r>", 3, 5, "cannot hold"},
      {"<?xml version='1.0' encoding='UTF-8'?>\n<r>\xE7</r>", 2, 4, "invalid UTF-8"},
      {"<?xml version='1.0' encoding='Shift_JIS'?><r/>", 1, 31, "Shift_JIS"},
      {"<?xml version='1.0' encoding='Windows-1252'?>\n<r>&#x4E2D;</r>", 2, 4, "character reference"},
      {std::string("<r>a\0b</r>", 10), 1, 5, "NUL"},
      {"\xFF\xFE<\0r\0/\0>\0", 1, 1, "UTF-16"},
  };
  for (const Case& c : cases) {
    XmlDocument doc;
    const XmlLoadResult r = doc.LoadBytes(c.bytes);
    EXPECT_FALSE(r.ok) << c.what;
    EXPECT_EQ(r.line, c.line) << c.what << ": " << r.description;
    EXPECT_EQ(r.column, c.column) << c.what << ": " << r.description;
    EXPECT_NE(r.description.find(c.what), std::string::npos) << r.description;
    EXPECT_TRUE(doc.RootElement().IsNull());
  }
}

TEST(XmlDocument, MalformedDocumentsFailWithLineAndColumn) {
  const std::string good = "<?xml version=\"1.0\"?>\n<r>\n  <a x=\"1\">text</a>\n  <b/>\n</r>\n";
  ASSERT_TRUE(XmlDocument().LoadBytes(good).ok);
  // A file cut anywhere inside the root element fails, at a place inside the input.
  for (size_t cut = good.find("<r>") + 1; cut < good.rfind("</r>") + 4; ++cut) {
    const XmlLoadResult r = XmlDocument().LoadBytes(good.substr(0, cut));
    EXPECT_FALSE(r.ok) << "cut at " << cut;
    EXPECT_LE(r.offset, cut);
    EXPECT_GE(r.line, 2);
  }
  XmlLoadResult r = XmlDocument().LoadBytes("<r>\n  <a>text");
  EXPECT_EQ(r.line, 2);
  EXPECT_NE(r.description.find("unexpected end of file"), std::string::npos) << r.description;

  r = XmlDocument().LoadBytes("<r>\n<a>\n</b>\n</r>");
  EXPECT_EQ(r.line, 3);
  EXPECT_EQ(r.description.substr(0, 7), "line 3,");
  EXPECT_NE(r.description.find("mismatched end tag"), std::string::npos) << r.description;

  r = XmlDocument().LoadBytes("<a/>\n<b/>");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.description.find("more than one root"), std::string::npos) << r.description;
  EXPECT_FALSE(XmlDocument().LoadBytes("").ok);
  EXPECT_FALSE(XmlDocument().LoadBytes("<!-- only a comment -->").ok);

  // A missing file names itself; a file that fails to parse starts with its path.
  const std::string missing = "/nonexistent-folder/x.xml";
  r = XmlDocument().LoadFile(missing);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.description.find(missing), std::string::npos) << r.description;
}

TEST(XmlDocument, KeepsWhitespaceAndReadsChildrenAndTexts) {
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadBytes("<r>\n\t<a> </a>\r\n\t<!-- c --><a>x<b>y</b><![CDATA[<z>]]>w</a>\n</r>").ok);
  const XmlNodeList children = doc.RootElement().Children();
  std::vector<std::string> names;
  for (int i = 0; i < children.size(); ++i) names.push_back(children[i].Name());
  EXPECT_EQ(names, (std::vector<std::string>{"#text", "a", "#text", "#comment", "a", "#text"}));
  EXPECT_EQ(children[0].Text(), "\n\t");
  EXPECT_EQ(children[2].Text(), "\n\t");   // CR LF read as LF
  EXPECT_EQ(children[1].Text(), " ");
  EXPECT_EQ(children[4].Text(), "xy<z>w");

  EXPECT_EQ(FindChild(children, "a", 0), 1);
  EXPECT_EQ(FindChild(children, "a", 1), 4);
  EXPECT_EQ(FindChild(children, "a", 2), -1);
  EXPECT_EQ(FindChild(children, "a", -1), -1);
  EXPECT_EQ(FindChild(children, "b", 0), -1);    // only children, not grandchildren
  EXPECT_EQ(FindChild(children, "A", 0), -1);    // names are case-sensitive
  EXPECT_TRUE(children[9].IsNull());
}

TEST(XmlDocument, SelectsElementsAtAnyDepthInDocumentOrder) {
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadBytes("<r><cmd n='1'><cmd n='2'><x><cmd n='3'/></x></cmd></cmd>"
                            "<y><cmd n='4'/></y><cmdx n='no'/><cmd n='5'/></r>").ok);
  const XmlNodeList cmds = doc.SelectElements("cmd");
  std::string order;
  for (int i = 0; i < cmds.size(); ++i) order += cmds[i].Attribute("n");
  EXPECT_EQ(order, "12345");
  EXPECT_TRUE(doc.SelectElements("absent").empty());
}

// Collects what a walk reports, texts of elements prefixed by their path.
class Recorder : public XmlVisitor {
 public:
  void StartElement(std::string_view name) override { log += "<" + std::string(name) + ">"; }
  void EndElement() override { log += "</>"; }
  void Text(std::string_view text, bool cdata) override {
    log += (cdata ? "[C:" : "[") + std::string(text) + "]";
  }
  void Markup() override { log += "{m}"; }
  std::string log;
};

TEST(XmlDocument, WalkReportsTheSameTextsInBothLoadModes) {
  const std::string xml = "<r>\n <a>one</a>\n <a> </a><b><c>x</c>tail</b><d/><e><![CDATA[q]]></e></r>";
  Recorder full, quick;
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadBytes(xml, XmlLoadMode::kFull).ok);
  doc.Walk(full);
  EXPECT_EQ(full.log, "<r>[\n ]<a>[one]</>[\n ]<a>[ ]</><b><c>[x]</>[tail]</><d></><e>[C:q]</></>");
  ASSERT_TRUE(doc.LoadBytes(xml, XmlLoadMode::kWalkOnly).ok);
  doc.Walk(quick);
  // Only the blanks between elements go; every element's own text stays.
  EXPECT_EQ(quick.log, "<r><a>[one]</><a>[ ]</><b><c>[x]</>[tail]</><d></><e>[C:q]</></>");
  EXPECT_EQ(doc.SelectElements("a")[0].Text(), "one");
  EXPECT_EQ(doc.SelectElements("b")[0].Text(), "xtail");
}

TEST(XmlDocument, BuildsAndSavesInWindows1252WithItsDeclaration) {
  XmlDocument doc;
  ASSERT_FALSE(doc.AppendProcessingInstruction("xml", "version='1.0' encoding='Windows-1252'").IsNull());
  ASSERT_FALSE(doc.AppendProcessingInstruction("xml-stylesheet", "type='text/xml' href='style.xsl'").IsNull());
  XmlNode root = doc.AppendElement("sequencias");
  ASSERT_TRUE(root.SetAttribute("xml:space", "preserve"));
  root.AppendText("\n\t");
  XmlNode seq = root.AppendElement("sequencia");
  seq.AppendText("\n\t\t");
  seq.AppendElement("titulo").AppendText("A\xE7\xE3o \x80 <&> \"q\"");
  seq.AppendText("\n\t\t");
  seq.AppendElement("valor");
  seq.AppendText("\n\t");
  root.AppendText("\n");
  EXPECT_TRUE(doc.AppendElement("second").IsNull());            // one root only
  EXPECT_TRUE(seq.AppendText(std::string("a\0b", 3)).IsNull());   // no NUL in a document

  std::string bytes;
  ASSERT_TRUE(doc.SaveToBytes(bytes));
  EXPECT_EQ(bytes,
            "<?xml version=\"1.0\" encoding=\"Windows-1252\"?>\n"
            "<?xml-stylesheet type='text/xml' href='style.xsl'?>\n"
            "<sequencias xml:space=\"preserve\">\n\t<sequencia>\n\t\t<titulo>A\xE7\xE3o \x80 &lt;&amp;&gt; \"q\"</titulo>"
            "\n\t\t<valor/>\n\t</sequencia>\n</sequencias>\n");

  // Read back: the same texts, whitespace nodes included.
  XmlDocument again;
  ASSERT_TRUE(again.LoadBytes(bytes).ok);
  EXPECT_EQ(again.SelectElements("titulo")[0].Text(), "A\xE7\xE3o \x80 <&> \"q\"");
  EXPECT_EQ(again.RootElement().Children()[0].Text(), "\n\t");
  EXPECT_EQ(again.RootElement().Attribute("xml:space"), "preserve");

  // A UTF-8 document is saved in Windows-1252 too, under the Windows-1252 declaration.
  ASSERT_TRUE(again.LoadBytes("<?xml version=\"1.0\" encoding=\"UTF-8\"?><r>ç€</r>").ok);
  ASSERT_TRUE(again.SaveToBytes(bytes));
  EXPECT_EQ(bytes, "<?xml version=\"1.0\" encoding=\"Windows-1252\"?>\n<r>\xE7\x80</r>\n");

  // Nothing to save without a root element.
  XmlDocument empty;
  std::string error;
  EXPECT_FALSE(empty.SaveToBytes(bytes, &error));
  EXPECT_FALSE(error.empty());
}

TEST(XmlDocument, SaveFileWritesTheSameBytes) {
  const auto dir = std::filesystem::temp_directory_path() / "tervane-xml-save";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  XmlDocument doc;
  doc.AppendElement("r").AppendText("\xE9");
  std::string expected, written, error;
  ASSERT_TRUE(doc.SaveToBytes(expected));
  ASSERT_TRUE(doc.SaveFile((dir / "a.xml").string(), &error)) << error;
  ASSERT_TRUE(ReadWholeFile((dir / "a.xml").string(), written));
  EXPECT_EQ(written, expected);
  EXPECT_FALSE(doc.SaveFile((dir / "missing" / "a.xml").string(), &error));
  EXPECT_FALSE(error.empty());
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tervane

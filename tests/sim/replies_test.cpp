// Reply shapes other than the plain fixed one: open texts ended by ETX or NUL, the GPRS
// form, status bits that ride on every reply, unknown and model-specific commands, and
// commands learned from a catalogue.
#include "core/catalogue/catalogue.h"
#include "sim/sim_fixture.h"

namespace tervane::sim::testing {
namespace {

using SimRepliesTest = SimTest;

std::string Text(const Bytes& reply, std::size_t from, std::size_t dropAtEnd) {
  if (reply.size() < from + dropAtEnd) return {};
  return std::string(reply.begin() + static_cast<std::ptrdiff_t>(from),
                     reply.end() - static_cast<std::ptrdiff_t>(dropAtEnd));
}

TEST_F(SimRepliesTest, GprsRepliesFollowTheirKinds) {
  EXPECT_EQ(Send({80, 80}), (Bytes{0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
  state.gprsSignal = 0x1234;
  EXPECT_EQ(handler.Handle(Frame({80, 81})), (Bytes{0x06, 0x01, 0x34, 0x12, 0x00, 0x00}));
  const Bytes message = handler.Handle(Frame({80, 82}));
  ASSERT_GE(message.size(), 6u);
  EXPECT_EQ(Bytes(message.begin(), message.begin() + 3), (Bytes{0x06, 0x03, 0x0A}));
  EXPECT_EQ(Text(message, 3, 3), "CONECTADO - SINAL 4660");
  EXPECT_EQ(Bytes(message.end() - 3, message.end()), (Bytes{0x0A, 0x00, 0x00}));

  state.gprs = GprsState::kOff;
  EXPECT_EQ(handler.Handle(Frame({80, 80})), (Bytes{0x06, 0x00, 0x01, 0x00, 0x00}));

  // Busy module: 06h 04h, two bytes, a text, 00h, and no status at all.
  state.gprs = GprsState::kBusy;
  const Bytes busy = Send({80, 81});
  ASSERT_GE(busy.size(), 5u);
  EXPECT_EQ(busy[0], 0x06);
  EXPECT_EQ(busy[1], 0x04);
  EXPECT_EQ(busy.back(), 0x00);
  EXPECT_EQ(std::count(busy.begin() + 4, busy.end(), 0x00), 1);

  // Older models have no module: the command is unknown and answered plainly.
  state.modelMask = 1;
  EXPECT_EQ(handler.Handle(Frame({80, 80})), (Bytes{0x06, st1::kUnknownCommand, 0x00}));
}

TEST_F(SimRepliesTest, OpenTextsPutStatusFirstAndEndWithTheirTerminator) {
  const Bytes info = Send({35, 55});
  ASSERT_GT(info.size(), 6u);
  EXPECT_EQ(Bytes(info.begin(), info.begin() + 5), (Bytes{0x06, 0, 0, 0, 0}));
  EXPECT_EQ(info.back(), kEtx);
  EXPECT_EQ(std::count(info.begin() + 5, info.end(), kEtx), 1);
  EXPECT_NE(Text(info, 5, 1).find(Cp850("INFORMAÇÕES DA MFD")), std::string::npos);

  // The NUL-ended message never carries the extended code, even when asked in FS mode.
  const Bytes message = Send({35, 56});
  EXPECT_EQ(Bytes(message.begin(), message.begin() + 3), (Bytes{0x06, 0, 0}));
  EXPECT_EQ(Text(message, 3, 1), Cp850("ECF EM OPERAÇÃO"));
  EXPECT_EQ(message.back(), 0x00);

  const Bytes data = Send({80, 70}, "MF2");
  EXPECT_EQ(data.back(), kEtx);
  EXPECT_NE(Text(data, 5, 1).find("512 KB"), std::string::npos);
}

TEST_F(SimRepliesTest, FiscalMemoryReadingGoesOpenOnlyThroughThePort) {
  ProgramOwner();
  state.fiscalMemory.push_back({1, 10, {2024, 3, 1}, 15000, 15000});
  state.fiscalMemory.push_back({2, 20, {2024, 3, 2}, 40000, 25000});
  state.fiscalMemory.push_back({3, 30, {2024, 3, 4}, 40000, 0});

  const Bytes byDate = Send({8}, "010324020324R");
  ASSERT_GT(byDate.size(), 6u);
  EXPECT_EQ(Bytes(byDate.begin(), byDate.begin() + 5), (Bytes{0x06, 0, 0, 0, 0}));
  EXPECT_EQ(byDate.back(), kEtx);
  const std::string text = Text(byDate, 5, 1);
  EXPECT_NE(text.find("0001  000010  01/03/24"), std::string::npos);
  EXPECT_NE(text.find("0002  000020  02/03/24"), std::string::npos);
  EXPECT_EQ(text.find("0003  000030"), std::string::npos);
  EXPECT_NE(text.find(Cp850("VENDA BRUTA NO PERÍODO: 400,00")), std::string::npos);

  const std::string simplified = Text(Send({8}, "000002000003r"), 5, 1);
  EXPECT_EQ(simplified.find("000020"), std::string::npos);  // totals only
  EXPECT_NE(simplified.find(Cp850("REDUÇÕES NO PERÍODO: 2")), std::string::npos);

  // Refused through the port: still status first and ETX, so the reader is not left waiting.
  const Bytes refused = Send({8}, "000005000002R");
  EXPECT_EQ(refused, (Bytes{0x06, 0x00, st2::kNotExecuted, 214, 0x00, kEtx}));
  const Bytes badDate = Send({8}, "320324020324R");
  EXPECT_EQ(badDate, (Bytes{0x06, 0x00, st2::kNotExecuted, 52, 0x00, kEtx}));
  // The reader goes by frame byte 17 alone, so even a wrong parameter count answers open.
  EXPECT_EQ(Send({8}, "010324020324R0"), (Bytes{0x06, st1::kParameterCount, 0x00, 3, 0x00, kEtx}));

  // Printed: a plain fixed reply and a new document.
  const int before = state.coo;
  EXPECT_EQ(Send({8}, "010324020324I"), (Bytes{0x06, 0, 0, 0, 0}));
  EXPECT_EQ(state.coo, before + 1);
}

TEST_F(SimRepliesTest, PaperAndUnknownCommandStatus) {
  state.paper = PaperState::kLow;
  EXPECT_EQ(StatusOf(Send({35, 20}), 1).st1, st1::kPaperLow);
  EXPECT_EQ(Data({35, 5}, 2), std::string("\x01\x00", 2));
  state.paper = PaperState::kOut;
  ProgramOwner();
  const Status s = StatusOf(Send({0}), 0);
  EXPECT_EQ(s.st1, st1::kPaperOut);
  EXPECT_EQ(s.st2, st2::kNotExecuted);
  EXPECT_EQ(s.ext, 11);
  EXPECT_EQ(Data({35, 6}, 1)[0] & 0x04, 0x04);
  state.paper = PaperState::kOk;

  const Status unknown = StatusOf(Send({99}), 0);
  EXPECT_EQ(unknown.st1, st1::kUnknownCommand);
  EXPECT_EQ(unknown.ext, 1);
  EXPECT_EQ(handler.Handle(Frame({35, 99})), (Bytes{0x06, st1::kUnknownCommand, 0x00}));

  // Model, serial and the newer-only reads follow the configured model.
  EXPECT_EQ(Data({35, 60}, 42), "KELO           ZT-300 A            ECF-IF ");
  EXPECT_EQ(Data({35, 40}, 20), "TV0100000000123     ");
  state.modelMask = 16;
  EXPECT_EQ(StatusOf(Send({35, 40}), 0).ext, 1);
  EXPECT_EQ(Data({35, 0}, 15), "TV0100000000123");
}

TEST_F(SimRepliesTest, LearnedCommandsAnswerWithTheirDeclaredShape) {
  CommandCatalogue catalogue;
  CommandRecord fixed;
  fixed.title = "Consulta nova";
  fixed.hasEscape = true;
  fixed.escapeBytes[0] = 35;
  fixed.escapeBytes[1] = 99;
  fixed.escapeCount = 2;
  fixed.declaredReturnSize = 10;
  fixed.returnFields = {{4, "Texto", "ASCII", {}, {}}, {2, "Modo", "BCD_FLAG_INT_TEC", {}, {}}};
  fixed.parameters = {{3, true, "Numero", "INTEGER", {}, {}}, {10, false, "Obs", "STRING_VAR_SIZE", {}, {}}};
  catalogue.commands.push_back(fixed);
  CommandRecord open = fixed;
  open.escapeBytes[1] = 98;
  open.declaredReturnSize = -1;
  open.parameters.clear();
  catalogue.commands.push_back(open);
  CommandRecord builtIn = fixed;  // the printer's own command keeps its own reply
  builtIn.escapeBytes[1] = 20;
  catalogue.commands.push_back(builtIn);
  EXPECT_EQ(handler.Learn(catalogue), 2);

  const Bytes reply = Send({35, 99}, "123");
  EXPECT_EQ(reply, (Bytes{0x06, ' ', ' ', ' ', ' ', 0x55, 0x00, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(StatusOf(Send({35, 99}, "123obs\n"), 10).ext, 0);
  EXPECT_EQ(StatusOf(Send({35, 99}, "12"), 10).ext, 3);  // below the mandatory 3 bytes
  const Bytes text = Send({35, 98});
  EXPECT_EQ(text.back(), kEtx);
  EXPECT_NE(Text(text, 5, 1).find("Consulta nova"), std::string::npos);
  EXPECT_EQ(Data({35, 20}, 1), "\x55");
}

}  // namespace
}  // namespace tervane::sim::testing

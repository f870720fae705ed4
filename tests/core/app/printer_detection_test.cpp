// Printer detection: the probe order, the answer rules and the model query.
#include "core/app/printer_detection.h"

#include "core/common/text.h"
#include "core/protocol/exchange_fixture.h"

namespace tervane::testing {
namespace {

using ::testing::ElementsAre;

class DetectionTest : public ExchangeTest {
 protected:
  DetectionResult Detect() {
    DetectionContext context{&settings, &ports, &clock, &progress, &status, &wait, {}};
    return DetectPrinter(context);
  }
  static FakePortScript Closed() {
    FakePortScript s;
    s.openOk = false;
    return s;
  }
  // The reply to the model query: ACK, "Marca" 15, "Modelo" 20, "Tipo" 7, ST1, ST2.
  static FakePortScript ModelReply(const std::string& model) {
    std::string body = std::string("Kelo").append(11, ' ') + model;
    body.append(35 - body.size(), ' ');
    body += "ECF-IF ";
    FakePortScript s;
    s.reply = {Bytes({0x06}), Text(body), Bytes({0x00, 0x00})};
    return s;
  }

  FakeWaitNotice status;
};

TEST_F(DetectionTest, FirstAnsweringPortWinsAndTheModelIsApplied) {
  ports.defaultScript = Closed();
  ports.Script("COM2:", FakePortScript{});                                  // opens, silent
  ports.Script("COM3:", Reply({Bytes({0x06, 0x55, 0x00, 0x00})}));
  ports.Script("COM3:", ModelReply("ZT-300 A"));
  settings.g_portName = "FILE";

  const DetectionResult r = Detect();
  EXPECT_TRUE(r.printerFound);
  EXPECT_EQ(settings.g_portName, "COM3:");
  EXPECT_THAT(ports.CreatedNames(), ElementsAre("USB", "COM1:", "COM2:", "COM3:", "COM3:"));
  const FakePortRecord& silent = *ports.records[2];
  EXPECT_THAT(silent.calls, ElementsAre("Open(9600)", "Purge", "Send", "Receive", "Close", "Destroy"));
  EXPECT_EQ(silent.receives, 3);
  EXPECT_EQ(silent.sendParam, 2000);
  EXPECT_EQ(silent.sent, (std::vector<std::uint8_t>{0x02, 0x05, 0x00, 0x1B, 0x23, 0x14, 0x52, 0x00}));
  EXPECT_EQ(ports.records[0]->closes, 0);  // did not open: destroyed only

  EXPECT_EQ(r.statusText, Cp("Impressora Fiscal conectada à porta COM3:\nModo Normal"));
  EXPECT_THAT(status.shown, ElementsAre("Conectando...", r.statusText));
  EXPECT_EQ(status.hides, 1);
  EXPECT_THAT(wait.shown, ElementsAre("Detectando modelo do equipamento..."));

  EXPECT_EQ(r.modelQueryResult, kOk);
  EXPECT_EQ(ports.Last().sent, (std::vector<std::uint8_t>{0x02, 0x05, 0x00, 0x1B, 0x23, 0x3C, 0x7A, 0x00}));
  EXPECT_EQ(ports.Last().receives, 45);
  EXPECT_EQ(r.modelMask, 1024u);
  EXPECT_TRUE(settings.g_extendedReply);
  EXPECT_EQ(PadRight(settings.g_modelName, 20, ' '), PadRight("ZT-300 A", 20, ' '));
}

TEST_F(DetectionTest, UsbAnswersWithAnyFourBytes) {
  // The second byte not 55h means technical intervention.
  ports.Script("USB", Reply({Bytes({0x00, 0x01, 0x02, 0x03})}));
  ports.Script("USB", ModelReply("ZK-110 A"));
  const DetectionResult usb = Detect();
  EXPECT_EQ(usb.portName, "USB");
  EXPECT_FALSE(usb.normalMode);
  EXPECT_EQ(usb.statusText, Cp("Impressora Fiscal conectada à porta USB\nModo Intervenção Técnica."));
  EXPECT_EQ(usb.modelQueryResult, kOk);
  EXPECT_EQ(usb.modelMask, kAllModelsMask);  // a model detection does not recognise
  EXPECT_FALSE(usb.extendedReply);
}

TEST_F(DetectionTest, SerialAnswerNeedsAckAndFourBytes) {
  ports.defaultScript = Closed();
  ports.Script("COM1:", Reply({Bytes({0x15, 0x55, 0x00, 0x00})}));
  ports.Script("COM2:", Reply({Bytes({0x06, 0x55}), Timeouts(3), Bytes({0x00, 0x00})}));
  FakePortScript gone = Reply({Bytes({0x06})});
  gone.breakAfterBytes = 1;
  gone.lossOnBreak = LinkLossKind::kHangup;
  ports.Script("COM3:", gone);
  const DetectionResult none = Detect();
  EXPECT_EQ(ports.records[1]->receives, 4);
  EXPECT_EQ(ports.records[2]->receives, 5);  // three time-outs in a row end the probe
  EXPECT_EQ(ports.records[3]->receives, 2);  // a line that hung up ends it at once
  EXPECT_FALSE(none.printerFound);
  EXPECT_EQ(ports.records.size(), 9u);
  EXPECT_EQ(none.portName, "COM1:");
  EXPECT_EQ(none.statusText, Cp("Atenção!\nNão foi possível efetuar a conexão com a Impressora Fiscal."));
  EXPECT_FALSE(none.modelQueried);
  EXPECT_EQ(settings.g_modelName, "");
  EXPECT_EQ(settings.g_modelMask, kAllModelsMask);
}

TEST_F(DetectionTest, FailedModelQueryKeepsThePort) {
  const auto slept = clock.SleptMs();
  ports.Script("USB", Reply({Bytes({0x06, 0x55, 0x00, 0x00})}));
  ports.Script("USB", Reply({Bytes({0x15})}));
  settings.g_modelName = "ZT-300 A";
  settings.g_modelMask = 1024;
  const DetectionResult r = Detect();
  EXPECT_EQ(r.portName, "USB");
  EXPECT_EQ(r.modelQueryResult, kExchangeFailed);
  EXPECT_EQ(settings.g_modelName, "");
  EXPECT_EQ(settings.g_modelMask, kAllModelsMask);
  EXPECT_FALSE(settings.g_extendedReply);
  EXPECT_EQ(clock.SleptMs() - slept, 1000);
}

}  // namespace
}  // namespace tervane::testing

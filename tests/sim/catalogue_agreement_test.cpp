// The shipped catalogue and the simulator must agree: every catalogued command exists in
// the printer's own table with the same reply size and shape, and the parameter bytes the
// workbench frames from the catalogue's defaults fit what the printer accepts.
#include <filesystem>

#include "core/catalogue/catalogue.h"
#include "sim/sim_fixture.h"

namespace tervane::sim::testing {
namespace {

// The frame bytes a parameter takes when every mandatory one is filled to its size and
// the optional ones are left out.
std::size_t FilledSize(const ParameterRecord& p) {
  if (!p.mandatory) return 0;
  const std::string& k = p.kind;
  if (k == "BINARIO" || k == "CUPOM_OU_BILHETE_CONV_156") return 1;
  if (k == "TROCA_SIT_TRIB") return 65;
  return static_cast<std::size_t>(p.size);
}

TEST(SimCatalogueAgreementTest, ShippedCatalogueMatchesTheBuiltInTable) {
  const std::filesystem::path file = std::filesystem::path(TERVANE_REPO_DIR) / "data" / "comandos.xml";
  if (!std::filesystem::exists(file)) GTEST_SKIP() << "no data/comandos.xml in this tree";
  CommandCatalogue catalogue;
  ASSERT_EQ(LoadCatalogueFile(file.string(), catalogue), 0);
  ASSERT_GT(catalogue.count(), 0);

  PrinterState state;
  state.modelMask = 0x1FFFF;  // every command of every model
  tervane::testing::FakeClock clock;
  CommandHandler handler(state, clock);
  for (const CommandRecord& c : catalogue.commands) {
    SCOPED_TRACE(c.title + " [" + c.escapeText + "]");
    Bytes body{kEsc};
    for (int i = 0; i < c.escapeCount; ++i) body.push_back(c.escapeBytes[static_cast<std::size_t>(i)]);
    const CommandEntry* entry = handler.Find(body);
    ASSERT_NE(entry, nullptr);
    ASSERT_EQ(entry->escape.size(), static_cast<std::size_t>(c.escapeCount));
    EXPECT_EQ(entry->learned, -1);
    if (c.group == "GPRS") {
      EXPECT_EQ(entry->form, ReplyForm::kGprs);
    } else if (c.declaredReturnSize == -1) {
      EXPECT_EQ(entry->form, ReplyForm::kOpenEtx);
    } else if (c.declaredReturnSize == -2) {
      EXPECT_EQ(entry->form, ReplyForm::kOpenNul);
    } else if (c.escapeBytes[0] != 8) {  // the fiscal-memory reading turns open by its last byte
      EXPECT_EQ(entry->form, ReplyForm::kFixed);
      EXPECT_EQ(entry->replySize, c.declaredReturnSize);
    }
    std::size_t filled = 0;
    for (const ParameterRecord& p : c.parameters) filled += FilledSize(p);
    EXPECT_GE(filled, entry->minParams);
    EXPECT_LE(filled, entry->maxParams);
    EXPECT_EQ(entry->models & c.modelMask, c.modelMask) << "catalogue offers it on models the printer lacks";
  }
}

}  // namespace
}  // namespace tervane::sim::testing

#include "sim/history.h"

#include <ctime>
#include <random>

#include "sim/command_handler.h"
#include "sim/detail_tape.h"
#include "sim/field_codec.h"

namespace tervane::sim {
namespace {

// A clock that stands at whatever moment the seeder sets.
class HistoryClock final : public Clock {
 public:
  std::int64_t MonotonicMs() override { return 0; }
  void SleepMs(int) override {}
  CivilTime LocalNow() override { return now; }
  CivilTime UtcNow() override { return now; }
  CivilTime now;
};

// A command body without its ESC: command bytes, then the parameter text.
Bytes Cmd(std::initializer_list<std::uint8_t> command, const std::string& params = {}) {
  Bytes body(command);
  body.insert(body.end(), params.begin(), params.end());
  return body;
}

std::string Digits(std::int64_t value, int width) {
  std::string s = std::to_string(value);
  return s.size() >= static_cast<std::size_t>(width) ? s : std::string(static_cast<std::size_t>(width) - s.size(), '0') + s;
}

CivilTime DayStart(int daysAgo) {
  std::time_t t = std::time(nullptr) - static_cast<std::time_t>(daysAgo) * 86400;
  std::tm tm{};
  localtime_r(&t, &tm);
  return CivilTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, 8, 0, 0, 0};
}

struct Product {
  const char* code;
  const char* description;
  const char* rate;
  int cents;
};

const Product kProducts[] = {
    {"7891000100103", "ARROZ TIPO 1 5KG", "01", 2490},  {"7891000053508", "FEIJAO CARIOCA 1KG", "01", 899},
    {"7896004000015", "OLEO DE SOJA 900ML", "02", 749},  {"7891910000197", "ACUCAR CRISTAL 1KG", "02", 459},
    {"7894900011517", "REFRIGERANTE 2L", "FF", 899},     {"7891149103102", "CAFE TORRADO 500G", "01", 1590},
    {"7896036090244", "LEITE INTEGRAL 1L", "II", 529},   {"0000000000019", "SERVICO ENTREGA", "04", 1000},
};

}  // namespace

int SeedHistory(PrinterState& state, int days, std::uint32_t seed) {
  if (days <= 0) return 0;
  if (TrimRight(state.cnpj).empty()) {
    state.cnpj = "12.345.678/0001-90";
    state.ie = "123.456.789.012";
    state.im = "987654";
    state.uf = "SP";
  }
  if (state.rateCount == 0) {
    const char* rates[] = {"1800", "1200", "0700", "0500"};
    for (int i = 0; i < 4; ++i) state.rates[static_cast<std::size_t>(i)] = rates[i];
    state.issBound[3] = true;
    state.rateCount = 4;
  }
  if (state.payments[1].description.empty()) {
    state.payments[1].description = PrinterText("Cartão Crédito");
    state.payments[1].tef = true;
  }

  HistoryClock clock;
  CommandHandler handler(state, clock);
  std::mt19937 rng(seed);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<std::uint32_t>(n)); };
  const std::int64_t offset = state.clockOffset;
  state.clockOffset = 0;
  const bool intervention = state.intervention;
  state.intervention = false;
  const int cooBefore = state.coo;

  auto run = [&](Bytes body) {
    body.insert(body.begin(), kEsc);
    handler.HandleBody(body);
  };
  auto advance = [&](int minutes) {
    CivilTime& t = clock.now;
    t.minute += minutes;
    t.hour += t.minute / 60;
    t.minute %= 60;
    t.second = pick(60);
    if (t.hour > 22) t.hour = 22;
  };

  for (int ago = days; ago >= 1; --ago) {
    clock.now = DayStart(ago);
    advance(pick(40));
    // A day left open runs into the next one: reduce it first, as a printer demands.
    if (state.hasMovement) run(Cmd({5}));
    state.reducedToday = false;
    if (pick(6) == 0) RecordPowerFailure(state, clock.now);
    const int coupons = 4 + pick(8);
    for (int c = 0; c < coupons; ++c) {
      advance(10 + pick(50));
      run(Cmd({0}));
      const int items = 1 + pick(5);
      std::int64_t total = 0;
      for (int i = 0; i < items; ++i) {
        const Product& p = kProducts[pick(8)];
        const int quantity = 1 + pick(3);
        total += static_cast<std::int64_t>(quantity) * p.cents;
        run(Cmd({9}, Fit(p.code, 13) + Fit(p.description, 29) + p.rate + Digits(quantity, 4) +
                            Digits(p.cents, 8) + "0000"));
      }
      run(Cmd({32}, "D0000"));
      const bool card = pick(3) == 0;
      run(Cmd({72}, (card ? "02" : "01") + Digits(card ? total : total + pick(2) * 500, 14)));
      run(Cmd({34}, PrinterText("Obrigado, volte sempre!")));
      if (card) {
        run(Cmd({66}, Fit(PrinterText("Cartão Crédito"), 16) + Digits(total, 14) + "000000"));
        run(Cmd({20}, "TRANSACAO APROVADA\r\nAUT: " + Digits(pick(999999), 6) + "\r\n"));
        run(Cmd({21}));
      } else if (pick(10) == 0) {
        run(Cmd({14}));
      }
    }
    if (pick(3) == 0) {
      advance(30);
      run(Cmd({25}, Digits(5000 + pick(20) * 1000, 14)));
    }
    if (pick(4) == 0) {
      advance(20);
      run(Cmd({20}, PrinterText("Conferência de caixa\r\nOperador: 01\r\n")));
      run(Cmd({21}));
    }
    advance(60);
    run(Cmd({6}));
    clock.now.hour = 22;
    clock.now.minute = 30 + pick(20);
    run(Cmd({5}));
  }
  state.clockOffset = offset;
  state.intervention = intervention;
  state.reducedToday = false;
  state.last.cancellable = false;
  return state.coo - cooBefore;
}

}  // namespace tervane::sim

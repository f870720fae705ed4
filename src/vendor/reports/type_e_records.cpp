#include "vendor/reports/type_e_records.h"

#include <cstdint>
#include <cstdlib>
#include <variant>
#include <vector>

#include "core/common/atomic_file.h"
#include "core/common/charset.h"
#include "core/common/text.h"
#include "vendor/formats/mf_file.h"
#include "vendor/formats/mfd_file.h"
#include "vendor/reports/document_database.h"
#include "vendor/reports/document_text.h"
#include "vendor/reports/mfd_selection.h"

namespace tervane {
namespace {

using vendor::MemoryTime;

std::string Text(const std::string& text, size_t width) {
  return PadRight(text.substr(0, width), width, ' ');
}

std::string Number(std::int64_t value, size_t width) {
  if (value >= 0) return PadLeft(std::to_string(value), width, '0');
  // The magnitude as unsigned, so that the most negative value is written too.
  const std::uint64_t magnitude = 0 - static_cast<std::uint64_t>(value);
  return "-" + PadLeft(std::to_string(magnitude), width - 1, '0');
}

std::string Date(const MemoryTime& t) { return Format("%04d%02d%02d", t.year, t.month, t.day); }
std::string Time(const MemoryTime& t) { return Format("%02d%02d%02d", t.hour, t.minute, t.second); }

struct Period {
  bool byDates = false;
  int first = 0;
  int last = 0;
  bool Contains(int crz, const MemoryTime& when) const {
    const int key = byDates ? when.DateKey() : crz;
    return key >= first && key <= last;
  }
};

bool ParsePeriod(const TypeERequest& r, Period& period) {
  if (r.periodKind == "0") {
    for (const std::string* t : {&r.start, &r.end}) {
      if (t->empty() || t->size() > 6) return false;
      for (char c : *t)
        if (c < '0' || c > '9') return false;
    }
    period = {false, std::atoi(r.start.c_str()), std::atoi(r.end.c_str())};
    return true;
  }
  if (r.periodKind == "1") {
    MemoryTime first, last;
    if (!vendor::ParseDdMmYy(r.start, first) || !vendor::ParseDdMmYy(r.end, last)) return false;
    period = {true, first.DateKey(), last.DateKey()};
    return true;
  }
  return false;
}

std::string E01(const TypeERequest& r, const std::string& serial, const std::string& brand,
                const std::string& model) {
  return "E01" + Text(serial, 20) + Text(brand, 20) + Text(model, 20) + Text(r.modelName, 20) +
         Text(r.recordType, 1) + Text(r.periodKind, 1) + Text(r.start, 8) + Text(r.end, 8);
}

// What a Z reduction's printed lines state, as the printer records them.
struct PrintedReduction {
  int crz = 0, cro = 0;
  MemoryTime movement;
  std::int64_t gross = 0, cancelled = 0, discounts = 0, grandTotal = 0;
};

std::string AfterLabel(const std::string& line, const std::string& label) {
  return line.compare(0, label.size(), label) == 0 ? line.substr(label.size()) : std::string();
}

int LeadingNumber(const std::string& text) {
  size_t i = text.find_first_not_of(' ');
  int value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && value < 1000000; ++i)
    value = value * 10 + (text[i] - '0');
  return value;
}

std::int64_t AmountOf(const std::string& line) {
  const size_t blank = line.find_last_of(' ');
  std::int64_t cents = 0;
  if (blank != std::string::npos) ParseMoneyText(line.substr(blank + 1), cents);
  return cents;
}

PrintedReduction ReadPrintedReduction(const vendor::MfdDocument& z, int fallbackCrz) {
  PrintedReduction p;
  p.crz = fallbackCrz;
  p.movement = MemoryTime{z.when.year, z.when.month, z.when.day, 0, 0, 0};
  for (const std::string& line : z.lines) {
    if (std::string rest = AfterLabel(line, "CRZ:"); !rest.empty()) {
      p.crz = LeadingNumber(rest);
      if (const size_t cro = rest.find("CRO:"); cro != std::string::npos)
        p.cro = LeadingNumber(rest.substr(cro + 4));
    } else if (std::string day = AfterLabel(line, "MOVIMENTO DO DIA: "); day.size() >= 10) {
      MemoryTime t;
      if (vendor::ParseDdMmYy(day.substr(0, 2) + day.substr(3, 2) + day.substr(8, 2), t))
        p.movement = t;
    } else if (line.rfind(Utf8ToCp1252Lossy("VENDA BRUTA DIÁRIA:"), 0) == 0) {
      p.gross = AmountOf(line);
    } else if (line.rfind("CANCELAMENTOS:", 0) == 0) {
      p.cancelled = AmountOf(line);
    } else if (line.rfind("DESCONTOS:", 0) == 0) {
      p.discounts = AmountOf(line);
    } else if (line.rfind("GRANDE TOTAL:", 0) == 0) {
      p.grandTotal = AmountOf(line);
    }
  }
  return p;
}

int MfRecords(const TypeERequest& r, const Period& period, std::vector<std::string>& out) {
  vendor::MfContents mf;
  const vendor::FileReadResult read = vendor::ReadMfFile(r.inFile, mf);
  if (!read.ok()) return read.status == vendor::FileStatus::kNoSerial ? 2 : 6;
  const vendor::MfHeader& h = mf.header;
  out.push_back(E01(r, h.serial, h.brand, h.model));
  out.push_back("E02" + Text(h.serial, 20) + Number(h.user, 3) + Text(h.cnpj, 14) + Text(h.ie, 14));
  // The file names the current user and each change; the reductions before the first
  // change belong to the user that change replaced, the one numbered just before it.
  int user = h.user;
  for (const auto& e : mf.entries)
    if (const auto* u = std::get_if<vendor::MfUserChange>(&e)) {
      user = u->user > 1 ? u->user - 1 : 1;
      break;
    }
  size_t reductions = 0;
  for (const auto& entry : mf.entries) {
    if (const auto* u = std::get_if<vendor::MfUserChange>(&entry)) {
      user = u->user;
      continue;
    }
    const vendor::MfReduction& z = std::get<vendor::MfReduction>(entry);
    if (!period.Contains(z.crz, z.movement)) continue;
    ++reductions;
    const std::string serial = Text(h.serial, 20);
    out.push_back("E12" + serial + Number(user, 3) + Number(z.crz, 6) + Number(z.coo, 9) +
                  Number(z.cro, 6) + Date(z.movement) + Date(z.when) + Time(z.when) +
                  Number(z.grandTotal, 18) + Number(z.gross, 14) + Number(z.cancelled, 14) +
                  Number(z.discounts, 14) + Number(z.surcharges, 14));
    const auto totaliser = [&](const std::string& code, std::int64_t value) {
      out.push_back("E13" + serial + Number(z.crz, 6) + Text(code, 7) + Number(value, 13));
    };
    for (size_t i = 0; i < z.rates.size(); ++i)
      totaliser(Format("%02zu", i + 1) + (z.rates[i].iss ? "S" : "T") + z.rates[i].rate,
                z.rates[i].total);
    totaliser("I1", z.exempt);
    totaliser("N1", z.notLevied);
    totaliser("F1", z.substitution);
    totaliser("Can-T", z.cancelled);
    totaliser("DT", z.discounts);
    totaliser("AT", z.surcharges);
  }
  return reductions == 0 ? 6 : 0;
}

int MfdRecords(const TypeERequest& r, const Period& period, std::vector<std::string>& out) {
  vendor::MfdContents mfd;
  if (const int code = LoadMfdForReport(r.inFile, mfd); code != 0) return code;
  const std::string serial = Text(mfd.header.serial, 20);
  out.push_back(E01(r, mfd.header.serial, mfd.header.brand, mfd.header.model));

  // The CRZ each document's day was closed by: that of the next Z reduction.
  std::vector<int> crzOf(mfd.entries.size(), 0);
  std::vector<PrintedReduction> printed(mfd.entries.size());
  int crz = 0;
  for (size_t i = 0; i < mfd.entries.size(); ++i) {
    const auto* d = std::get_if<vendor::MfdDocument>(&mfd.entries[i]);
    if (d && d->kind == vendor::DocumentKind::kReductionZ) {
      printed[i] = ReadPrintedReduction(*d, crz + 1);
      crz = printed[i].crz;
    }
  }
  int next = crz + 1;  // the day still open after the last reduction
  for (size_t i = mfd.entries.size(); i-- > 0;) {
    const auto* d = std::get_if<vendor::MfdDocument>(&mfd.entries[i]);
    if (d && d->kind == vendor::DocumentKind::kReductionZ) next = printed[i].crz;
    crzOf[i] = next;
  }

  size_t written = 0;
  for (size_t i = 0; i < mfd.entries.size(); ++i) {
    if (const auto* m = std::get_if<vendor::MfdMarker>(&mfd.entries[i])) {
      if (r.recordType != "2" || !period.Contains(crzOf[i], m->when)) continue;
      out.push_back("E17" + serial + (m->kind == vendor::MarkerKind::kPowerFailure ? "1" : "2") +
                    Date(m->when) + Time(m->when) + Number(m->user, 3) + Number(m->lastCoo, 9));
      continue;
    }
    const vendor::MfdDocument& d = std::get<vendor::MfdDocument>(mfd.entries[i]);
    if (!period.Contains(crzOf[i], d.when)) continue;
    if (r.recordType == "3") {
      if (d.kind != vendor::DocumentKind::kReductionZ) continue;
      const PrintedReduction& z = printed[i];
      out.push_back("E12" + serial + Number(d.user, 3) + Number(z.crz, 6) + Number(d.coo, 9) +
                    Number(z.cro, 6) + Date(z.movement) + Date(d.when) + Time(d.when) +
                    Number(z.grandTotal, 18) + Number(z.gross, 14) + Number(z.cancelled, 14) +
                    Number(z.discounts, 14) + Number(0, 14));
      ++written;
      continue;
    }
    ++written;
    const std::string head = serial + Number(d.user, 3) + Number(d.coo, 9);
    if (d.kind != vendor::DocumentKind::kSale) {
      out.push_back("E16" + head + Number(static_cast<int>(d.kind), 2) +
                    Text(DocumentTitle(d), 40) + Date(d.when) + Time(d.when));
      continue;
    }
    const std::vector<SaleItem> items = ParseSaleItems(d.lines);
    std::int64_t total = 0;
    for (const SaleItem& item : items)
      if (!item.cancelled)  // wrapping rather than overflowing on a hostile file
        total = static_cast<std::int64_t>(static_cast<std::uint64_t>(total) +
                                          static_cast<std::uint64_t>(item.value) -
                                          static_cast<std::uint64_t>(item.discount));
    out.push_back("E14" + head + Date(d.when) + Time(d.when) + Number(total, 14));
    for (const SaleItem& item : items)
      out.push_back("E15" + head + Number(item.number, 3) + Text(item.code, 14) +
                    Text(item.description, 40) + Text(item.rate, 7) + Number(item.value, 13) +
                    Number(item.discount, 13) + (item.cancelled ? "S" : "N"));
  }
  return written == 0 ? 6 : 0;
}

}  // namespace

int WriteTypeERecords(const TypeERequest& request) {
  Period period;
  const std::string& type = request.recordType;
  if ((type != "0" && type != "1" && type != "2" && type != "3") || !ParsePeriod(request, period))
    return 7;
  std::vector<std::string> lines;
  const int code = type == "0" ? MfRecords(request, period, lines)
                               : MfdRecords(request, period, lines);
  if (code != 0) return code;
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return SaveFileAtomically(request.outFile, text, nullptr) ? 0 : 4;
}

}  // namespace tervane

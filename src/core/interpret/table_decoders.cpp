// Kinds with a fixed multi-entry layout: payment methods, departments, totalizers, report
// counters, tax rates, partial totalizers and fiscal-memory cell counts.
#include <array>
#include <string_view>
#include <vector>

#include "core/common/charset.h"
#include "core/common/text.h"
#include "core/interpret/field_decoders.h"

namespace tervane::interpret {
namespace {

// Windows-1252 forms of the fixed texts of this file, converted once.
struct TableTexts {
  std::string paymentHeader = Utf8ToCp1252Lossy(
      "\r\nDescrição:\t\tValor\t\t\tValor no último cupom\tPermite emissão de TEF\r\n");
  std::string departmentHeader = Utf8ToCp1252Lossy("\r\nDescrição:\t\tQuantidade\t\t\tValor\r\n");
  std::string taxRateHeader = Utf8ToCp1252Lossy("\r\nNúmero de alíquotas:\t");
  std::string taxRateColumns = Utf8ToCp1252Lossy("\r\nAlíquota\tValor\r\n");
  std::string taxedHeader = "\r\nTotalizadores parciais tributados:\r\nTotalizador\tValor\r\n";
  std::string exemptLines = Utf8ToCp1252Lossy(
      "\r\nIsenção:\t\t%s\r\nNão Incidência:\t%s\r\nSubstituição:\t%s\r\n");
  std::string untaxedHeader = Utf8ToCp1252Lossy(
      "\r\nTotalizadores parciais não sujeitos ao ICMS:\r\nTotalizador\tValor\r\n");
  std::string cashLines = "\r\nSangria:\t\t%s\r\nSuprimentos:\t%s\r\nGrande Total:\t%s\r\n";
  std::string cells = Utf8ToCp1252Lossy(
      "\r\nNúmero de células gravadas:\t%s \r\n Número de células ok:\t%s \r\n"
      " Número de células nok:\t%s \r\n");
  std::string cellsByGroup = Utf8ToCp1252Lossy(
      "\r\nCélulas iniciais:\r\n Células gravadas:\t %s\r\n Células OK:\t %s\r\n"
      " Células não OK:\t %s\r\n"
      "\r\nCélulas de número de serie da MFD:\r\n Células gravadas:\t %s\r\n"
      " Células OK:\t %s\r\n Células não OK:\t %s\r\n"
      "\r\nCélulas de Reducao:\r\n Células gravadas:\t %s\r\n Células OK:\t %s\r\n"
      " Células não OK:\t %s\r\n"
      "\r\nCélulas de leitura da MFD:\r\n Células gravadas:\t %s\r\n Células OK:\t %s\r\n"
      " Células não OK:\t %s\r\n"
      "\r\nCélulas de versão do software básico:\r\n Células gravadas:\t %s\r\n"
      " Células OK:\t%s\r\n Células não OK:\t%s\r\n");
  std::string cellsWarning = Utf8ToCp1252Lossy("\r\nATENÇÃO: DETECTADAS CÉLULAS NÃO OK\r\n");
};

const TableTexts& Texts() {
  static const TableTexts texts;
  return texts;
}

// Appends `pattern` with each "%s" replaced, in order, by the next of `values`.
void AppendFilled(std::string& out, std::string_view pattern, const std::string* values, size_t count) {
  size_t next = 0;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's' && next < count) {
      out += values[next++];
      ++i;
    } else {
      out += pattern[i];
    }
  }
}

std::string Money(const std::uint8_t* bytes, size_t count) {
  std::string s;
  s.reserve(2 * count + 1);
  AppendMoney(s, bytes, count);
  return s;
}

// "\r\n<number>\t\t<amount>\r\n", the line of a numbered amount.
void AppendNumbered(std::string& out, int number, const std::string& amount) {
  out += "\r\n";
  out += std::to_string(number);
  out += "\t\t";
  out += amount;
  out += "\r\n";
}

}  // namespace

void DecodePaymentMethods(const FieldBytes& bytes, int, ReturnFieldRecord&, std::string& result) {
  const std::uint8_t* p = bytes.data;
  result.reserve(result.size() + 20 * 64 + 96);
  result += Texts().paymentHeader;
  for (size_t k = 0; k < 20; ++k) {
    AppendPrinterText(result, p + 16 * k, 16);
    result += '\t';
    AppendMoney(result, p + 320 + 7 * k, 7);
    result += "\t\t";
    AppendMoney(result, p + 460 + 7 * k, 7);
    result += "\t\t";
    result += YesNo(p[600 + k] == 0x55);
    result += "\r\n";
  }
}

// Each department's 20-byte block holds its value in the first ten bytes and its
// description in the other ten; the quantities follow the twenty blocks.
void DecodeDepartments(const FieldBytes& bytes, int, ReturnFieldRecord&, std::string& result) {
  const std::uint8_t* p = bytes.data;
  result.reserve(result.size() + 20 * 64 + 64);
  result += Texts().departmentHeader;
  for (size_t k = 0; k < 20; ++k) {
    AppendPrinterText(result, p + 20 * k + 10, 10);
    result += "\t\t";
    AppendMoney(result, p + 400 + 10 * k, 10);
    result += "\t\t";
    AppendMoney(result, p + 20 * k, 10);
    result += "\r\n";
  }
}

void DecodeUntaxedTotals(const FieldBytes& bytes, int, ReturnFieldRecord&, std::string& result) {
  const std::uint8_t* p = bytes.data;
  std::string name;
  for (size_t k = 0; k < 30; ++k) {
    name.clear();
    AppendPrinterText(name, p + 19 * k, 19);
    AppendNamedLine(result, name, Money(p + 570 + 7 * k, 7));
  }
}

void DecodeReportCounters(const FieldBytes& bytes, int, ReturnFieldRecord&, std::string& result) {
  const std::uint8_t* p = bytes.data;
  std::string name;
  std::string counter;
  for (size_t k = 0; k < 30; ++k) {
    name.clear();
    counter.clear();
    AppendBcd(counter, p + 2 * k, 2);
    AppendPrinterText(name, p + 60 + 17 * k, 17);
    AppendNamedLine(result, name, counter);
  }
}

// Byte 0 counts the programmed rates; two-byte rates follow. Every whole slot of the
// field is listed, whatever the count says.
void DecodeTaxRates(const FieldBytes& bytes, int, ReturnFieldRecord&, std::string& result) {
  const std::uint8_t* p = bytes.data;
  result += Texts().taxRateHeader;
  result += std::to_string(p[0]);
  result += Texts().taxRateColumns;
  std::string rate;
  for (size_t j = 1; j + 1 < bytes.size; j += 2) {
    rate.clear();
    AppendBcd(rate, p + j, 1);
    rate += ',';
    AppendBcd(rate, p + j + 1, 1);
    AppendNumbered(result, static_cast<int>((j + 1) / 2), rate);
  }
}

void DecodePartialTotals(const FieldBytes& bytes, int, ReturnFieldRecord&, std::string& result) {
  const TableTexts& t = Texts();
  const std::uint8_t* p = bytes.data;
  size_t at = 0;
  auto next = [&](size_t count) {
    std::string amount = Money(p + at, count);
    at += count;
    return amount;
  };
  std::string block;
  block.reserve(1024);
  block += t.taxedHeader;
  for (int i = 1; i <= 16; ++i) AppendNumbered(block, i, next(7));
  const std::array<std::string, 3> exempt = {next(7), next(7), next(7)};
  AppendFilled(block, t.exemptLines, exempt.data(), exempt.size());
  block += t.untaxedHeader;
  for (int i = 1; i <= 9; ++i) AppendNumbered(block, i, next(7));
  std::array<std::string, 3> cash;
  cash[0] = next(7);
  cash[1] = next(7);
  cash[2] = next(9);
  AppendFilled(block, t.cashLines, cash.data(), cash.size());
  result += block;
}

// Runs of unsigned 16-bit counts, low byte first: recorded, OK, not OK per group.
void DecodeMemoryCells(const FieldBytes& bytes, int groups, ReturnFieldRecord&, std::string& result) {
  const TableTexts& t = Texts();
  const size_t count = 3 * static_cast<size_t>(groups);
  std::vector<std::string> values(count);
  bool notOk = false;
  for (size_t i = 0; i < count; ++i) {
    const unsigned n = bytes.data[2 * i] | (bytes.data[2 * i + 1] << 8);
    values[i] = std::to_string(n);
    if (i % 3 == 2 && n > 0) notOk = true;
  }
  AppendFilled(result, groups == 1 ? t.cells : t.cellsByGroup, values.data(), values.size());
  if (notOk) result += t.cellsWarning;
}

}  // namespace tervane::interpret

// The random-value generators of the RANDOM_STRING and RANDOM_NUMBER kinds.
#include <cstdlib>

#include "core/catalogue/parameter_kinds.h"

namespace tervane {
namespace {

void Reseed(Clock& clock) { std::srand(static_cast<unsigned>(clock.UtcNow().millisecond % 256)); }

}  // namespace

std::string MakeRandomText(int n, Clock& clock) {
  Reseed(clock);
  std::string s;
  for (int i = 0; i < n; ++i) s += static_cast<char>(std::rand() % 94 + 32);
  return s;
}

std::string MakeRandomDigits(int n, Clock& clock) {
  Reseed(clock);
  std::string s;
  bool allZero = true;
  for (int i = 0; i < n; ++i) {
    int d = std::rand() % 10;
    if (i == n - 1 && allZero) d = 1;  // never an all-zero number
    if (d != 0) allZero = false;
    s += static_cast<char>('0' + d);
  }
  return s;
}

}  // namespace tervane

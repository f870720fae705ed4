#include "core/fiscalmemory/mfd_diagnostics.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iterator>
#include <memory>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
// The marker search has AVX2 and AVX-512 versions, chosen at run time, where the
// compiler can build them.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define TERVANE_MFD_AVX2 1
#include <immintrin.h>
#endif

#include <atomic>

#include "core/common/string_table.h"
#include "core/common/charset.h"
#include "core/common/text.h"

namespace tervane {

namespace {

// ---------------------------------------------------------------------------------------
// Markers

// The findings' texts and the voucher markers of the gap check, in Windows-1252.
struct Texts {
  std::string voucher = Utf8ToCp1252Lossy("COMPROVANTE DE CRÉDITO OU DÉBITO");
  std::string voucherShort = Utf8ToCp1252Lossy("COMPROVANTE CRÉDITO OU DÉBITO");
  std::string secondCopy = Utf8ToCp1252Lossy("2ªVIA");
  std::string reprintFirst = Utf8ToCp1252Lossy("REIMPRESSÃO 1ªVIA");
  std::string reprintSecond = Utf8ToCp1252Lossy("REIMPRESSÃO 2ªVIA");

  std::string powerFailureLine = "FALTA DE ENERGIA NA LINHA:";
  std::string userChangeHead = Utf8ToCp1252Lossy("**************** ALTERAÇÃO DE USUÁRIO NA LINHA:");
  std::string userChangeTail = "**************************\r\n\r\n";
  std::string lossHead = "**************** ERRO - PERDA DE DOCUMENTO NA LINHA:";
  std::string lossTail = "*******************\r\n";
  std::string rebuildHead = "**************** ERRO - CHAMAR DLL PARA CRIAR RZ ***************************";
  std::string lastDocument = Utf8ToCp1252Lossy("\r\nCOO do último documento a ser considerado:");
  std::string noError = "\r\nNenhum erro foi encontrado!\r\n";
  std::string powerFailureCount = Utf8ToCp1252Lossy("\r\nNúmero de faltas de energia:\r\n");
  std::string stars = std::string(76, '*');
};

const Texts& T() {
  static const Texts texts;
  return texts;
}

// Position of the first occurrence of `needle` in `line`, or -1.
long FindIn(std::string_view line, std::string_view needle) {
  if (needle.size() > line.size()) return -1;
  const void* p = memmem(line.data(), line.size(), needle.data(), needle.size());
  return p == nullptr ? -1 : static_cast<long>(static_cast<const char*>(p) - line.data());
}

// The markers a main-loop line is examined for. Each is recognised by one byte of it
// (its anchor), chosen to be rare in a report: the scan looks for the four anchor bytes
// only and compares the whole marker where one is found.
enum Marker { kPowerFailure, kUserChange, kCoo, kModelHeader, kFabrication, kReduction, kMarkerCount };

struct MarkerText {
  const char* text;  // Windows-1252
  std::size_t size;
  std::size_t anchor;  // index of the anchor byte in the text
};

constexpr char kPowerFailureText[] = "***********FALTA DE ENERGIA - RETORNO***********";
constexpr char kUserChangeText[] = "ALTERA\xC7\xC3O DE USU\xC1RIO";      // ALTERAÇÃO DE USUÁRIO
constexpr char kCooText[] = "COO:";
constexpr char kModelHeaderText[] = "QUORVEXA        ZT-310 A             ECF-IF";
constexpr char kFabricationText[] = "FAB:";
constexpr char kReductionText[] = "       REDU\xC7\xC3O Z        ";  // "       REDUÇÃO Z        "

constexpr MarkerText kMarkers[kMarkerCount] = {
    {kPowerFailureText, sizeof kPowerFailureText - 1, 0},  // '*'
    {kUserChangeText, sizeof kUserChangeText - 1, 6},      // 'Ç'
    {kCooText, sizeof kCooText - 1, 3},                    // ':'
    {kModelHeaderText, sizeof kModelHeaderText - 1, 0},    // 'Q'
    {kFabricationText, sizeof kFabricationText - 1, 3},    // ':'
    {kReductionText, sizeof kReductionText - 1, 11},       // 'Ç'
};

constexpr unsigned char kAnchorStar = '*', kAnchorCedilla = 0xC7, kAnchorColon = ':', kAnchorQ = 'Q';

// Whether marker m stands with its anchor at `at`. The bytes at hand are [from, end):
// a marker cannot begin before `from`; with `partialEnd` a marker that may go on past
// `end` (bytes not read yet) counts as present. Markers hold no line end, so one found
// in a range of several lines lies within one line.
inline bool MarkerAt(int m, const char* from, const char* end, const char* at, bool partialEnd) {
  const MarkerText& k = kMarkers[m];
  if (static_cast<std::size_t>(at - from) < k.anchor) return false;
  const char* start = at - k.anchor;
  if (*start != k.text[0]) return false;  // most anchors of other text stop here
  const std::size_t room = static_cast<std::size_t>(end - start);
  if (room < k.size) return partialEnd && std::memcmp(start, k.text, room) == 0;
  return std::memcmp(start, k.text, k.size) == 0;
}

// Whether any marker (the reduction only `withReduction`) has its anchor at `at`.
inline bool AnyMarkerAt(const char* from, const char* end, const char* at, bool withReduction) {
  switch (static_cast<unsigned char>(*at)) {
    case kAnchorStar:
      return MarkerAt(kPowerFailure, from, end, at, true);
    case kAnchorCedilla:
      return MarkerAt(kUserChange, from, end, at, true) ||
             (withReduction && MarkerAt(kReduction, from, end, at, true));
    case kAnchorColon:
      return MarkerAt(kCoo, from, end, at, true) || MarkerAt(kFabrication, from, end, at, true);
    case kAnchorQ:
      return MarkerAt(kModelHeader, from, end, at, true);
    default:
      return false;
  }
}

#if defined(__SSE2__)
// Bit i set where byte i of the 16 at p is an anchor byte.
inline unsigned AnchorBits(__m128i block) {
  const __m128i star = _mm_set1_epi8(static_cast<char>(kAnchorStar));
  const __m128i cedilla = _mm_set1_epi8(static_cast<char>(kAnchorCedilla));
  const __m128i colon = _mm_set1_epi8(static_cast<char>(kAnchorColon));
  const __m128i q = _mm_set1_epi8(static_cast<char>(kAnchorQ));
  return static_cast<unsigned>(
      _mm_movemask_epi8(_mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, star), _mm_cmpeq_epi8(block, cedilla)),
                                     _mm_or_si128(_mm_cmpeq_epi8(block, colon), _mm_cmpeq_epi8(block, q)))));
}

// Sum of the 16 byte counters.
inline long long CounterSum(__m128i counters) {
  const __m128i sums = _mm_sad_epu8(counters, _mm_setzero_si128());
  return _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_unpackhi_epi64(sums, sums));
}
#endif

std::atomic<int> g_vectorBitsLimit{512};

// The widest vector search to use: the processor's widest, within the limit.
int VectorBits() {
  static const int widest = [] {
#if defined(TERVANE_MFD_AVX2)
    if (__builtin_cpu_supports("avx512bw")) return 512;
    if (__builtin_cpu_supports("avx2")) return 256;
#endif
#if defined(__SSE2__)
    return 128;
#else
    return 0;
#endif
  }();
  const int limit = g_vectorBitsLimit.load(std::memory_order_relaxed);
  return limit < widest ? limit : widest;
}

// The first of the anchor positions in `bits` (bit i for the byte at p + i) where a marker
// (the reduction only `withReduction`) stands, or -1.
inline int FirstMarkerBit(unsigned long long bits, const char* from, const char* end, const char* p,
                          bool withReduction) {
  for (; bits != 0; bits &= bits - 1) {
    const int bit = __builtin_ctzll(bits);
    if (AnyMarkerAt(from, end, p + bit, withReduction)) return bit;
  }
  return -1;
}

inline int Popcount(unsigned bits) {
  int n = 0;
  for (; bits != 0; bits &= bits - 1) ++n;
  return n;
}

// First position of every marker in one line (-1 where absent).
struct LineMarks {
  long at[kMarkerCount];
};

void NoteMarksAt(const char* from, const char* end, const char* p, LineMarks& marks) {
  auto note = [&](int m) {
    if (marks.at[m] < 0 && MarkerAt(m, from, end, p, false)) {
      marks.at[m] = static_cast<long>(p - from) - static_cast<long>(kMarkers[m].anchor);
    }
  };
  switch (static_cast<unsigned char>(*p)) {
    case kAnchorStar:
      note(kPowerFailure);
      break;
    case kAnchorCedilla:
      note(kUserChange);
      note(kReduction);
      break;
    case kAnchorColon:
      note(kCoo);
      note(kFabrication);
      break;
    case kAnchorQ:
      note(kModelHeader);
      break;
    default:
      break;
  }
}

#if defined(TERVANE_MFD_AVX2)
// FindMarks 64 bytes at a time with masked loads, so a line of a report (some 50
// characters) takes one block and no byte past it is read.
__attribute__((target("avx512f,avx512bw"))) void FindMarksAvx512(std::string_view line, LineMarks& marks) {
  const __m512i star = _mm512_set1_epi8(static_cast<char>(kAnchorStar));
  const __m512i cedilla = _mm512_set1_epi8(static_cast<char>(kAnchorCedilla));
  const __m512i colon = _mm512_set1_epi8(static_cast<char>(kAnchorColon));
  const __m512i q = _mm512_set1_epi8(static_cast<char>(kAnchorQ));
  const char* from = line.data();
  const char* end = from + line.size();
  for (const char* p = from; p < end; p += 64) {
    const auto left = static_cast<std::size_t>(end - p);
    const unsigned long long valid = left >= 64 ? ~0ull : (1ull << left) - 1u;
    const __m512i block = _mm512_maskz_loadu_epi8(valid, p);
    unsigned long long bits = (_mm512_cmpeq_epi8_mask(block, star) | _mm512_cmpeq_epi8_mask(block, cedilla) |
                               _mm512_cmpeq_epi8_mask(block, colon) | _mm512_cmpeq_epi8_mask(block, q)) &
                              valid;
    for (; bits != 0; bits &= bits - 1) NoteMarksAt(from, end, p + __builtin_ctzll(bits), marks);
  }
}
#endif

void FindMarks(std::string_view line, LineMarks& marks) {
  for (long& a : marks.at) a = -1;
  [[maybe_unused]] const int width = VectorBits();
#if defined(TERVANE_MFD_AVX2)
  if (width >= 512) return FindMarksAvx512(line, marks);
#endif
  const char* from = line.data();
  const char* end = from + line.size();
  const char* p = from;
#if defined(__SSE2__)
  for (; width >= 128 && end - p >= 16; p += 16) {
    for (unsigned bits = AnchorBits(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))); bits != 0;
         bits &= bits - 1) {
      NoteMarksAt(from, end, p + __builtin_ctz(bits), marks);
    }
  }
#endif
  for (; p < end; ++p) NoteMarksAt(from, end, p, marks);
}

// The scalar end of a search for a marker line: from `p` (a position the vector loop
// reached, `found` when it found one) to `end`, then the line start before the find.
const char* FinishMarkerLine(const char* from, const char* end, const char* p, const char* found, long long counted,
                             bool withReduction, long long& lineEnds, const char*& afterLastLf) {
  for (; p < end && found == nullptr; ++p) {
    if (*p == '\n') {
      ++counted;
    } else if (AnyMarkerAt(from, end, p, withReduction)) {
      found = p;
    }
  }
  lineEnds = counted;
  const char* lastLf = static_cast<const char*>(memrchr(from, '\n', static_cast<std::size_t>((found ? found : end) - from)));
  afterLastLf = lastLf != nullptr ? lastLf + 1 : from;
  return found != nullptr ? afterLastLf : nullptr;
}

#if defined(TERVANE_MFD_AVX2)
// Sum of the 32 byte counters.
__attribute__((target("avx2"))) inline long long CounterSum256(__m256i counters) {
  const __m256i sums = _mm256_sad_epu8(counters, _mm256_setzero_si256());
  return _mm256_extract_epi64(sums, 0) + _mm256_extract_epi64(sums, 1) + _mm256_extract_epi64(sums, 2) +
         _mm256_extract_epi64(sums, 3);
}

// The same search 32 bytes at a time, on processors that have AVX2 (chosen at run time).
__attribute__((target("avx2"))) const char* FindMarkerLineAvx2(const char* from, const char* end,
                                                                bool withReduction, long long& lineEnds,
                                                                const char*& afterLastLf) {
  const __m256i lf = _mm256_set1_epi8('\n');
  const __m256i star = _mm256_set1_epi8(static_cast<char>(kAnchorStar));
  const __m256i cedilla = _mm256_set1_epi8(static_cast<char>(kAnchorCedilla));
  const __m256i colon = _mm256_set1_epi8(static_cast<char>(kAnchorColon));
  const __m256i q = _mm256_set1_epi8(static_cast<char>(kAnchorQ));
  long long counted = 0;
  const char* p = from;
  const char* found = nullptr;
  __m256i counters = _mm256_setzero_si256();  // LFs per byte lane, emptied before they overflow
  int blocksCounted = 0;
  for (; end - p >= 32; p += 32) {
    const __m256i block = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i isLf = _mm256_cmpeq_epi8(block, lf);
    const __m256i anchors = _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(block, star), _mm256_cmpeq_epi8(block, cedilla)),
                                            _mm256_or_si256(_mm256_cmpeq_epi8(block, colon), _mm256_cmpeq_epi8(block, q)));
    const int bit = FirstMarkerBit(static_cast<unsigned>(_mm256_movemask_epi8(anchors)), from, end, p, withReduction);
    if (bit >= 0) {
      found = p + bit;
      counted += Popcount(static_cast<unsigned>(_mm256_movemask_epi8(isLf)) & ((1u << bit) - 1u));
      break;
    }
    counters = _mm256_sub_epi8(counters, isLf);
    if (++blocksCounted == 255) {
      counted += CounterSum256(counters);
      counters = _mm256_setzero_si256();
      blocksCounted = 0;
    }
  }
  counted += CounterSum256(counters);
  return FinishMarkerLine(from, end, p, found, counted, withReduction, lineEnds, afterLastLf);
}
#endif

#if defined(TERVANE_MFD_AVX2)
// The same search 64 bytes at a time, on processors that have AVX-512 for bytes (chosen at
// run time): each comparison gives its bit mask at once, so the line ends are counted
// with one popcount per block.
__attribute__((target("avx512f,avx512bw,popcnt"))) const char* FindMarkerLineAvx512(const char* from, const char* end,
                                                                                 bool withReduction,
                                                                                 long long& lineEnds,
                                                                                 const char*& afterLastLf) {
  const __m512i lf = _mm512_set1_epi8('\n');
  const __m512i star = _mm512_set1_epi8(static_cast<char>(kAnchorStar));
  const __m512i cedilla = _mm512_set1_epi8(static_cast<char>(kAnchorCedilla));
  const __m512i colon = _mm512_set1_epi8(static_cast<char>(kAnchorColon));
  const __m512i q = _mm512_set1_epi8(static_cast<char>(kAnchorQ));
  long long counted = 0;
  const char* p = from;
  const char* found = nullptr;
  for (; end - p >= 64; p += 64) {
    const __m512i block = _mm512_loadu_si512(p);
    const unsigned long long isLf = _mm512_cmpeq_epi8_mask(block, lf);
    const unsigned long long anchors = _mm512_cmpeq_epi8_mask(block, star) | _mm512_cmpeq_epi8_mask(block, cedilla) |
                                       _mm512_cmpeq_epi8_mask(block, colon) | _mm512_cmpeq_epi8_mask(block, q);
    const int bit = FirstMarkerBit(anchors, from, end, p, withReduction);
    if (bit >= 0) {
      found = p + bit;
      counted += _mm_popcnt_u64(isLf & ((1ull << bit) - 1u));
      break;
    }
    counted += _mm_popcnt_u64(isLf);
  }
  return FinishMarkerLine(from, end, p, found, counted, withReduction, lineEnds, afterLastLf);
}
#endif

// Finds, from the line start `from`, the first line that may hold a marker. Returns its
// start and sets `lineEnds` to the number of LFs before it; or returns null when no line
// in [from, end) holds one, with `lineEnds` the number of LFs in the range and
// `afterLastLf` just past the last of them (`from` when there is none).
const char* FindMarkerLine(const char* from, const char* end, bool withReduction, long long& lineEnds,
                           const char*& afterLastLf) {
  [[maybe_unused]] const int width = VectorBits();
#if defined(TERVANE_MFD_AVX2)
  if (width >= 512) return FindMarkerLineAvx512(from, end, withReduction, lineEnds, afterLastLf);
  if (width >= 256) return FindMarkerLineAvx2(from, end, withReduction, lineEnds, afterLastLf);
#endif
  long long counted = 0;
  const char* p = from;
  const char* found = nullptr;
#if defined(__SSE2__)
  const __m128i lf = _mm_set1_epi8('\n');
  __m128i counters = _mm_setzero_si128();  // LFs per byte lane, emptied before they overflow
  int blocksCounted = 0;
  for (; width >= 128 && end - p >= 16; p += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i isLf = _mm_cmpeq_epi8(block, lf);
    const int bit = FirstMarkerBit(AnchorBits(block), from, end, p, withReduction);
    if (bit >= 0) {
      found = p + bit;
      counted += Popcount(static_cast<unsigned>(_mm_movemask_epi8(isLf)) & ((1u << bit) - 1u));
      break;
    }
    counters = _mm_sub_epi8(counters, isLf);
    if (++blocksCounted == 255) {
      counted += CounterSum(counters);
      counters = _mm_setzero_si128();
      blocksCounted = 0;
    }
  }
  counted += CounterSum(counters);
#endif
  return FinishMarkerLine(from, end, p, found, counted, withReduction, lineEnds, afterLastLf);
}

// ---------------------------------------------------------------------------------------
// Line reader

// Splits a byte source into lines by the rules of the header, in one fixed buffer, and
// skips in bulk the lines that hold no marker.
class LineReader {
 public:
  LineReader(MfdByteSource& source, std::size_t capacity)
      : source_(source), capacity_(capacity < 1024 ? 1024 : capacity), buffer_(new char[capacity_]) {}

  // The next line, without its line end and cut to kMfdLineLimit characters. The view
  // stays valid until the next call. Returns false at the end of the data or after a
  // read error (see Failed()).
  bool Next(std::string_view& line);

  // Skips the complete lines from here on that hold no marker (the reduction marker
  // only `withReduction`), at most one buffer's worth; returns how many it skipped. The
  // next line Next hands out is then one that may hold a marker, or one not reached.
  long long SkipPlainLines(bool withReduction);

  bool Failed() const { return failed_; }
  // True when the poll asked the reading to stop.
  bool Stopped() const { return stopped_; }

  // Called at least every `bytes` bytes read (and at most once per read); returning false
  // stops the reading as if the data had ended. So a report of one endless line, which
  // the line count never advances on, can still be cancelled.
  void PollEvery(long long bytes, std::function<bool()> poll) {
    pollBytes_ = bytes > 0 ? bytes : 1;
    nextPoll_ = pollBytes_;
    poll_ = std::move(poll);
  }

 private:
  bool Refill();
  void SkipToLineEnd();

  MfdByteSource& source_;
  std::size_t capacity_;
  std::unique_ptr<char[]> buffer_;
  std::size_t begin_ = 0, end_ = 0;  // the unread bytes; begin_ is always a line start
  char longLine_[kMfdLineLimit];
  bool atEnd_ = false;
  bool failed_ = false;
  bool stopped_ = false;
  long long bytesRead_ = 0;
  long long pollBytes_ = 0;
  long long nextPoll_ = 0;
  std::function<bool()> poll_;
};

// Moves the unread bytes to the front and reads more. Returns false at the end of the
// data or on a read error.
bool LineReader::Refill() {
  if (atEnd_) return false;
  const std::size_t kept = end_ - begin_;
  if (begin_ != 0) {
    if (kept != 0) std::memmove(buffer_.get(), buffer_.get() + begin_, kept);
    begin_ = 0;
    end_ = kept;
  }
  const long got = source_.Read(buffer_.get() + end_, capacity_ - end_);
  if (got <= 0) {
    atEnd_ = true;
    failed_ = got < 0;
    return false;
  }
  end_ += static_cast<std::size_t>(got);
  bytesRead_ += got;
  if (poll_ && bytesRead_ >= nextPoll_) {
    nextPoll_ = bytesRead_ + pollBytes_;
    if (!poll_()) {
      atEnd_ = true;
      stopped_ = true;
      end_ = begin_;  // what is at hand is not examined after a stop
      return false;
    }
  }
  return true;
}

// Skips the rest of an over-long line up to and including its LF.
void LineReader::SkipToLineEnd() {
  for (;;) {
    const char* start = buffer_.get() + begin_;
    const void* lf = std::memchr(start, '\n', end_ - begin_);
    if (lf != nullptr) {
      begin_ = static_cast<std::size_t>(static_cast<const char*>(lf) - buffer_.get()) + 1;
      return;
    }
    begin_ = end_;  // none of these bytes is examined
    if (!Refill()) return;
  }
}

bool LineReader::Next(std::string_view& line) {
  for (;;) {
    char* start = buffer_.get() + begin_;
    const std::size_t avail = end_ - begin_;
    const void* found = std::memchr(start, '\n', avail);
    if (found != nullptr) {
      std::size_t length = static_cast<std::size_t>(static_cast<const char*>(found) - start);
      begin_ += length + 1;
      if (length != 0 && start[length - 1] == '\r') --length;
      line = std::string_view(start, length < kMfdLineLimit ? length : kMfdLineLimit);
      return true;
    }
    if (atEnd_) {
      if (avail == 0 || failed_) return false;  // a line cut by a read error is not examined
      std::size_t length = avail;
      begin_ = end_;
      if (start[length - 1] == '\r') --length;
      line = std::string_view(start, length < kMfdLineLimit ? length : kMfdLineLimit);
      return true;
    }
    // No line end among the bytes at hand. More than limit + 1 of them (room for the CR
    // of a CR LF) means the line is over-long: keep its head aside and skip the rest.
    if (avail > kMfdLineLimit + 1) {
      std::memcpy(longLine_, start, kMfdLineLimit);
      begin_ += kMfdLineLimit;
      SkipToLineEnd();
      line = std::string_view(longLine_, kMfdLineLimit);
      return true;
    }
    if (!Refill() && failed_) return false;  // at the end: the loop hands out what is left
  }
}

long long LineReader::SkipPlainLines(bool withReduction) {
  if (end_ - begin_ < capacity_ / 8 && !atEnd_) Refill();
  const char* base = buffer_.get();
  long long lineEnds = 0;
  const char* afterLastLf = nullptr;
  const char* stop = FindMarkerLine(base + begin_, base + end_, withReduction, lineEnds, afterLastLf);
  begin_ = static_cast<std::size_t>((stop != nullptr ? stop : afterLastLf) - base);
  return lineEnds;
}

// ---------------------------------------------------------------------------------------
// Scanner

class Scanner {
 public:
  Scanner(MfdByteSource& source, MfdFindingsWriter& out, const MfdScanOptions& options)
      : reader_(source, options.bufferSize),
        out_(out),
        options_(options) {}

  MfdScanOutcome Run();

 private:
  // Reads the next line as the current one and counts it. False at the end of the data.
  bool ReadLine() {
    if (!reader_.Next(line_)) return false;
    ++n_;
    return true;
  }
  bool Write(std::string_view text) {
    if (writeFailed_) return false;
    if (!out_.Write(text)) writeFailed_ = true;
    return !writeFailed_;
  }
  // The markers of the current line, found once per line.
  const LineMarks& Marks() {
    if (marksOf_ != n_) {
      FindMarks(line_, marks_);
      marksOf_ = n_;
    }
    return marks_;
  }
  void CheckGap();
  bool GapExplained();
  void TakeDateTime(std::string_view from, std::size_t base);
  void WriteRebuild(const char* label, long long lineNumber);
  void WriteEnd();

  LineReader reader_;
  MfdFindingsWriter& out_;
  const MfdScanOptions& options_;
  LineMarks marks_{};
  long long marksOf_ = -1;    // number of the line marks_ belongs to

  std::string_view line_;     // the current line
  long long n_ = 0;           // number of the current line (lines consumed)
  long long count_ = 0;       // lines consumed by completed main-loop rounds
  long long lastCoo_ = -1;
  long long currentCoo_ = -1;
  long long powerFailures_ = 0;
  std::string summary_;
  std::string date_, time_;
  std::string savedDate_, savedTime_;
  bool rebuildPending_ = false;
  bool errorSeen_ = false;
  bool writeFailed_ = false;
};

// Positions of the date (ddmmyyyy) and time (hhmmss) digits after a marker; the
// separators between them are skipped.
constexpr std::size_t kDateOffsets[] = {28, 29, 31, 32, 34, 35, 36, 37};
constexpr std::size_t kTimeOffsets[] = {39, 40, 42, 43, 45, 46};

void Scanner::TakeDateTime(std::string_view from, std::size_t base) {
  // Taken only when the line holds every position; a shorter line leaves them as they were.
  if (from.size() <= base + kTimeOffsets[5]) return;
  char date[std::size(kDateOffsets)], time[std::size(kTimeOffsets)];
  for (std::size_t i = 0; i < std::size(kDateOffsets); ++i) date[i] = from[base + kDateOffsets[i]];
  for (std::size_t i = 0; i < std::size(kTimeOffsets); ++i) time[i] = from[base + kTimeOffsets[i]];
  date_.assign(date, sizeof date);
  time_.assign(time, sizeof time);
}

// Reads the lines after a counter gap and tells whether they show a credit/debit voucher
// copy or reprint. A report that ends before the lines needed were read explains nothing.
bool Scanner::GapExplained() {
  const Texts& t = T();
  auto above0 = [this](const std::string& needle) { return FindIn(line_, needle) > 0; };
  for (int i = 0; i < 3; ++i) {
    if (!ReadLine()) return false;
  }
  if (!above0(t.voucher) && !above0(t.voucherShort)) {
    if (!ReadLine()) return false;
    if (!above0(t.voucher)) return false;
  }
  for (int i = 0; i < 2; ++i) {
    if (!ReadLine()) return false;
  }
  return above0(t.secondCopy) || above0(t.reprintFirst) || above0(t.reprintSecond);
}

void Scanner::CheckGap() {
  if (GapExplained()) return;
  const Texts& t = T();
  std::string entry = t.lossHead + std::to_string(n_) + t.lossTail;
  entry += "Perda de " + std::to_string(currentCoo_ - lastCoo_ - 1) + " documento(s)\r\n";
  entry += "Perda de documento(s): " + std::to_string(lastCoo_ + 1) + " a " + std::to_string(currentCoo_ - 1) + "\r\n";
  entry += t.stars + "\r\n\r\n";
  Write(entry);
  errorSeen_ = true;
  if (lastCoo_ + 1 >= currentCoo_) {
    rebuildPending_ = true;
    savedDate_ = date_;
    savedTime_ = time_;
  }
}

void Scanner::WriteRebuild(const char* label, long long lineNumber) {
  const Texts& t = T();
  std::string entry = "\r\n" + t.rebuildHead + label + std::to_string(lineNumber);
  entry += t.lastDocument + std::to_string(currentCoo_);
  entry += "\r\nData:" + savedDate_ + "\r\nHora:" + savedTime_ + "\r\n" + t.stars + "\r\n\r\n";
  Write(entry);
}

void Scanner::WriteEnd() {
  const Texts& t = T();
  if (rebuildPending_) {
    WriteRebuild("\r\nlinha:", count_);
  } else if (!errorSeen_) {
    Write(t.noError);
  }
  Write(t.powerFailureCount + std::to_string(powerFailures_) + "\r\n" + summary_);
}

MfdScanOutcome Scanner::Run() {
  const Texts& t = T();
  MfdScanOutcome outcome;
  ProgressSink* progress = options_.progress;
  const long pollInterval = options_.pollInterval > 0 ? options_.pollInterval : 1;
  bool cancelled = false;
  if (progress != nullptr) {
    reader_.PollEvery(static_cast<long long>(options_.pollBytes), [&] {
      progress->SetPosition(static_cast<long>(n_ % 10000));
      return !progress->IsCancelled();
    });
  }

  long long lastPoll = 0;
  while (!writeFailed_) {
    // Lines without any marker change nothing but the count: skip them in bulk.
    n_ += reader_.SkipPlainLines(rebuildPending_);
    count_ = n_;
    if (!ReadLine()) break;
    if (Marks().at[kPowerFailure] >= 0) {
      ++powerFailures_;
      summary_ += t.powerFailureLine + std::to_string(n_) + "\r\n\r\n";
    }
    if (Marks().at[kUserChange] >= 0) {
      Write(t.userChangeHead + std::to_string(n_) + t.userChangeTail);
      lastCoo_ = 0;
      currentCoo_ = 0;
    }
    const long cooAt = Marks().at[kCoo];
    if (cooAt > 37) {
      currentCoo_ = Atoi(line_.substr(static_cast<std::size_t>(cooAt) + 4, 6));
      if (currentCoo_ != lastCoo_ + 1 && lastCoo_ != -1) CheckGap();
      lastCoo_ = currentCoo_;
    }
    // From here on the current line may be one read ahead by the gap check.
    const long headerAt = Marks().at[kModelHeader];
    if (headerAt >= 0 && line_.size() >= static_cast<std::size_t>(headerAt) + 46) {
      if (ReadLine() && ReadLine()) TakeDateTime(line_, static_cast<std::size_t>(headerAt));
    }
    const long fabAt = Marks().at[kFabrication];
    if (fabAt >= 0 && options_.modelCode != 4096 && line_.size() >= static_cast<std::size_t>(fabAt) + 46) {
      TakeDateTime(line_, static_cast<std::size_t>(fabAt));
    }
    if (rebuildPending_ && Marks().at[kReduction] >= 0) {
      WriteRebuild("\r\nlinha da reducao z posterior:", n_);
      errorSeen_ = true;
      rebuildPending_ = false;
    }
    count_ = n_;
    if (count_ - lastPoll >= pollInterval) {
      lastPoll = count_;
      if (progress != nullptr) {
        // One step per line on a 0-10000 bar, wrapping around on long reports.
        progress->SetPosition(static_cast<long>(count_ % 10000));
        if (progress->IsCancelled()) {
          cancelled = true;
          break;
        }
      }
    }
  }
  count_ = n_;  // a read-ahead cut short by the end of the data still consumed its lines
  if (reader_.Stopped()) cancelled = true;

  if (writeFailed_) {
    outcome.end = MfdScanOutcome::End::kWriteFailed;
  } else {
    WriteEnd();
    if (writeFailed_) {
      outcome.end = MfdScanOutcome::End::kWriteFailed;
    } else if (cancelled) {
      outcome.end = MfdScanOutcome::End::kUserCancelled;
    } else if (reader_.Failed()) {
      outcome.end = MfdScanOutcome::End::kReadFailed;
    }
  }
  outcome.lines = count_;
  outcome.powerFailures = powerFailures_;
  outcome.errorSeen = errorSeen_;
  outcome.rebuildPending = rebuildPending_;
  return outcome;
}

// A report file read with plain read(2) calls.
class FdByteSource final : public MfdByteSource {
 public:
  explicit FdByteSource(int fd) : fd_(fd) {}
  long Read(char* buffer, std::size_t size) override {
    for (;;) {
      const ssize_t got = ::read(fd_, buffer, size);
      if (got >= 0) return static_cast<long>(got);
      if (errno == EINTR) continue;
      error_ = errno;
      return -1;
    }
  }
  int Error() const { return error_; }

 private:
  int fd_;
  int error_ = 0;
};

// The findings file, written through stdio's buffer.
class FileFindingsWriter final : public MfdFindingsWriter {
 public:
  explicit FileFindingsWriter(std::FILE* file) : file_(file) {}
  bool Write(std::string_view text) override {
    if (text.empty()) return true;
    if (std::fwrite(text.data(), 1, text.size(), file_) == text.size()) return true;
    if (error_ == 0) error_ = errno != 0 ? errno : EIO;
    return false;
  }
  int Error() const { return error_; }
  void SetError(int error) {
    if (error_ == 0) error_ = error;
  }

 private:
  std::FILE* file_;
  int error_ = 0;
};

// "%s\nArquivo: %s": the system's error text and the file concerned.
std::string FileError(int error, const std::string& path) {
  return std::string(std::strerror(error)) + "\nArquivo: " + Utf8ToCp1252Lossy(path);
}

}  // namespace

int LimitMfdVectorBits(int bits) { return g_vectorBitsLimit.exchange(bits); }

MfdScanOutcome ScanMfdReport(MfdByteSource& source, MfdFindingsWriter& out, const MfdScanOptions& options) {
  Scanner scanner(source, out, options);
  return scanner.Run();
}

int DiagnoseMfdReport(const std::string& reportPath, const std::string& outputPath, const MfdScanOptions& options,
                      MfdScanOutcome& outcome, std::string& error) {
  outcome = MfdScanOutcome();
  error.clear();
  const int fd = ::open(reportPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = FileError(errno, reportPath);
    return kMfdDiagInputError;
  }
  struct stat input {};
  if (::fstat(fd, &input) != 0 || S_ISDIR(input.st_mode)) {
    error = FileError(S_ISDIR(input.st_mode) ? EISDIR : errno, reportPath);
    ::close(fd);
    return kMfdDiagInputError;
  }
  // Creating the findings file over the report would empty the report before it is read.
  struct stat existing {};
  if (::stat(outputPath.c_str(), &existing) == 0 && existing.st_dev == input.st_dev && existing.st_ino == input.st_ino) {
    error = Utf8ToCp1252Lossy("O relatório não pode ser também o arquivo de diagnóstico.\nArquivo: ") +
            Utf8ToCp1252Lossy(reportPath);
    ::close(fd);
    return kMfdDiagSameFile;
  }
#ifdef POSIX_FADV_SEQUENTIAL
  (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
  std::FILE* file = std::fopen(outputPath.c_str(), "wb");
  if (file == nullptr) {
    error = FileError(errno, outputPath);
    ::close(fd);
    return kMfdDiagOutputError;
  }
  std::setvbuf(file, nullptr, _IOFBF, 1 << 16);

  FdByteSource source(fd);
  FileFindingsWriter writer(file);
  outcome = ScanMfdReport(source, writer, options);
  ::close(fd);
  if (std::fflush(file) != 0) writer.SetError(errno != 0 ? errno : EIO);
  if (std::fclose(file) != 0) writer.SetError(errno != 0 ? errno : EIO);

  if (writer.Error() != 0 || outcome.end == MfdScanOutcome::End::kWriteFailed) {
    error = FileError(writer.Error() != 0 ? writer.Error() : EIO, outputPath);
    return kMfdDiagOutputError;
  }
  if (outcome.end == MfdScanOutcome::End::kReadFailed) {
    error = FileError(source.Error() != 0 ? source.Error() : EIO, reportPath);
    return kMfdDiagReadError;
  }
  return kMfdDiagOk;
}

int RunMfdDiagnostics(Prompter& prompter, ProgressSink& progress, const ProgramSettings& settings,
                      const std::function<void(const std::string&)>& openDocument) {
  std::string reportPath = "*.txt";
  if (!prompter.ChooseOpenFileTitled("Relatorios da MFD", "*.txt",
                                        "Arquivos de texto (*.txt)|*.txt|Todos os Arquivos (*.*)|*.*||",
                                        reportPath)) {
    return kMfdDiagCancelled;
  }
  std::string outputPath = ResolveInWorkDir(settings, kMfdDiagnosticsFileName);
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(outputPath, ec);
  if (!ec) outputPath = absolute.string();

  MfdScanOptions options;
  options.modelCode = settings.g_modelMask;
  options.progress = &progress;
  progress.Open(LoadString(str::kProgresso), LoadString(str::kRecebendoRetorno), 0, 10000);
  MfdScanOutcome outcome;
  std::string error;
  const int result = DiagnoseMfdReport(reportPath, outputPath, options, outcome, error);
  progress.Close();
  if (result != kMfdDiagOk) {
    prompter.ShowMessage("Erro", error);
    return result;
  }
  std::string question = LoadString(str::kArquivoCriado);
  ReplaceAll(question, "%s", Utf8ToCp1252Lossy(outputPath));
  question += "\r\n" + LoadString(str::kAbrirDocumentoAgora);
  if (prompter.AskYesNo("", question) && openDocument) openDocument(outputPath);
  return kMfdDiagOk;
}

}  // namespace tervane

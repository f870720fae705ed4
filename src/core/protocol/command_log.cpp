#include "core/protocol/command_log.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string_view>

#include <sys/stat.h>

#include "core/common/text.h"

namespace tervane {
namespace {

constexpr std::string_view kAsterisks =
    "**************************************************************";  // 62
static_assert(kAsterisks.size() == 62);

// The log is written the way a text-mode file on the workbench's first platform was:
// every LF becomes CR LF (a CR already in the text stays, so CR LF turns into CR CR LF).
// Existing readers of the logs expect exactly that.
void AppendTextMode(std::string& out, std::string_view text) {
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
}

std::string LogFolder(const ProgramSettings& settings) {
  if (!settings.g_logDir.empty()) return ResolveInWorkDir(settings, settings.g_logDir);
  std::string folder = settings.g_workDir;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder + "log";
}

// The hexadecimal text of one trace line (what follows "CMD: " or "RET: ") laid out as
// 16 bytes per line: offset, hex column padded to 48 characters, character column.
void DumpHexText(std::string& out, std::string_view hex) {
  constexpr size_t kColumn = 48;
  for (size_t offset = 0, pos = 0; pos < hex.size(); offset += 16, pos += kColumn) {
    const std::string_view chunk = hex.substr(pos, kColumn);
    out += Format("%.4zx  ", offset);
    out.append(chunk);
    out.append(kColumn - chunk.size(), ' ');
    char pending = 0;
    bool havePending = false;
    for (char c : chunk) {
      if (c == ' ') continue;
      if (!havePending) {
        pending = c;
        havePending = true;
        continue;
      }
      havePending = false;
      if (pending == '*') {  // a password byte, shown as "**"
        out += '*';
        continue;
      }
      const auto b = static_cast<unsigned char>(HexNibble(static_cast<unsigned char>(pending)) * 16 +
                                                HexNibble(static_cast<unsigned char>(c)));
      out += b == 0 ? '.' : static_cast<char>(b);
    }
    out += "\r\n";
  }
}

// The text of the line starting at `start` (up to its CR LF or the end of the trace) with
// its first six characters ("CMD: " or "RET: " and the space before the first byte)
// dropped. `next` receives where the following line starts.
std::string_view LineBody(std::string_view trace, size_t start, size_t& next) {
  size_t end = trace.find("\r\n", start);
  if (end == std::string_view::npos) {
    end = trace.size();
    next = end;
  } else {
    next = end + 2;
  }
  const size_t bodyStart = std::min(start + 6, end);
  return trace.substr(bodyStart, end - bodyStart);
}

}  // namespace

std::string LogFilePath(const ProgramSettings& settings, const CivilTime& now) {
  return LogFolder(settings) + Format("/Log_%04d_%02d_%02d.txt", now.year, now.month, now.day);
}

std::string FormatLogRecord(const CommandRecord& command, const CivilTime& now) {
  std::string text;
  text.reserve(256 + command.ResultText.size());
  text += '\n';
  text += kAsterisks;
  text += '\n';
  text += Format("%02d/%02d/%04d \t %02d:%02d:%02d\n", now.day, now.month, now.year, now.hour,
                 now.minute, now.second);
  text += "T\xEDtulo do Comando\tEscape\n";
  text += command.title;
  text += '\t';
  text += command.escapeText;
  text += "\nPar\xE2metros:\n";
  for (const ParameterRecord& p : command.parameters) {
    text += '\n';
    text += p.title;
    text += '\t';
    if (CommandRecord::IsSecretKind(p.kind)) {
      text.append(p.value.size(), '*');  // the password never reaches the log
    } else {
      text += p.value;
    }
  }
  text += "\nRetornos:\n";
  for (const ReturnFieldRecord& r : command.returnFields) {
    text += '\n';
    text += r.title;
    text += '\t';
    text += r.value;
    text += '\n';
  }
  // Bytes that were waiting on the line before the frame went out (left over from an
  // earlier exchange, or line noise): thrown away, and counted here.
  if (command.discardedBytes > 0) {
    text += Format("\nBytes descartados antes do envio:\t%d\n", command.discardedBytes);
  }
  text += "\nRetorno formatado:\n";
  text += command.ResultText;
  text += '\n';
  text += kAsterisks;

  std::string record;
  record.reserve(text.size() + text.size() / 8);
  AppendTextMode(record, text);
  return record;
}

int WriteCommandLog(const CommandRecord& command, const ProgramSettings& settings, Clock& clock) {
  const CivilTime now = clock.LocalNow();
  const std::string folder = LogFolder(settings);
  if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) return 0;  // record lost
  std::FILE* file = std::fopen(LogFilePath(settings, now).c_str(), "ab");
  if (file == nullptr) return 0;  // record lost
  const std::string record = FormatLogRecord(command, now);
  std::fwrite(record.data(), 1, record.size(), file);
  std::fclose(file);
  return 0;
}

std::string HexDump(const std::string& trace) {
  const std::string_view t = trace;
  std::string out;
  size_t pos = 0;
  for (size_t cmd; (cmd = t.find("CMD:", pos)) != std::string_view::npos;) {
    size_t next = 0;
    const std::string_view sent = LineBody(t, cmd, next);
    out += "CMD:\r\n";
    DumpHexText(out, sent);

    // The reply line of this block; one that comes only after the next "CMD:" belongs
    // to that block, not to this one.
    out += "RET:\r\n";
    const size_t ret = t.find("RET: ", next);
    const size_t nextCmd = t.find("CMD:", next);
    if (ret != std::string_view::npos && ret < nextCmd) {
      DumpHexText(out, LineBody(t, ret, next));
    }
    out += "\r\n";
    pos = next;
  }
  return out;
}

}  // namespace tervane

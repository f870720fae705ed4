#include "cli/logo/logo_command.h"

#include <CLI/CLI.hpp>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <ostream>

#include "cli/cli_support.h"
#include "core/common/charset.h"
#include "control/compose/logo_composer.h"
#include "control/logo_line.h"
#include "control/package_manager.h"

namespace tervane::cli {
namespace {

// Fonts need a GUI application object; the composition never shows a window.
void EnsureGuiApplication() {
  if (QCoreApplication::instance() != nullptr) return;
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "tervane-cli";
  static char* argv[] = {name, nullptr};
  static QGuiApplication application(argc, argv);
}

class StreamSink final : public LogoMessageSink {
 public:
  StreamSink(std::ostream& err, const OutputOptions& output) : err_(err), output_(output) {}
  void ShowError(const std::string& text) override { WriteText(err_, text + "\r\n", output_); }

 private:
  std::ostream& err_;
  const OutputOptions& output_;
};

}  // namespace

CLI::App* LogoCommand::attach(CLI::App& app) {
  CLI::App* sub = app.add_subcommand("logo", "Upload a graphic header (logo) to the printer and confirm it.");
  sub->require_subcommand(1);
  upload_ = sub->add_subcommand(
      "upload",
      "Compose a logo from a bitmap and three or four text lines, as the logo window lays it out, "
      "and send it to the printer (which must be in technical intervention).");
  upload_->add_option("--port", port_, "Port: COM1:..COM8: or a device path")->required();
  upload_->add_option("--bmp", bmp_, "Windows bitmap (.bmp) to place at the top left")->required();
  upload_->add_option("--line1", lines_[0], "Corporate name (at most 48 characters)")->required();
  upload_->add_option("--line2", lines_[1], "Trade name (at most 48 characters)")->required();
  upload_->add_option("--line3", lines_[2], "Address (at most 48 characters)")->required();
  upload_->add_option("--line4", lines_[3], "Optional fourth line (at most 48 characters)");
  upload_->add_option("--align", align_, "left (text beside the picture) or center (text below)");
  upload_->add_option("--font", font_, "Font family of the text (default: the system's default font)");
  upload_->footer("Exit status: 0 sent; 1 bad arguments; 4 not sent (the message says why).");
  confirm_ = sub->add_subcommand(
      "confirm", "Ask the printer to keep the logo just uploaded, named by the CRC that upload printed.");
  confirm_->add_option("--port", port_, "Port: COM1:..COM8: or a device path")->required();
  confirm_->add_option("--crc", crc_, "CRC printed by the upload (0x hex or decimal; default 0, as the logo "
                                      "window confirms before any upload)");
  confirm_->footer("Exit status: 0 kept; 4 not kept (the message says why).");
  return sub;
}

int LogoCommand::execute(std::ostream& out, std::ostream& err) {
  if (upload_->parsed()) return Upload(out, err);
  if (confirm_->parsed()) return Confirm(out, err);
  return kExitUsage;
}

int LogoCommand::Upload(std::ostream& out, std::ostream& err) {
  const LogoLanguage language = UserLogoLanguage();
  if (align_ != "left" && align_ != "center") {
    WriteMessage(err, "--align takes left or center.", output_);
    return kExitUsage;
  }
  std::string lines[4];
  for (int i = 0; i < 4; ++i) lines[i] = Utf8ToCp1252Lossy(lines_[i]);
  for (const std::string& line : lines) {
    if (line.size() > kLogoLineMax) {
      WriteText(err, LogoString(17, language) + "\r\n", output_);
      return kExitUsage;
    }
  }
  EnsureGuiApplication();
  LoadedPicture picture;
  if (LoadPicture(QString::fromStdString(bmp_), &picture) != kPictureOk) {
    WriteText(err, LogoString(3, language) + "\r\n", output_);
    return kExitLogoFailed;
  }
  LogoComposition composition;
  composition.picture = picture.picture;
  for (int i = 0; i < 4; ++i) composition.lines[i] = QString::fromStdString(lines_[i]);
  if (!font_.empty()) composition.font = QFont(QString::fromStdString(font_));
  composition.alignment = align_ == "center" ? LogoAlignment::kCenter : LogoAlignment::kLeft;
  const MonoImage captured = CaptureComposition(composition);

  LogoSerialLine line(SystemClock());
  StreamSink sink(err, output_);
  PackageManager manager(line, SystemClock(), &sink, language);
  if (!manager.OpenPort(port_)) {
    WriteText(err, LogoString(5, language) + "\r\n", output_);
    return kExitLogoFailed;
  }
  const int result = manager.Upload(captured, lines[0], lines[1], lines[2], lines[3]);
  manager.ClosePort();
  switch (result) {
    case kLogoOk: {
      WriteText(out, LogoString(14, language) + "\r\n", output_);
      char crc[32];
      std::snprintf(crc, sizeof crc, "CRC 0x%04X\r\n", StoredLogoCrc());
      WriteText(out, crc, output_);
      return kExitOk;
    }
    case kLogoPrinterError: WriteText(err, manager.ErrorText() + "\r\n", output_); break;
    case kLogoGraphicTooLarge: WriteText(err, LogoString(16, language) + "\r\n", output_); break;
    case kLogoInvalidText: WriteText(err, LogoString(17, language) + "\r\n", output_); break;
    default: WriteText(err, LogoString(15, language) + "\r\n", output_); break;
  }
  return kExitLogoFailed;
}

int LogoCommand::Confirm(std::ostream& out, std::ostream& err) {
  const LogoLanguage language = UserLogoLanguage();
  if (!crc_.empty()) {
    const auto crc = ParseNumber(crc_, 0xFFFF);
    if (!crc) {
      WriteMessage(err, "--crc takes a number from 0 to 0xFFFF.", output_);
      return kExitUsage;
    }
    SetStoredLogoCrc(static_cast<std::uint16_t>(*crc));
  }
  LogoSerialLine line(SystemClock());
  PackageManager manager(line, SystemClock(), nullptr, language);
  if (!manager.OpenPort(port_)) {
    WriteText(err, LogoString(5, language) + "\r\n", output_);
    return kExitLogoFailed;
  }
  const int result = manager.Confirm();
  manager.ClosePort();
  if (result == kLogoOk) {
    WriteText(out, LogoString(21, language) + "\r\n", output_);
    return kExitOk;
  }
  WriteText(err, (result == kLogoPrinterError ? manager.ErrorText() : LogoString(15, language)) + "\r\n", output_);
  return kExitLogoFailed;
}

}  // namespace tervane::cli

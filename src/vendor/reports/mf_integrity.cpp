#include "vendor/reports/mf_integrity.h"

#include <cstdint>
#include <filesystem>
#include <system_error>
#include <variant>

#include "core/common/atomic_file.h"
#include "core/common/charset.h"
#include "core/common/text.h"
#include "vendor/formats/byte_codec.h"
#include "vendor/formats/crc16.h"
#include "vendor/formats/mf_file.h"
#include "vendor/formats/pub_file.h"
#include "vendor/formats/record_stream.h"
#include "vendor/formats/signature.h"

namespace tervane {
namespace {

struct RecordWalk {
  size_t records = 0;     // records before the end record
  size_t end = 0;         // offset after the end record; 0 when it was never reached
};

// Walks the record stream checking each record's length and CRC, going on past a record
// whose check fails (its length is still within the file, so the next one can be found).
RecordWalk WalkRecords(std::string_view bytes, std::vector<std::string>& faults) {
  RecordWalk walk;
  const size_t magic = 4;
  size_t at = magic;
  for (;;) {
    const size_t left = bytes.size() - at;
    if (left < 7) {
      faults.push_back(Cp(Format("Registro incompleto no byte %zu: o arquivo termina antes do "
                              "registro final.",
                              at)));
      return walk;
    }
    const std::uint8_t type = static_cast<std::uint8_t>(bytes[at]);
    const std::uint32_t length = vendor::LoadLe32(bytes, at + 1);
    if (length > left - 7) {
      faults.push_back(Cp(Format("Registro no byte %zu declara %u bytes, além do fim do arquivo.",
                              at, length)));
      return walk;
    }
    const std::string_view record = bytes.substr(at, 5 + length);
    const std::uint16_t stored = static_cast<std::uint16_t>(
        static_cast<std::uint8_t>(bytes[at + 5 + length]) |
        (static_cast<std::uint8_t>(bytes[at + 6 + length]) << 8));
    if (vendor::Crc16(record) != stored)
      faults.push_back(Cp(Format("Soma do registro no byte %zu (tipo %02Xh) não confere.", at, type)));
    at += 7 + length;
    if (type == vendor::kEndRecord) {
      if (length != 4 || vendor::LoadLe32(record, 5) != walk.records)
        faults.push_back(Cp("O registro final não confere com o número de registros."));
      walk.end = at;
      return walk;
    }
    ++walk.records;
  }
}

void CheckSequence(const vendor::MfContents& contents, std::vector<std::string>& faults,
                   int& reductions, int& userChanges) {
  const vendor::MfReduction* previous = nullptr;
  bool userChanged = false;
  for (const vendor::MfEntry& entry : contents.entries) {
    if (const auto* u = std::get_if<vendor::MfUserChange>(&entry)) {
      ++userChanges;
      const int crzReached = previous ? previous->crz : 0;
      if (u->crz != crzReached)
        faults.push_back(Cp("Alteração de usuário ") + Format("%03d", u->user) +
                         Cp(Format(" registra CRZ %d; a última redução é a CRZ %d.", u->crz,
                                crzReached)));
      userChanged = true;
      continue;
    }
    const vendor::MfReduction& z = std::get<vendor::MfReduction>(entry);
    ++reductions;
    const int expectedCrz = previous ? previous->crz + 1 : 1;
    if (z.crz != expectedCrz)
      faults.push_back(Cp(Format("CRZ %d fora de sequência: esperada a CRZ %d.", z.crz, expectedCrz)));
    const std::int64_t before = previous ? previous->grandTotal : 0;
    // Compared without overflow: a hostile file may hold values near the limits.
    if (static_cast<std::uint64_t>(z.grandTotal) !=
        static_cast<std::uint64_t>(before) + static_cast<std::uint64_t>(z.gross))
      faults.push_back(Cp(Format("CRZ %d: o GT não é o GT anterior somado à venda bruta do dia.",
                              z.crz)));
    if (previous) {
      if (!userChanged && z.coo <= previous->coo)
        faults.push_back(Cp(Format("CRZ %d: COO %d não é maior que o da redução anterior (%d).",
                                z.crz, z.coo, previous->coo)));
      if (z.cro < previous->cro)
        faults.push_back(Cp(Format("CRZ %d: CRO %d menor que o da redução anterior (%d).", z.crz,
                                z.cro, previous->cro)));
      if (z.movement.DateKey() < previous->movement.DateKey())
        faults.push_back(Cp(Format("CRZ %d: data de movimento %s anterior à da redução anterior.",
                                z.crz, z.movement.DateText().c_str())));
    }
    if (z.when.DateKey() < z.movement.DateKey())
      faults.push_back(Cp(Format("CRZ %d: emitida antes do dia de movimento.", z.crz)));
    previous = &z;
    userChanged = false;
  }
}

}  // namespace

MfIntegrityResult CheckMfIntegrity(std::string_view bytes, const std::string& fileName,
                                   const std::string& modulus, const std::string& keyFile,
                                   MfKeyProblem keyProblem) {
  MfIntegrityResult result;
  std::vector<std::string>& faults = result.faults;
  vendor::MfContents contents;
  int reductions = 0, userChanges = 0;
  std::string signatureState;
  RecordWalk walk;

  if (bytes.size() < 4 || bytes.substr(0, 4) != std::string_view(vendor::kMfMagic, 4)) {
    faults.push_back(Cp("O arquivo não é um arquivo de Memória Fiscal."));
  } else {
    walk = WalkRecords(bytes, faults);
    const vendor::FileReadResult read = vendor::ReadMf(bytes, contents);
    if (!read.ok() && faults.empty()) {
      // The records' sums and lengths hold, but their contents break the format.
      faults.push_back(read.status == vendor::FileStatus::kNoSerial
                           ? Cp("O cabeçalho não tem número de série.")
                           : Cp(Format("Conteúdo inválido no byte %zu.", read.offset)));
    }
    CheckSequence(contents, faults, reductions, userChanges);

    if (walk.end == 0) {
      signatureState = Cp("NÃO VERIFICADA (registros incompletos)");
    } else if (bytes.size() == walk.end) {
      signatureState = "AUSENTE";
      faults.push_back(Cp("O arquivo não tem assinatura."));
    } else if (bytes.size() != walk.end + vendor::kSignatureSize) {
      signatureState = Cp("INVÁLIDA");
      faults.push_back(Cp("Os bytes após os registros não são uma assinatura."));
    } else if (modulus.empty()) {
      // Without the key the signature proves nothing, so the file cannot pass.
      const std::string shown = keyFile.empty() ? std::string("(sem nome)") : keyFile;
      if (keyProblem == MfKeyProblem::kUnreadable) {
        signatureState = Cp("NÃO VERIFICADA (chave pública inválida)");
        faults.push_back(Cp("A chave pública ") + shown +
                         Cp(" não é uma chave válida: a assinatura não pôde ser verificada."));
      } else {
        signatureState = Cp("NÃO VERIFICADA (chave pública não encontrada)");
        faults.push_back(Cp("Chave pública não encontrada: esperado o arquivo ") + shown +
                         Cp(" ao lado do arquivo de MF; sem ela a assinatura não pode ser verificada."));
      }
    } else if (vendor::VerifySignedFile(bytes, modulus)) {
      signatureState = Cp("VÁLIDA");
    } else {
      signatureState = Cp("INVÁLIDA");
      faults.push_back(Cp("A assinatura não confere com a chave pública."));
    }
  }

  const std::string rule(48, '-');
  std::string& r = result.report;
  r += Cp("VERIFICAÇÃO DE INTEGRIDADE DA MEMÓRIA FISCAL\r\n");
  r += rule + "\r\n";
  r += "Arquivo: " + fileName + "\r\n";
  if (!contents.header.serial.empty())
    r += contents.header.brand + " " + contents.header.model + "  FAB:" + contents.header.serial +
         "\r\n";
  r += Cp(Format("Registros: %zu\r\n", walk.records));
  r += Cp("Reduções Z: ") + std::to_string(reductions) + "\r\n";
  r += Cp("Alterações de usuário: ") + std::to_string(userChanges) + "\r\n";
  if (!signatureState.empty()) r += "Assinatura: " + signatureState + "\r\n";
  r += rule + "\r\n";
  for (const std::string& fault : faults) r += Cp("FALHA: ") + fault + "\r\n";
  if (!faults.empty()) r += rule + "\r\n";
  r += faults.empty() ? Cp("RESULTADO: MEMÓRIA FISCAL ÍNTEGRA\r\n")
                      : Cp(Format("RESULTADO: %zu FALHA(S) ENCONTRADA(S)\r\n", faults.size()));
  return result;
}

int VerifyMfFileIntegrity(const std::string& mfPath, const std::string& txtPath) {
  const size_t slash = mfPath.find_last_of('/');
  const std::string fileName = slash == std::string::npos ? mfPath : mfPath.substr(slash + 1);
  std::string bytes;
  MfIntegrityResult result;
  if (!ReadWholeFile(mfPath, bytes)) {
    result.faults.push_back(Cp("Não foi possível ler o arquivo."));
    result.report = Cp("VERIFICAÇÃO DE INTEGRIDADE DA MEMÓRIA FISCAL\r\n") + "Arquivo: " +
                    fileName + "\r\n" + Cp("FALHA: Não foi possível ler o arquivo.\r\n");
  } else {
    // The key beside the file: the same name with ".pub" in place of its extension.
    const size_t dot = mfPath.find_last_of('.');
    const std::string base =
        dot == std::string::npos || (slash != std::string::npos && dot < slash) ? mfPath
                                                                                : mfPath.substr(0, dot);
    const std::string keyPath = base + ".pub";
    std::string modulus;
    MfKeyProblem problem = MfKeyProblem::kNone;
    std::error_code ec;
    if (!std::filesystem::exists(keyPath, ec)) {
      problem = MfKeyProblem::kMissing;
    } else if (!vendor::ReadPublicKeyFile(keyPath, modulus).ok()) {
      modulus.clear();
      problem = MfKeyProblem::kUnreadable;
    }
    result = CheckMfIntegrity(bytes, fileName, modulus, keyPath, problem);
  }
  if (!SaveFileAtomically(txtPath, result.report, nullptr)) return 4;
  return result.sound() ? 0 : 6;
}

}  // namespace tervane

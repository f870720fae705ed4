#include "core/fiscalmemory/pdf417_texts.h"

#include "core/common/charset.h"

namespace tervane::pdf417text {
namespace {

// Source files are UTF-8; the core's texts are Windows-1252.
#define TERVANE_PDF417_TEXT(name, utf8)                       \
  const std::string& name() {                                 \
    static const std::string text = Utf8ToCp1252Lossy(utf8);  \
    return text;                                              \
  }

}  // namespace

TERVANE_PDF417_TEXT(AlreadyRead, "Símbolo já foi lido")
TERVANE_PDF417_TEXT(SymbolReadFormat, "Símbolo lido: %d/%d")
TERVANE_PDF417_TEXT(RefusedTooShortFormat, "Símbolo recusado: curto demais (%d bytes)")
TERVANE_PDF417_TEXT(RefusedTooLongFormat, "Símbolo recusado: longo demais (%d bytes)")
TERVANE_PDF417_TEXT(RefusedOverflow, "Símbolo recusado: maior que o buffer de recepção (1024 bytes)")
TERVANE_PDF417_TEXT(RefusedLengthMismatchFormat, "Símbolo recusado: %d bytes recebidos, %d anunciados")
TERVANE_PDF417_TEXT(RefusedSetLengthFormat, "Símbolo recusado: tamanho do conjunto inválido (%u)")
TERVANE_PDF417_TEXT(RefusedOtherSetFormat, "Símbolo recusado: pertence a outro conjunto (tamanho %u)")
TERVANE_PDF417_TEXT(RefusedOffsetFormat, "Símbolo recusado: posição %u fora do conjunto")
TERVANE_PDF417_TEXT(RefusedSlotTakenFormat, "Símbolo recusado: posição %u ocupa um símbolo já lido")

TERVANE_PDF417_TEXT(AllReadCaption, "Fim da Captura")
TERVANE_PDF417_TEXT(AllReadText, "Todos os símbolos foram lidos.\nPressione OK para continuar")

TERVANE_PDF417_TEXT(AttentionCaption, "Atenção")
TERVANE_PDF417_TEXT(SomeMissingQuestion,
                    "Alguns símbolos impressos não foram capturados.\n"
                    "Isso significa que apenas uma parcela das informações\n"
                    "da seção estará disponível para recuperação.\n\n"
                    "* Clique \"Sim\" para salvar em arquivo mesmo assim; ou\n"
                    "* clique \"Não\" para interromper a captura sem salvar; ou\n"
                    "* clique \"Cancelar\" para voltar à captura dos símbolos restantes")
TERVANE_PDF417_TEXT(SignatureIncompleteFormat,
                    "A assinatura digital não foi lida por inteiro (%d de %d símbolos completos).\n"
                    "O arquivo .rsa só é gravado com a assinatura completa.\n\n"
                    "* Clique \"Repetir\" para voltar à captura dos símbolos restantes; ou\n"
                    "* clique \"Cancelar\" para interromper a captura sem salvar")
TERVANE_PDF417_TEXT(MfdFilter, "Arquivos de MFD (*.mfd)|*.mfd|Todos os Arquivos (*.*)|*.*||")
TERVANE_PDF417_TEXT(RsaFilter, "Arquivos de RSA (*.rsa)|*.rsa|Todos os Arquivos (*.*)|*.*||")
TERVANE_PDF417_TEXT(ErrorCaption, "Erro")
TERVANE_PDF417_TEXT(FileErrorFormat, "%s\nArquivo: %s")
TERVANE_PDF417_TEXT(DoneCaption, "Concluído")
TERVANE_PDF417_TEXT(DoneFormat,
                    "FORAM DECODIFICADOS (%d) SÍMBOLOS PDF-417.\n\n"
                    "Arquivo %s criado com sucesso.\n"
                    "Utilize a geração de documento RTF ou banco de dados para\n"
                    "obter as informações da mesma forma como para download.")

TERVANE_PDF417_TEXT(PortErrorCaptionPrefix, "Erro na porta ")
TERVANE_PDF417_TEXT(ReadSignatureQuestion, "Deseja ler autenticação digigal?")
TERVANE_PDF417_TEXT(WindowTitle, "pdf 417")

std::string PortNotInitialised(const std::string& portName) {
  return "Porta serial " + portName + " pode n\xE3o ter\nsido corretamente inicializada.";
}

std::string PortNotReleased(const std::string& portName) {
  return "Porta serial " + portName + " pode n\xE3o ter\nsido corretamente liberada para o sistema.";
}

}  // namespace tervane::pdf417text

// The extended codes the simulated printer gives with a refusal, named by the text the
// workbench shows for each (the text table is in core/interpret/status_text.cpp).
#pragma once

#include <cstdint>

namespace tervane::sim::ext {

inline constexpr std::uint16_t kComandoInvalido = 1;                     // "COMANDO INVÁLIDO"
inline constexpr std::uint16_t kNumeroParametrosInvalido = 3;            // "NÚMERO DE PARÂMETROS INVÁLIDO"
inline constexpr std::uint16_t kTipoParInvalido = 4;                     // "TIPO PAR INVÁLIDO"
inline constexpr std::uint16_t kTodasAliquotasJaProgramadas = 5;         // "TODAS ALIQUOTAS JA PROGRAMADAS"
inline constexpr std::uint16_t kCfAberto = 7;                            // "CF ABERTO"
inline constexpr std::uint16_t kCfNaoAberto = 8;                         // "CF NÃO ABERTO"
inline constexpr std::uint16_t kImpressoraSemPapel = 11;                 // "IMPRESSORA SEM PAPEL"
inline constexpr std::uint16_t kAliqNaoProgramada = 14;                  // "ALIQ NÃO PROGRAMADA"
inline constexpr std::uint16_t kAcrescDescMaiorQueTotalCf = 16;          // "ACRESC DESC MAIOR QUE TOTAL CF"
inline constexpr std::uint16_t kCfSemItemVendido = 17;                   // "CF SEM ITEM VENDIDO"
inline constexpr std::uint16_t kComandoNaoEfetivado = 18;                // "COMANDO NÃO EFETIVADO"
inline constexpr std::uint16_t kSemEspacoNovasFormasPagamento = 19;      // "SEM ESPACO PARA NOVAS FORMAS DE PAGAMENTO"
inline constexpr std::uint16_t kFormaPagamentoNaoProgramada = 20;        // "FORMA DE PAGAMENTO NÃO PROGRAMADA"
inline constexpr std::uint16_t kIndiceMaiorQueNumeroFp = 21;             // "INDICE MAIOR QUE NUMERO DE FP"
inline constexpr std::uint16_t kFormasPagamentoEncerrada = 22;           // "FORMAS DE PAGAMENTO ENCERRADA"
inline constexpr std::uint16_t kCupomNaoTotalizado = 23;                 // "CUPOM NÃO TOTALIZADO"
inline constexpr std::uint16_t kCancelamentoNaoImediatamenteApos = 26;   // "CANCELAMENTO NÃO IMEDIATAMENTE APOS"
inline constexpr std::uint16_t kCancelamentoJaEfetuado = 27;             // "CANCELAMENTO JA EFETUADO"
inline constexpr std::uint16_t kCnfvNaoPermitidoOuJaEmitido = 28;        // "CNFV NÃO PERMITIDO OU JA EMITIDO"
inline constexpr std::uint16_t kMeioPagamentoNaoPermiteTef = 29;         // "MEIO DE PAGAMENTO NÃO PERMITE TEF"
inline constexpr std::uint16_t kTotNfNaoProgramado = 34;                 // "TOT NF NÃO PROGRAMADO"
inline constexpr std::uint16_t kAcrescDescMaiorQueTotalCnf = 36;         // "ACRESC DESC MAIOR QUE TOTAL CNF"
inline constexpr std::uint16_t kMpNaoIniciado = 37;                      // "MP NÃO INICIADO"
inline constexpr std::uint16_t kNaoFiscalAberto = 48;                    // "NÃO FISCAL ABERTO"
inline constexpr std::uint16_t kDataInicialInvalida = 52;                // "DATA INICIAL INVALIDA"
inline constexpr std::uint16_t kDataFinalInvalida = 53;                  // "DATA FINAL INVALIDA"
inline constexpr std::uint16_t kCrzInicialInvalido = 54;                 // "CRZ INICIAL INVÁLIDO"
inline constexpr std::uint16_t kCrzFinalInvalido = 55;                   // "CRZ FINAL INVÁLIDO"
inline constexpr std::uint16_t kNaoEmIntervencaoTecnica = 59;            // "NÃO EM INTERVENÇÃO TECNICA"
inline constexpr std::uint16_t kEmIntervencaoTecnica = 60;               // "EM INTERVENÇÃO TECNICA"
inline constexpr std::uint16_t kJaHouveMovNoDia = 62;                    // "JA HOUVE MOV NO DIA"
inline constexpr std::uint16_t kBloqueioPorRz = 63;                      // "BLOQUEIO POR RZ"
inline constexpr std::uint16_t kAguardandoPrimeiroProprietario = 65;     // "AGUARDANDO PRIMEIRO PROPRIETARIO"
inline constexpr std::uint16_t kAguardandoRz = 66;                       // "AGUARDANDO RZ"
inline constexpr std::uint16_t kEcfOuLojaIgualZero = 67;                 // "ECF OU LOJA IGUAL A ZERO"
inline constexpr std::uint16_t kRecebimentoNfNuloNaoPermitido = 70;      // "RECEBIMENTO NF NULO NÃO PERMITIDO"
inline constexpr std::uint16_t kDescricaoIgualDefaultNaoPermitido = 78;  // "DESCRIÇÃO IGUAL A DEFAULT NÃO PERMITIDO"
inline constexpr std::uint16_t kVendaValorNulo = 85;                     // "VENDA COM VALOR NULO"
inline constexpr std::uint16_t kReducaoNaoPermitidaIt = 88;              // "REDUÇÃO NÃO PERMITIDA EM IT"
inline constexpr std::uint16_t kFpValorNuloNaoPermitido = 90;            // "FP COM VALOR NULO NÃO PERMITIDO"
inline constexpr std::uint16_t kAutenticacaoNaoPermitida = 92;           // "AUTENTICAÇÃO NÃO PERMITIDA"
inline constexpr std::uint16_t kComandoNaoExecutadoImprBilhetePassagem =
    94;  // "COMANDO NÃO EXECUTADO EM IMPR BILHETE DE PASSAGEM"
inline constexpr std::uint16_t kComandoNaoExecutadoImprCupomFiscal =
    95;                                                       // "COMANDO NÃO EXECUTADO EM IMPR DE CUPOM FISCAL"
inline constexpr std::uint16_t kTipoTransporteInvalido = 99;  // "TIPO DE TRANSPORTE INVÁLIDO"
inline constexpr std::uint16_t kDataHoraInvalida = 100;       // "DATA E HORA INVALIDA"
inline constexpr std::uint16_t kSemRelatorioGerencialOuVinculadoAberto =
    101;                                                            // "SEM RELATORIO GERENCIAL OU VINCULADO ABERTO"
inline constexpr std::uint16_t kNumeroTotalizadorNfInvalido = 102;  // "NUMERO DO TOTALIZADOR NF INVÁLIDO"
inline constexpr std::uint16_t kParamAcresDescInvalido = 103;       // "PARAM ACRES DESC INVÁLIDO"
inline constexpr std::uint16_t kCaracterNumericoNaCodificacaoGt =
    109;  // "CARACTER NUMERICO NA CODIFICAÇÃO GT NÃO PERMITIDO"
inline constexpr std::uint16_t kNomeTotalizadorBrancoNaoPermitido =
    111;  // "NOME DO TOTALIZADOR EM BRANCO NÃO PERMITIDO"
inline constexpr std::uint16_t kDataHoraAnterioresUltimoDocArmazenado =
    112;  // "DATA E HORA ANTERIORES AO ULTIMO DOC ARMAZENADO"
inline constexpr std::uint16_t kParAcrescimoDescontoInvalido = 113;  // "PAR ACRESCIMO DESCONTO INVÁLIDO"
inline constexpr std::uint16_t kItemNaoExisteOuJaCancelado = 115;    // "ITEM NÃO EXISTE OU JA CANCELADO"
inline constexpr std::uint16_t kDescricaoSemCaracterAlfabeticoNaoPermitido =
    117;  // "DESCRIÇÃO SEM CARACTER ALFABETICO NÃO PERMITIDO"
inline constexpr std::uint16_t kDescontoMaiorQueValorItem = 119;        // "DESCONTO MAIOR QUE VALOR DO ITEM"
inline constexpr std::uint16_t kDescontoIssNaoPermitido = 120;          // "DESCONTO EM ISS NÃO PERMITIDO"
inline constexpr std::uint16_t kAcrescimoItemJaEfetuado = 121;          // "ACRESCIMO EM ITEM JA EFETUADO"
inline constexpr std::uint16_t kDescontoItemJaEfetuado = 122;           // "DESCONTO EM ITEM JA EFETUADO"
inline constexpr std::uint16_t kCaracterRepetidoNaCodificacaoGt = 125;  // "CARACTER REPETIDO NA CODIFICAÇÃO DO GT"
inline constexpr std::uint16_t kPrimeiroDadoDifEscOu1c = 141;           // "PRIMEIRO DADO DIF DE ESC OU 1C"
inline constexpr std::uint16_t kSenhaCnpjInvalida = 158;                // "SENHA CNPJ INVALIDA"
inline constexpr std::uint16_t kIndiceFpNuloNaoPermitido = 162;         // "INDICE FP NULO NÃO PERMITIDO"
inline constexpr std::uint16_t kUfDestinoInvalida = 163;                // "UF DESTINO INVALIDA"
inline constexpr std::uint16_t kNaoPermitidoProgramacaoCnpjIeEspacos =
    167;  // "NÃO PERMITIDO PROGRAMAÇÃO CNPJ IE COM ESPACOS EM BRANCO"
inline constexpr std::uint16_t kNaoPermitidoProgramacaoUfEspacosBranco =
    168;                                                  // "NÃO PERMITIDO PROGRAMAÇÃO UF COM ESPACOS EM BRANCO"
inline constexpr std::uint16_t kCfJaSubtotalizado = 170;  // "CF JA SUBTOTALIZADO"
inline constexpr std::uint16_t kAcrescimoNuloNaoPermitido = 174;        // "ACRESCIMO NULO NÃO PERMITIDO"
inline constexpr std::uint16_t kDescontoNuloNaoPermitido = 175;         // "DESCONTO NULO NÃO PERMITIDO"
inline constexpr std::uint16_t kDataInvalida = 177;                     // "DATA INVALIDA"
inline constexpr std::uint16_t kValorChequeNuloNaoPermitido = 178;      // "VALOR DO CHEQUE NULO NÃO PERMITIDO"
inline constexpr std::uint16_t kChequeSemLocalidadeNaoPermitido = 180;  // "CHEQUE SEM LOCALIDADE NÃO PERMITIDO"
inline constexpr std::uint16_t kNumeroMaximoItensAtingido = 183;        // "NUMERO MAXIMO DE ITENS ATINGIDO"
inline constexpr std::uint16_t kNumeroItemNuloNaoPermitido = 184;       // "NUMERO DE ITEM NULO NÃO PERMITIDO"
inline constexpr std::uint16_t kProgramacaoAliquotaZeroNaoPermitido =
    195;  // "RETORNO PROGRAMACAO COM ALIQUOTA ZERO NAO PERMITIDO"
inline constexpr std::uint16_t kValorTotalItemExcede11Digitos = 198;  // "RETORNO VALOR TOTAL DO ITEM EXCEDE 11 DIGITOS"
inline constexpr std::uint16_t kDataEmbarqueAnteriorDataEmissao =
    208;  // "RETORNO DATA DE EMBARQUE ANTERIOR A DATA DA EMISSAO"
inline constexpr std::uint16_t kAliquotaIssNaoPermitidoSemInscricao =
    209;  // "RETORNO ALIQUOTA DE ISS NAO PERMITIDO SEM INSCRICAO MUNICIPAL"
inline constexpr std::uint16_t kIntervaloInvalido = 214;  // "RETORNO INTERVALO INVÁLIDO"

}  // namespace tervane::sim::ext

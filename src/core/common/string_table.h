// User texts keyed by the workbench's string numbers. Quoted texts are used exactly as
// written; the table returns them in Windows-1252, the core's text encoding.
#pragma once

#include <string>

namespace tervane {

// The text of string number `id`, or an empty text when the number is unknown.
const std::string& LoadString(int id);

// Named numbers of the strings the core uses most.
namespace str {
constexpr int kComandoOk = 32776;
constexpr int kComandoNaoRecebido = 32777;
constexpr int kFalhaEnvio = 32778;
constexpr int kParametroObrigatorio = 32779;
constexpr int kParametroTamanho = 32780;
constexpr int kErro = 32782;
constexpr int kCatalogoNaoCarregado = 32784;
constexpr int kComandoCancelado = 32785;
constexpr int kCancelar = 32820;
constexpr int kComando = 32834;
constexpr int kNao = 32885;
constexpr int kRegistroNaoSalvo = 32887;
constexpr int kSubstituirRegistro = 32892;
constexpr int kSim = 32910;
constexpr int kAguarde = 32964;
constexpr int kCarregandoCatalogo = 32979;
}  // namespace str

}  // namespace tervane

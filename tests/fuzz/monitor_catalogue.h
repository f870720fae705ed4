// A small catalogue for the monitor's fuzz targets: one command of each reply shape
// (fixed with fields, open ended by 03h, open ended by 00h, GPRS) and one with
// parameters of several kinds.
#pragma once

#include "core/catalogue/catalogue.h"

namespace tervane::fuzz {

inline const CommandCatalogue& MonitorCatalogue() {
  static const CommandCatalogue catalogue = [] {
    CommandCatalogue c;
    LoadCatalogueBytes(R"(<?xml version="1.0" encoding="Windows-1252"?>
<comandos>
  <cmd><tipo>Consultas</tipo><titulo>Modelo</titulo><escape>35 60</escape><tamanho_retorno>42</tamanho_retorno>
    <retorno><titulo>Marca</titulo><tamanho>15</tamanho><formato>ASCII</formato></retorno>
    <retorno><titulo>Modelo</titulo><tamanho>20</tamanho><formato>ASCII</formato></retorno>
    <retorno><titulo>Tipo</titulo><tamanho>7</tamanho><formato>ASCII</formato></retorno></cmd>
  <cmd><tipo>Consultas</tipo><titulo>MFD</titulo><escape>35 55</escape><tamanho_retorno>-1</tamanho_retorno></cmd>
  <cmd><tipo>Consultas</tipo><titulo>Mensagem</titulo><escape>35 56</escape><tamanho_retorno>-2</tamanho_retorno></cmd>
  <cmd><tipo>GPRS</tipo><titulo>Sinal</titulo><escape>80 81</escape><tamanho_retorno>0</tamanho_retorno></cmd>
  <cmd><tipo>Cupom</tipo><titulo>Venda</titulo><escape>9</escape><tamanho_retorno>0</tamanho_retorno>
    <parametro><titulo>A</titulo><tamanho>13</tamanho><formato>STRING</formato><obrigatorio>S</obrigatorio></parametro>
    <parametro><titulo>B</titulo><tamanho>1</tamanho><formato>BINARIO</formato><obrigatorio>S</obrigatorio></parametro>
    <parametro><titulo>C</titulo><tamanho>10</tamanho><formato>DIG_HEX</formato><obrigatorio>S</obrigatorio></parametro>
    <parametro><titulo>D</titulo><tamanho>3</tamanho><formato>CHEQUE_POS</formato><obrigatorio>S</obrigatorio></parametro>
    <parametro><titulo>E</titulo><tamanho>40</tamanho><formato>STRING_VAR_SIZE</formato><obrigatorio>N</obrigatorio></parametro>
    <parametro><titulo>F</titulo><tamanho>66</tamanho><formato>TROCA_SIT_TRIB</formato><obrigatorio>N</obrigatorio></parametro></cmd>
</comandos>
)", c);
    return c;
  }();
  return catalogue;
}

}  // namespace tervane::fuzz

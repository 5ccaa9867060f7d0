// For the Jet fuzz targets: a destination that traps when a row reaches it that its table's definition
// does not describe (the parent's checks let it through).
#pragma once

#include <vector>

#include "jet/leitor.h"

struct ConfereJet : kv::jet::Destinatario {
  std::vector<kv::jet::Tabela> tabelas;
  void Tabelas(const std::vector<kv::jet::Tabela>& t) override { tabelas = t; }
  void Linha(size_t tabela, const std::vector<kv::jet::Valor>& valores) override {
    if (tabela >= tabelas.size() || valores.size() != tabelas[tabela].colunas.size()) __builtin_trap();
  }
};

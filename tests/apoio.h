// Test support: declaration databases with the reference schema, built row by row.
#pragma once

#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "platform/db/banco.h"
#include "platform/interface_usuario.h"
#include "platform/variant.h"

namespace kv::teste {

Variant Cur(double v);
inline Variant Nulo() {
  return Variant::Nulo();
}

// A fresh database in a private folder, made the current one in the settings, with a fresh module state.
class BancoTeste {
 public:
  explicit BancoTeste(int exercicio = 2002);
  Database& db() { return *db_; }
  const std::string& caminho() const { return caminho_; }
  std::string pasta() const { return pasta_.path().toStdString(); }

  void Sql(const std::string& sql, const std::vector<Variant>& parametros = {});
  void Declaracao(int d, Variant deAcordo = Variant::Long(1), const std::string& ie = "1");
  void Contribuinte(const std::string& ie, Variant cnpj, Variant cnae);
  void Entrada(int d, Variant ref, Variant inter, Variant imposto, Variant interna = Cur(0));
  void Saida(int d, Variant ref, Variant interna, Variant inter, Variant imposto,
             Variant internaNtrib = Cur(0), Variant interNtrib = Cur(0));
  // Entries detail row (Tipo 0).
  void DetalheEntrada(int d, int ref, const std::string& uf, Variant vc1, Variant bc1, Variant outras,
                      Variant pe, Variant op, Variant imposto);
  // Exits detail row (Tipo 1).
  void DetalheSaida(int d, int ref, const std::string& uf, Variant vc1, Variant vc2, Variant bc1, Variant bc2,
                    Variant outras, Variant st, Variant imposto);
  void Tovir(int d, const std::string& cod, const std::string& municipio, int codigo, Variant valor);

 private:
  QTemporaryDir pasta_;
  std::string caminho_;
  std::shared_ptr<Database> db_;
};

// A message box that records every box and answers OK.
class CaixaGravada : public CaixaMensagem {
 public:
  int Mostra(const std::string& texto, int estilo, const std::string& titulo) override {
    textos.push_back(texto);
    completos.push_back(titulo + "|" + std::to_string(estilo) + "|" + texto);
    return kBotaoOk;
  }
  std::vector<std::string> textos;     // the texts
  std::vector<std::string> completos;  // "title|style|text"
};

// Makes `d` the current declaration of this thread.
void DefineDeclaracao(int d);
// The store's entries, each joined again with " # ".
std::vector<std::string> Entradas();
// Runs `f` and returns the number of the Erro it raised, or 0.
template <class F>
int NumeroDoErro(F&& f);

}  // namespace kv::teste

#include "platform/erro.h"
template <class F>
int kv::teste::NumeroDoErro(F&& f) {
  try {
    f();
  } catch (const kv::Erro& e) {
    return e.numero();
  }
  return 0;
}

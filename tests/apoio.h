// Test support: declaration databases with the reference schema, built row by row.
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QMap>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/db/banco.h"
#include "platform/interface_usuario.h"
#include "platform/variant.h"

namespace kv::teste {

inline Variant L(int v) {
  return Variant::Long(v);
}

// A fresh database in a private folder, made the current one in the settings, with a fresh module state.
class BancoTeste {
 public:
  explicit BancoTeste(int exercicio = 2002);
  Database& db() { return *db_; }
  const std::string& caminho() const { return caminho_; }
  std::string pasta() const { return pasta_.path().toStdString(); }

  void Sql(const std::string& sql, const std::vector<Variant>& parametros = {});
  // Inserts rows written compactly, ';' between rows: a table letter, then its values in this order.
  //   D  deAcordo [ie]                                tblDeclaração
  //   C  ie cnpj cnae                                 tblContribuinte (no declaration)
  //   E  ref inter imposto [interna]                  tblEntradas
  //   S  ref interna inter imposto [internaNtrib interNtrib]       tblSaídas
  //   UE ref uf vc bc outras petróleo outros imposto               tblDetalhesInterUFs, Tipo 0
  //   US ref uf vc1 vc2 bc1 bc2 outras st imposto                   tblDetalhesInterUFs, Tipo 1
  //   T  cód município código valor                   tblTOVIR
  // Rows go to declaration 12 unless the letter says "@d". Amounts are Currency, N is Null, an amount
  // left out is 0, and a text with spaces goes between single quotes.
  void Linhas(const std::string& linhas);
  // What is recorded for declaration d: its Consistente flag and its key.
  std::pair<Variant, Variant> Gravado(int d = 12);

 private:
  QTemporaryDir pasta_;
  std::string caminho_;
  std::shared_ptr<Database> db_;
};

// A message box that records every box and answers OK.
class CaixaGravada : public CaixaMensagem {
 public:
  int Mostra(const std::string& texto, int estilo, const std::string& titulo) override {
    completos.push_back(titulo + "|" + std::to_string(estilo) + "|" + texto);
    return kBotaoOk;
  }
  std::vector<std::string> completos;  // "title|style|text"
};

// Whether `texto` holds `trecho`; a failure shows the whole text.
::testing::AssertionResult Contem(const QByteArray& texto, const QString& trecho);

// A whole file's bytes (empty when it cannot be read); a whole file written, its folder made first.
QByteArray LeArquivo(const QString& caminho);
void GravaArquivo(const QString& caminho, const QByteArray& texto);

// What a folder holds, to compare before and after a run: every entry's path (byte for byte) and a file's
// size and modification time (never its bytes: a FIFO would block, a file without permissions fail).
std::set<std::string> Retrato(const std::string& pasta);

// Answers every message box shown while it lives, as a user pressing OK.
struct RespondeCaixas {
  RespondeCaixas();
  QTimer relogio;
};
// Root reads and writes any file: while this lives, the thread runs as another user (the thread's own
// credentials, root kept back in its saved user; threads it starts inherit them), so a file without
// permissions is as closed to it as to anyone else. Nothing changes for another user.
struct ComoOutroUsuario {
  ComoOutroUsuario();
  ~ComoOutroUsuario();
  bool root;
};
// A key pressed in `w`, and time for what it starts.
void Tecla(QWidget* w, int tecla, Qt::KeyboardModifiers m = {});

// kvconsistencia run as a user runs it, with its settings and cache folders inside `pasta`.
struct Execucao {
  int status;
  QByteArray saida, erros;
  bool caiu;
};
QProcessEnvironment Ambiente(const QString& pasta);
// `programa` another copy of it; `antes` runs in the child before the program starts (to drop privileges).
Execucao Roda(const QString& pasta, const QStringList& args, const QMap<QString, QString>& extra = {},
              const QString& programa = KV_PROGRAMA, std::function<void()> antes = {});

// Makes `d` the current declaration of this thread.
void DefineDeclaracao(int d);
// The store's entries, each joined again with " # ".
std::vector<std::string> Entradas();
// Runs `f` and returns the Erro it raised as "number: description", or "" when it raised none.
template <class F>
std::string ErroDe(F&& f);
// The same, only the number (0 for none).
template <class F>
int NumeroDoErro(F&& f) {
  const std::string e = ErroDe(f);
  return e.empty() ? 0 : std::stoi(e);
}

}  // namespace kv::teste

#include "platform/erro.h"
template <class F>
std::string kv::teste::ErroDe(F&& f) {
  try {
    f();
  } catch (const kv::Erro& e) {
    return std::to_string(e.numero()) + ": " + e.descricao();
  }
  return "";
}

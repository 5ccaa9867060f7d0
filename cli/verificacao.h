// Running the control's complete check without a window, and showing its outcome as text or JSON.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/opcoes.h"
#include "control/controle.h"

namespace kv::cli {

struct ErroSaida {
  int numero;
  std::string descricao;
};

struct NoSaida {
  std::string chave, texto;
  int imagem = 0;
  std::string mensagem;                   // what the panel shows when the node is clicked
  std::optional<ErroSaida> erroMensagem;  // the builder failed: the panel stays empty
  std::vector<NoSaida> filhos;
};

struct Verificacao {
  std::string declaracao, exercicio;
  std::optional<std::string> status;  // none when the build ended without status
  bool consistente = false;
  std::vector<std::vector<std::string>> entradas;
  std::vector<NoSaida> arvore;
  std::optional<ErroSaida> erro;
  std::string aviso;                   // why a recorded consistent flag was set aside, if it was
  std::vector<std::string> gravacoes;  // what the check wrote to the declaration (or did not, read-only)
};

// Checks --declaracao, --exercicio and --banco before anything is opened (ErroUso naming the problem),
// makes --banco and --exercicio this run's values (never written to the settings file) and registers the
// host's components.
void PreparaHost(const Opcoes& o);
// The fiscal year setting as it stands.
std::string ExercicioAtualTexto();

// The control's complete check of `declaracao`, with every item's explanation unless `explica` is false.
Verificacao Verifica(ControleConsistencia& controle, const std::string& declaracao, bool explica = true);
// Entries, tree and explanations as the control holds them now (after acceptances, say).
void Coleta(ControleConsistencia& controle, Verificacao& v, bool explica = true);

std::string JsonVerificacao(const Verificacao& v, bool comArvore = true);
// For people: status, the tree with each item's explanation and, under an open warning, how to accept it.
std::string TextoVerificacao(const Verificacao& v, bool comStatus = true);
// The tree that the control would build from the store's entries as they stand (all items open), with
// explanations: for checks that make no tree of their own (verificar-kv).
void ArvoreDasEntradas(Verificacao& v);
std::string JsonEntradas(const std::vector<std::vector<std::string>>& entradas);
std::string JsonErro(const ErroSaida& e);
// The exit status of a check: 0 consistent, 1 inconsistent, 3 failed.
int SaidaDe(const Verificacao& v);

// Consistente and Chave as recorded for the declaration (Null when there is no row).
struct Registro {
  Variant consistente, chave;
};
Registro LeRegistro(const std::string& declaracao);

}  // namespace kv::cli

// Running the control's complete check without a window, and showing its outcome as text or JSON.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "checker/consistekv.h"
#include "cli/opcoes.h"
#include "control/controle.h"

namespace kv::cli {

// A check's outcome with what it was a check of.
struct Verificacao : ResultadoVerificacao {
  std::string declaracao, exercicio;
  std::string banco;  // the database checked (absolute path)
};

// What a command needs before it runs.
struct Precisa {
  bool exercicio = true;                            // a fiscal year, from --exercicio or the settings
  bool declaracao = true;                           // --declaracao names a declaration that the database has
  std::optional<std::string> banco = std::nullopt;  // the database, when not --banco's
  bool carteira = false;  // many databases, each checked on its own: none is the run's
  bool aceitaJet = true;  // the command only reads, so a Jet file can be checked through a copy
};

// Checks what the user gave and what the command needs before anything runs: --declaracao, --exercicio
// and --banco well formed; a database (from --banco or the settings) that exists, is SQLite and has every
// table the rules read; a fiscal year; the declaration in it. Each failure is an ErroUso that says what
// to do. Makes --banco and --exercicio this run's values (never written to the settings file) and
// registers the host's components.
void PreparaHost(const Opcoes& o, Precisa precisa = {});
// The database has every table the rules read, and the declaration when one is named (ErroUso
// otherwise). A database that cannot be read now (locked, damaged) is left to the check.
void ConfereBancoDeDeclaracoes(const std::string& caminho, const std::string& declaracao = "");
// The fiscal year setting as it stands.
std::string ExercicioAtualTexto();

// The control's complete check of `declaracao`, with every item's explanation unless `explica` is false.
Verificacao Verifica(ControleConsistencia& controle, const std::string& declaracao, bool explica = true);

std::string JsonVerificacao(const Verificacao& v, bool comArvore = true);
// For people: status, the tree with each item's explanation and, under an open warning, the whole command
// that accepts it, quoted for the shell.
std::string TextoVerificacao(const Verificacao& v, bool comStatus = true);
// The tree that the control would build from the store's entries as they stand (all items open), with
// explanations: for checks that make no tree of their own (verificar-kv).
// The store's entries are left by the check that ran last on this thread.
ResultadoVerificacao ArvoreDasEntradas(bool explica);
std::string JsonEntradas(const std::vector<std::vector<std::string>>& entradas);
std::string JsonErro(const ErroVerificacao& e);
// `, "evidencias": [{"chave": ..., "evidencia": ..., "resumo": ...}]`: every item's figures, for lote.
std::string JsonEvidencias(const Verificacao& v);
// `, "evidencia": [...], "resumo": "..."` for an item with figures; "" otherwise.
std::string JsonEvidencia(const ItemResultado& item);
// The exit status of a check: 0 consistent, 1 inconsistent, 3 failed.
int SaidaDe(const Verificacao& v);
// `s` as one word for a POSIX shell: between apostrophes when it holds anything but safe characters.
std::string ParaShell(const std::string& s);

}  // namespace kv::cli

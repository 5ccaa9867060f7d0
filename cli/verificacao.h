// What the commands share: the checks of what the user gave, the host made ready, a check as the
// command line runs it, and what it prints under an open warning.
#pragma once

#include <optional>
#include <string>

#include "cli/opcoes.h"
#include "control/controle.h"

namespace kv::cli {

// What a command needs before it runs.
struct Precisa {
  bool exercicio = true;                            // a fiscal year, from --exercicio or the settings
  bool exercicioNaOpcao = false;                    // ... from --exercicio alone
  bool declaracao = true;                           // --declaracao names a declaration that the database has
  std::optional<std::string> banco = std::nullopt;  // the database, when not --banco's
  bool carteira = false;  // many databases, each checked on its own: none is the run's
  bool aceitaJet = true;  // the command only reads, so a Jet file can be checked through a copy
  bool grava = false;     // the command records (the key, the outcome): the database must be writable
};

// Checks what the user gave and what the command needs before anything runs: everything missing named at
// once; --declaracao, --exercicio and --banco well formed; a database (from --banco or the settings) that
// exists, is SQLite and has every table the rules read; a fiscal year; the declaration in it. Each failure is
// an ErroUso that says what to do. Makes --banco and --exercicio this run's values (never written to the
// settings file) and registers the host's components.
void PreparaHost(const Opcoes& o, Precisa precisa = {});
// The fiscal year setting as it stands.
std::string ExercicioAtualTexto();

// The control's complete check of `declaracao`, with every item's explanation unless `explica` is false;
// a Jet file is named as the user gave it, never by its copy.
ResultadoVerificacao Verifica(ControleConsistencia& controle, const std::string& declaracao,
                              bool explica = true);
// The exit status of a check: 0 consistent, 1 inconsistent, 3 failed.
int SaidaDe(const ResultadoVerificacao& v);
// After the tree of a declaration with open items: the errors to correct at the source, and the one
// command that accepts every warning and records the key (for a Jet file, its import first), quoted for
// the shell; pasted as printed it records the declaration.
std::string DicaDeAceite(const ResultadoVerificacao& v);
// The tree that the control would build from the store's entries as they stand (all items open), with
// explanations: for checks that make no tree of their own (verificar-kv). The store's entries are left by
// the check that ran last on this thread.
ResultadoVerificacao ArvoreDasEntradas(bool explica);
// Refuses (ErroUso) a file to create in a folder that does not exist or cannot be written; `deQue` names
// it in the message ("do destino 'x.db'").
void ConferePasta(const std::string& caminho, const std::string& deQue);
// Refuses (ErroUso) an output path in a folder that does not exist or cannot be written, a folder, the
// database being checked, any other SQLite database and a Jet file.
void VerificaSaida(const std::string& saida);
// Where a hint imports a Jet file: NAME.db beside it, else in the working folder when its own cannot be
// written, numbered (NAME-2.db, …) past any file that exists.
std::string DestinoDaCopia(const std::string& jet);
// The command that imports a Jet file into `destino`, quoted for the shell.
std::string ComandoDeImportar(const std::string& jet, const std::string& destino);
// `s` as one word for a POSIX shell: between apostrophes when it holds anything but safe characters.
std::string ParaShell(const std::string& s);

}  // namespace kv::cli

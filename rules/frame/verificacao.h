// The check every rule takes: the declaration, the database, the fiscal year and the reference filter of
// one run of the rules, and where the rule's findings go.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "platform/db/banco.h"
#include "platform/externos.h"
#include "rules/frame/estado.h"
#include "rules/frame/inconsistencias.h"

namespace kv {

// What a finding with this key is, by the rule table: whether it may be accepted, and its kind.
struct TipoDaChave {
  bool aceitavel;
  std::string tipo;
  const char* grupo = "";      // its group's header, "Entradas"
  const char* descricao = "";  // what it means, "imposto acima de 25% das entradas interestaduais"
};
TipoDaChave ClassificaChave(const std::string& chave);

class Verificacao {
 public:
  // A run of the rules over this thread's module state (its declaration, database and store). The
  // control's and the checker's entry points make one; nothing else touches the module state.
  explicit Verificacao(EstadoModulo& estado) : e_(estado) {}
  Verificacao(const Verificacao&) = delete;
  Verificacao& operator=(const Verificacao&) = delete;

  // The declaration number as SQL text, validated the first time it is asked for: anything but a whole
  // number raises error 13 naming the value, before any statement can run.
  const std::string& Declaracao();
  // The declaration as the host set it (what FiltroReferencia is told).
  Variant& DeclaracaoDoHost() { return e_.declaracao; }

  // Reads the path setting, creates the shared ConexaoBanco if needed, opens the database and makes it
  // the module's open database; returns it, or null (the ordinary "cannot open" answer). Inside the
  // check's snapshot it is the database the check opened, without reading the settings again.
  std::shared_ptr<Database> AbreBanco();
  // The database, or error 91 naming the database that could not be opened and why (for the rules that
  // do not test for a missing database).
  Database& Exige(const std::shared_ptr<Database>& banco) const;
  // The object the last opening returned, by any rule (the TOVIR queries test it before they open).
  bool HaBanco() const { return e_.banco != nullptr; }
  const std::string& CaminhoBanco() const { return e_.caminhoBanco; }
  // ("KV", "Exercicio", "ExercicioAtual") as a 16-bit integer; empty or not a number fails.
  int16_t Exercicio() const;
  // The shared FiltroReferencia, created on first use.
  FiltroReferencia& Filtro();

  // Appends the finding to the store: its group's entry first (once per check, just before the group's
  // first item), then its item entry, both rendered as " # " texts and split, with what it is from the
  // rule table.
  void Registra(Achado a);
  // Appends the group's entry if the store does not have it yet. A rule that knows it will report calls
  // it before working out what may still fail (a month's name), so the entry stays when that fails.
  void Grupo(const std::string& grupo);
  // What the check wrote to the declaration, or would have written to a read-only database.
  void Grava(std::string gravacao) { e_.gravacoes.push_back(std::move(gravacao)); }

 private:
  EstadoModulo& e_;
  std::string numero_;
  bool validado_ = false;
  std::set<std::string> grupos_;  // groups whose entry is in the store
};

}  // namespace kv

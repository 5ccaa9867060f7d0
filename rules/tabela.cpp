// The table of rules: one row per group of the tree, in the order the rules run and the groups show.
#include "platform/texto.h"
#include "rules/regras.h"

namespace kv {
namespace {

// Each group's message builder, from the key of the node selected.
std::string DoExercicio(const std::string&) {
  return MensagemExercicio();
}
std::string DoContribuinte(const std::string& chave) {
  return MensagemContribuinte(Esquerda(chave, 1));  // "H" or "I"
}
std::string DasEntradasInter(const std::string& chave) {
  return MensagemEntradasInter(Meio(chave, 3, 4));
}
std::string DasSaidasInter(const std::string& chave) {
  return MensagemSaidasInter(Meio(chave, 3, 4));
}
std::string DaTovir(const std::string& chave) {
  std::string codigo = MeioAteFim(chave, 9);
  return MensagemTovir(codigo);
}
std::string DoEnquadramento(const std::string&) {
  return MensagemEnquadramento();
}

const RegraDoGrupo kTabela[] = {
    {"Exercício", "Exercício", "M", ConsisteExercicio, DoExercicio, false, false, ImagemDoItem::SempreAberta},
    {"Contribuinte", "Contribuinte", "HI", ConsisteContribuinte, DoContribuinte, false, true,
     ImagemDoItem::DaMontagem},
    {"Entradas", "Entradas", "A", ConsisteEntradas, MensagemEntradas, false, false, ImagemDoItem::DaMontagem},
    {"Saídas", "Saídas", "B", ConsisteSaidas, MensagemSaidas, false, false, ImagemDoItem::DaMontagem},
    {"Entradas Interestaduais", "Entradas Interestaduais", "C", ConsisteEntradasInter, DasEntradasInter, true,
     true, ImagemDoItem::DaMontagem},
    {"Saídas Interestaduais", "Saídas Interestaduais", "D", ConsisteSaidasInter, DasSaidasInter, true, true,
     ImagemDoItem::DaMontagem},
    {"TOVIR", "TOVIR", "EJ", ConsisteTovir, DaTovir, true, true, ImagemDoItem::DaMontagem, CompletaTovir},
    {"Enquadramento", "Declaração de Enquadramento", "F", ConsisteEnquadramento, DoEnquadramento, false, true,
     ImagemDoItem::DaEntrada},
};

}  // namespace

std::span<const RegraDoGrupo> TabelaDeRegras() {
  return kTabela;
}

const RegraDoGrupo* RegraDaChave(const std::string& chave) {
  if (chave.size() < 2 || chave[1] != ':') return nullptr;
  for (const RegraDoGrupo& r : kTabela)
    if (std::string_view(r.letras).find(chave[0]) != std::string_view::npos) return &r;
  return nullptr;
}

}  // namespace kv

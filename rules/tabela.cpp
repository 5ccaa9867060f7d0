// The table of rules: one row per group of the tree, in the order the rules run and the groups show, with
// what the group's findings are.
#include "platform/texto.h"
#include "rules/regras.h"

namespace kv {
namespace {

// Each group's message builder, from the key of the node selected.
std::string DoExercicio(Verificacao&, const std::string&) {
  return MensagemExercicio();
}
std::string DoContribuinte(Verificacao&, const std::string& chave) {
  return MensagemContribuinte(Esquerda(chave, 1));  // "H" or "I"
}
std::string DasEntradas(Verificacao&, const std::string& chave) {
  return MensagemEntradas(chave);
}
std::string DasSaidas(Verificacao&, const std::string& chave) {
  return MensagemSaidas(chave);
}
std::string DasEntradasInter(Verificacao& v, const std::string& chave) {
  return MensagemEntradasInter(v, Meio(chave, 3, 4));
}
std::string DasSaidasInter(Verificacao& v, const std::string& chave) {
  return MensagemSaidasInter(v, Meio(chave, 3, 4));
}
std::string DaTovir(Verificacao& v, const std::string& chave) {
  std::string codigo = MeioAteFim(chave, 9);
  return MensagemTovir(v, codigo);
}
std::string DoEnquadramento(Verificacao&, const std::string&) {
  return MensagemEnquadramento();
}

// Errors are corrected in the declaration; warnings may be accepted as exceptions.
constexpr TipoDeAchado kExercicio[] = {{'M', "", false, "sem nenhum lançamento mensal"}};
constexpr TipoDeAchado kContribuinte[] = {{'H', "", false, "sem CNPJ"}, {'I', "", false, "sem CNAE"}};
constexpr TipoDeAchado kEntradas[] = {{'A', "Imp", true, "mês com entradas interestaduais e imposto zero"},
                                      {'A', "25%", true, "imposto acima de 25% das entradas interestaduais"}};
constexpr TipoDeAchado kSaidas[] = {{'B', "Imp", false, "mês com saídas tributadas e imposto devido zero"},
                                    {'B', "25%", true, "imposto devido acima de 25% das saídas tributadas"}};
constexpr TipoDeAchado kEntradasInter[] = {
    {'C', "VC", false, "total do mês diferente da soma dos estados"},
    {'C', "25", true, "estado com soma ou imposto (25%) inconsistente"}};
constexpr TipoDeAchado kSaidasInter[] = {{'D', "VC", false, "total do mês diferente da soma dos estados"},
                                         {'D', "25", true, "estado com soma ou imposto (25%) inconsistente"}};
constexpr TipoDeAchado kTovir[] = {
    {'E', " M=0", false, "lançamento de zeros no código", true},
    {'E', " Dpl", false, "município lançado mais de uma vez no código", true},
    {'E', "1.X Y>X", false, "códigos 1.1 e 1.3 acima das entradas internas", true},
    {'E', "2.X", false, "códigos 2.2 a 2.6 acima das saídas", true},
    {'E', "", false, "código com lançamento inconsistente"},
    {'J', "", true, "valores nos códigos 3.7 e 3.8, a confirmar"}};
constexpr TipoDeAchado kEnquadramento[] = {{'F', "", false, "sem opção selecionada"}};

const RegraDoGrupo kTabela[] = {
    {"Exercício", "Exercício", "M", ConsisteExercicio, DoExercicio, false, false, ImagemDoItem::SempreAberta,
     kExercicio},
    {"Contribuinte", "Contribuinte", "HI", ConsisteContribuinte, DoContribuinte, false, true,
     ImagemDoItem::DaMontagem, kContribuinte},
    {"Entradas", "Entradas", "A", ConsisteEntradas, DasEntradas, false, false, ImagemDoItem::DaMontagem,
     kEntradas},
    {"Saídas", "Saídas", "B", ConsisteSaidas, DasSaidas, false, false, ImagemDoItem::DaMontagem, kSaidas},
    {"Entradas Interestaduais", "Entradas Interestaduais", "C", ConsisteEntradasInter, DasEntradasInter, true,
     true, ImagemDoItem::DaMontagem, kEntradasInter},
    {"Saídas Interestaduais", "Saídas Interestaduais", "D", ConsisteSaidasInter, DasSaidasInter, true, true,
     ImagemDoItem::DaMontagem, kSaidasInter},
    {"TOVIR", "TOVIR", "EJ", ConsisteTovir, DaTovir, true, true, ImagemDoItem::DaMontagem, kTovir},
    {"Enquadramento", "Declaração de Enquadramento", "F", ConsisteEnquadramento, DoEnquadramento, false, true,
     ImagemDoItem::DaEntrada, kEnquadramento},
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

TipoDaChave ClassificaChave(const std::string& chave) {
  for (const RegraDoGrupo& r : kTabela)
    for (const TipoDeAchado& t : r.tipos) {
      if (chave.empty() || chave[0] != t.letra || (*t.codigo && !chave.ends_with(t.codigo))) continue;
      return {t.aceitavel, !*t.codigo || t.chaveInteira ? chave : std::string(1, t.letra) + ":" + t.codigo,
              r.cabecalho, t.descricao};
    }
  return {true, chave};
}

}  // namespace kv

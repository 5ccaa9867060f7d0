#include "report/resumo.h"

#include "platform/texto.h"
#include "report/json.h"

namespace kv {
namespace {

// Why a file is among those with problems: its error, or its declarations that failed or are inconsistent.
std::string OQueFalhou(const ArquivoDaCarteira& a, const ResumoDoArquivo& r) {
  if (a.erro)
    return "ilegível: erro " + std::to_string(a.erro->numero) + ": " + TextoVisivel(a.erro->descricao);
  std::string t;
  if (r.inconsistentes)
    t = std::to_string(r.inconsistentes) +
        (r.inconsistentes == 1 ? " declaração inconsistente" : " declarações inconsistentes");
  if (r.falhas) t += (t.empty() ? "" : ", ") + std::to_string(r.falhas) + " com falha na verificação";
  return t;
}

}  // namespace

std::string TextoDoResumo(const ResumoDaCarteira& s, const Carteira* carteira) {
  std::string r = "\nResumo" + std::string(s.interrompido ? " (interrompido)" : "") + ": " +
                  std::to_string(s.verificadas) + " de " + std::to_string(s.total) +
                  " declarações verificadas\n" + "  consistentes:   " + std::to_string(s.consistentes) +
                  "\n  inconsistentes: " + std::to_string(s.inconsistentes) +
                  "\n  com falha:      " + std::to_string(s.falhas) + "\n" +
                  (s.avisos ? "  com aviso:      " + std::to_string(s.avisos) + " (chave gravada)\n" : "");
  if (carteira) {
    const std::vector<size_t> ruins = s.ComProblema();
    // Interrupted, only the files reached were seen.
    r += "Arquivos: " + (s.interrompido ? std::to_string(s.arquivos.size()) + " de " : std::string()) +
         std::to_string(carteira->arquivos().size()) + ", com problemas: " + std::to_string(ruins.size()) +
         (s.ilegiveis ? " (" + std::to_string(s.ilegiveis) + " ilegíveis)" : "") + "\n";
    for (size_t i : ruins)
      r += "  " + TextoVisivel(carteira->arquivos()[i].nome) + ": " +
           OQueFalhou(carteira->arquivos()[i], s.arquivos.at(i)) + "\n";
    if (!s.porTipo.empty()) r += "Achados por tipo:\n";
    for (const auto& [tipo, n] : s.TiposPorQuantidade())
      r += "  " + std::to_string(n) + "  " + TextoVisivel(tipo) + "\n";
    return r;
  }
  if (!s.porGrupo.empty()) r += "Achados por grupo:\n";
  for (const auto& [grupo, n] : s.porGrupo) r += "  " + TextoVisivel(grupo) + ": " + std::to_string(n) + "\n";
  return r;
}

std::string JsonDoResumo(const ResumoDaCarteira& s, const Carteira* carteira) {
  EscritorJson j;
  j.Objeto().Chave("resumo").Objeto();
  j.Chave("declaracoes").Numero(s.total).Chave("verificadas").Numero(s.verificadas);
  j.Chave("consistentes").Numero(s.consistentes).Chave("inconsistentes").Numero(s.inconsistentes);
  j.Chave("falhas").Numero(s.falhas).Chave("avisos").Numero(s.avisos);
  j.Chave("achadosPorGrupo").Objeto();
  for (const auto& [grupo, n] : s.porGrupo) j.Chave(grupo).Numero(n);
  j.Fim().Chave("interrompido").Logico(s.interrompido);
  if (carteira) {
    j.Chave("arquivos").Numero(static_cast<long long>(carteira->arquivos().size()));
    j.Chave("arquivosIlegiveis").Numero(s.ilegiveis).Chave("arquivosComProblemas").Lista();
    for (size_t i : s.ComProblema()) j.Texto(carteira->arquivos()[i].nome);
    j.Fim().Chave("achadosPorTipo").Objeto();
    for (const auto& [tipo, n] : s.TiposPorQuantidade()) j.Chave(tipo).Numero(n);
    j.Fim();
  }
  return j.Fim().Fim().texto();
}

}  // namespace kv

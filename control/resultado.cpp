// Verifica and Resultado: where a check's outcome is made, as one plain value.
#include "control/controle.h"
#include "platform/configuracao.h"
#include "platform/db/sqlite_banco.h"
#include "platform/erro.h"
#include "rules/frame/estado.h"
#include "rules/frame/verificacao.h"

namespace kv {
namespace {

// Why the last build found no database to check.
ErroVerificacao SemBanco() {
  const std::string& caminho = Estado().caminhoBanco;
  const std::string motivo = MotivoNaoEhBanco(caminho);
  return {kErroBancoNaoEncontrado, "O banco de dados não pôde ser aberto: '" + caminho + "'" +
                                       (motivo.empty() ? "" : " (" + motivo + ")")};
}

}  // namespace

std::string TipoDoAchado(const std::string& chave) {
  return ClassificaChave(chave).tipo;
}

std::string DescricaoDoTipo(const std::string& tipo) {
  const TipoDaChave t = ClassificaChave(tipo);
  return *t.grupo ? std::string(t.grupo) + ": " + t.descricao : "";
}

ResultadoVerificacao ControleConsistencia::Verifica(bool explica) {
  mensagem_->Define("");
  try {
    MontaInconsistencias();
    if (montagemFalhou_) erro_ = SemBanco();
  } catch (const Erro& e) {
    erro_ = ErroVerificacao{e.numero(), e.descricao()};
  } catch (const std::exception& e) {
    erro_ = ErroVerificacao{0, e.what()};
  }
  return Resultado(explica);
}

ResultadoVerificacao ControleConsistencia::Resultado(bool explica) {
  ResultadoVerificacao r;
  r.declaracao = TextoDe(Estado().declaracao);
  r.exercicio = Config().Le(kApp, "Exercicio", "ExercicioAtual", "");
  r.banco = Config().Le(kApp, "DB", "DbAtual", "");
  r.status = status_;
  r.consistente = status_ == kStatusConsistente;
  r.erro = erro_;
  if (status_) {
    r.aviso = avisoRegistro_;
    r.gravacoes = Estado().gravacoes;
  }
  const ColecaoInconsistencias& c = ObtemInconsistencias();
  for (long i = 1; i <= c.Count(); ++i) r.entradas.push_back(c.Item(i));
  for (const NoRef& no : arvore_.Nos()) {
    if (no->pai.empty()) {
      r.arvore.push_back({no->chave, no->texto, no->imagem, {}});
      continue;
    }
    ItemResultado item{no->chave, no->texto, no->imagem, PodeSerAceita(no->chave), "", std::nullopt, {}, ""};
    if (explica) {
      try {
        item.mensagem = MensagemDoNo(no->chave);
      } catch (const Erro& e) {
        item.erroMensagem = ErroVerificacao{e.numero(), e.descricao()};
      }
      Achado a = AchadoDoNo(no->chave);
      item.evidencia = std::move(a.figuras);
      item.resumo = std::move(a.resumo);
    }
    for (GrupoResultado& g : r.arvore)
      if (g.chave == no->pai) g.itens.push_back(std::move(item));
  }
  return r;
}

}  // namespace kv

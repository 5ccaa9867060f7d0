// The check: the one door from the rules to the module state, and where findings become entries.
#include "rules/frame/verificacao.h"

#include "platform/componentes.h"
#include "platform/configuracao.h"
#include "platform/db/sqlite_banco.h"
#include "platform/erro.h"
#include "platform/texto.h"
#include "rules/frame/quadro.h"

namespace kv {

const std::string& Verificacao::Declaracao() {
  if (!validado_) {
    numero_ = NumeroDaDeclaracao(e_.declaracao);
    validado_ = true;
  }
  return numero_;
}

std::shared_ptr<Database> Verificacao::AbreBanco() {
  // Inside a check's snapshot the database was named and opened when the check began: every rule of the
  // check reads that one, without reading the settings or looking at the file again.
  if (e_.banco && e_.banco->EmLeitura()) return e_.banco;
  e_.caminhoBanco = Config().Le(kApp, "DB", "DbAtual", "");
  if (!e_.conexao) e_.conexao = CriaComo<ConexaoBanco>(kClsidConexaoBanco);
  e_.banco = e_.conexao->AbreBanco(e_.caminhoBanco);
  return e_.banco;
}

int16_t Verificacao::Exercicio() const {
  return CInt(Variant::Str(Config().Le(kApp, "Exercicio", "ExercicioAtual", "")));
}

FiltroReferencia& Verificacao::Filtro() {
  if (!e_.filtro) e_.filtro = CriaComo<FiltroReferencia>(kClsidFiltroReferencia);
  return *e_.filtro;
}

void Verificacao::Grupo(const std::string& grupo) {
  if (grupos_.insert(grupo).second) AdicionaInconsistencia(Divide(grupo + " # " + grupo + " ", " # "));
}

void Verificacao::Registra(Achado a) {
  Grupo(a.grupo);
  AdicionaInconsistencia(Divide(a.grupo + " # " + a.chave + " # " + a.texto + " # " + a.imagem, " # "));
  TipoDaChave t = ClassificaChave(a.chave);
  a.aceitavel = t.aceitavel;
  a.tipo = std::move(t.tipo);
  e_.colecao.DefineAchado(std::move(a));
}

Database& Verificacao::Exige(const std::shared_ptr<Database>& banco) const {
  if (banco) return *banco;
  const std::string& caminho = e_.caminhoBanco;
  const std::string motivo = MotivoNaoEhBanco(caminho);
  throw Erro(kErroObjeto,
             "Variável de objeto não definida: o banco de dados " +
                 (caminho.empty() ? std::string("não foi definido (configuração DB/DbAtual vazia)")
                                  : "'" + caminho + "' não pôde ser aberto" +
                                        (motivo.empty() ? "" : " (" + motivo + ")")));
}

}  // namespace kv

// MontaInconsistencias: the control's one complete check, and the order in which the rules run.
#include <vector>

#include "control/controle.h"
#include "platform/configuracao.h"
#include "platform/db/modelo.h"
#include "platform/erro.h"
#include "rules/regras.h"

namespace kv {
namespace {

// Why a true flag cannot stand, or "" when it stands. The flag is recorded only with its key, so a flag
// without one (damage, an edit, another program) proves nothing; a recorded key must still seal the
// declaration; and a key that cannot be made again to compare (the certification library missing or
// failing) proves nothing either way: the flag is then set aside, never taken on trust.
std::string MotivoParaDeixarOFlag(Recordset& rs, Verificacao& v) {
  Variant chave;
  try {
    chave = rs.Campo("Chave");
  } catch (const Erro& e) {
    if (e.numero() != kErroItemNaoEncontrado) throw;  // a table without the key column has no key
  }
  const std::string texto = chave.IsNull() ? "" : TextoDe(chave);
  if (texto.empty()) return kAvisoSemChave;
  try {
    return ChaveConfere(CLng(Variant::Str(v.Declaracao())), texto) ? "" : kAvisoChaveNaoConfere;
  } catch (const Erro& e) {
    return kAvisoChaveNaoConferida + " (erro " + std::to_string(e.numero()) + ": " + e.descricao() + ")";
  }
}

}  // namespace

void ControleConsistencia::ExecutaRegras(Verificacao& v, int16_t exercicio) {
  for (const RegraDoGrupo& r : TabelaDeRegras())
    if (!r.desde2001 || exercicio >= 2001) r.consiste(v);
}

void ControleConsistencia::MostraEntradas(int imagemPadrao) {
  const std::span<const RegraDoGrupo> grupos = TabelaDeRegras();
  std::vector<bool> pendente(grupos.size(), true);  // the group's first entry (its header) is still to come
  const ColecaoInconsistencias& colecao = ObtemInconsistencias();
  for (long k = 1; k <= colecao.Count(); ++k) {
    const ItemInconsistencia& item = colecao.Item(k);
    size_t g = 0;
    while (g < grupos.size() && item[0] != grupos[g].grupo) ++g;
    if (g == grupos.size()) continue;
    const RegraDoGrupo& grupo = grupos[g];
    if (pendente[g]) {
      if (!arvore_.Busca(grupo.cabecalho))
        arvore_.AdicionaRaiz(grupo.cabecalho, grupo.cabecalho, kImagemCabecalho);
      pendente[g] = false;
      continue;
    }
    if (item.size() < 4) ErroSubscrito();
    int imagem = imagemPadrao;
    if (grupo.imagem == ImagemDoItem::SempreAberta) imagem = kImagemAberta;
    if (grupo.imagem == ImagemDoItem::DaEntrada) imagem = CInt(Variant::Str(item[3]));
    // A key that an earlier node already has adds no second node; the store keeps both entries.
    if (arvore_.Busca(item[1])) continue;
    arvore_.AdicionaFilho(grupo.cabecalho, item[1], item[2], imagem);
  }
}

void ControleConsistencia::MontaInconsistencias() {
  // Until this run ends well, the tree is not the declaration's check.
  montagemFalhou_ = true;
  status_.reset();
  erro_.reset();
  avisoRegistro_.clear();
  assinatura_.clear();
  ColecaoInconsistencias& colecao = ObtemInconsistencias();
  colecao.Esvazia();
  arvore_.Limpa();
  CarregaLabel();

  EstadoModulo& e = Estado();
  e.gravacoes.clear();
  Config().Recarrega();
  e.caminhoBanco = Config().Le(kApp, "DB", "DbAtual", "");
  if (!conexao_) conexao_ = CriaComo<ConexaoBanco>(kClsidConexaoBanco);
  e.banco = conexao_->AbreBanco(e.caminhoBanco);
  // Every rule of this check reads one state of the declaration, even while the host writes; the
  // signature is taken inside it, so it names the very state read (and costs no lock cycle of its own).
  LeituraUnica leitura(e.banco);
  const std::string assinatura = Assinatura(e.banco, e.caminhoBanco);
  Verificacao v(e);
  ExecutaRegras(v, v.Exercicio());

  long n = colecao.Count();
  if (!e.banco) return;
  static const ModeloSql declaracao{"SELECT * FROM tblDeclaração WHERE (Declaração =", Vaga::Valor,
                                    ")ORDER BY Declaração"};
  auto rs = AbreModelo(*e.banco, declaracao, {v.Declaracao()}, kDynaset);
  // No row for the declaration reads as a Null flag: not recorded consistent.
  Variant consistente = rs->Eof() ? Variant::Nulo() : rs->Campo("Consistente");
  bool gravada = !consistente.IsNull() && CBool(consistente);
  // A recorded flag stands for the data its key sealed. When its key is missing, no longer matches or
  // cannot be checked, the findings are judged as they are now; a declaration without findings stays
  // consistent, and the warning says that its key must be made again.
  if (gravada && (n > 0 || conferirChave_)) avisoRegistro_ = MotivoParaDeixarOFlag(*rs, v);
  if (!avisoRegistro_.empty()) gravada = false;
  bool ok = n == 0 || gravada;
  status_ = ok ? kStatusConsistente : kStatusInconsistente;
  mensagem_->Define(*status_);
  int imagemPadrao = ok ? kImagemAceita : kImagemAberta;

  MostraEntradas(imagemPadrao);
  montagemFalhou_ = false;
  assinatura_ = assinatura;
}

}  // namespace kv

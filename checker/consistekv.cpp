#include "checker/consistekv.h"

#include "platform/configuracao.h"
#include "rules/frame/estado.h"
#include "rules/regras.h"

namespace kv {

void ConsisteKV::GeraConsistencia() {
  GeraChave(caixa_ ? *caixa_ : *CaixaPadrao());
}

Variant ConsisteKV::VerificaConsistencia(Variant& pvtIE, Variant& pvtExercicio, Variant& pvtDeclaracao) {
  EstadoModulo& e = Estado();
  e.ie = pvtIE;
  e.exercicio = pvtExercicio;
  e.declaracao = pvtDeclaracao;
  e.gravacoes.clear();
  Config().Grava(kApp, "Exercicio", "ExercicioAtual", CStr(pvtExercicio));
  ObtemInconsistencias().Esvazia();
  {
    // One state of the declaration for the rules. It ends before the key is made: recording the key
    // writes, and a read held open would make that write wait for itself.
    Verificacao v(e);
    LeituraUnica leitura(v.AbreBanco());
    for (const RegraDoGrupo& r : TabelaDeRegras())
      if (r.noVerificador) r.consiste(v);
  }
  if (ObtemInconsistencias().Count() == 0) {
    e.ie = pvtIE;
    e.declaracao = pvtDeclaracao;
    GeraConsistencia();
  }
  return Variant();
}

}  // namespace kv

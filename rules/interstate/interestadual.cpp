#include "rules/interstate/interestadual.h"

#include "platform/componentes.h"
#include "platform/texto.h"
#include "rules/frame/quadro.h"
#include "rules/monthly/mensal.h"
#include "rules/regras.h"

namespace kv {

Currency Limite(const Variant& base) {
  return CCur(Produto(base, 0.25));
}

namespace {

const ModeloSql kDetalhe{"SELECT * FROM tblDetalhesInterUFs WHERE ((Declaração = ",
                         Vaga::Valor,
                         ") And (Ref =",
                         Vaga::Valor,
                         ") And (Tipo = ",
                         Vaga::Valor,
                         "))ORDER BY Ref"};

// The values of the detail statements, checked before the database is opened: the declaration, the
// month and the detail type.
struct ValoresDetalhe {
  ValoresDetalhe(const std::string& referencia, int tipo)
      : declaracao(NumeroDeclaracao()),
        ref(NumeroParaSql(Variant::Str(referencia), "Ref")),
        tipo(std::to_string(tipo)) {}
  std::unique_ptr<Recordset> Abre(Database& banco, const ModeloSql& modelo) const {
    return AbreModelo(banco, modelo, {declaracao, ref, tipo});
  }
  std::string declaracao, ref, tipo;
};

// The failing rows of the last DetalheInconsistente on this thread, as figures: the month's finding takes
// them as its evidence (the rows were read for the test; reading them again would be another statement).
thread_local std::vector<Figura> tFalhasDoDetalhe;

}  // namespace

std::unique_ptr<Recordset> AbreMeses(const ModeloSql& meses) {
  std::string declaracao = NumeroDeclaracao();
  auto banco = AbreBancoRegra();
  return banco ? AbreModelo(*banco, meses, {declaracao}) : nullptr;
}

const ModeloSql& HavingDetalhe() {
  static const ModeloSql having{" GROUP BY  Declaração, Ref, Tipo HAVING ((Declaração = ",
                                Vaga::Valor,
                                ") And (Ref =",
                                Vaga::Valor,
                                ") And (Tipo = ",
                                Vaga::Valor,
                                " ))"};
  return having;
}

Currency TotalDetalhado(const ModeloSql& soma, const std::string& referencia, int tipo,
                        Variant (*total)(Recordset& rs)) {
  ValoresDetalhe valores(referencia, tipo);
  auto banco = AbreBancoRegra();
  if (!banco) return Currency{0};
  auto rs = valores.Abre(*banco, soma);
  Currency t{0};
  if (!(rs->RecordCount() < 1)) t = CCur(total(*rs));
  rs->Close();
  return t;
}

void ConsisteInter(const RegraInter& regra) {
  auto rs = regra.abreMeses();
  if (!rs) ErroBancoAusente();
  if (rs->Eof()) {
    rs->Close();
    return;
  }
  bool grupoPendente = true;
  EstadoModulo& e = Estado();
  while (!rs->Eof()) {
    if (!e.filtro) e.filtro = CriaComo<FiltroReferencia>(kClsidFiltroReferencia);
    e.filtro->InformaBanco(e.caminhoBanco);
    Variant ref = rs->Campo("Ref");
    e.filtro->InformaReferencia(e.declaracao, ref);
    std::string refSql = NumeroParaSql(ref, "Ref");
    Currency total = regra.somaDetalhe(refSql);
    Variant registrado = regra.registrado(*rs);
    bool linhasFalham = regra.detalheInconsistente(refSql);
    const std::vector<Figura> falhas = std::move(tFalhasDoDetalhe);
    bool examinado = Verdade(Diferente(e.filtro->Resultado(), Variant::Int(0)));
    Tri difere = Diferente(registrado, Variant::Cur(total));
    if (examinado && Verdade(Ou(difere, linhasFalham ? Tri::Verdadeiro : Tri::Falso))) {
      if (grupoPendente) {
        AdicionaTexto(std::string(regra.grupo) + " # " + regra.grupo + " ");
        grupoPendente = false;
      }
      const char* codigo = Verdade(difere) ? "VC # " : "25 # ";
      std::string mes = NomeDoMes(CByte(ref));
      AdicionaTexto(std::string(regra.grupo) + " # " + regra.prefixo + CStr(ref) + codigo + mes + " # " +
                    ImagemPadraoTexto());
      const std::string chave = regra.prefixo + CStr(ref) + (Verdade(difere) ? "VC" : "25");
      if (Verdade(difere)) {
        const Variant diferenca = Diferenca(registrado, Variant::Cur(total));
        AdicionaEvidencia(chave,
                          {{"mês", mes},
                           {"valor mensal registrado", Decimal(registrado)},
                           {"total dos estados", Decimal(total)},
                           {"diferença", Decimal(diferenca)}},
                          Minusculas(mes) + ": registrado " + Reais(registrado) + ", soma dos estados " +
                              Reais(total) + ", diferença " + Reais(diferenca));
      } else {
        std::vector<Figura> f = {{"mês", mes}};
        f.insert(f.end(), falhas.begin(), falhas.end());
        AdicionaEvidencia(chave, f,
                          Minusculas(mes) + ": " + std::to_string(falhas.size() / 5) +
                              (falhas.size() / 5 == 1 ? " estado falha" : " estados falham") +
                              " nos testes de soma ou de 25% por estado");
      }
    }
    rs->MoveNext();
  }
  rs->Close();
}

bool DetalheInconsistente(const RegraInter& regra, const std::string& referencia) {
  ValoresDetalhe valores(referencia, regra.tipo);
  auto banco = AbreBancoRegra();
  if (!banco) return false;
  auto rs = valores.Abre(*banco, kDetalhe);
  bool resultado = false;
  tFalhasDoDetalhe.clear();
  while (!rs->Eof()) {  // every row is read: a Null base fails the run whichever row it is on
    LinhaInter l = regra.linha(*rs, false);
    const bool soma = Verdade(Diferente(l.valorContabil, l.soma));
    const bool limite = Verdade(Maior(l.imposto, Variant::Cur(*l.limite)));
    if (soma || limite) {
      resultado = true;
      const std::string uf = TextoDe(rs->Campo("UF")) + ": ";
      tFalhasDoDetalhe.push_back({uf + "teste", soma && limite ? "soma e 25%" : soma ? "soma" : "25%"});
      tFalhasDoDetalhe.push_back({uf + "valor contábil", Decimal(l.valorContabil)});
      tFalhasDoDetalhe.push_back({uf + "soma das parcelas", Decimal(l.soma)});
      tFalhasDoDetalhe.push_back({uf + "imposto", Decimal(l.imposto)});
      tFalhasDoDetalhe.push_back({uf + "limite (25% da base)", Decimal(*l.limite)});
    }
    rs->MoveNext();
  }
  rs->Close();
  return resultado;
}

std::string ListaDetalhe(const RegraInter& regra, const std::string& referencia) {
  ValoresDetalhe valores(referencia, regra.tipo);
  auto banco = AbreBancoRegra();
  if (!banco) return "";
  auto rs = valores.Abre(*banco, kDetalhe);
  if (rs->Eof()) {
    rs->Close();
    return "";
  }
  std::string texto;
  while (!rs->Eof()) {
    Variant uf = rs->Campo("UF");
    // The state code comes from the database: quoted with its apostrophes doubled.
    auto estado = banco->OpenRecordset("SELECT * FROM tblEstados WHERE ((Código = '" +
                                       Apostrofado(TextoDe(uf)) + "'))");
    LinhaInter l = regra.linha(*rs, true);
    std::string primeiro, segundo;
    if (Verdade(Diferente(l.valorContabil, l.soma))) primeiro = regra.textoSoma(l);
    if (l.limite && Verdade(Maior(l.imposto, Variant::Cur(*l.limite)))) segundo = regra.textoLimite;
    if (!primeiro.empty() || !segundo.empty()) {
      // A code without a row in tblEstados is listed under the code itself.
      std::string nome = estado->Eof() ? TextoDe(uf) : TextoDe(estado->Campo("Estado"));
      texto += nome + ": " + (primeiro.empty() ? "" : primeiro + "\r\n") + segundo + "\r\n\r\n";
    }
    rs->MoveNext();
  }
  texto += kConviteDuploClique + "\r\n";
  rs->Close();
  return texto;
}

std::string MensagemInter(const RegraInter& regra, const std::string& resto) {
  bool tres = Caracteres(resto) == 3;
  std::string codigo = tres ? Meio(resto, 2, 2) : Meio(resto, 3, 2);
  if (codigo == "VC") return std::string(regra.textoVC) + "\r\n\r\n";
  return ListaDetalhe(regra, tres ? Esquerda(resto, 1) : Esquerda(resto, 2));
}

}  // namespace kv

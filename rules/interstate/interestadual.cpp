#include "rules/interstate/interestadual.h"

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
  ValoresDetalhe(Verificacao& v, const std::string& referencia, int tipo)
      : declaracao(v.Declaracao()),
        ref(NumeroParaSql(Variant::Str(referencia), "Ref")),
        tipo(std::to_string(tipo)) {}
  std::unique_ptr<Recordset> Abre(Database& banco, const ModeloSql& modelo) const {
    return AbreModelo(banco, modelo, {declaracao, ref, tipo});
  }
  std::string declaracao, ref, tipo;
};

// The figures of a month whose state rows fail: each failing state's test and the values it compared.
std::vector<Figura> FigurasDosEstados(const std::vector<EstadoQueFalha>& estados) {
  std::vector<Figura> f;
  for (const EstadoQueFalha& e : estados) {
    const std::string uf = e.uf + ": ";
    f.push_back({uf + "teste", e.soma && e.limite ? "soma e 25%" : e.soma ? "soma" : "25%"});
    f.push_back({uf + "valor contábil", Decimal(e.linha.valorContabil), kValor});
    f.push_back({uf + "soma das parcelas", Decimal(e.linha.soma), kValor});
    f.push_back({uf + "imposto", Decimal(e.linha.imposto), kValor});
    f.push_back({uf + "limite (25% da base)", Decimal(*e.linha.limite), kValor});
  }
  return f;
}

// The finding of a reported month: "VC" (the recorded total against the states' total) or "25" (some
// state row fails its own tests).
Achado DoMes(const RegraInter& regra, const Variant& ref, bool vc, const Variant& registrado, Currency total,
             const DetalheDoMes& detalhe) {
  const std::string mes = NomeDoMes(CByte(ref));
  Achado a{.grupo = regra.grupo,
           .chave = regra.prefixo + CStr(ref) + (vc ? "VC" : "25"),
           .texto = mes,
           .imagem = ImagemPadraoTexto(),
           .figuras = {{"mês", mes}}};
  if (vc) {
    const Variant diferenca = Diferenca(registrado, Variant::Cur(total));
    a.figuras.push_back({"valor mensal registrado", Decimal(registrado), kValor});
    a.figuras.push_back({"total dos estados", Decimal(total), kValor});
    a.figuras.push_back({"diferença", Decimal(diferenca), kValor});
    a.resumo = Minusculas(mes) + ": registrado " + Reais(registrado) + ", soma dos estados " + Reais(total) +
               ", diferença " + Reais(diferenca);
    return a;
  }
  const std::vector<Figura> f = FigurasDosEstados(detalhe.estados);
  a.figuras.insert(a.figuras.end(), f.begin(), f.end());
  const size_t n = detalhe.estados.size();
  a.resumo = Minusculas(mes) + ": " + std::to_string(n) + (n == 1 ? " estado falha" : " estados falham") +
             " nos testes de soma ou de 25% por estado";
  return a;
}

}  // namespace

std::unique_ptr<Recordset> AbreMeses(Verificacao& v, const ModeloSql& meses) {
  const std::string& declaracao = v.Declaracao();
  auto banco = v.AbreBanco();
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

Currency TotalDetalhado(Verificacao& v, const ModeloSql& soma, const std::string& referencia, int tipo,
                        Variant (*total)(Recordset& rs)) {
  ValoresDetalhe valores(v, referencia, tipo);
  auto banco = v.AbreBanco();
  if (!banco) return Currency{0};
  auto rs = valores.Abre(*banco, soma);
  Currency t{0};
  if (!(rs->RecordCount() < 1)) t = CCur(total(*rs));
  rs->Close();
  return t;
}

void ConsisteInter(Verificacao& v, const RegraInter& regra) {
  auto rs = regra.abreMeses(v);
  if (!rs) v.Exige(nullptr);
  if (rs->Eof()) {
    rs->Close();
    return;
  }
  while (!rs->Eof()) {
    FiltroReferencia& filtro = v.Filtro();
    std::string caminho = v.CaminhoBanco();
    filtro.InformaBanco(caminho);
    Variant ref = rs->Campo("Ref");
    filtro.InformaReferencia(v.DeclaracaoDoHost(), ref);
    std::string refSql = NumeroParaSql(ref, "Ref");
    Currency total = regra.somaDetalhe(v, refSql);
    Variant registrado = regra.registrado(*rs);
    const DetalheDoMes detalhe = DetalheInconsistente(v, regra, refSql);
    bool examinado = Verdade(Diferente(filtro.Resultado(), Variant::Int(0)));
    Tri difere = Diferente(registrado, Variant::Cur(total));
    if (examinado && Verdade(Ou(difere, detalhe.falha ? Tri::Verdadeiro : Tri::Falso))) {
      v.Grupo(regra.grupo);
      v.Registra(DoMes(regra, ref, Verdade(difere), registrado, total, detalhe));
    }
    rs->MoveNext();
  }
  rs->Close();
}

DetalheDoMes DetalheInconsistente(Verificacao& v, const RegraInter& regra, const std::string& referencia) {
  ValoresDetalhe valores(v, referencia, regra.tipo);
  auto banco = v.AbreBanco();
  if (!banco) return {};
  auto rs = valores.Abre(*banco, kDetalhe);
  DetalheDoMes d;
  while (!rs->Eof()) {  // every row is read: a Null base fails the run whichever row it is on
    LinhaInter l = regra.linha(*rs, false);
    const bool soma = Verdade(Diferente(l.valorContabil, l.soma));
    const bool limite = Verdade(Maior(l.imposto, Variant::Cur(*l.limite)));
    if (soma || limite) {
      d.falha = true;
      d.estados.push_back({TextoDe(rs->Campo("UF")), soma, limite, std::move(l)});
    }
    rs->MoveNext();
  }
  rs->Close();
  return d;
}

std::string ListaDetalhe(Verificacao& v, const RegraInter& regra, const std::string& referencia) {
  ValoresDetalhe valores(v, referencia, regra.tipo);
  auto banco = v.AbreBanco();
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

std::string MensagemInter(Verificacao& v, const RegraInter& regra, const std::string& resto) {
  bool tres = Caracteres(resto) == 3;
  std::string codigo = tres ? Meio(resto, 2, 2) : Meio(resto, 3, 2);
  if (codigo == "VC") return std::string(regra.textoVC) + "\r\n\r\n";
  return ListaDetalhe(v, regra, tres ? Esquerda(resto, 1) : Esquerda(resto, 2));
}

}  // namespace kv

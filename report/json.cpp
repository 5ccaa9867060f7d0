#include "report/json.h"

#include <cstdio>

#include "platform/texto.h"

namespace kv {

std::string JsonTexto(std::string_view s) {
  // Bytes that are not UTF-8 (a damaged or hostile database) become U+FFFD: the document stays valid.
  const std::string valido = Utf8Valido(s);
  std::string r = "\"";
  for (size_t i = 0, n = 0; i < valido.size(); i += n) {
    char32_t cp = 0;
    n = LeCaractere(valido, i, cp);  // always a character: the text is valid UTF-8
    switch (cp) {
      case '"':
        r += "\\\"";
        break;
      case '\\':
        r += "\\\\";
        break;
      case '\n':
        r += "\\n";
        break;
      case '\r':
        r += "\\r";
        break;
      case '\t':
        r += "\\t";
        break;
      default:
        // Controls, C1 and bidirectional ones included, as escapes: JSON printed on a terminal stays inert.
        if (Invisivel(cp)) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(cp));
          r += buf;
        } else {
          r.append(valido, i, n);
        }
    }
  }
  return r + "\"";
}

void EscritorJson::Item() {
  if (depoisDaChave_) {
    depoisDaChave_ = false;
    return;
  }
  if (abertos_.empty()) return;
  if (!abertos_.back().primeiro) texto_ += ", ";
  abertos_.back().primeiro = false;
}

EscritorJson& EscritorJson::Objeto() {
  Item();
  texto_ += '{';
  abertos_.push_back({'}', true});
  return *this;
}

EscritorJson& EscritorJson::Lista() {
  Item();
  texto_ += '[';
  abertos_.push_back({']', true});
  return *this;
}

EscritorJson& EscritorJson::Fim() {
  texto_ += abertos_.back().fecho;
  abertos_.pop_back();
  return *this;
}

EscritorJson& EscritorJson::Chave(std::string_view chave) {
  Item();
  texto_ += JsonTexto(chave);
  texto_ += ": ";
  depoisDaChave_ = true;
  return *this;
}

EscritorJson& EscritorJson::Texto(std::string_view s) {
  Item();
  texto_ += JsonTexto(s);
  return *this;
}

EscritorJson& EscritorJson::Numero(long long n) {
  Item();
  texto_ += std::to_string(n);
  return *this;
}

EscritorJson& EscritorJson::Logico(bool b) {
  Item();
  texto_ += b ? "true" : "false";
  return *this;
}

EscritorJson& EscritorJson::Nulo() {
  Item();
  texto_ += "null";
  return *this;
}

EscritorJson& EscritorJson::Cru(std::string_view json) {
  Item();
  texto_ += json;
  return *this;
}

EscritorJson& EscritorJson::Textos(const std::vector<std::string>& textos) {
  Lista();
  for (const std::string& t : textos) Texto(t);
  return Fim();
}

namespace {

// An item's figures and sentence, when it has them.
void EscreveEvidencia(EscritorJson& j, const ItemResultado& n) {
  if (n.evidencia.empty() && n.resumo.empty()) return;
  j.Chave("evidencia").Lista();
  for (const Figura& f : n.evidencia)
    j.Objeto().Chave("rotulo").Texto(f.rotulo).Chave("valor").Texto(f.valor).Fim();
  j.Fim().Chave("resumo").Texto(n.resumo);
}

void EscreveNo(EscritorJson& j, const std::string& chave, const std::string& texto, int imagem) {
  j.Chave("chave").Texto(chave).Chave("texto").Texto(texto).Chave("imagem").Numero(imagem);
}

void EscreveArvore(EscritorJson& j, const std::vector<GrupoResultado>& arvore) {
  j.Chave("arvore").Lista();
  for (const GrupoResultado& g : arvore) {
    j.Objeto();
    EscreveNo(j, g.chave, g.texto, g.imagem);
    j.Chave("filhos").Lista();
    for (const ItemResultado& n : g.itens) {
      j.Objeto();
      EscreveNo(j, n.chave, n.texto, n.imagem);
      j.Chave("mensagem").Texto(n.mensagem);
      if (n.erroMensagem) EscreveErro(j.Chave("erroMensagem"), *n.erroMensagem);
      EscreveEvidencia(j, n);
      j.Fim();
    }
    j.Fim().Fim();
  }
  j.Fim();
}

// Every item's figures, for a batch: [{"chave": ..., "evidencia": [...], "resumo": ...}].
void EscreveEvidencias(EscritorJson& j, const std::vector<GrupoResultado>& arvore) {
  j.Chave("evidencias").Lista();
  for (const GrupoResultado& g : arvore)
    for (const ItemResultado& n : g.itens) {
      if (n.evidencia.empty() && n.resumo.empty()) continue;
      j.Objeto().Chave("chave").Texto(n.chave);
      EscreveEvidencia(j, n);
      j.Fim();
    }
  j.Fim();
}

}  // namespace

void EscreveEntradas(EscritorJson& j, const std::vector<std::vector<std::string>>& entradas) {
  j.Lista();
  for (const auto& e : entradas) j.Textos(e);
  j.Fim();
}

void EscreveErro(EscritorJson& j, const ErroVerificacao& e) {
  j.Objeto().Chave("numero").Numero(e.numero).Chave("descricao").Texto(e.descricao).Fim();
}

void EscreveVerificacao(EscritorJson& j, const ResultadoVerificacao& v, const OpcoesDoJson& o) {
  j.Objeto();
  if (o.banco) j.Chave("banco").Texto(*o.banco);
  j.Chave("declaracao").Texto(v.declaracao).Chave("exercicio").Texto(v.exercicio).Chave("status");
  v.status ? j.Texto(*v.status) : j.Nulo();
  j.Chave("consistente").Logico(v.consistente);
  EscreveEntradas(j.Chave("entradas"), v.entradas);
  if (o.arvore) EscreveArvore(j, v.arvore);
  if (!v.aviso.empty()) j.Chave("aviso").Texto(v.aviso);
  if (v.erro) EscreveErro(j.Chave("erro"), *v.erro);
  if (o.evidencias) EscreveEvidencias(j, v.arvore);
  j.Fim();
}

std::string JsonVerificacao(const ResultadoVerificacao& v, const OpcoesDoJson& o) {
  EscritorJson j;
  EscreveVerificacao(j, v, o);
  return j.texto();
}

}  // namespace kv

// The Jet SQL adapter: a tokenizer and the rewrites that turn the rules' Jet texts into SQLite's dialect.
#include "platform/db/jetsql.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace kv {
namespace {

enum class Tk { Espaco, Ident, Numero, Texto, Simbolo, Vaga };

constexpr char kMarcaDeVaga = '\x01';

struct Token {
  Tk tipo;
  std::string texto;
};

bool LetraIdent(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c >= 0x80;
}

// Each reader takes the token that starts at s[i] and returns where the next one starts.

// Jet reads both quote kinds as text literals; a doubled quote stands for itself.
size_t LeTexto(std::string_view s, size_t i, std::vector<Token>& t) {
  const char aspa = s[i];
  std::string valor;
  size_t j = i + 1;
  while (j < s.size()) {
    if (s[j] == aspa) {
      if (j + 1 < s.size() && s[j + 1] == aspa) {
        valor += aspa;
        j += 2;
        continue;
      }
      ++j;
      break;
    }
    valor += s[j++];
  }
  t.push_back({Tk::Texto, valor});
  return j;
}

// [Name With Blanks] is one name.
size_t LeNomeEntreColchetes(std::string_view s, size_t i, std::vector<Token>& t) {
  size_t j = s.find(']', i + 1);
  if (j == std::string_view::npos) j = s.size();
  t.push_back({Tk::Ident, "\"" + std::string(s.substr(i + 1, j - i - 1)) + "\""});
  return j < s.size() ? j + 1 : j;
}

size_t Enquanto(std::string_view s, size_t j, bool (*cabe)(unsigned char)) {
  while (j < s.size() && cabe(static_cast<unsigned char>(s[j]))) ++j;
  return j;
}

// A number; digits that run into letters (1e5, 2x) are kept as they are, as a name.
size_t LeNumero(std::string_view s, size_t i, std::vector<Token>& t) {
  size_t j = Enquanto(s, i + 1, [](unsigned char c) { return std::isdigit(c) || c == '.'; });
  const bool nome = j < s.size() && LetraIdent(static_cast<unsigned char>(s[j]));
  if (nome) j = Enquanto(s, j, LetraIdent);
  t.push_back({nome ? Tk::Ident : Tk::Numero, std::string(s.substr(i, j - i))});
  return j;
}

// One or two characters: <>, <=, >=, != are one symbol.
size_t LeSimbolo(std::string_view s, size_t i, std::vector<Token>& t) {
  size_t j = i + 1;
  const char c = s[i];
  if (j < s.size() && ((c == '<' && (s[j] == '>' || s[j] == '=')) || ((c == '>' || c == '!') && s[j] == '=')))
    ++j;
  t.push_back({Tk::Simbolo, std::string(s.substr(i, j - i))});
  return j;
}

std::vector<Token> Tokeniza(std::string_view s, bool vagas) {
  std::vector<Token> t;
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (vagas && c == kMarcaDeVaga && i + 1 < s.size() && s[i + 1] >= 0x40 &&
        static_cast<size_t>(s[i + 1] - 0x40) < kMaxVagasJet) {
      t.push_back({Tk::Vaga, std::string(1, s[i + 1])});
      i += 2;
    } else if (std::isspace(c)) {
      const size_t j = Enquanto(s, i + 1, [](unsigned char x) { return std::isspace(x) != 0; });
      t.push_back({Tk::Espaco, std::string(s.substr(i, j - i))});
      i = j;
    } else if (c == '\'' || c == '"') {
      i = LeTexto(s, i, t);
    } else if (c == '[') {
      i = LeNomeEntreColchetes(s, i, t);
    } else if (std::isdigit(c)) {
      i = LeNumero(s, i, t);
    } else if (LetraIdent(c)) {
      const size_t j = Enquanto(s, i + 1, LetraIdent);
      t.push_back({Tk::Ident, std::string(s.substr(i, j - i))});
      i = j;
    } else {
      i = LeSimbolo(s, i, t);
    }
  }
  return t;
}

bool Palavra(const Token& t, std::string_view w) {
  if (t.tipo != Tk::Ident || t.texto.size() != w.size()) return false;
  for (size_t i = 0; i < w.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(t.texto[i])) != w[i]) return false;
  return true;
}

bool Agregado(const std::vector<Token>& t, size_t i) {
  static const char* const kNomes[] = {"SUM",   "COUNT",  "AVG", "MIN",  "MAX",   "FIRST",       "LAST",
                                       "STDEV", "STDEVP", "VAR", "VARP", "TOTAL", "GROUP_CONCAT"};
  if (t[i].tipo != Tk::Ident) return false;
  bool nome =
      std::any_of(std::begin(kNomes), std::end(kNomes), [&](const char* n) { return Palavra(t[i], n); });
  if (!nome) return false;
  size_t j = i + 1;
  while (j < t.size() && t[j].tipo == Tk::Espaco) ++j;
  return j < t.size() && t[j].texto == "(";
}

bool TemAgregado(const std::vector<Token>& t) {
  for (size_t i = 0; i < t.size(); ++i)
    if (Agregado(t, i)) return true;
  return false;
}

std::string LiteralSql(const std::string& v) {
  std::string r = "'";
  for (char c : v) {
    r += c;
    if (c == '\'') r += '\'';
  }
  return r + "'";
}

// Jet LIKE pattern to SQLite: * and ? become % and _; a literal % or _ is escaped.
void AdaptaLike(std::vector<Token>& t) {
  for (size_t i = 0; i < t.size(); ++i) {
    if (!Palavra(t[i], "LIKE")) continue;
    size_t j = i + 1;
    while (j < t.size() && t[j].tipo == Tk::Espaco) ++j;
    if (j >= t.size() || t[j].tipo != Tk::Texto) continue;
    std::string p;
    bool curinga = false, escape = false, letra = false;
    for (char c : t[j].texto) {
      unsigned char u = static_cast<unsigned char>(c);
      if (std::isalpha(u) || u >= 0x80) letra = true;
      if (c == '*') {
        p += '%';
        curinga = true;
      } else if (c == '?') {
        p += '_';
        curinga = true;
      } else if (c == '%' || c == '_' || c == '\\') {
        p += '\\';
        p += c;
        escape = true;
      } else {
        p += c;
      }
    }
    if (!curinga && !letra) {
      // Same rows as LIKE (nothing to fold, nothing to match loosely), and an index can serve it.
      t[i].texto = "=";
      t[i].tipo = Tk::Simbolo;
      t[j] = {Tk::Ident, LiteralSql(t[j].texto)};
      continue;
    }
    t[j] = {Tk::Ident, LiteralSql(p) + (escape ? " ESCAPE '\\'" : "")};
  }
}

// Top-level clause boundaries of one SELECT.
struct Clausulas {
  size_t where = npos, group = npos, having = npos, order = npos, from = npos;
  static constexpr size_t npos = static_cast<size_t>(-1);
};

Clausulas Acha(const std::vector<Token>& t, bool& composta) {
  Clausulas c;
  int prof = 0;
  composta = false;
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i].texto == "(") ++prof;
    if (t[i].texto == ")") --prof;
    if (prof != 0 || t[i].tipo != Tk::Ident) continue;
    if (Palavra(t[i], "FROM") && c.from == Clausulas::npos) c.from = i;
    if (Palavra(t[i], "WHERE")) c.where = i;
    if (Palavra(t[i], "GROUP")) c.group = i;
    if (Palavra(t[i], "HAVING")) c.having = i;
    if (Palavra(t[i], "ORDER")) c.order = i;
    if (Palavra(t[i], "UNION") || Palavra(t[i], "JOIN") || (Palavra(t[i], "SELECT") && i > 0))
      composta = true;
  }
  return c;
}

std::vector<Token> Fatia(const std::vector<Token>& t, size_t a, size_t b) {
  if (a == Clausulas::npos || a >= t.size()) return {};
  b = std::min(b, t.size());
  return {t.begin() + static_cast<long>(a), t.begin() + static_cast<long>(b)};
}

void Apara(std::vector<Token>& t) {
  while (!t.empty() && t.front().tipo == Tk::Espaco) t.erase(t.begin());
  while (!t.empty() && t.back().tipo == Tk::Espaco) t.pop_back();
}

// Removes parentheses that wrap the whole expression.
void TiraParenteses(std::vector<Token>& t) {
  for (;;) {
    Apara(t);
    if (t.size() < 2 || t.front().texto != "(" || t.back().texto != ")") return;
    int prof = 0;
    for (size_t i = 0; i < t.size(); ++i) {
      if (t[i].texto == "(") ++prof;
      if (t[i].texto == ")") --prof;
      if (prof == 0 && i + 1 < t.size()) return;  // the first parenthesis closes early
    }
    t = std::vector<Token>(t.begin() + 1, t.end() - 1);
  }
}

std::vector<std::vector<Token>> TermosE(std::vector<Token> t) {
  TiraParenteses(t);
  std::vector<std::vector<Token>> termos(1);
  int prof = 0;
  for (auto& tk : t) {
    if (tk.texto == "(") ++prof;
    if (tk.texto == ")") --prof;
    if (prof == 0 && Palavra(tk, "OR")) return {t};  // not a conjunction: leave it whole
    if (prof == 0 && Palavra(tk, "AND")) {
      termos.emplace_back();
      continue;
    }
    termos.back().push_back(tk);
  }
  for (auto& x : termos) Apara(x);
  return termos;
}

void Junta(std::vector<Token>& destino, const std::vector<Token>& origem) {
  destino.insert(destino.end(), origem.begin(), origem.end());
}

Token Esp() {
  return {Tk::Espaco, " "};
}

std::vector<Token> MoveHaving(const std::vector<Token>& t) {
  bool composta = false;
  Clausulas c = Acha(t, composta);
  if (composta || c.having == Clausulas::npos) return t;
  size_t fimHaving = c.order != Clausulas::npos && c.order > c.having ? c.order : t.size();
  auto termos = TermosE(Fatia(t, c.having + 1, fimHaving));
  std::vector<std::vector<Token>> paraWhere, ficam;
  for (auto& termo : termos) (TemAgregado(termo) ? ficam : paraWhere).push_back(termo);
  if (paraWhere.empty()) return t;

  size_t fimWhere = std::min({c.group, c.having, c.order, t.size()});
  size_t inicioResto = c.where != Clausulas::npos ? c.where : fimWhere;
  std::vector<Token> r = Fatia(t, 0, inicioResto);
  Apara(r);
  r.push_back(Esp());
  r.push_back({Tk::Ident, "WHERE"});
  bool primeiro = true;
  auto termo = [&](std::vector<Token> x) {
    TiraParenteses(x);
    r.push_back(Esp());
    if (!primeiro) {
      r.push_back({Tk::Ident, "AND"});
      r.push_back(Esp());
    }
    primeiro = false;
    r.push_back({Tk::Simbolo, "("});
    Junta(r, x);
    r.push_back({Tk::Simbolo, ")"});
  };
  if (c.where != Clausulas::npos) {
    auto w = Fatia(t, c.where + 1, fimWhere);
    Apara(w);
    termo(w);
  }
  for (auto& x : paraWhere) termo(x);
  if (c.group != Clausulas::npos) {
    auto g = Fatia(t, c.group, std::min(c.having, c.order));
    Apara(g);
    r.push_back(Esp());
    Junta(r, g);
  }
  if (!ficam.empty()) {
    r.push_back(Esp());
    r.push_back({Tk::Ident, "HAVING"});
    primeiro = true;
    for (auto& x : ficam) termo(x);
  }
  if (c.order != Clausulas::npos) {
    r.push_back(Esp());
    Junta(r, Fatia(t, c.order, t.size()));
  }
  return r;
}

// The text of a column reference without spaces, in ASCII lower case: "t.A" and "t . a" are one column.
std::string NomeDaColuna(const std::vector<Token>& termo) {
  std::string r;
  for (const Token& tk : termo) {
    if (tk.tipo == Tk::Espaco) continue;
    if (tk.tipo != Tk::Ident && tk.texto != ".") return "";
    for (char c : tk.texto) r += c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
  }
  return r;
}

// Columns that a top-level "column = value" term of WHERE fixes to one value.
std::vector<std::string> FixadasNoWhere(const std::vector<Token>& t, const Clausulas& c) {
  std::vector<std::string> r;
  if (c.where == Clausulas::npos) return r;
  for (std::vector<Token> termo :
       TermosE(Fatia(t, c.where + 1, std::min({c.group, c.having, c.order, t.size()})))) {
    TiraParenteses(termo);
    const auto igual =
        std::find_if(termo.begin(), termo.end(), [](const Token& tk) { return tk.texto == "="; });
    if (igual == termo.end()) continue;
    const std::string nome = NomeDaColuna(std::vector<Token>(termo.begin(), igual));
    if (!nome.empty()) r.push_back(nome);
  }
  return r;
}

// "GROUP BY a, t.b" becomes "GROUP BY +a, +t.b": a column under a unary plus keeps its collation, but
// SQLite no longer walks an index to group it. An index over a NOCASE column that another program built
// (SQLite's own NOCASE folds only ASCII letters) is ordered differently from ours, and walking it would
// split 'SÃO PAULO' and 'São Paulo' into two groups; a sort of the rows the WHERE chose groups them right.
// A column that WHERE fixes to one value cannot split a group and keeps the index walk (the monthly sums
// group by columns they also fix).
void AgrupaSemIndice(std::vector<Token>& t) {
  bool composta = false;
  const Clausulas c = Acha(t, composta);
  if (c.group == Clausulas::npos) return;
  const std::vector<std::string> fixadas = FixadasNoWhere(t, c);
  size_t fim = std::min({c.having, c.order, t.size()});
  size_t i = c.group + 1;
  while (i < fim && !Palavra(t[i], "BY")) ++i;
  int prof = 0;
  for (size_t inicio = i + 1; inicio < fim;) {
    size_t j = inicio;
    for (; j < fim; ++j) {
      if (t[j].texto == "(") ++prof;
      if (t[j].texto == ")") --prof;
      if (prof == 0 && t[j].texto == ",") break;
    }
    size_t a = inicio;
    while (a < j && t[a].tipo == Tk::Espaco) ++a;
    const std::string nome = NomeDaColuna(Fatia(t, a, j));
    if (!nome.empty() && std::find(fixadas.begin(), fixadas.end(), nome) == fixadas.end()) {
      t.insert(t.begin() + static_cast<long>(a), {Tk::Simbolo, "+"});
      ++j;
      ++fim;
    }
    inicio = j + 1;
  }
}

// DISTINCTROW only matters to Jet's joins; SQLite has no such word.
void TiraDistinctrow(std::vector<Token>& t) {
  for (size_t i = 0; i < t.size(); ++i) {
    if (!Palavra(t[i], "DISTINCTROW")) continue;
    t.erase(t.begin() + static_cast<long>(i));
    if (i < t.size() && t[i].tipo == Tk::Espaco) t.erase(t.begin() + static_cast<long>(i));
    --i;
  }
}

// A plain single-table SELECT gets the row's identity, so that Update can write it back; returns the
// table, or "" for any other statement.
std::string AcrescentaRowid(std::vector<Token>& t) {
  bool composta = false;
  Clausulas c = Acha(t, composta);
  if (composta || c.from == Clausulas::npos || c.group != Clausulas::npos || c.having != Clausulas::npos)
    return "";
  auto sel = Fatia(t, 0, c.from);
  auto fonte = Fatia(t, c.from + 1, std::min({c.where, c.order, t.size()}));
  Apara(fonte);
  bool distinct = std::any_of(sel.begin(), sel.end(), [](const Token& x) { return Palavra(x, "DISTINCT"); });
  if (fonte.size() != 1 || fonte[0].tipo != Tk::Ident || TemAgregado(sel) || distinct) return "";
  std::vector<Token> extra = {{Tk::Simbolo, ","}, Esp(), {Tk::Ident, "rowid AS kv_rowid__"}, Esp()};
  size_t p = c.from;
  while (p > 0 && t[p - 1].tipo == Tk::Espaco) --p;
  t.insert(t.begin() + static_cast<long>(p), extra.begin(), extra.end());
  return fonte[0].texto;
}

// The text for SQLite, each model slot and each integer literal outside ORDER BY / GROUP BY (where a
// number means a column position) lifted into a parameter.
void Escreve(std::vector<Token>& t, bool vagas, SqlAdaptado& r) {
  bool porPosicao = false;
  for (auto& tk : t) {
    if (Palavra(tk, "ORDER") || Palavra(tk, "GROUP")) porPosicao = true;
    if (Palavra(tk, "WHERE") || Palavra(tk, "HAVING")) porPosicao = false;
    if (tk.tipo == Tk::Vaga) {
      r.parametros.push_back(0);
      r.vagas.push_back(static_cast<unsigned char>(tk.texto[0]) - 0x40);
      tk.texto = "?";
    }
    if (tk.tipo == Tk::Numero && !porPosicao && tk.texto.find('.') == std::string::npos) {
      long long v = 0;
      auto [p, ec] = std::from_chars(tk.texto.data(), tk.texto.data() + tk.texto.size(), v);
      if (ec == std::errc() && p == tk.texto.data() + tk.texto.size()) {
        r.parametros.push_back(v);
        if (vagas) r.vagas.push_back(-1);
        tk.texto = "?";
      }
    }
    r.texto += tk.tipo == Tk::Texto ? LiteralSql(tk.texto) : tk.texto;
  }
}

}  // namespace

SqlAdaptado AdaptaJet(std::string_view jet, bool dynaset, bool vagas) {
  std::vector<Token> t = Tokeniza(jet, vagas);
  TiraDistinctrow(t);
  AdaptaLike(t);
  t = MoveHaving(t);
  AgrupaSemIndice(t);
  SqlAdaptado r;
  if (dynaset) r.tabelaUnica = AcrescentaRowid(t);
  Escreve(t, vagas, r);
  return r;
}

std::string MarcaDeVagaJet(size_t k) {
  return std::string{kMarcaDeVaga, static_cast<char>(0x40 + k)};
}

}  // namespace kv

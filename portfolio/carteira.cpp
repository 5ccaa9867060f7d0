// Finding the portfolio's files, reading each into something the checks can open, and counting what a
// run found.
#include "portfolio/carteira.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "control/resultado.h"
#include "jet/importacao.h"
#include "platform/arquivo.h"
#include "platform/db/esquema.h"
#include "platform/db/sqlite_banco.h"
#include "platform/erro.h"
#include "platform/temporaria.h"
#include "platform/texto.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

bool ExtensaoDeBanco(const fs::path& f) {
  const std::string e = Minusculas(f.extension().string());
  return e == ".db" || e == ".sqlite" || e == ".mdb" || e == ".accdb";
}

// What a folder holds for the run: a file to check, or a subfolder that cannot be read (its error).
struct Encontrado {
  std::string caminho, erro;
};

// A folder's database files, through its subfolders; links, to files or folders, are not followed.
// Names are kept byte for byte, whatever their encoding, and a subfolder that cannot be read is named
// with its error: nothing under the folder is left out of the count in silence.
void DaPasta(const fs::path& pasta, std::vector<Encontrado>& r) {
  std::error_code erro;
  fs::directory_iterator it(pasta, erro);
  for (; !erro && it != fs::directory_iterator(); it.increment(erro)) {
    std::error_code e;
    const fs::file_status st = it->symlink_status(e);
    if (fs::is_directory(st))
      DaPasta(it->path(), r);
    else if (!fs::is_symlink(st) && ExtensaoDeBanco(it->path()))
      r.push_back({it->path().string(), ""});
  }
  if (erro) r.push_back({pasta.string(), "a pasta não pode ser lida: " + erro.message()});
}

ErroVerificacao ErroDe(const std::string& nome, const std::string& motivo) {
  return {kErroBancoNaoEncontrado, "'" + nome + "': " + motivo};
}

}  // namespace

Carteira::Carteira(const std::vector<std::string>& caminhos) {
  std::set<std::pair<dev_t, ino_t>> vistos;
  bool pasta = false;
  for (const std::string& c : caminhos) {
    struct stat st {};
    if (::stat(c.c_str(), &st) != 0) throw ErroDeUso("'" + TextoVisivel(c) + "' não existe");
    std::vector<Encontrado> achados = {{c, ""}};
    if (S_ISDIR(st.st_mode)) {
      pasta = true;
      achados.clear();
      DaPasta(c, achados);
      std::sort(achados.begin(), achados.end(),
                [](const Encontrado& a, const Encontrado& b) { return a.caminho < b.caminho; });
    }
    for (Encontrado& e : achados) {
      if (::stat(e.caminho.c_str(), &st) == 0 && !vistos.insert({st.st_dev, st.st_ino}).second) continue;
      ArquivoDaCarteira a;
      a.nome = e.caminho;
      a.caminho = Absoluto(e.caminho);
      if (!e.erro.empty()) a.erro = ErroDe(a.nome, e.erro);
      arquivos_.push_back(std::move(a));
    }
  }
  if (arquivos_.empty())
    throw ErroDeUso("nenhum banco de dados (.db, .sqlite, .mdb, .accdb) nas pastas dadas");
  unica_ = !pasta && arquivos_.size() == 1;
}

Carteira::~Carteira() = default;

bool Carteira::Prepara(const std::function<void(size_t, size_t)>& progresso,
                       const std::atomic<bool>* cancela) {
  for (size_t i = 0; i < arquivos_.size(); ++i) {
    if (progresso) progresso(i, arquivos_.size());
    ArquivoDaCarteira& a = arquivos_[i];
    if (a.erro) continue;  // a subfolder that could not be read
    a.jet = jet::EhJet(a.caminho);
    try {
      if (a.jet && !Copia(a, i, cancela)) return false;
      if (a.erro) continue;
      if (const std::string motivo = MotivoNaoEhBanco(a.caminho); !motivo.empty()) {
        a.erro = ErroDe(a.nome, motivo);
        a.erroDeUso = true;
        continue;
      }
      ConfereBancoDeDeclaracoes(a.caminho);
      a.declaracoes = DeclaracoesDoBanco(a.caminho);
    } catch (const ErroDeUso& e) {
      a.erroDeUso = true;
      // Named as the user knows the file, not by its copy.
      std::string motivo = e.what();
      if (const size_t p = motivo.find(a.caminho); a.jet && p != std::string::npos)
        motivo.replace(p, a.caminho.size(), a.nome);
      a.erro = ErroVerificacao{kErroBancoNaoEncontrado, motivo};
    } catch (const Erro& e) {
      a.erro = ErroVerificacao{e.numero(), "'" + a.nome + "': " + e.descricao()};
    }
  }
  return true;
}

bool Carteira::Copia(ArquivoDaCarteira& a, size_t i, const std::atomic<bool>* cancela) {
  if (!copias_) copias_ = std::make_unique<PastaTemporaria>("lote");
  const std::string copia = copias_->Arquivo(std::to_string(i) + ".db");
  try {
    if (jet::Importa(a.caminho, copia, {}, {}, cancela).interrompida) return false;
  } catch (const ErroDeUso& e) {  // not a Jet file after all
    a.erro = ErroDe(a.nome, e.what());
    a.erroDeUso = true;
    return true;
  }
  a.caminho = copia;
  return true;
}

size_t Carteira::Declaracoes() const {
  size_t n = 0;
  for (const ArquivoDaCarteira& a : arquivos_) n += a.declaracoes.size();
  return n;
}

void ResumoDaCarteira::Conta(const ResultadoDaCarteira& r) {
  ResumoDoArquivo& arquivo = arquivos[r.arquivo];
  if (!r.verificacao) {
    ++ilegiveis;
    arquivo.ilegivel = true;
    return;
  }
  const ResultadoVerificacao& v = *r.verificacao;
  ++verificadas;
  if (!v.aviso.empty()) ++avisos;
  if (v.erro) {
    ++falhas;
    ++arquivo.falhas;
  } else if (v.consistente) {
    ++consistentes;
    ++arquivo.consistentes;
  } else {
    ++inconsistentes;
    ++arquivo.inconsistentes;
  }
  for (const auto& e : v.entradas)
    if (e.size() >= 4) {
      ++porGrupo[e[0]];
      const std::string tipo = TipoDoAchado(e[1]);
      ++porTipo[tipo];
      ++arquivo.porTipo[tipo];
    }
}

std::vector<size_t> ResumoDaCarteira::ComProblema() const {
  std::vector<size_t> r;
  for (const auto& [i, a] : arquivos)
    if (a.Problema()) r.push_back(i);
  return r;
}

std::vector<std::pair<std::string, long>> ResumoDaCarteira::TiposPorQuantidade() const {
  std::vector<std::pair<std::string, long>> r(porTipo.begin(), porTipo.end());
  std::stable_sort(r.begin(), r.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
  return r;
}

}  // namespace kv

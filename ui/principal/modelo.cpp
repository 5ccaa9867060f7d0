#include "ui/principal/modelo.h"

#include <QBrush>
#include <filesystem>

#include "control/arvore.h"
#include "platform/arquivo.h"
#include "ui/principal/textos.h"

namespace kv {
namespace {

// A file found in a folder the user gave, from that folder's name on; a file given directly, by its name.
QString Curto(const std::string& nome, const std::vector<std::string>& dados) {
  namespace fs = std::filesystem;
  for (std::string d : dados) {
    while (d.size() > 1 && d.back() == '/') d.pop_back();
    if (nome.size() > d.size() && nome.compare(0, d.size(), d) == 0 && nome[d.size()] == '/') {
      const std::string pasta = fs::path(Absoluto(d)).filename().string();
      return Visivel((pasta.empty() ? d : pasta) + nome.substr(d.size()));
    }
  }
  return Visivel(fs::path(nome).filename().string());
}

// Why a file could not be read, as its row says it: the row names the file already, so what names it
// again at the start goes ("'name': " from the engine, "O arquivo /path não pôde ser lido: " from the Jet
// reader), and the file is called anywhere else by the name its row shows, not its whole path.
QString Motivo(const ArquivoDaCarteira& a, const QString& curto) {
  std::string motivo = a.erro ? a.erro->descricao : "";
  for (const std::string& prefixo :
       {"'" + a.nome + "': ", "O arquivo " + Absoluto(a.nome) + " não pôde ser lido: "})
    if (motivo.rfind(prefixo, 0) == 0) motivo.erase(0, prefixo.size());
  QString r = Visivel(motivo);
  return r.replace(Visivel(Absoluto(a.nome)), curto);
}

}  // namespace

QString NomeDaSituacao(Situacao s) {
  switch (s) {
    case Situacao::Ilegivel:
      return QString::fromUtf8("arquivo ilegível");
    case Situacao::Erro:
      return "erro";
    case Situacao::ChaveNaoConfere:
      return QString::fromUtf8("chave gravada não confere");
    case Situacao::Inconsistente:
      return "inconsistente";
    case Situacao::Consistente:
      break;
  }
  return "consistente";
}

void ModeloDaCarteira::Recomeca(std::shared_ptr<const Carteira> carteira,
                                const std::vector<std::string>& dados) {
  beginResetModel();
  Esvazia();
  carteira_ = std::move(carteira);
  for (const ArquivoDaCarteira& a : carteira_->arquivos())
    arquivos_.push_back({Curto(a.nome, dados), Visivel(Absoluto(a.nome))});
  totais_.arquivos = static_cast<long>(arquivos_.size());
  totais_.declaracoes = static_cast<long>(carteira_->Declaracoes());
  endResetModel();
}

void ModeloDaCarteira::Limpa() {
  beginResetModel();
  Esvazia();
  endResetModel();
}

void ModeloDaCarteira::Esvazia() {
  carteira_.reset();
  linhas_.clear();
  resultados_.clear();
  arquivos_.clear();
  totais_ = {};
}

ModeloDaCarteira::Linha ModeloDaCarteira::LinhaDe(const ResultadoDaCarteira& r) {
  Linha l{r.arquivo, 0, Situacao::Ilegivel, 0, 0, 0};
  if (!r.verificacao) return l;
  const ResultadoVerificacao& v = *r.verificacao;
  l.declaracao = std::atol(v.declaracao.c_str());
  l.situacao = v.erro             ? Situacao::Erro
               : !v.aviso.empty() ? Situacao::ChaveNaoConfere
               : v.consistente    ? Situacao::Consistente
                                  : Situacao::Inconsistente;
  const ContagemDeAchados c = ContaAchados(v);
  l.erros = c.erros;
  l.avisos = c.avisos;
  l.aceitos = c.aceitos;
  return l;
}

void ModeloDaCarteira::Conta(const Linha& l, int sinal) {
  totais_.porSituacao[static_cast<size_t>(l.situacao)] += sinal;
  if (l.declaracao) totais_.verificadas += sinal;
}

void ModeloDaCarteira::Acrescenta(std::vector<ResultadoDaCarteira>& resultados) {
  if (resultados.empty()) return;
  const int inicio = rowCount();
  std::vector<size_t> reordenar;  // files whose earlier rows now sort among those with problems
  beginInsertRows({}, inicio, inicio + static_cast<int>(resultados.size()) - 1);
  for (ResultadoDaCarteira& r : resultados) {
    const Linha l = LinhaDe(r);
    NaTela& a = arquivos_[l.arquivo];
    const int i = static_cast<int>(linhas_.size());
    if (a.primeira < 0) a.primeira = i;
    a.ultima = i;
    if (l.situacao != Situacao::Consistente && !a.problema) {
      a.problema = true;
      ++totais_.arquivosComProblema;
      if (a.primeira < inicio) reordenar.push_back(l.arquivo);
    }
    Conta(l, +1);
    linhas_.push_back(l);
    resultados_.push_back(std::move(r));
  }
  endInsertRows();
  for (size_t f : reordenar)
    emit dataChanged(index(arquivos_[f].primeira, kArquivo), index(inicio - 1, kArquivo));
}

void ModeloDaCarteira::Substitui(int linha, ResultadoVerificacao v) {
  const size_t i = static_cast<size_t>(linha);
  Conta(linhas_[i], -1);
  resultados_[i].verificacao = std::move(v);
  linhas_[i] = LinhaDe(resultados_[i]);
  Conta(linhas_[i], +1);
  emit dataChanged(index(linha, 0), index(linha, kColunas - 1));
  AtualizaProblema(linhas_[i].arquivo);
}

void ModeloDaCarteira::AtualizaProblema(size_t arquivo) {
  NaTela& a = arquivos_[arquivo];
  bool problema = false;
  for (int i = a.primeira; i <= a.ultima; ++i)
    problema = problema || linhas_[static_cast<size_t>(i)].situacao != Situacao::Consistente;
  if (problema == a.problema) return;
  a.problema = problema;
  totais_.arquivosComProblema += problema ? 1 : -1;
  emit dataChanged(index(a.primeira, kArquivo), index(a.ultima, kArquivo));
}

const ArquivoDaCarteira& ModeloDaCarteira::ArquivoDa(int linha) const {
  return carteira_->arquivos()[linhas_[static_cast<size_t>(linha)].arquivo];
}

ResumoDaCarteira ModeloDaCarteira::Resumo(bool interrompido) const {
  ResumoDaCarteira r;
  for (const ResultadoDaCarteira& resultado : resultados_) r.Conta(resultado);
  r.total = totais_.declaracoes;
  r.interrompido = interrompido;
  return r;
}

int ModeloDaCarteira::rowCount(const QModelIndex& pai) const {
  return pai.isValid() ? 0 : static_cast<int>(linhas_.size());
}

int ModeloDaCarteira::columnCount(const QModelIndex& pai) const {
  return pai.isValid() ? 0 : kColunas;
}

QString ModeloDaCarteira::TextoDaSituacao(const Linha& l) const {
  if (l.situacao == Situacao::Ilegivel) {
    return NomeDaSituacao(l.situacao) + ": " +
           Motivo(carteira_->arquivos()[l.arquivo], arquivos_[l.arquivo].nome);
  }
  if (l.situacao == Situacao::Consistente && l.aceitos)
    return NomeDaSituacao(l.situacao) + " (" + Quantos(l.aceitos, "aviso aceito", "avisos aceitos") + ")";
  return NomeDaSituacao(l.situacao);
}

QString ModeloDaCarteira::Detalhe(const Linha& l, const ResultadoDaCarteira& r) const {
  if (!r.verificacao) {
    const ArquivoDaCarteira& a = carteira_->arquivos()[l.arquivo];
    return a.erro ? "Erro " + QString::number(a.erro->numero) + ": " + Visivel(a.erro->descricao) : QString();
  }
  const ResultadoVerificacao& v = *r.verificacao;
  if (v.erro)
    return QString::fromUtf8("A verificação falhou: erro ") + QString::number(v.erro->numero) + ": " +
           Visivel(v.erro->descricao);
  QString t = v.aviso.empty()
                  ? QString()
                  : QString::fromUtf8("A declaração foi gravada consistente, mas ") + Visivel(v.aviso) + ". ";
  if (l.erros || l.avisos)
    t +=
        Quantos(l.erros, "erro", "erros") + ", " + Quantos(l.avisos, "aviso aberto", "avisos abertos") + ". ";
  return t + QString::fromUtf8("Enter ou duplo clique abre a declaração.");
}

QVariant ModeloDaCarteira::Ordem(const Linha& l, int coluna) const {
  const qulonglong arquivo = l.arquivo, declaracao = static_cast<qulonglong>(l.declaracao);
  switch (coluna) {
    case kArquivo:  // files with problems first, then the run's order
      return (arquivos_[l.arquivo].problema ? 0 : 1ULL << 62) | arquivo << 32 | declaracao;
    case kDeclaracao:
      return declaracao << 32 | arquivo;
    case kSituacao:
      return static_cast<qulonglong>(l.situacao);
    case kErros:
      return static_cast<qulonglong>(l.erros);
    default:
      return static_cast<qulonglong>(l.avisos);
  }
}

QVariant ModeloDaCarteira::Exibe(const Linha& l, int coluna) const {
  const bool declaracao = l.declaracao != 0;  // a file's row has its name and state only
  switch (coluna) {
    case kArquivo:
      return arquivos_[l.arquivo].nome;
    case kDeclaracao:
      return declaracao ? QVariant(static_cast<qlonglong>(l.declaracao)) : QVariant();
    case kSituacao:
      return TextoDaSituacao(l);
    case kErros:
      return declaracao ? QVariant(l.erros) : QVariant();
    default:
      return declaracao ? QVariant(l.avisos) : QVariant();
  }
}

QVariant ModeloDaCarteira::data(const QModelIndex& i, int papel) const {
  if (!i.isValid() || i.row() >= rowCount()) return {};
  const Linha& l = linhas_[static_cast<size_t>(i.row())];
  const bool numero = i.column() != kArquivo && i.column() != kSituacao;
  switch (papel) {
    case Qt::DisplayRole:
      return Exibe(l, i.column());
    case Qt::ToolTipRole:
      return i.column() == kArquivo ? arquivos_[l.arquivo].completo
                                    : Detalhe(l, resultados_[static_cast<size_t>(i.row())]);
    case Qt::ForegroundRole:
      if (i.column() != kSituacao) return {};
      return QBrush(l.situacao == Situacao::Consistente ? QColor(0, 96, 0) : QColor(176, 0, 0));
    case Qt::TextAlignmentRole:
      return numero ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    case kPapelOrdem:
      return Ordem(l, i.column());
    case kPapelProblema:
      return l.situacao != Situacao::Consistente;
    default:
      return {};
  }
}

QVariant ModeloDaCarteira::headerData(int secao, Qt::Orientation o, int papel) const {
  if (o != Qt::Horizontal) return {};
  static const char* const kTitulos[] = {"Arquivo", "Declaração", "Situação", "Erros", "Avisos"};
  static const char* const kDicas[] = {
      "O arquivo da declaração; os arquivos com problemas vêm primeiro",
      "O número da declaração",
      "Onde a declaração está; um arquivo ilegível diz por quê",
      "Achados que não podem ser aceitos: corrija-os no programa de origem",
      "Achados em aberto que podem ser aceitos como exceção",
  };
  if (papel == Qt::DisplayRole) return QString::fromUtf8(kTitulos[secao]);
  if (papel == Qt::ToolTipRole) return QString::fromUtf8(kDicas[secao]);
  return {};
}

FiltroDaCarteira::FiltroDaCarteira(QObject* pai) : QSortFilterProxyModel(pai) {
  setSortRole(ModeloDaCarteira::kPapelOrdem);
  setDynamicSortFilter(true);
}

void FiltroDaCarteira::DefineSoProblemas(bool v) {
  soProblemas_ = v;
  invalidateRowsFilter();
}

void FiltroDaCarteira::DefineBusca(const QString& texto) {
  busca_ = texto.trimmed();
  invalidateRowsFilter();
}

bool FiltroDaCarteira::filterAcceptsRow(int linha, const QModelIndex& pai) const {
  const QAbstractItemModel* m = sourceModel();
  if (soProblemas_ && !m->index(linha, 0, pai).data(ModeloDaCarteira::kPapelProblema).toBool()) return false;
  if (busca_.isEmpty()) return true;
  for (int c : {ModeloDaCarteira::kArquivo, ModeloDaCarteira::kDeclaracao, ModeloDaCarteira::kSituacao})
    if (m->index(linha, c, pai).data().toString().contains(busca_, Qt::CaseInsensitive)) return true;
  return false;
}

}  // namespace kv

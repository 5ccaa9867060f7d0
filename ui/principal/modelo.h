// Every declaration of a portfolio as a table: one row per declaration checked, one per file that could
// not be read. The rows arrive in the portfolio's order; a filter model above sorts them (files with
// problems first, unless the user sorts by another column) and keeps those the user asked for.
#pragma once

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "portfolio/carteira.h"

namespace kv {

// Worst first: the order of the Situação column.
enum class Situacao : unsigned char { Ilegivel, Erro, ChaveNaoConfere, Inconsistente, Consistente };

struct TotaisDaCarteira {
  std::array<long, 5> porSituacao{};  // by Situacao
  long arquivos = 0, arquivosComProblema = 0, declaracoes = 0, verificadas = 0;
};

class ModeloDaCarteira : public QAbstractTableModel {
 public:
  enum Coluna { kArquivo, kDeclaracao, kSituacao, kErros, kAvisos, kColunas };
  static constexpr int kPapelOrdem = Qt::UserRole;         // the sort key of each column
  static constexpr int kPapelProblema = Qt::UserRole + 1;  // whether the row is anything but consistent

  using QAbstractTableModel::QAbstractTableModel;

  // A new portfolio, with no rows yet. `dados` are the paths the user gave: a file found in a folder is
  // shown from that folder's name on, so the column is not a wall of identical prefixes.
  void Recomeca(std::shared_ptr<const Carteira> carteira, const std::vector<std::string>& dados);
  void Limpa();
  // Results of the run, in its order, appended as rows.
  void Acrescenta(std::vector<ResultadoDaCarteira>& resultados);
  // A declaration checked again (after the user recorded it).
  void Substitui(int linha, ResultadoVerificacao v);

  const Carteira* carteira() const { return carteira_.get(); }
  const std::vector<ResultadoDaCarteira>& resultados() const { return resultados_; }
  const ArquivoDaCarteira& ArquivoDa(int linha) const;
  const ResultadoDaCarteira& ResultadoDa(int linha) const { return resultados_[static_cast<size_t>(linha)]; }
  Situacao SituacaoDa(int linha) const { return linhas_[static_cast<size_t>(linha)].situacao; }
  const TotaisDaCarteira& totais() const { return totais_; }
  // The file's name as the table shows it; the name of a row's file.
  QString NomeCurto(size_t arquivo) const { return arquivos_[arquivo].nome; }
  QString NomeDa(int linha) const { return NomeCurto(linhas_[static_cast<size_t>(linha)].arquivo); }
  // The counts of a portfolio run over the results as they stand, for the report.
  ResumoDaCarteira Resumo(bool interrompido) const;

  int rowCount(const QModelIndex& pai = {}) const override;
  int columnCount(const QModelIndex& pai = {}) const override;
  QVariant data(const QModelIndex& i, int papel) const override;
  QVariant headerData(int secao, Qt::Orientation o, int papel) const override;

 private:
  struct Linha {
    size_t arquivo;
    long declaracao;  // 0: a file that could not be read
    Situacao situacao;
    int erros, avisos, aceitos;
  };
  struct NaTela {
    QString nome, completo;
    bool problema = false;
    int primeira = -1, ultima = -1;  // its rows (a file's rows arrive together)
  };
  static Linha LinhaDe(const ResultadoDaCarteira& r);
  void Esvazia();  // inside a reset
  void Conta(const Linha& l, int sinal);
  // Sets the file's flag from its rows; its rows are told when their order changes.
  void AtualizaProblema(size_t arquivo);
  QString TextoDaSituacao(const Linha& l) const;
  QString Detalhe(const Linha& l, const ResultadoDaCarteira& r) const;
  QVariant Exibe(const Linha& l, int coluna) const;
  QVariant Ordem(const Linha& l, int coluna) const;

  std::shared_ptr<const Carteira> carteira_;
  std::vector<NaTela> arquivos_;
  std::vector<Linha> linhas_;
  std::vector<ResultadoDaCarteira> resultados_;
  TotaisDaCarteira totais_;
};

// The rows the user asked for: only those with problems, and those whose file, declaration or state
// holds the text searched (without regard to case).
class FiltroDaCarteira : public QSortFilterProxyModel {
 public:
  explicit FiltroDaCarteira(QObject* pai = nullptr);
  void DefineSoProblemas(bool v);
  void DefineBusca(const QString& texto);

 protected:
  bool filterAcceptsRow(int linha, const QModelIndex& pai) const override;

 private:
  bool soProblemas_ = false;
  QString busca_;
};

// The text of a state as the table shows it ("consistente", "chave gravada não confere", ...).
QString NomeDaSituacao(Situacao s);

}  // namespace kv

// kvCtlConsistencia's logic: builds the tree, explains the selected node, accepts warnings and makes the
// final check. The Qt widget (ui/) and the command line drive the same object through these members.
#pragma once

#include <memory>
#include <string>

#include "control/arvore.h"
#include "control/resultado.h"
#include "key/chave.h"
#include "platform/exporta.h"
#include "platform/externos.h"
#include "platform/interface_usuario.h"
#include "platform/variant.h"

// The check the rules take: internal, so not exported.
namespace kv {
class Verificacao;
}

KV_PUBLICO_INICIO

namespace kv {

inline const std::string kClsidKvCtlConsistencia = "{7FB07BBF-DFC4-4028-830F-890F52F99B44}";
inline const std::string kStatusConsistente = "Esta Declaração está consistente!";
inline const std::string kStatusInconsistente = "Esta Declaração está Inconsistente!";
// Why a declaration recorded as consistent is judged again.
inline const std::string kAvisoChaveNaoConfere = "a chave gravada não confere com os dados atuais";
inline const std::string kAvisoChaveNaoConferida = "a chave gravada não pôde ser conferida";
inline const std::string kAvisoSemChave = "não tem chave de consistência gravada";

// Frees this thread's module state (the store, the settings read, the open database). The state is one
// per thread: a thread that checked calls this before it ends.
void LiberaEstadoDaThread();

class ControleConsistencia {
 public:
  ControleConsistencia();
  // The end of the control empties the store.
  ~ControleConsistencia();
  ControleConsistencia(const ControleConsistencia&) = delete;
  ControleConsistencia& operator=(const ControleConsistencia&) = delete;

  // Properties, held in the thread's module state and shared with ConsisteKV.
  Variant Declaracao() const;
  void DefineDeclaracao(const Variant& v);
  Variant IE() const;
  void DefineIE(const Variant& v);
  Variant Deducoes() const;
  void DefineDeducoes(const Variant& v);
  Variant CNAE() const;
  void DefineCNAE(const Variant& v);

  // One complete check of the declaration set: builds the tree (MontaInconsistencias) and returns its
  // outcome, each item explained unless `explica` is false. A failure is in the result, never thrown.
  ResultadoVerificacao Verifica(bool explica = true);
  // The outcome as the tree stands now (after acceptances, say), read without selecting any node.
  ResultadoVerificacao Resultado(bool explica = true);

  // The double-click lock: while `vf` is true, a double-click accepts nothing.
  void RetiradbClick(bool& vf) { travaDuploClique_ = vf; }
  // The final check with its box: consistent, it makes and records the key and says so; otherwise it
  // says the declaration has inconsistencies and records it as not consistent. Returns whether the user
  // answered OK.
  bool MostrouMsg();
  void CarregaLabel();
  void LimpaMensagem() { mensagem_->Define(""); }
  // Whether selecting a node also shows, under the rule's message, the figures its rule compared (off by
  // default: the panel then shows the message alone).
  bool MostraValores() const { return mostraValores_; }
  void DefineMostraValores(bool v) { mostraValores_ = v; }
  // Selecting a node: its group's message builder explains it in the panel.
  void ListaDeLocais_NodeClick(const NoRef& no);
  // Accepts the selected node when it is an open warning (not an error, not while locked).
  void ListaDeLocais_DblClick();
  // What a double-click on the item with this key does (it selects the item, with the same refusals),
  // for a front end that accepts by key: an open warning becomes accepted; an accepted one stays so.
  enum class Aceite { Aceito, NaoHaItem, NaoPodeSerAceito };
  Aceite Aceita(const std::string& chave);
  // The tree builder: empties the store and the tree, runs the rules of the fiscal year on one snapshot
  // of the database, judges the recorded flag and shows the status in the panel and the entries as
  // nodes. Throws what a rule throws; without a database it ends with no status (MontagemFalhou).
  void MontaInconsistencias();
  // The builder's last step: the store's entries as header and item nodes, the items of the ordinary
  // groups with `imagemPadrao`. Also for checks that make no tree of their own (verificar-kv).
  void MostraEntradas(int imagemPadrao);
  // No node with image 2, and the last build did not fail (a failed build leaves the declaration
  // unchecked, which must not pass for clean): then makes and records the key.
  bool Consistir();
  // Empties the tree and the panel; the next paint builds again.
  void Clear();
  // The paint handler: while a declaration is set (not empty, zero or ""), rebuilds the tree when the
  // declaration, the fiscal year, the database or its data changed since the last build; a repaint of
  // the same data keeps the tree and the user's acceptances. Returns whether it rebuilt.
  bool Pinta();
  // Whether the last build failed (an error, or no database), so that the tree is not the check's.
  bool MontagemFalhou() const { return montagemFalhou_; }
  // Whether a double-click may accept the node with this key (warnings yes, errors to correct no).
  static bool PodeSerAceita(const std::string& chave);
  Arvore& ListaDeLocais() { return arvore_; }
  Texto& Mensagem() { return *mensagem_; }
  Texto& Label1() { return *label1_; }
  Texto& Label2() { return *label2_; }
  const NoRef& Selecionado() const { return selecionado_; }
  // Set by the last build when the recorded flag was set aside (kAvisoChaveNaoConfere); "" otherwise.
  const std::string& AvisoRegistro() const { return avisoRegistro_; }
  // Whether a build also checks the key of a declaration without findings (whose status it cannot
  // change): on by default; a batch over many clean declarations may leave it off.
  void DefineConferirChave(bool v) { conferirChave_ = v; }
  // A front end replaces the in-memory panel, labels and box with its own.
  void DefineInterface(std::shared_ptr<Texto> mensagem, std::shared_ptr<Texto> label1,
                       std::shared_ptr<Texto> label2, std::shared_ptr<CaixaMensagem> caixa);

 private:
  void ExecutaRegras(Verificacao& v, int16_t exercicio);
  std::string MensagemDoNo(const std::string& chave);
  // The item's finding, its figures completed after the check where that takes a query of its own (a
  // failing query leaves the figures the check kept); a finding without figures when there is none.
  Achado AchadoDoNo(const std::string& chave);
  // What a build reads: declaration, fiscal year, database path and the version of the data in `banco`
  // ("" when the version is unknown, which forces a rebuild).
  static std::string Assinatura(const std::shared_ptr<Database>& banco, const std::string& caminho);

  Arvore arvore_;
  std::shared_ptr<Texto> mensagem_, label1_, label2_;
  std::shared_ptr<CaixaMensagem> caixa_;
  bool travaDuploClique_ = false;
  bool mostraValores_ = false;
  NoRef selecionado_;
  std::shared_ptr<ConexaoBanco> conexao_;
  std::string avisoRegistro_;
  bool montagemFalhou_ = false;
  bool conferirChave_ = true;
  std::optional<std::string> status_;    // the last build's status, when it ended
  std::optional<ErroVerificacao> erro_;  // why the last build failed, when it did
  std::string assinatura_;               // of the data the tree was last built from; "" forces a rebuild
};

}  // namespace kv

KV_PUBLICO_FIM

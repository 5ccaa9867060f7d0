#include "control/controle.h"

#include "platform/configuracao.h"
#include "platform/erro.h"
#include "rules/frame/estado.h"

namespace kv {

void LiberaEstadoDaThread() {
  ReiniciaEstado();
}

ControleConsistencia::ControleConsistencia()
    : mensagem_(std::make_shared<TextoMemoria>()),
      label1_(std::make_shared<TextoMemoria>("Label1")),
      label2_(std::make_shared<TextoMemoria>("Label2")),
      caixa_(CaixaPadrao()) {}

ControleConsistencia::~ControleConsistencia() {
  ObtemInconsistencias().Esvazia();
}

void ControleConsistencia::DefineInterface(std::shared_ptr<Texto> mensagem, std::shared_ptr<Texto> label1,
                                           std::shared_ptr<Texto> label2,
                                           std::shared_ptr<CaixaMensagem> caixa) {
  if (mensagem) mensagem_ = std::move(mensagem);
  if (label1) label1_ = std::move(label1);
  if (label2) label2_ = std::move(label2);
  if (caixa) caixa_ = std::move(caixa);
}

Variant ControleConsistencia::Declaracao() const {
  return Estado().declaracao;
}
void ControleConsistencia::DefineDeclaracao(const Variant& v) {
  Estado().declaracao = v;
}
Variant ControleConsistencia::IE() const {
  return Estado().ie;
}
void ControleConsistencia::DefineIE(const Variant& v) {
  Estado().ie = v;
}
Variant ControleConsistencia::Deducoes() const {
  return Estado().deducoes;
}
void ControleConsistencia::DefineDeducoes(const Variant& v) {
  Estado().deducoes = v;
}
Variant ControleConsistencia::CNAE() const {
  return Estado().cnae;
}
void ControleConsistencia::DefineCNAE(const Variant& v) {
  Estado().cnae = v;
}

bool ControleConsistencia::Consistir() {
  bool pendente = montagemFalhou_;
  for (long i = 1; i <= arvore_.Count(); ++i)
    if (arvore_.NoNaPosicao(i)->imagem == kImagemAberta) pendente = true;
  if (pendente) return false;
  GeraChave(*caixa_);
  return true;
}

bool ControleConsistencia::MostrouMsg() {
  if (Consistir())
    return caixa_->Mostra("Consistência efetuada com sucesso!", kCaixaInformacao, "Atenção!") == kBotaoOk;
  if (caixa_->Mostra("Esta declaração possui inconsistências!", kCaixaCritico, "Atenção!") != kBotaoOk)
    return false;
  GravaInconsistente();
  return true;
}

void ControleConsistencia::Clear() {
  assinatura_.clear();  // the next paint shows the check again
  status_.reset();
  arvore_.Limpa();
  mensagem_->Define("");
}

bool ControleConsistencia::Pinta() {
  const Variant& d = Estado().declaracao;
  if (d.IsEmpty() || d.IsNull()) return false;
  if (d.IsString() && d.AsString().empty()) return false;
  double valor = 0;
  bool numero = d.IsString() ? ParseNumero(d.AsString(), valor) : true;
  if (!d.IsString()) valor = CDbl(d);
  if (numero && valor == 0) return false;
  // Only what the build reads is compared: a repaint of the same data keeps the user's acceptances.
  Config().Recarrega();
  std::string caminho = Config().Le(kApp, "DB", "DbAtual", "");
  if (!conexao_) conexao_ = CriaComo<ConexaoBanco>(kClsidConexaoBanco);
  std::string c = caminho;
  std::string assinatura = Assinatura(conexao_->AbreBanco(c), caminho);
  if (!assinatura.empty() && assinatura == assinatura_) return false;
  MontaInconsistencias();
  return true;
}

std::string ControleConsistencia::Assinatura(const std::shared_ptr<Database>& banco,
                                             const std::string& caminho) {
  std::string versao = banco ? banco->VersaoDosDados() : "";
  if (versao.empty()) return "";
  const Variant& d = Estado().declaracao;
  return std::to_string(static_cast<int>(d.tipo())) + "\x1f" + TextoDe(d) + "\x1f" +
         Config().Le(kApp, "Exercicio", "ExercicioAtual", "") + "\x1f" + caminho + "\x1f" + versao;
}

}  // namespace kv

// A small host: its own database component, the visible control embedded in its window, the declaration
// set through the control's property, and the Fechar event ending the program.
//
//   host-de-exemplo BANCO.db DECLARACAO [--automatico]
//
// --automatico presses Fechar once the tree is built and answers the message box (for CI, offscreen).
#include <kvconsistencia/kvconsistencia.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>

namespace {

// The host's own ConexaoBanco: opens the file it is given and says so on the console.
class MinhaConexao : public kv::ConexaoBanco {
 public:
  std::shared_ptr<kv::Database> AbreBanco(std::string& caminho) override {
    if (!banco_ || banco_->Caminho() != caminho) {
      banco_ = kv::AbreSqlite(caminho);
      std::printf("host: banco aberto: %s\n", caminho.c_str());
    }
    return banco_;
  }

 private:
  std::shared_ptr<kv::Database> banco_;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "uso: %s BANCO.db DECLARACAO [--automatico]\n", argv[0]);
    return 2;
  }
  const bool automatico = argc > 3 && std::string(argv[3]) == "--automatico";

  // The default outside components, then ours in place of the database one.
  kv::host::RegistraComponentes();
  auto conexao = std::make_shared<MinhaConexao>();
  kv::RegistraClasse(kv::kClsidConexaoBanco, [conexao] { return conexao; });
  // The settings are the host's own: it says which database and fiscal year are current.
  kv::Config().Grava("KV", "DB", "DbAtual", argv[1]);
  kv::Config().Grava("KV", "Exercicio", "ExercicioAtual", "2002");

  QWidget janela;
  janela.setWindowTitle("Host de exemplo");
  auto* layout = new QVBoxLayout(&janela);
  layout->addWidget(new QLabel("Declaração " + QString(argv[2])));
  auto* controle = new kv::kvCtlConsistencia(&janela);
  layout->addWidget(controle);
  controle->setProperty("Declaração", QString(argv[2]));

  int status = 1;
  QObject::connect(controle, &kv::kvCtlConsistencia::Fechar, &app, [&] {
    std::printf("host: Fechar recebido; %ld itens na árvore\n", controle->Logica().ListaDeLocais().Count());
    status = 0;
    app.quit();
  });
  if (automatico) {
    QTimer::singleShot(500, controle, [controle] { controle->findChild<QPushButton*>()->click(); });
    // Answers the final check's message box.
    auto* responde = new QTimer(&app);
    QObject::connect(responde, &QTimer::timeout, [] {
      if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    responde->start(100);
  }
  janela.show();
  app.exec();
  return status;
}

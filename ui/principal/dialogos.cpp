#include "ui/principal/dialogos.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace kv {
namespace {

const char kFiltroBancos[] = "Bancos de declarações (*.db *.sqlite *.mdb *.accdb);;Todos os arquivos (*)";

// A file to write, with its suffix added when the user typed none.
QString Salvar(QWidget* pai, const QString& titulo, const QString& sugestao, const QString& filtro,
               const QString& sufixo) {
  QFileDialog d(pai, titulo, sugestao, filtro);
  d.setAcceptMode(QFileDialog::AcceptSave);
  d.setDefaultSuffix(sufixo);
  return d.exec() == QDialog::Accepted && !d.selectedFiles().isEmpty() ? d.selectedFiles().first()
                                                                       : QString();
}

}  // namespace

QStringList Dialogos::Bancos(QWidget* pai, const QString& pasta) {
  return QFileDialog::getOpenFileNames(pai, QString::fromUtf8("Abrir banco de declarações"), pasta,
                                       QString::fromUtf8(kFiltroBancos));
}

QString Dialogos::Pasta(QWidget* pai, const QString& pasta) {
  return QFileDialog::getExistingDirectory(pai, QString::fromUtf8("Abrir pasta de declarações"), pasta);
}

QString Dialogos::Relatorio(QWidget* pai, const QString& sugestao) {
  return Salvar(pai, QString::fromUtf8("Exportar relatório HTML"), sugestao,
                QString::fromUtf8("Relatório HTML (*.html)"), "html");
}

QString Dialogos::DestinoDaImportacao(QWidget* pai, const QString& jet, const QString& sugestao) {
  QMessageBox caixa(QMessageBox::Information, QString::fromUtf8("Arquivo Jet"),
                    QString::fromUtf8("“%1” é um arquivo Jet, que este programa nunca grava: as declarações "
                                      "dele são lidas numa cópia temporária, só para leitura.\n\n"
                                      "Para aceitar avisos e gravar a chave de consistência, importe-o para "
                                      "um banco SQLite que você escolhe. O arquivo Jet fica como está.")
                        .arg(jet),
                    QMessageBox::Cancel, pai);
  QPushButton* importar =
      caixa.addButton(QString::fromUtf8("&Importar para um banco SQLite…"), QMessageBox::AcceptRole);
  caixa.setDefaultButton(importar);
  caixa.exec();
  if (caixa.clickedButton() != importar) return {};
  return Salvar(pai, QString::fromUtf8("Importar para um banco SQLite"), sugestao,
                QString::fromUtf8("Banco SQLite (*.db *.sqlite)"), "db");
}

}  // namespace kv

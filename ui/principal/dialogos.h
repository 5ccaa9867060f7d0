// The questions the main window asks the user in a dialog of its own (which files, where to write). A
// test or another front end answers them through a double; the default asks with Qt's file dialogs.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace kv {

class Dialogos {
 public:
  virtual ~Dialogos() = default;
  // Databases to open; empty when the user gave up.
  virtual QStringList Bancos(QWidget* pai, const QString& pasta);
  // A folder to open; empty when the user gave up.
  virtual QString Pasta(QWidget* pai, const QString& pasta);
  // Where to write the portfolio's HTML report; empty when the user gave up.
  virtual QString Relatorio(QWidget* pai, const QString& sugestao);
  // After saying that the Jet file `jet` is never written, whether to import it into a SQLite database
  // and where; empty when the user gave up.
  virtual QString DestinoDaImportacao(QWidget* pai, const QString& jet, const QString& sugestao);
};

}  // namespace kv

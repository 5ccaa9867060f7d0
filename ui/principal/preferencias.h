// The desktop program's own settings: recent files and folders, the window's size, the last fiscal year
// and whether clean declarations' keys are checked. They live in a file of their own under
// $XDG_CONFIG_HOME/kvconsistencia/; KV.ini belongs to the host program and is never written here.
#pragma once

#include <QByteArray>
#include <QSettings>
#include <string>
#include <vector>

namespace kv {

class Preferencias {
 public:
  static constexpr int kMaxRecentes = 9;

  Preferencias();
  // The file the settings are kept in.
  QString Arquivo() const { return s_.fileName(); }

  // Paths as the file system names them, byte for byte (a name that is not UTF-8 stays its file's name),
  // the latest first.
  std::vector<std::string> Recentes() const;
  void AcrescentaRecente(const std::string& caminho);
  void RetiraRecente(const std::string& caminho);
  void LimpaRecentes();

  QByteArray Geometria() const { return s_.value("janela/geometria").toByteArray(); }
  void DefineGeometria(const QByteArray& g) { s_.setValue("janela/geometria", g); }
  // 0 when none was chosen yet.
  int Exercicio() const { return s_.value("verificacao/exercicio", 0).toInt(); }
  void DefineExercicio(int ano) { s_.setValue("verificacao/exercicio", ano); }
  bool ConferirChaves() const { return s_.value("verificacao/conferirChaves", false).toBool(); }
  void DefineConferirChaves(bool v) { s_.setValue("verificacao/conferirChaves", v); }

 private:
  void GravaRecentes(const std::vector<std::string>& r);
  QSettings s_;
};

}  // namespace kv

// libCertificaTarvo: appends to a file the 32 upper-case hex digits of HMAC-SHA256(key text, contents).
#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QMessageAuthenticationCode>

extern "C" __attribute__((visibility("default"))) int CertificaArquivo(const char* caminho,
                                                                       const char* chave) {
  if (!caminho || !chave) return 1;
  QFile f(QString::fromLocal8Bit(caminho));
  if (!f.open(QIODevice::ReadWrite)) return 2;
  QByteArray conteudo = f.readAll();
  QByteArray mac = QMessageAuthenticationCode::hash(conteudo, QByteArray(chave), QCryptographicHash::Sha256);
  QByteArray hex = mac.left(16).toHex().toUpper();
  if (!f.seek(f.size()) || f.write(hex) != hex.size()) return 3;
  return f.flush() ? 0 : 4;
}

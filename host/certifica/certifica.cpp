// libCertificaTarvo: appends to a file the 32 upper-case hex digits of HMAC-SHA256(key text, contents).
#include <fcntl.h>
#include <unistd.h>

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QMessageAuthenticationCode>

extern "C" __attribute__((visibility("default"))) int CertificaArquivo(const char* caminho,
                                                                       const char* chave) {
  if (!caminho || !chave) return 1;
  // Never through a link: the caller made the file private, and a link put in its place is not it.
  const int fd = ::open(caminho, O_RDWR | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return 2;
  QFile f;
  if (!f.open(fd, QIODevice::ReadWrite, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    return 2;
  }
  QByteArray conteudo = f.readAll();
  QByteArray mac = QMessageAuthenticationCode::hash(conteudo, QByteArray(chave), QCryptographicHash::Sha256);
  QByteArray hex = mac.left(16).toHex().toUpper();
  if (!f.seek(f.size()) || f.write(hex) != hex.size()) return 3;
  return f.flush() ? 0 : 4;
}

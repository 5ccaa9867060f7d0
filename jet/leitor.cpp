// The Jet reader's parent side: starts the child, waits for its frames within a deadline, checks them
// and reports why a read stopped, naming the table.
#include "jet/leitor.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "jet/filho.h"
#include "jet/quadros.h"
#include "platform/erro.h"
#include "platform/texto.h"

namespace kv::jet {
namespace {

using Relogio = std::chrono::steady_clock;

// The child, stopped and reaped whatever way the read ends.
class Filho {
 public:
  Filho(const std::string& caminho, const Limites& limites) {
    int dados[2], mensagens[2];
    if (::pipe2(dados, O_CLOEXEC) != 0 || ::pipe2(mensagens, O_CLOEXEC) != 0)
      throw Erro(kErroArquivo,
                 std::string("Não foi possível criar os canais do leitor Jet: ") + std::strerror(errno));
    std::fflush(nullptr);  // nothing buffered here may be written twice
    const pid_t pai = ::getpid();
    pid_ = ::fork();
    if (pid_ == 0) ExecutaFilho(caminho, dados[1], mensagens[1], limites, pai);
    ::close(dados[1]);
    ::close(mensagens[1]);
    dados_ = dados[0];
    mensagens_ = mensagens[0];
    if (pid_ < 0) {
      Fecha();
      throw Erro(kErroArquivo, std::string("Não foi possível iniciar o leitor Jet: ") + std::strerror(errno));
    }
  }
  ~Filho() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      Espera();
    }
    Fecha();
  }
  Filho(const Filho&) = delete;
  Filho& operator=(const Filho&) = delete;

  int dados() const { return dados_; }
  // The child's resident memory in bytes (0 when it cannot be read). Watched besides the address-space
  // limit, which a sanitized build cannot set.
  size_t Residente() const {
    std::ifstream f("/proc/" + std::to_string(pid_) + "/statm");
    size_t total = 0, residente = 0;
    f >> total >> residente;
    return residente * static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  }
  int mensagens() const { return mensagens_; }

  // How the child ended, after its data channel closed; a child that lingers is stopped.
  std::string Fim() {
    for (int i = 0; i < 200 && ::waitpid(pid_, &status_, WNOHANG) == 0; ++i) ::usleep(10000);
    if (::waitpid(pid_, &status_, WNOHANG) == 0) {
      ::kill(pid_, SIGKILL);
      Espera();
      return "não terminou depois de fechar o canal de dados";
    }
    pid_ = -1;
    if (WIFSIGNALED(status_)) {
      const int s = WTERMSIG(status_);
      if (s == SIGXCPU) return "excedeu o limite de tempo de processador";
      return "terminou com o sinal " + std::to_string(s) + " (" + ::strsignal(s) + ")";
    }
    return "terminou sem concluir a leitura (saída " + std::to_string(WEXITSTATUS(status_)) + ")";
  }

 private:
  void Espera() {
    while (::waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
  }
  void Fecha() {
    if (dados_ >= 0) ::close(dados_);
    if (mensagens_ >= 0) ::close(mensagens_);
    dados_ = mensagens_ = -1;
  }
  pid_t pid_ = -1;
  int dados_ = -1, mensagens_ = -1, status_ = 0;
};

// libmdb's messages: kept up to a size, each distinct line once, shown safely.
class Mensagens {
 public:
  explicit Mensagens(size_t limite) : limite_(limite) {}
  // False when libmdb has said more than the limit (it repeats a warning without end on some files).
  bool Junta(const char* b, size_t n) {
    total_ += n;
    if (texto_.size() < (1u << 16)) texto_.append(b, std::min(n, (size_t{1} << 16) - texto_.size()));
    return total_ <= limite_;
  }
  std::vector<std::string> Linhas() const {
    std::vector<std::string> r;
    std::istringstream s(texto_);
    for (std::string l; std::getline(s, l);) {
      while (!l.empty() && (l.back() == ' ' || l.back() == '\r')) l.pop_back();
      l = TextoVisivel(l);
      if (!l.empty() && std::find(r.begin(), r.end(), l) == r.end() && r.size() < 20) r.push_back(l);
    }
    return r;
  }

 private:
  size_t limite_, total_ = 0;
  std::string texto_;
};

}  // namespace

void Confere(const std::string& caminho) {
  struct stat st;
  auto uso = [&](const std::string& motivo) { throw ErroDeUso{"'" + TextoVisivel(caminho) + "' " + motivo}; };
  if (::stat(caminho.c_str(), &st) != 0) uso(std::string("não pode ser lido: ") + std::strerror(errno));
  if (!S_ISREG(st.st_mode)) uso("não é um arquivo");
  if (::access(caminho.c_str(), R_OK) != 0) uso("não pode ser lido: sem permissão de leitura");
  unsigned char cabecalho[0x20] = {};
  {
    std::ifstream f(caminho, std::ios::binary);
    f.read(reinterpret_cast<char*>(cabecalho), sizeof cabecalho);
    if (f.gcount() < static_cast<std::streamsize>(sizeof cabecalho))
      uso("está vazio ou é curto demais para um banco de dados Jet");
  }
  if (std::memcmp(cabecalho + 4, "Standard Jet DB", 15) != 0 &&
      std::memcmp(cabecalho + 4, "Standard ACE DB", 15) != 0)
    uso("não é um banco de dados Jet (.mdb) nem ACE (.accdb)");
  const long pagina = cabecalho[0x14] == 0 ? 2048 : 4096;
  if (st.st_size % pagina != 0 || st.st_size < 3 * pagina)
    throw Erro(kErroBancoBase + 11, "O arquivo " + TextoVisivel(caminho) +
                                        " não pôde ser lido como banco de dados Jet: arquivo truncado (" +
                                        std::to_string(st.st_size) + " bytes, não é múltiplo de páginas de " +
                                        std::to_string(pagina) + ")");
}

bool Le(const std::string& caminho, Destinatario& destino, std::vector<std::string>& avisos,
        const Limites& limites) {
  Confere(caminho);
  Filho filho(caminho, limites);
  Receptor receptor(destino);
  Separador separador;
  Mensagens mensagens(limites.mensagens);
  const auto silencio = std::chrono::seconds(limites.silencioSegundos);
  auto prazo = Relogio::now() + silencio;
  auto medida = Relogio::now();
  auto para = [&](const std::string& motivo) {
    std::string m = "O arquivo " + TextoVisivel(caminho) +
                    " não pôde ser lido: o leitor de arquivos Jet parou ao ler " + receptor.Onde() + ": " +
                    TextoVisivel(motivo);
    std::string libmdb;
    for (const std::string& l : mensagens.Linhas()) libmdb += (libmdb.empty() ? "" : "; ") + l;
    throw Erro(kErroBancoBase + 11, m + (libmdb.empty() ? "" : " (libmdb: " + libmdb + ")"));
  };
  char bloco[1 << 16];
  bool canalDeMensagens = true;
  try {
    for (;;) {
      if (destino.Interrompida()) return false;
      if (Relogio::now() - medida > std::chrono::milliseconds(100)) {
        medida = Relogio::now();
        if (filho.Residente() > limites.memoria)
          para("excedeu o limite de memória (" + std::to_string(limites.memoria >> 20) + " MiB)");
      }
      const auto falta =
          std::chrono::duration_cast<std::chrono::milliseconds>(prazo - Relogio::now()).count();
      if (falta <= 0) para("não respondeu em " + std::to_string(limites.silencioSegundos) + " s");
      pollfd canais[2] = {{filho.dados(), POLLIN, 0}, {canalDeMensagens ? filho.mensagens() : -1, POLLIN, 0}};
      if (::poll(canais, 2, static_cast<int>(std::min<long long>(falta, 1000))) < 0) continue;  // a signal
      if (canais[1].revents) {
        const ssize_t n = ::read(filho.mensagens(), bloco, sizeof bloco);
        if (n <= 0)
          canalDeMensagens = false;
        else if (!mensagens.Junta(bloco, static_cast<size_t>(n)))
          para("o libmdb repetiu mensagens sem parar (arquivo danificado)");
      }
      if (canais[0].revents) {
        const ssize_t n = ::read(filho.dados(), bloco, sizeof bloco);
        if (n == 0) break;
        if (n < 0) continue;
        separador.Junta({bloco, static_cast<size_t>(n)});
        char tipo = 0;
        for (std::string corpo; separador.Proximo(tipo, corpo);) receptor.Recebe(tipo, corpo);
        prazo = Relogio::now() + silencio;
      }
    }
    // The child closed its data channel: what it still said, then how it ended.
    for (ssize_t n; canalDeMensagens && (n = ::read(filho.mensagens(), bloco, sizeof bloco)) > 0;)
      if (!mensagens.Junta(bloco, static_cast<size_t>(n))) break;
    const std::string fim = filho.Fim();
    if (!receptor.Concluido()) para(fim);
    if (!separador.Vazio()) para("bytes a mais depois do fim da leitura");
  } catch (const Parada& p) {
    para(p.what());
  }
  avisos = mensagens.Linhas();
  return true;
}

}  // namespace kv::jet

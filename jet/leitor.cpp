// The Jet reader's parent side: starts the child, waits for its frames within a deadline, checks them
// and reports why a read stopped, naming the table.
#include "jet/leitor.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
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
#include <string_view>

#include "jet/filho.h"
#include "jet/quadros.h"
#include "platform/certificacao.h"
#include "platform/erro.h"
#include "platform/texto.h"

namespace kv::jet {
namespace {

using Relogio = std::chrono::steady_clock;

// libmdb reads these; none may change what the import does (an MDBPATH with an empty element makes
// libmdb search forever for a missing file).
constexpr std::string_view kVariaveisDoLibmdb[] = {"MDBPATH",          "MDBICONV", "MDB_ICONV",
                                                   "MDB_JET3_CHARSET", "MDBOPTS",  "MDB_DEBUG"};

// The caller's environment without libmdb's variables.
std::vector<std::string> Ambiente() {
  std::vector<std::string> r;
  for (char** e = environ; *e; ++e) {
    const std::string_view v(*e);
    if (std::none_of(std::begin(kVariaveisDoLibmdb), std::end(kVariaveisDoLibmdb), [&](std::string_view n) {
          return v.starts_with(n) && v.substr(n.size()).starts_with('=');
        }))
      r.emplace_back(v);
  }
  return r;
}

// A descriptor numbered 4 or above (a caller may run with 0 to 2 closed), so that placing the channels at
// 1, 2 and 3 in the child overwrites none of them.
int AcimaDeTres(int fd) {
  if (fd < 0 || fd > 3) return fd;
  const int novo = ::fcntl(fd, F_DUPFD_CLOEXEC, 4);
  ::close(fd);
  return novo;
}

std::vector<char*> Ponteiros(std::vector<std::string>& textos) {
  std::vector<char*> r;
  for (std::string& t : textos) r.push_back(t.data());
  r.push_back(nullptr);
  return r;
}

// Starts the reader's program (jet/programa/) with the write ends of the channels at 3 (data) and at 1
// and 2 (messages) and nothing else open, out of the terminal's process group (Ctrl-C is the caller's to
// handle), no signal blocked or ignored (the processor-time limit ends it by SIGXCPU). Started rather than
// forked: a fork of a process whose other threads hold locks (the allocator's, a library's) may wait on them
// for ever. Returns 0 or the error number.
int Inicia(pid_t& pid, std::vector<std::string> argumentos, int dados, int mensagens) {
  std::vector<std::string> ambiente = Ambiente();
  const std::vector<char*> args = Ponteiros(argumentos), env = Ponteiros(ambiente);
  posix_spawn_file_actions_t acoes;
  ::posix_spawn_file_actions_init(&acoes);
  ::posix_spawn_file_actions_adddup2(&acoes, dados, 3);
  ::posix_spawn_file_actions_adddup2(&acoes, mensagens, 1);
  ::posix_spawn_file_actions_adddup2(&acoes, mensagens, 2);
  ::posix_spawn_file_actions_addopen(&acoes, 0, "/dev/null", O_RDONLY, 0);
  ::posix_spawn_file_actions_addclosefrom_np(&acoes, 4);
  posix_spawnattr_t atributos;
  ::posix_spawnattr_init(&atributos);
  ::posix_spawnattr_setflags(&atributos,
                             POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  sigset_t sinais;
  sigemptyset(&sinais);
  ::posix_spawnattr_setsigmask(&atributos, &sinais);
  sigfillset(&sinais);
  ::posix_spawnattr_setsigdefault(&atributos, &sinais);
  const int erro = ::posix_spawn(&pid, args[0], &acoes, &atributos, args.data(), env.data());
  ::posix_spawn_file_actions_destroy(&acoes);
  ::posix_spawnattr_destroy(&atributos);
  return erro;
}

// The child, stopped and reaped whatever way the read ends.
class Filho {
 public:
  Filho(const std::string& caminho, const Limites& limites) : programa_(CaminhoDoLeitorJet()) {
    std::vector<std::string> argumentos = {programa_,
                                           KV_VERSAO,
                                           caminho,
                                           std::to_string(::getpid()),
                                           std::to_string(limites.memoria),
                                           std::to_string(limites.cpuSegundos)};
    int dados[2] = {-1, -1}, mensagens[2] = {-1, -1};
    int erro = ::pipe2(dados, O_CLOEXEC) == 0 && ::pipe2(mensagens, O_CLOEXEC) == 0 ? 0 : errno;
    dados_ = dados[0];
    mensagens_ = mensagens[0];
    const int escrita = AcimaDeTres(dados[1]), mensagem = AcimaDeTres(mensagens[1]);
    if (erro == 0 && (escrita < 0 || mensagem < 0)) erro = errno;
    if (erro != 0) {
      for (int fd : {escrita, mensagem})
        if (fd >= 0) ::close(fd);
      Fecha();
      throw Erro(kErroArquivo,
                 std::string("Não foi possível criar os canais do leitor Jet: ") + std::strerror(erro));
    }
    erro = Inicia(pid_, std::move(argumentos), escrita, mensagem);
    ::close(escrita);
    ::close(mensagem);
    if (erro != 0) {
      pid_ = -1;
      Fecha();
      throw Erro(kErroArquivo, "Não foi possível iniciar o leitor de arquivos Jet (" +
                                   TextoVisivel(programa_) + "): " + std::strerror(erro) + ".");
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
  const std::string& programa() const { return programa_; }
  // After Fim(): the program could not be loaded or does not serve this caller (a broken installation).
  bool NaoServiu() const {
    return WIFEXITED(status_) && (WEXITSTATUS(status_) == kSaidaDeOutraVersao || WEXITSTATUS(status_) == 127);
  }

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
  std::string programa_;
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

std::string CaminhoDoLeitorJet() {
  return PastaDoComponente() + "/kvconsistencia/leitor-jet";
}

std::string VersaoLibmdb() {
  return KV_VERSAO_LIBMDB;
}

bool EhJet(const std::string& caminho) {
  // Opened without waiting and looked at before any read: a FIFO or a device would block for ever.
  const int fd = ::open(caminho.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  unsigned char cabecalho[0x20] = {};
  const bool lido = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                    ::pread(fd, cabecalho, sizeof cabecalho, 0) == static_cast<ssize_t>(sizeof cabecalho);
  ::close(fd);
  return lido && (std::memcmp(cabecalho + 4, "Standard Jet DB", 15) == 0 ||
                  std::memcmp(cabecalho + 4, "Standard ACE DB", 15) == 0);
}

void Confere(const std::string& caminho) {
  struct stat st;
  auto uso = [&](const std::string& motivo) { throw ErroDeUso("'" + TextoVisivel(caminho) + "' " + motivo); };
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

namespace {

std::string Juntas(const std::vector<std::string>& linhas) {
  std::string r;
  for (const std::string& l : linhas) r += (r.empty() ? "" : "; ") + l;
  return r;
}

// One read, as the parent sees it: the child's two channels watched within the limits, every frame
// checked, and a stop explained with the table being read.
class Conversa {
 public:
  Conversa(const std::string& caminho, Destinatario& destino, const Limites& limites)
      : caminho_(caminho),
        destino_(destino),
        limites_(limites),
        filho_(caminho, limites),
        receptor_(destino),
        mensagens_(limites.mensagens) {}

  // False when the destination asked to stop.
  bool Le() {
    try {
      prazo_ = Relogio::now() + std::chrono::seconds(limites_.silencioSegundos);
      while (dadosAbertos_) {
        if (destino_.Interrompida()) return false;
        Vigia();
        Espera();
      }
      // The child closed its data channel: what it still said, then how it ended.
      while (mensagensAbertas_ && LeMensagens()) {
      }
      const std::string fim = filho_.Fim();
      if (filho_.NaoServiu())
        throw Erro(kErroArquivo, "O leitor de arquivos Jet (" + TextoVisivel(filho_.programa()) +
                                     ") não pôde ser executado: " + Juntas(mensagens_.Linhas()) + ".");
      if (!receptor_.Concluido()) Para(fim);
      if (!separador_.Vazio()) Para("bytes a mais depois do fim da leitura");
    } catch (const Parada& p) {
      Para(p.what());
    }
    return true;
  }
  std::vector<std::string> Avisos() const { return mensagens_.Linhas(); }

 private:
  [[noreturn]] void Para(const std::string& motivo) const {
    const std::string libmdb = Juntas(mensagens_.Linhas());
    throw Erro(kErroBancoBase + 11, "O arquivo " + TextoVisivel(caminho_) +
                                        " não pôde ser lido: o leitor de arquivos Jet parou ao ler " +
                                        receptor_.Onde() + ": " + TextoVisivel(motivo) +
                                        (libmdb.empty() ? "" : " (libmdb: " + libmdb + ")"));
  }

  // The deadline and, every tenth of a second, the child's memory.
  void Vigia() {
    if (Relogio::now() - medida_ > std::chrono::milliseconds(100)) {
      medida_ = Relogio::now();
      if (filho_.Residente() > limites_.memoria)
        Para("excedeu o limite de memória (" + std::to_string(limites_.memoria >> 20) + " MiB)");
    }
    if (Relogio::now() >= prazo_)
      Para("não respondeu em " + std::to_string(limites_.silencioSegundos) + " s");
  }

  // Waits up to a second for either channel and reads what came.
  void Espera() {
    pollfd canais[2] = {{filho_.dados(), POLLIN, 0},
                        {mensagensAbertas_ ? filho_.mensagens() : -1, POLLIN, 0}};
    if (::poll(canais, 2, 1000) < 0) return;  // a signal: the loop looks at Interrompida()
    if (canais[1].revents) LeMensagens();
    if (canais[0].revents) LeDados();
  }

  // False once the channel closed.
  bool LeMensagens() {
    const ssize_t n = ::read(filho_.mensagens(), bloco_, sizeof bloco_);
    if (n <= 0) return mensagensAbertas_ = false;
    if (!mensagens_.Junta(bloco_, static_cast<size_t>(n)))
      Para("o libmdb repetiu mensagens sem parar (arquivo danificado)");
    return true;
  }

  void LeDados() {
    const ssize_t n = ::read(filho_.dados(), bloco_, sizeof bloco_);
    if (n == 0) dadosAbertos_ = false;
    if (n <= 0) return;
    separador_.Junta({bloco_, static_cast<size_t>(n)});
    char tipo = 0;
    for (std::string corpo; separador_.Proximo(tipo, corpo);) receptor_.Recebe(tipo, corpo);
    prazo_ = Relogio::now() + std::chrono::seconds(limites_.silencioSegundos);
  }

  const std::string& caminho_;
  Destinatario& destino_;
  const Limites& limites_;
  Filho filho_;
  Receptor receptor_;
  Separador separador_;
  Mensagens mensagens_;
  Relogio::time_point prazo_, medida_ = Relogio::now();
  bool dadosAbertos_ = true, mensagensAbertas_ = true;
  char bloco_[1 << 16];
};

}  // namespace

bool Le(const std::string& caminho, Destinatario& destino, std::vector<std::string>& avisos,
        const Limites& limites) {
  Confere(caminho);
  Conversa conversa(caminho, destino, limites);
  if (!conversa.Le()) return false;
  avisos = conversa.Avisos();
  return true;
}

}  // namespace kv::jet

// The Jet reader's child: the only code that runs libmdb. It trusts nothing it reads either: every value
// is checked against the page it lies on before it is decoded, and a long value's page chain may not
// loop. Whatever still goes wrong inside libmdb stays in this process, under the limits set below.
#include "jet/filho.h"

#include <fcntl.h>
#include <mdbtools.h>
#include <seccomp.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <set>

#include "jet/decodifica.h"
#include "jet/definicao.h"
#include "jet/quadros.h"

namespace kv::jet {
namespace {

// The sanitizers reserve terabytes of address space, so a limit on it would stop them, not libmdb.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitizado = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitizado = true;
#else
constexpr bool kSanitizado = false;
#endif
#else
constexpr bool kSanitizado = false;
#endif

// Frames go out in blocks; a table's end and the start of the next step are sent at once, so the
// parent always knows which table was being read when the child stopped.
class Canal {
 public:
  explicit Canal(int fd) : fd_(fd) {}
  void Envia(Quadro& q) {
    const std::string& b = q.Bytes();
    if (b.size() - 5 > kMaiorQuadro) throw Parada("uma linha é grande demais para ser importada");
    buffer_ += b;
    if (buffer_.size() >= (1u << 16)) Esvazia();
  }
  void Esvazia() {
    for (size_t feito = 0; feito < buffer_.size();) {
      ssize_t n = ::write(fd_, buffer_.data() + feito, buffer_.size() - feito);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) ::_exit(1);  // the parent is gone
      feito += static_cast<size_t>(n);
    }
    buffer_.clear();
  }

 private:
  int fd_;
  std::string buffer_;
};

// The bytes each fixed-size type occupies; a value shorter than that is damage.
size_t TamanhoFixo(int tipo) {
  switch (tipo) {
    case MDB_BYTE:
      return 1;
    case MDB_INT:
      return 2;
    case MDB_LONGINT:
    case MDB_COMPLEX:
    case MDB_FLOAT:
      return 4;
    case MDB_MONEY:
    case MDB_DOUBLE:
    case MDB_DATETIME:
      return 8;
    case MDB_REPID:
      return 16;
    case MDB_NUMERIC:
      return 17;
    default:
      return 0;
  }
}

std::string TipoSql(int tipo) {
  switch (tipo) {
    case MDB_BOOL:
      return "BOOLEAN";
    case MDB_BYTE:
      return "TINYINT";
    case MDB_INT:
      return "SMALLINT";
    case MDB_LONGINT:
    case MDB_COMPLEX:
      return "INTEGER";
    case MDB_MONEY:
      return "CURRENCY";
    case MDB_FLOAT:
      return "REAL";
    case MDB_DOUBLE:
      return "DOUBLE";
    case MDB_DATETIME:
      return "DATETIME";
    case MDB_BINARY:
    case MDB_OLE:
      return "BLOB";
    case MDB_NUMERIC:
      return "NUMERIC";
    default:
      return "TEXT";  // Text, Memo, replication ids
  }
}

class Leitura {
 public:
  Leitura(MdbHandle* mdb, Canal& canal)
      : mdb_(mdb), canal_(canal), pagina_(mdb->fmt->pg_size), jet3_(mdb->f->jet_version == MDB_VER_JET3) {
    if (pagina_ > MDB_PGSIZE) throw Parada("tamanho de página desconhecido");
  }

  void Tudo() {
    if (!mdb_read_catalog(mdb_, MDB_ANY)) throw Parada("o catálogo de tabelas não pôde ser lido");
    // libmdb leaves out a catalog row it cannot read: the count on the catalog table's definition page
    // (MSysObjects, page 2 in every file) tells.
    if (mdb_read_pg(mdb_, 2) != static_cast<ssize_t>(pagina_))
      throw Parada("o catálogo de tabelas não pôde ser lido");
    const auto registrados =
        static_cast<uint32_t>(mdb_get_int32(mdb_->pg_buf, mdb_->fmt->tab_num_rows_offset));
    if (registrados != mdb_->num_catalog)
      throw Parada("o catálogo registra " + std::to_string(registrados) + " objetos, mas " +
                   std::to_string(mdb_->num_catalog) + " puderam ser lidos (arquivo danificado)");
    std::vector<MdbCatalogEntry*> entradas;
    for (unsigned i = 0; i < mdb_->num_catalog; ++i) {
      auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb_->catalog, i));
      if (e->object_type == MDB_TABLE && !mdb_is_system_table(e)) entradas.push_back(e);
    }
    Quadro k('K');
    k.U32(static_cast<uint32_t>(entradas.size()));
    for (MdbCatalogEntry* e : entradas) k.Texto(e->object_name);
    canal_.Envia(k);
    canal_.Esvazia();

    std::vector<MdbTableDef*> tabelas;
    std::vector<unsigned> maximos;
    for (MdbCatalogEntry* e : entradas) {
      MdbTableDef* t = mdb_read_table(e);
      if (!t) throw Parada("a definição da tabela não pôde ser lida");
      if (!mdb_read_columns(t) || !t->columns || t->columns->len != t->num_cols || t->num_cols == 0)
        throw Parada("as colunas da tabela não puderam ser lidas");
      maximos.push_back(ConfereDefinicao(mdb_, e->table_pg));
      Tabela def{e->object_name, {}, static_cast<long long>(t->num_rows)};
      for (unsigned c = 0; c < t->num_cols; ++c) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, c));
        def.colunas.push_back({col->name, TipoSql(col->col_type)});
      }
      Quadro d('D');
      canal_.Envia(d.Definicao(def));
      canal_.Esvazia();
      tabelas.push_back(t);
    }
    for (size_t i = 0; i < tabelas.size(); ++i) {
      Quadro f('F');
      canal_.Envia(f.I64(Linhas(tabelas[i], maximos[i])));
      canal_.Esvazia();
    }
    Quadro z('Z');
    canal_.Envia(z);
    canal_.Esvazia();
  }

 private:
  long long Linhas(MdbTableDef* t, unsigned maximo) {
    mdb_rewind_table(t);
    std::vector<MdbField> campos(t->num_cols);
    std::vector<Valor> valores(t->num_cols);
    long long lidas = 0;
    while (mdb_fetch_row(t)) {
      // The row just read is still on the page: crack it again for its null flags and raw bytes.
      int inicio = 0;
      size_t tamanho = 0;
      if (mdb_find_row(mdb_, static_cast<int>(t->cur_row) - 1, &inicio, &tamanho) != 0)
        throw Parada("uma linha não pôde ser localizada na página");
      inicio &= 0x1fff;
      if (static_cast<size_t>(inicio) + tamanho > pagina_) throw Parada("uma linha passa do fim da página");
      // A row holds the columns its table had when it was written, deleted ones included: fewer than
      // the definition's most when columns came later, never more.
      const unsigned char* linha = mdb_->pg_buf + inicio;
      if (tamanho < (jet3_ ? 1u : 2u)) throw Parada("uma linha não pôde ser decodificada");
      const unsigned colunas = jet3_ ? linha[0] : U16(linha);
      if (colunas > maximo)
        throw Parada("uma linha tem " + std::to_string(colunas) + " colunas, mais do que as " +
                     std::to_string(maximo) + " que a definição da tabela permite (arquivo danificado)");
      if (mdb_crack_row(t, inicio, tamanho, campos.data()) <= 0)
        throw Parada("uma linha não pôde ser decodificada");
      for (unsigned c = 0; c < t->num_cols; ++c) {
        const MdbField& f = campos[c];
        if (f.colnum < 0 || static_cast<unsigned>(f.colnum) >= t->num_cols)
          throw Parada("uma linha aponta para uma coluna que não existe");
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, static_cast<unsigned>(f.colnum)));
        valores[static_cast<size_t>(f.colnum)] = Decodifica(col, f);
      }
      Quadro r('R');
      canal_.Envia(r.Linha(valores));
      ++lidas;
    }
    return lidas;
  }

  // The value of one field, its bytes checked against the page first.
  Valor Decodifica(const MdbColumn* col, const MdbField& f) {
    if (col->col_type == MDB_BOOL) return {Valor::Tipo::Inteiro, f.is_null ? 0 : 1, 0, {}};  // the null flag
    if (f.is_null) return {};
    return DoTipo(col, f, mdb_->pg_buf + f.start, TamanhoConferido(col, f));
  }

  // The field's length, once its bytes lie within the page and fill its type.
  size_t TamanhoConferido(const MdbColumn* col, const MdbField& f) const {
    if (f.start < 0 || f.siz < 0 || static_cast<size_t>(f.start) + static_cast<size_t>(f.siz) > pagina_)
      throw Parada(std::string("um valor da coluna ") + col->name + " passa do fim da página");
    const auto n = static_cast<size_t>(f.siz);
    if (n < TamanhoFixo(col->col_type))
      throw Parada(std::string("um valor da coluna ") + col->name + " é mais curto do que o seu tipo");
    return n;
  }

  // The value of the `n` checked bytes at `p`, by the column's type.
  Valor DoTipo(const MdbColumn* col, const MdbField& f, const unsigned char* p, size_t n) {
    switch (col->col_type) {
      case MDB_BYTE:
        return {Valor::Tipo::Inteiro, p[0], 0, {}};
      case MDB_INT:
        return {Valor::Tipo::Inteiro, static_cast<int16_t>(p[0] | (p[1] << 8)), 0, {}};
      case MDB_LONGINT:
      case MDB_COMPLEX:
        return {Valor::Tipo::Inteiro, static_cast<int32_t>(U32(p)), 0, {}};
      case MDB_MONEY:
        return {Valor::Tipo::Moeda, Moeda(p), 0, {}};
      case MDB_FLOAT:
        return {Valor::Tipo::Duplo, 0, DuploDoSimples(p), {}};
      case MDB_DOUBLE:
        return {Valor::Tipo::Duplo, 0, Duplo(p), {}};
      case MDB_DATETIME:
        return {Valor::Tipo::Texto, 0, 0, DataIso(Duplo(p))};
      case MDB_TEXT:
        return {Valor::Tipo::Texto, 0, 0, TextoJet(p, n, !jet3_)};
      case MDB_MEMO: {
        const std::string bytes = ValorLongo(p, n, col->name);
        return {Valor::Tipo::Texto, 0, 0,
                TextoJet(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), !jet3_)};
      }
      case MDB_OLE:
        return {Valor::Tipo::Bytes, 0, 0, ValorLongo(p, n, col->name)};
      case MDB_BINARY:
        return {Valor::Tipo::Bytes, 0, 0, std::string(reinterpret_cast<const char*>(p), n)};
      default: {
        char* texto = mdb_col_to_string(mdb_, mdb_->pg_buf, f.start, col->col_type, f.siz);
        Valor v{Valor::Tipo::Texto, 0, 0, texto ? texto : ""};
        g_free(texto);
        return v;
      }
    }
  }

  // A Memo or OLE value: a 12-byte header in the row (length and flags, then where the data lives), the
  // data inline, on one page of its own, or on a chain of pages. Read whole, never cut short, and a chain
  // may visit each row once.
  std::string ValorLongo(const unsigned char* p, size_t n, const char* coluna) {
    auto falha = [&](const char* motivo) {
      return Parada(std::string("o valor longo da coluna ") + coluna + " " + motivo);
    };
    if (n == 0) return "";
    if (n < MDB_MEMO_OVERHEAD) throw falha("tem o cabeçalho incompleto");
    const uint32_t cabecalho = U32(p);
    const size_t tamanho = cabecalho & 0x3FFFFFFF;
    if (tamanho > kMaiorQuadro) throw falha("diz ter um tamanho impossível");
    if (cabecalho & 0x80000000)
      return std::string(reinterpret_cast<const char*>(p) + MDB_MEMO_OVERHEAD, n - MDB_MEMO_OVERHEAD);
    auto linha = static_cast<int>(U32(p + 4));
    std::string r;
    std::set<int> vistas;
    while (linha != 0 && r.size() < tamanho) {
      if (!vistas.insert(linha).second) throw falha("tem uma cadeia de páginas em laço");
      void* pagina = nullptr;
      int inicio = 0;
      size_t len = 0;
      if (mdb_find_pg_row(mdb_, linha, &pagina, &inicio, &len) != 0 || inicio < 0 ||
          static_cast<size_t>(inicio) + len > pagina_)
        throw falha("aponta para fora do arquivo");
      const auto* dados = static_cast<const unsigned char*>(pagina) + inicio;
      if (cabecalho & 0x40000000) return std::string(reinterpret_cast<const char*>(dados), len);
      if (len <= 4) throw falha("tem uma página da cadeia vazia");
      r.append(reinterpret_cast<const char*>(dados) + 4, len - 4);
      linha = static_cast<int>(U32(dados));
    }
    if (r.size() < tamanho) throw falha("está incompleto");
    r.resize(tamanho);
    return r;
  }

  MdbHandle* mdb_;
  Canal& canal_;
  size_t pagina_;
  bool jet3_;  // code page 1252 text, one-byte column counts; later versions use UTF-16 and two
};

// What an attacker who took over libmdb through a crafted file would reach for first. The filter lets
// everything else through: reading the file, memory, the pipes, and the sanitizers' own needs.
bool Filtra() {
  scmp_filter_ctx f = seccomp_init(SCMP_ACT_ALLOW);
  if (!f) return false;
  const uint32_t recusa = SCMP_ACT_ERRNO(EPERM);
  bool ok = true;
  auto regra = [&](uint32_t acao, int chamada, std::initializer_list<scmp_arg_cmp> args = {}) {
    ok =
        ok && seccomp_rule_add_array(f, acao, chamada, static_cast<unsigned>(args.size()), args.begin()) == 0;
  };
  for (int c : {SCMP_SYS(execve),
                SCMP_SYS(execveat),
                SCMP_SYS(fork),
                SCMP_SYS(vfork),
                SCMP_SYS(clone),
                SCMP_SYS(clone3),
                SCMP_SYS(socket),
                SCMP_SYS(socketpair),
                SCMP_SYS(connect),
                SCMP_SYS(bind),
                SCMP_SYS(ptrace),
                SCMP_SYS(process_vm_readv),
                SCMP_SYS(process_vm_writev),
                SCMP_SYS(creat),
                SCMP_SYS(unlink),
                SCMP_SYS(unlinkat),
                SCMP_SYS(rename),
                SCMP_SYS(renameat),
                SCMP_SYS(renameat2),
                SCMP_SYS(truncate),
                SCMP_SYS(mkdir),
                SCMP_SYS(mkdirat),
                SCMP_SYS(rmdir),
                SCMP_SYS(link),
                SCMP_SYS(linkat),
                SCMP_SYS(symlink),
                SCMP_SYS(symlinkat),
                SCMP_SYS(chmod),
                SCMP_SYS(fchmodat),
                SCMP_SYS(chown),
                SCMP_SYS(lchown),
                SCMP_SYS(fchownat),
                SCMP_SYS(setxattr),
                SCMP_SYS(lsetxattr),
                SCMP_SYS(utimensat),
                SCMP_SYS(mknod),
                SCMP_SYS(mknodat)})
    regra(recusa, c);
  // Files open for reading only.
  for (int bit : {O_WRONLY, O_RDWR, O_CREAT, O_TRUNC, O_APPEND}) {
    const auto b = static_cast<scmp_datum_t>(bit);
    regra(SCMP_ACT_ERRNO(EACCES), SCMP_SYS(open), {SCMP_A1(SCMP_CMP_MASKED_EQ, b, b)});
    regra(SCMP_ACT_ERRNO(EACCES), SCMP_SYS(openat), {SCMP_A2(SCMP_CMP_MASKED_EQ, b, b)});
  }
  // Signals to itself only (abort raises one).
  const auto eu = static_cast<scmp_datum_t>(::getpid());
  regra(recusa, SCMP_SYS(kill), {SCMP_A0(SCMP_CMP_NE, eu)});
  regra(recusa, SCMP_SYS(tkill), {SCMP_A0(SCMP_CMP_NE, eu)});
  regra(recusa, SCMP_SYS(tgkill), {SCMP_A0(SCMP_CMP_NE, eu)});
  ok = ok && seccomp_load(f) == 0;
  seccomp_release(f);
  return ok;
}

}  // namespace

bool Isola(const Limites& l) {
  auto limite = [](int recurso, rlim_t valor) {
    rlimit r{valor, valor};
    ::setrlimit(recurso, &r);
  };
  if (!kSanitizado) limite(RLIMIT_AS, l.memoria);
  limite(RLIMIT_CPU, static_cast<rlim_t>(l.cpuSegundos));
  limite(RLIMIT_FSIZE, 0);  // it writes no file; pipes are not files
  limite(RLIMIT_CORE, 0);   // a core would hold the taxpayer's data
  ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
  return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && Filtra();
}

void ExecutaFilho(const std::string& caminho, const Limites& limites, pid_t pai) {
  // Dies with the parent. Started outside the terminal's process group, with the default signal
  // handling and only descriptors 0 to 3 open (the parent set that up).
  ::prctl(PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0);
  if (::getppid() != pai) ::_exit(1);
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  Canal canal(3);
  try {
    if (!Isola(limites)) throw Parada("o leitor não pôde ser isolado (filtro de chamadas do sistema)");
    MdbHandle* mdb = mdb_open(caminho.c_str(), MDB_NOFLAGS);
    if (!mdb) throw Parada("o cabeçalho não pôde ser lido");
    Leitura(mdb, canal).Tudo();
    std::fflush(stdout);
    ::_exit(0);
  } catch (const std::bad_alloc&) {
    Quadro e('E');
    canal.Envia(e.Texto("faltou memória (limite de " + std::to_string(limites.memoria >> 20) + " MiB)"));
  } catch (const std::exception& x) {
    Quadro e('E');
    canal.Envia(e.Texto(x.what()));
  }
  canal.Esvazia();
  std::fflush(stdout);
  ::_exit(1);
}

}  // namespace kv::jet

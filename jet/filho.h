// The Jet reader's child process: libmdb, under limits, writing frames to a pipe.
#pragma once

#include <sys/types.h>

#include <string>

#include "jet/leitor.h"

namespace kv::jet {

// The reader's program's exit status when it cannot serve its caller (another version, wrong arguments).
// 127 is the system's when the program or a library it needs cannot be loaded.
constexpr int kSaidaDeOutraVersao = 64;

// The reader's program (jet/programa/principal.cpp): started by `pai` with the data channel on descriptor 3
// and libmdb's messages on 1 and 2, it sets the limits, reads the whole file and writes its frames to the
// data channel. Never returns.
[[noreturn]] void ExecutaFilho(const std::string& caminho, const Limites& limites, pid_t pai);

// The child's confinement, set before it opens the file: the limits, no new privileges, no core, and a
// system-call filter that refuses (EPERM/EACCES) starting programs or processes, the network, tracing,
// signals to other processes and every change to the file system. False when the filter could not be set.
bool Isola(const Limites& limites);

}  // namespace kv::jet

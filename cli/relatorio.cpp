#include "cli/relatorio.h"

namespace kv::cli {
void GravaRelatorio(const std::string&, const std::vector<Verificacao>&) {}
}  // namespace kv::cli

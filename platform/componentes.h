// Component registry: class identifier (GUID text with braces) to factory, as the host's component
// model created outside components and the library's own classes.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/erro.h"
#include "platform/exporta.h"

KV_PUBLICO_INICIO

namespace kv {

class Componente {
 public:
  virtual ~Componente() = default;
};

using Fabrica = std::function<std::shared_ptr<Componente>()>;

// Thread-safe; a later registration under the same identifier replaces the earlier one.
void RegistraClasse(const std::string& clsid, Fabrica fabrica);
void RemoveClasse(const std::string& clsid);
bool ClasseRegistrada(const std::string& clsid);
// A factory for the calling thread only, answered before the registered one (a batch worker that opens
// some databases read-only); an empty factory removes it.
void DefineClasseDaThread(const std::string& clsid, Fabrica fabrica);
// Creates an object; an unknown identifier raises error 429.
std::shared_ptr<Componente> CriaObjeto(const std::string& clsid);

// Creates an object and asks it for interface I; an object without it raises error 13.
template <class I>
std::shared_ptr<I> CriaComo(const std::string& clsid) {
  auto obj = std::dynamic_pointer_cast<I>(CriaObjeto(clsid));
  if (!obj) throw Erro(kErroTipos, "Tipos incompatíveis: o objeto " + clsid + " não tem a interface pedida");
  return obj;
}

}  // namespace kv

namespace kv {
// Counts the library's live public objects, so that the host can ask whether it may unload it.
class ObjetoVivo {
 public:
  ObjetoVivo();
  ObjetoVivo(const ObjetoVivo&);
  ~ObjetoVivo();
  static long Quantos();
};
}  // namespace kv

KV_PUBLICO_FIM

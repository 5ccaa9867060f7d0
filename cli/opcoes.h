// Command-line options: --name value pairs, repeatable ones, and flags.
#pragma once

#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/erro.h"

namespace kv::cli {

// Wrong usage: the message is printed with where the command's help is, and the program exits with 2.
using ErroUso = ErroDeUso;

// A signal stopped the reading of a Jet file before anything was checked: the program exits with 130.
struct LeituraInterrompida {};

// The nearest of `possiveis` to what was typed (two edits at most, or a third of its length), or "".
std::string Sugestao(const std::string& dado, const std::vector<std::string>& possiveis);
// " (você quis dizer 'x'?)" when there is a nearest, "" otherwise.
std::string QuisDizer(const std::string& dado, const std::vector<std::string>& possiveis);
// The text without the accents of Portuguese letters ("--declaração" is "--declaracao").
std::string SemAcentos(const std::string& s);

class Opcoes {
 public:
  // `comValor` take a value, given once unless `repetiveis` names them (those keep every value); `flags`
  // take none; at most `maxPosicionais` plain arguments. Anything else: ErroUso, with the nearest option
  // when one is near. Option names may be spelt with their accents.
  Opcoes(const std::vector<std::string>& args, const std::set<std::string>& comValor,
         const std::set<std::string>& flags, size_t maxPosicionais = 0,
         const std::set<std::string>& repetiveis = {});
  bool Tem(const std::string& nome) const { return valores_.count(nome) || flags_.count(nome); }
  std::string Valor(const std::string& nome, const std::string& padrao = "") const;
  std::string Exige(const std::string& nome) const;
  std::vector<std::string> Todos(const std::string& nome) const;
  const std::vector<std::string>& Posicionais() const { return posicionais_; }

 private:
  std::map<std::string, std::vector<std::string>> valores_;
  std::set<std::string> flags_;
  std::vector<std::string> posicionais_;
};

}  // namespace kv::cli

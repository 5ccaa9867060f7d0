// The consistency rules and their message builders. Each rule appends what it finds to the store.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/db/banco.h"
#include "platform/variant.h"

namespace kv {

// Registration: fiscal year, taxpayer, regime enrolment.
void ConsisteExercicio();
std::string MensagemExercicio();
void ConsisteContribuinte();
std::string MensagemContribuinte(const std::string& letra);
void ConsisteEnquadramento();
std::string MensagemEnquadramento();

// Monthly entries and exits.
void ConsisteEntradas();
std::string MensagemEntradas(const std::string& chave);
std::string NomeDoMes(uint8_t referencia);
void ConsisteSaidas();
std::string MensagemSaidas(const std::string& chave);

// Interstate entries and exits against their breakdown by state.
void ConsisteEntradasInter();
std::unique_ptr<Recordset> AbreEntradasInter();
Currency SomaDetalheEntradas(const std::string& referencia);
bool DetalheEntradasInconsistente(const std::string& referencia);
std::string MensagemEntradasInter(const std::string& resto);
std::string ListaDetalheEntradas(const std::string& referencia);
void ConsisteSaidasInter();
std::unique_ptr<Recordset> AbreSaidasInter();
Currency SomaDetalheSaidas(const std::string& referencia);
bool DetalheSaidasInconsistente(const std::string& referencia);
std::string MensagemSaidasInter(const std::string& resto);
std::string ListaDetalheSaidas(const std::string& referencia);

// Municipal apportionment (TOVIR).
void ConsisteTovir();
void ConsisteTovirZeros(std::string codigo, bool& grupoPendente);
void ConsisteTovirDuplicidade(std::string codigo, bool& grupoPendente);
void ConsisteTovirEntradas(bool& grupoPendente);
void ConsisteTovirSaidas(bool& grupoPendente);
void ConsisteTovir3X(bool& grupoPendente);
Currency SomaTovir(const std::string& codigo);
bool TovirTemZeros(const std::string& codigo);
bool TovirTemDuplicidade(const std::string& codigo);
Currency ValorOuZero(const Variant& v);
// Appends the group entry "TOVIR # TOVIR " while the run's shared flag says it is still to come.
void AdicionaGrupoTovir(bool& grupoPendente);
std::string MensagemTovir(std::string& codigo);
std::string MensagemTovir3X();

}  // namespace kv

// How the main window turns text into what it shows: its own Portuguese texts, text from data (file
// names, errors) made visible, and counts with their nouns.
#pragma once

#include <QLocale>
#include <QString>
#include <string>

#include "platform/texto.h"

namespace kv {

// A text of the program's own, written in UTF-8.
inline QString U(const char* s) {
  return QString::fromUtf8(s);
}

// Text from data (a file name, an error): control and bidirectional characters and bytes that are not
// UTF-8 shown as escapes, as on a terminal.
inline QString Visivel(const std::string& s) {
  return QString::fromStdString(TextoVisivel(s));
}

// A count in the user's number format.
inline QString Numero(long n) {
  return QLocale().toString(static_cast<qlonglong>(n));
}

// What the window invites to do while nothing is open.
inline QString Convite() {
  return U(
      "Abra um banco de declarações (Ctrl+O) ou uma pasta (Ctrl+Shift+O), ou arraste arquivos e pastas "
      "para esta janela.");
}

// "1 arquivo", "2 arquivos".
inline QString Quantos(long n, const char* um, const char* varios) {
  return Numero(n) + " " + U(n == 1 ? um : varios);
}

}  // namespace kv

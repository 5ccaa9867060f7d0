// The desktop program: the main window over the files and folders given, until it is closed.
#pragma once

#include <string>
#include <vector>

namespace kv {

// Runs the main window with `caminhos` open (none: an empty window) and `exercicio` as its fiscal year (0:
// the host's ExercicioAtual, else the last one chosen here). The host's components must be registered.
// Returns the exit status.
int ExecutaProgramaDeJanelas(int& argc, char** argv, const std::vector<std::string>& caminhos, int exercicio);

}  // namespace kv

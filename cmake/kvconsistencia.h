// The public API of kvCptConsistencia in one include: the visible control, the control's logic, the
// headless checker, the portfolio engine, the outside-component interfaces and registry, values and
// errors, and the host's default components (libkvHost).
#pragma once

#include "checker/consistekv.h"
#include "control/controle.h"
#include "control/entrada.h"
#include "host/host.h"
#include "platform/configuracao.h"
#include "platform/db/sqlite_banco.h"
#include "platform/externos.h"
#include "portfolio/carteira.h"
#include "ui/kvctlconsistencia.h"

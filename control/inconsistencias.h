// The inconsistency store now lives beside the rules that fill it; hosts that include this path still
// get it.
#pragma once

#include "rules/frame/inconsistencias.h"

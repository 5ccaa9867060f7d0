// What the component library exports: its public API only. Everything else is hidden
// (-fvisibility=hidden), so hosts cannot come to depend on internals and the symbol list stays deliberate.
#pragma once

#define KV_API __attribute__((visibility("default")))
// Around a public header's declarations: every class and function between them is exported.
#define KV_PUBLICO_INICIO _Pragma("GCC visibility push(default)")
#define KV_PUBLICO_FIM _Pragma("GCC visibility pop")

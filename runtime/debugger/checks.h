// All of the debugger's public headers at once, for code that uses many of
// them.  New code includes the header of the concern it needs; the
// application's code needs only hooks.h.
#pragma once

#include "runtime/debugger/breakpoints.h"
#include "runtime/debugger/catalogs.h"
#include "runtime/debugger/console_io.h"
#include "runtime/debugger/end_code.h"
#include "runtime/debugger/front_end.h"
#include "runtime/debugger/hooks.h"
#include "runtime/debugger/modes.h"
#include "runtime/debugger/profiler.h"
#include "runtime/debugger/record.h"
#include "runtime/debugger/registers.h"
#include "runtime/debugger/reports.h"
#include "runtime/debugger/symbols.h"

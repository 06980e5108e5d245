// The debugger's expression evaluator: small expressions in the program's
// own source syntax (variables, array and list elements, structure fields,
// constants, labels, addresses, arithmetic and a set of library functions),
// evaluated against the debug symbol tables in the context of a stopped
// thread: its innermost procedure's variables first, then the globals.
//
// Used by the console commands ("debug", "set", "memory", the array and list
// displays) and by the debugger link (watch list, display requests).  An
// evaluation never stops the program: a failure returns its message.
#pragma once

#include <cstdint>

#include "runtime/debugger/checks.h"
#include "runtime/debugger/evaluator_symbols.h"

namespace kx {

// Kind of an evaluation result.
constexpr int32_t ValueFailed = 0;      // message holds the error text
constexpr int32_t ValueInteger = 1;     // integer (64-bit signed)
constexpr int32_t ValueFloat = 2;       // number (double)
constexpr int32_t ValueString = 3;      // text (owned by the result)
constexpr int32_t ValueStructure = 4;   // a whole structure: address, structure

constexpr int32_t EvaluationMessageSize = 256;

struct EvaluationResult {
  int32_t kind;
  int32_t literal;          // made of literals and constants only
  int64_t integer;
  double number;
  char* text;               // ValueString: the evaluator's copy, freed by FreeEvaluation
  void* address;            // ValueStructure: where the structure lies
  const StructureDescription* structure;
  char message[EvaluationMessageSize];   // ValueFailed: the error text
};

// Evaluates text for the stopped thread whose debugger record is given
// (nullptr: the calling thread's own).  Returns 1 with the value in result,
// or 0 with result->kind = ValueFailed and the message.  Call FreeEvaluation
// on the result either way.
int EvaluateExpression(const char* text, EvaluationResult* result, const DebuggerRecord* thread = nullptr);

// The "set" command: text is "target = value".  The target must name a
// variable, an array or list element or a structure field; the value is an
// expression of a fitting kind.  Returns 1 with the value as assigned (its
// kind decides how it is reported), or 0 with the message.
int AssignExpression(const char* text, EvaluationResult* result, const DebuggerRecord* thread = nullptr);

// Frees the result's text (if any); the result may then be used again.
void FreeEvaluation(EvaluationResult* result);

// The evaluator's private heap, which holds every text it builds (the
// value texts of evaluations in progress and the results not yet freed).
void* EvaluatorHeap();

}  // namespace kx

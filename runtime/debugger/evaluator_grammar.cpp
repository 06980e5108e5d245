// The evaluator's grammar, lowest binding first; operators of one level
// associate to the left:
//   1  "+" "-"
//   2  "*" "/"
//   3  "|" "&"            (tighter than "*" and "/")
//   4  "<<" ">>" "!" "%"
//   5  one unary "+", "-" or "~" before an operand
//   6  operand: "(" expression ")", "@" name, "#" name, "?" name, a literal,
//      a name (variable, element, field, function call)
#include "runtime/debugger/evaluator_internal.h"

namespace kx {
namespace evaluator {

namespace {

bool OfLevel(int level, int32_t token) {
  switch (level) {
    case 1: return token == TokenPlus || token == TokenMinus;
    case 2: return token == TokenTimes || token == TokenDivide;
    case 3: return token == TokenOr || token == TokenAnd;
    case 4:
      return token == TokenShiftLeft || token == TokenShiftRight || token == TokenXor || token == TokenModulo;
  }
  return false;
}

bool StartsOperand(int32_t token) {
  switch (token) {
    case TokenPlus: case TokenMinus: case TokenNot: case TokenLParen: case TokenAddress:
    case TokenConstant: case TokenLabel: case TokenInteger: case TokenFloat: case TokenString:
    case TokenIdentifier:
      return true;
  }
  return false;
}

bool Operand(State& state, Value& out) {
  out.Release();
  out.literal = false;
  switch (state.token) {
    case TokenFailed:
      return false;
    case TokenLParen: {
      if (++state.depth > MaxNesting) return Fail(state, "NoMemory");
      Next(state);
      if (!Expression(state, out)) return false;
      if (state.token != TokenRParen) {
        if (state.token == TokenFailed) return false;
        return Fail(state, "UnmatchedLParen");
      }
      --state.depth;
      Next(state);
      return !state.failed;
    }
    case TokenAddress:
      Next(state);
      if (state.token != TokenIdentifier) {
        if (state.token == TokenFailed) return false;
        return Fail(state, "IdentifierExpected@");
      }
      return AddressOf(state, out);
    case TokenConstant:
      Next(state);
      if (state.token != TokenIdentifier || state.pointer) {
        if (state.token == TokenFailed) return false;
        return Fail(state, "ConstantExpected");
      }
      return ConstantValue(state, out);
    case TokenLabel:
      Next(state);
      if (state.token != TokenIdentifier || state.pointer) {
        if (state.token == TokenFailed) return false;
        return Fail(state, "IdentifierExpected?");
      }
      return LabelAddress(state, out);
    case TokenInteger:
      out.kind = ValueInteger;
      out.integer = state.integer;
      out.literal = true;
      Next(state);
      return !state.failed;
    case TokenFloat:
      out.kind = ValueFloat;
      out.number = state.number;
      out.literal = true;
      Next(state);
      return !state.failed;
    case TokenString:
      TakeString(state, out, state.text);
      state.text = nullptr;
      out.literal = true;
      Next(state);
      return !state.failed;
    case TokenIdentifier:
      return Identifier(state, out);
  }
  return Fail(state, "UnexpectedToken");
}

bool UnaryLevel(State& state, Value& out) {
  int32_t op = state.token;
  if (op != TokenPlus && op != TokenMinus && op != TokenNot) return Operand(state, out);
  Next(state);
  if (!Operand(state, out)) return false;
  return Unary(state, op, out);
}

bool Level(State& state, int level, Value& out) {
  if (level == 5) return UnaryLevel(state, out);
  if (!Level(state, level + 1, out)) return false;
  while (OfLevel(level, state.token)) {
    int32_t op = state.token;
    Next(state);
    if (!StartsOperand(state.token)) {
      if (state.token == TokenFailed) return false;
      return Fail(state, "ArgumentExpected");
    }
    Value right;
    if (!Level(state, level + 1, right)) return false;
    if (!Binary(state, op, out, right)) return false;
  }
  return !state.failed;
}

}  // namespace

bool Expression(State& state, Value& out) { return Level(state, 1, out); }

bool WholeExpression(State& state, Value& out) {
  if (!Expression(state, out)) return false;
  if (state.token != TokenEnd) {
    if (state.token == TokenFailed) return false;
    return Fail(state, "Garbage");
  }
  return true;
}

}  // namespace evaluator
}  // namespace kx

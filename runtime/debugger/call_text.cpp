// A call-stack entry as text, for the front-ends' call-stack displays.
#include <cstdio>
#include <cstring>
#include <string>

#include "runtime/debugger/debugger_internal.h"

namespace kx {
namespace debugger {

// "Name(arguments)" of a call-stack entry, the arguments as copied at entry.
std::string CallText(const CallStackEntry& entry) {
  const ProcedureEntry* procedure = FindProcedureByIndex(entry.procedure);
  std::string text = procedure && procedure->name ? procedure->name : "?";
  text += "(";
  if (const auto* snapshot = static_cast<const ArgumentSnapshot*>(entry.arguments)) {
    for (int32_t i = 0; i < snapshot->count; ++i) {
      const ArgumentValue& value = snapshot->values[i];
      char number[64];
      if (i) text += ", ";
      if (value.type & TypePointerFlag) {
        snprintf(number, sizeof number, "%lld", static_cast<long long>(value.value));
        text += number;
        continue;
      }
      switch (value.type) {
        case TypeString:
          text += "\"";
          text += value.text ? value.text : "";
          text += "\"";
          continue;
        case TypeFloat: {
          float f;
          uint32_t bits = uint32_t(value.value);
          memcpy(&f, &bits, 4);
          snprintf(number, sizeof number, "%f", double(f));
          break;
        }
        case TypeDouble: {
          double d;
          memcpy(&d, &value.value, 8);
          snprintf(number, sizeof number, "%g", d);
          break;
        }
        default:
          snprintf(number, sizeof number, "%lld", static_cast<long long>(value.value));
          break;
      }
      text += number;
    }
  }
  return text + ")";
}

}  // namespace debugger
}  // namespace kx

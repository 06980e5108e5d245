// The debugger link's messages, shared by the runtime (its side of the link)
// and the front-ends (tools/kxdebug): the header, the message types of both
// directions and the layouts of the data blocks this runtime defines itself.
//
// Every message is a 20-byte header, then `length` bytes of data.  Texts in
// data blocks end with a NUL in the front-end's character width (1 byte, or
// 2 when the front-end asked for unicode); integers are little-endian.
#pragma once

#include <cstdint>

namespace kx {
namespace link {

struct MessageHeader {
  int32_t type;
  int32_t length;      // bytes of data after the header, 0 = none
  int32_t value1;
  int32_t value2;
  int32_t timestamp;   // local time of sending, date value in seconds
};
static_assert(sizeof(MessageHeader) == 20, "the header is five 32-bit fields");

// Largest data block either side sends; a header announcing more (or a
// negative length) is no message of this link and is dropped alone.
constexpr int32_t MaxDataLength = 6000000;
// Messages the program queues before it stops reading the pipe.
constexpr int32_t MaxQueued = 100;
// Watched items at most.
constexpr int32_t MaxWatched = 1000;

// Environment variables of the start (removed from the environment once read):
//   KX_DEBUGGER_Communication  "NamedPipes|<pipe the program writes>|<pipe it reads>"
//                              or "Pipes|<front-end process id>|<write handle>|<read handle>"
//                              (the handles are the front-end's, duplicated by the program)
//   KX_DEBUGGER_Options        "<unicode>|<CallOnStart>|<CallOnEnd>", each 0 or 1
//   KX_DEBUGGER_KillMutex      a mutex the front-end owns; releasing it ends the program
constexpr const char* CommunicationVariable = "KX_DEBUGGER_Communication";
constexpr const char* OptionsVariable = "KX_DEBUGGER_Options";
constexpr const char* KillMutexVariable = "KX_DEBUGGER_KillMutex";

// ---- program -> front-end ----------------------------------------------------

constexpr int32_t SendSources = 0;        // v1 files, v2 5; dir, main, files...
constexpr int32_t SendStart = 2;          // v1 flags (1 unicode, 2 thread-safe), v2 65537
constexpr int32_t SendStop = 3;           // v1 line code, v2 state (3, 5, 7, 8)
constexpr int32_t SendRunAnswer = 4;      // answer to a run request that asked for one
constexpr int32_t SendDebug = 5;          // v2 kind (below)
constexpr int32_t SendDebugDouble = 6;    // the double in the 8 header bytes after the type; no data
constexpr int32_t SendError = 8;          // v1 line code, v2 state, data: text
constexpr int32_t SendRegisterNames = 9;  // v1 count, v2 register size; names
constexpr int32_t SendRegisters = 10;     // v1 count, v2 register size; values, then a position text
constexpr int32_t SendHexMode = 11;       // v1 the mode now
constexpr int32_t SendMemory = 12;        // v1 start address (0 on failure); bytes or error text
constexpr int32_t SendVariables = 13;     // answer to 9, 10, 11, 16 (layout below)
constexpr int32_t SendArrays = 14;        // answer to 12 and 13 (layout below)
constexpr int32_t SendLists = 15;         // answer to 14 (layout below)
constexpr int32_t SendCallStack = 20;     // v1 depth, v2 current line; per level line code, call text
constexpr int32_t SendWatchList = 21;     // answer to 20, 21, 22 and sent at stops when values changed
constexpr int32_t SendProcedureNames = 22;   // v1 count; names by index
constexpr int32_t SendCallCounts = 23;       // v1 count; 32-bit counters by index
constexpr int32_t SendWatchError = 24;       // v1 request type; data: error text
constexpr int32_t SendLibraryLists = 27;     // v1 lists; per list library, title, columns, flags
constexpr int32_t SendListRows = 28;         // v1 list; selected object, per row object + text
constexpr int32_t SendListDetail = 29;       // v1 list, v2 object; the text
constexpr int32_t SendListData = 30;         // v1 list, v2 object; the block
constexpr int32_t SendProfilerOffsets = 31;  // v1 files + 1, v2 counters; offsets
constexpr int32_t SendProfilerCounters = 32; // v1 counters; 32-bit counters
constexpr int32_t SendEvaluation = 33;       // v1 result kind, v2 request's v1; result, request data
constexpr int32_t SendAssignment = 34;       // as SendEvaluation
constexpr int32_t SendWarning = 35;          // v1 line code, v2 state, data: text

// Debug output kinds (v2 of SendDebug).  A long travels in v1; a quad's
// data is its 8 bytes, a float's its 4 bytes, a text's the text.  A
// SendDebugDouble is the one message whose header bytes 4 to 11 (length and
// v1) hold a value, the double; it has no data.
constexpr int32_t DebugLong = 5, DebugQuad = 7, DebugText = 8, DebugFloat = 9;

// Result kinds of SendEvaluation and SendAssignment (v1).
constexpr int32_t ResultError = 0, ResultInteger = 2, ResultFloat = 3, ResultString = 4, ResultStructure = 5;

// ---- front-end -> program ----------------------------------------------------

constexpr int32_t RequestStop = 0;
constexpr int32_t RequestStep = 1;            // v1 > 0 lines, -1 over, -2 out
constexpr int32_t RequestRun = 2;             // v1 != 0: answer SendRunAnswer first
constexpr int32_t RequestBreakpoint = 3;      // v1 1 add, 2 remove, 3 clear; v2 line code / file (-1 all)
constexpr int32_t RequestRegisterNames = 4;
constexpr int32_t RequestRegisters = 5;
constexpr int32_t RequestSetRegister = 6;     // v1 index; data: 4-byte value (8 in the 64-bit build)
constexpr int32_t RequestHexMode = 7;         // v1 mode
constexpr int32_t RequestMemory = 8;          // v1 0: second text is an end, else a length
constexpr int32_t RequestGlobals = 9;
constexpr int32_t RequestLocals = 10;         // v1 call-stack level (0 outermost), -1 innermost
constexpr int32_t RequestStructure = 11;      // data: expression naming a structure
constexpr int32_t RequestArrays = 12;         // array names
constexpr int32_t RequestArrayElements = 13;  // data: "name" or "name, a-b, c"
constexpr int32_t RequestLists = 14;          // v1 0 names, 1 elements; data: "name[, a-b | all]"
constexpr int32_t RequestCallStack = 15;
constexpr int32_t RequestProcedureVariables = 16;  // as 10, for a level's procedure (v1 level)
constexpr int32_t RequestProcedureNames = 17;
constexpr int32_t RequestCallCounts = 18;
constexpr int32_t RequestResetCallCounts = 19;   // v1 index, negative all
constexpr int32_t RequestWatchAdd = 20;       // v1 procedure index or -1 global; data: expression
constexpr int32_t RequestWatchRemove = 21;    // v1 item id, -1 all
constexpr int32_t RequestWatchList = 22;
constexpr int32_t RequestLibraryLists = 23;
constexpr int32_t RequestListRows = 24;       // v1 list; data: selected object (4 bytes) or none
constexpr int32_t RequestListDetail = 25;     // v1 list; data: object (4 bytes)
constexpr int32_t RequestListData = 26;       // v1 list; data: object (4 bytes)
constexpr int32_t RequestProfilerOn = 27;
constexpr int32_t RequestProfilerOff = 28;
constexpr int32_t RequestProfilerReset = 29;
constexpr int32_t RequestProfilerOffsets = 30;
constexpr int32_t RequestProfilerCounters = 31;
constexpr int32_t RequestEvaluate = 32;       // data: expression
constexpr int32_t RequestAssign = 33;         // data: "target = value"
constexpr int32_t RequestWarningMode = 34;    // v1 mode

// ---- layouts this runtime defines ----------------------------------------------
//
// Evaluation and assignment answers: the result (kind 2 a 64-bit integer,
//   3 a double, 4 the text, 0 the error text, 5 a 32-bit count of variable
//   rows, then the rows of the structure's fields), then a copy of the
//   request's data.
// Variable row (SendVariables, and a structure result of kind 5):
//   kind code (1 byte: type code, bit 7 a pointer), scope code (1 byte:
//   0 global, 1 local, 2 static, 3 shared), depth (1 byte: 0 for a variable,
//   n for a field n levels inside a structure), then the shown name and the
//   value as text (numbers in the current number mode, strings without
//   quotes, structures an empty text), both NUL-terminated.
// SendVariables: v1 rows, v2 the request type; for requests 10 and 16 the
//   data starts with the procedure's name (NUL-terminated, empty at the
//   outermost level), then the rows; a failure has v1 -1 and the error text.
// SendArrays, answer to 12: v1 arrays, v2 12; per array kind code (1 byte),
//   scope code (1 byte), shown name, dimension text "(3,4)" (the current
//   sizes; "()" for an array not yet dimensioned).  Answer to 13: v1 rows,
//   v2 13; first the array's shown name, then per element the index text
//   "(1,2)" and the value text (structure elements: kind 7 and an empty
//   text, followed by their fields as variable rows with depth 1).  Every
//   element row starts with its kind code (1 byte) and a depth byte.
//   A failure: v1 -1, the error text.
// SendLists, v2 the request's v1: for 0 per list kind code, scope code,
//   shown name, then "count: %d, current: %d" (current -1 without a current
//   element); for 1 the list's name, then per element its kind code, a depth
//   byte, the index text "[%d]" and the value text (structures as for arrays).
//   A failure: v1 -1, the error text.
// SendWatchList: v1 items; per item its id (32-bit), procedure index
//   (32-bit, -1 global), state (1 byte: 0 value, 1 error, 2 out of scope),
//   kind code (1 byte), the expression and the value (or error) text.
// SendRegisterNames / SendRegisters: v1 the count (9), v2 the size of one
//   value (4 in the 32-bit build, 8 in the 64-bit build); names in the
//   order AX, DX, BX, CX, SI, DI, BP, SP, FLAGS with the build's prefix
//   (E or R); values in the same order, then the text "File: %s (Line: %d)".
//   Without a register context: an empty SendRegisters (v1 0).

}  // namespace link
}  // namespace kx

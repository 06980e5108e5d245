// Runtime strings: the string heap, the per-thread temporary buffer and the
// string operations.
//
// A string is an 8-bit ANSI text ending in a zero byte.  A string variable is
// a char* that owns a block of the string heap; nullptr is the empty string.
//
// Intermediate results are built in one growing buffer per thread and named by
// marks (offsets into that buffer), because the buffer moves when it grows: a
// pointer into it (base + mark) is only good until the next operation that
// may reserve room.
//
// Every operation that returns a string takes, as its last argument, the mark
// at which the result is built, and returns base + mark.  Afterwards the
// position is at the result's terminator (mark + length), so a following
// AppendString or string operation at GetStringMark() joins onto it; call
// EndStringPiece() first to keep it as a separate piece.  The caller restores
// the position with SetStringMark (or AssignFromBuffer) when done.
//
// String arguments may themselves lie in the temporary buffer (results of
// earlier calls, even at the same mark as the new result): the operations
// take their offsets before reserving room and re-derive them afterwards.
//
// A failed allocation never crashes: the result is then the empty string.
//
// runtime/core/kxstring.h wraps these for application code.
#pragma once

#include <cstdint>

namespace kx {

// ---- the temporary buffer ----------------------------------------------

// Program start (before every other library): the string heap, the
// thread-local slot and the first thread's buffer.  Runs once.
void StringRuntimeStart();

// At entry of every procedure: starts the runtime if needed, else gives the
// calling thread its buffer if it has none yet (released after the thread
// has ended).  Threads that call string operations without it get their
// buffer on first use all the same.
void ThreadStringStart();

int32_t GetStringMark();                // the current position
void SetStringMark(int32_t mark);       // drops every temporary after mark
// Copies text (nullptr = "") to the current position and advances the
// position by its length (to the terminator); returns the copy.
char* AppendString(const char* text);
void EndStringPiece();                  // position + 1: keep the piece just built
char* GetStringBufferBase();
char* SetMarkGetPointer(int32_t mark);  // position = mark, returns base + mark
char* GetEndPointer();                  // base + position

// 1 when both texts (nullptr = "") are equal byte for byte, else 0.
int CompareStrings(const char* a, const char* b);

// ---- string variables --------------------------------------------------

// variable = copy of the temporary at mark; then position = mark.
void AssignFromBuffer(char** variable, int32_t mark);
// variable = new copy of text, the old block is not freed (procedure
// arguments); nullptr leaves the variable unchanged.
void InitString(char** variable, const char* text);
// variable = copy of text (its block reallocated); nullptr frees the block
// and sets the variable to nullptr.
void AssignString(char** variable, const char* text);
void FreeString(char* text);            // nullptr is ignored

// ---- for library operations that return strings -------------------------

// Reserves length bytes (plus terminator) at mark (-1 = current position),
// sets position = mark + length and returns base + mark.  The buffer may move.
// Returns nullptr if it cannot grow; the position is then at mark, which
// holds the empty string.
char* ReserveStringRoom(int32_t length, int32_t mark);
void ReturnStringRoom(int32_t n);       // position - n: give back unused room
// 0 if pointer lies outside [base, base + position], else offset + 1.
int32_t IsInStringBuffer(const void* pointer);
// Like IsInStringBuffer, but over the buffer's whole block, also above the
// position: a dropped temporary still read as a source must be copied or
// re-derived just the same.
int32_t IsInStringBlock(const void* pointer);
// The pointer for an IsInStringBuffer value, after the buffer may have moved.
char* StringBufferPointer(int32_t offsetPlusOne);

// The result of most library operations in one call: copies length bytes of
// text (-1 = up to its zero; text may lie in the buffer, also at or after
// mark) to mark, writes the terminator, leaves the position there and
// returns base + mark.  nullptr text = "".
char* ReturnString(const char* text, int32_t length, int32_t mark);

// The private heap of string variables and buffers.
void* StringHeap();

// ---- string operations -------------------------------------------------

char* QuadToString(int64_t value, int32_t mark);
// Blanks/tabs, optional sign, then "$" hex, "%" binary or decimal digits.
int64_t ValueOfString(const char* text);
// "%f" for decimals -1, else fixed with that many decimals (at most 512).
char* FloatToString(float value, int32_t decimals, int32_t mark);
int32_t StringLength(const char* text);
// start is 1-based (below 1 counts as 1); negative length counts as 0.
char* MidString(const char* text, int32_t start, int32_t length, int32_t mark);
char* LeftString(const char* text, int32_t count, int32_t mark);
char* RightString(const char* text, int32_t count, int32_t mark);
// "A"-"Z" and 0xC0-0xDE raised by 32.
char* LowerCaseString(const char* text, int32_t mark);
// 1-based position of find at or after start, 0 if none.
int32_t FindString(const char* text, const char* find, int32_t start);

constexpr int32_t NoCase = 1;    // flag: compare without regard to case
constexpr int32_t InPlace = 2;   // flag of ReplaceString: change text's memory

char* RemoveString(const char* text, const char* remove, int32_t flags, int32_t mark);
// Every occurrence of find from start (1-based) replaced.  With InPlace the
// text's own memory is changed (find and replace of equal length; a replace
// of another length is refused and leaves the text as it is) and the result
// is a copy of the changed text.
char* ReplaceString(const char* text, const char* find, const char* replace, int32_t flags,
                    int32_t start, int32_t mark);
char* Space(int32_t count, int32_t mark);    // count blanks; negative: "NegativeLength"
int32_t MemoryTextLength(const void* address);

}  // namespace kx

// Numbered object registry and per-thread records.
//
// Every library keeps its objects in an ObjectTable.  The application names an
// object by a small non-negative number, or passes DynamicNumber to a creating
// command and then uses the identity it returned (the record's address, which
// no number of the numbered range can equal).
//
// The rule every library relies on: the first word of an object record (a
// pointer-sized value: the window, file or menu handle, the connection) is
// non-zero exactly while its object lives.  A creating command fills the
// record and sets that word last, once the OS object exists; a free slot is
// all zeroes.  FindObject reads that word without a lock, so it must never be
// set before the rest of the record is valid.
#pragma once

#include <cstdint>

namespace kx {

constexpr intptr_t DynamicNumber = -1;

// The library's release function: frees the object of a number or identity
// (closes the OS resource, then calls FreeObject).
using ReleaseFunction = void (*)(intptr_t object);

struct ObjectTable;

// caption ("#Window") and highestNumber are what the argument checks report
// ("HighNumber" for numbers below -1 or above highestNumber, with the limit
// reportedLimit, 0 = highestNumber + 1; "NoObject" with the caption).
ObjectTable* CreateObjectTable(int32_t entrySize, int32_t initialCount, ReleaseFunction release,
                               const char* caption = nullptr, intptr_t highestNumber = INTPTR_MAX,
                               int32_t reportedLimit = 0);
const char* ObjectTableCaption(const ObjectTable* table);

// The argument checks of every library, written once: "HighNumber" (with the
// table's caption and limit) for a number below -1 or above the highest one
// accepted; "NoObject" (with the caption) for a value that names no object.
// Both only report: the command runs afterwards all the same.  A null table
// (library not started) reports nothing.
void CheckObjectNumber(const ObjectTable* table, intptr_t number);
// Returns the record as IsObject does (nullptr after the report).
void* CheckObject(ObjectTable* table, intptr_t object);

// Record for a new object: a fresh zeroed record for DynamicNumber, else the
// slot of the number (after growing the table and releasing the previous
// holder).  Returns nullptr if the object heap is exhausted or number < -1.
void* AllocateObject(ObjectTable* table, intptr_t number);

// Identity that names a record returned by AllocateObject(table, DynamicNumber).
intptr_t DynamicIdentity(ObjectTable* table, void* record);

// Lookup without lock; nullptr if the number/identity names no object in use.
void* FindObject(ObjectTable* table, intptr_t object);

// Checked lookup (argument checks): the slot for an in-use number, the
// identity itself (as a pointer) for a live dynamic record, else nullptr.
void* IsObject(ObjectTable* table, intptr_t object);

// Frees a number's slot (zeroed) or a dynamic record.  A freed dynamic record
// stays mapped, zeroed, as a spare of its table (reused by its next dynamic
// object), so a stale identity never makes FindObject read freed memory.
void FreeObject(ObjectTable* table, intptr_t object);

// Iteration: numbered slots ascending, then dynamic records oldest first.
// Holds the table's lock from Begin until Next returned nullptr or End.
void BeginObjectIteration(ObjectTable* table);
void* NextObject(ObjectTable* table, intptr_t* object);
void EndObjectIteration(ObjectTable* table);

void FreeAllObjects(ObjectTable* table);

// Introspection used by tests and the debugger's lists.
int32_t ObjectTableCapacity(const ObjectTable* table);
int32_t ObjectTableBlockSize(const ObjectTable* table);

// ---- per-thread records -------------------------------------------------

using ThreadRecordFunction = void (*)(void* part);

// Start-up only, main thread: registers a part of the per-thread block and
// returns its offset.
int32_t RegisterThreadRecord(int32_t size, ThreadRecordFunction init, ThreadRecordFunction free);

// The calling thread's part at that offset (made on first use).
void* GetThreadRecord(int32_t offset);

using ThreadExitCallback = void (*)(void* value);

// callback(value) runs on a watcher thread after the calling thread has ended.
// Returns 0 if the watcher could not be set up (nothing registered).
int AddThreadExitCleanup(ThreadExitCallback callback, void* value);

// Number of watcher threads alive now (tests).
int ThreadExitWatcherCount();

// The private heap that holds blocks and dynamic records.
void* ObjectHeap();

}  // namespace kx

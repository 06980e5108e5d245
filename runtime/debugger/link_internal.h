// State shared by the debugger link's source files: the transport (plugins,
// reader thread, queue, kill-mutex watcher), the front-end routines and the
// request handlers.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/debugger/debugger_internal.h"
#include "runtime/debugger/link_protocol.h"
#include "runtime/debugger/registers.h"

namespace kx {
namespace link {

// A data block being built: texts go in the front-end's character width.
class Outgoing {
 public:
  void Text(const char* text);
  void Text(const std::string& text) { Text(text.c_str()); }
  void Int32(int32_t value) { Bytes(&value, 4); }
  void Byte(uint8_t value) { bytes.push_back(char(value)); }
  void Bytes(const void* data, size_t size);
  std::vector<char> bytes;
};

// A received message; its data carries two extra NULs past the length, so
// a text read never runs off the block.
struct Incoming {
  MessageHeader header;
  std::vector<char> data;
  int32_t Length() const { return header.length; }
  // The 32-bit value at offset, or fallback when the data is shorter.
  int32_t Int32At(int32_t offset, int32_t fallback) const;
  // The text at offset (converted from the front-end's width); offset moves
  // past its NUL.  Empty at or past the end.
  std::string TextAt(int32_t& offset) const;
};

// ---- transport (link_transport.cpp) ----

// Reads the environment, connects the plugin and starts the link's threads;
// false when the link stays off.  An unknown plugin ends the program.
bool Connect();
bool Active();
// Character width of the front-end's texts (1 or 2).
int Width();
// Sends one message; a failure ends the program ("Broken communication pipe.").
void Send(int32_t type, int32_t value1, int32_t value2, const Outgoing* data = nullptr);
// Sends a header whose bytes after the type are raw (SendDebugDouble).
void SendRaw(int32_t type, const void* after, size_t size);
// Takes the oldest queued message; false when none is queued.
bool TakeMessage(Incoming& message);
bool MessagesQueued();
// Closes the plugin and ends the link's threads (DebuggerEnd).
void Close();
// Prints the fatal text and ends the program with code 1.
[[noreturn]] void Fatal(const char* text);
// Standard CRC-32 of a text (watch-list fingerprints).
uint32_t Crc32(const void* data, size_t size);

// ---- requests (link_requests.cpp, link_values.cpp) ----

// Context of the stop the requests are answered in.
struct StopContext {
  int32_t line;
  SavedRegisters* registers;   // nullptr when the line saved none
};
StopContext& CurrentStop();

// Runs the handler of the message's type; unknown types are dropped.
void Dispatch(const Incoming& message);
// Breakpoint request (type 3): applied by the reader thread at once.
void ApplyBreakpoint(const MessageHeader& header);
// The requests that evaluate expressions (memory, variables, arrays, lists,
// watch list, evaluate, set); false for any other type.
bool DispatchValues(const Incoming& message);
// Sends the watch list when a watched value changed since it was last sent
// (always = send it anyway).
void CheckWatchList(bool always);
// Sends the registered library lists (type 27).
void AnnounceLibraryLists();

// ---- front-end (link.cpp) ----

// Processes queued messages until the thread's state is 0.
void WaitWhileStopped(DebuggerRecord* record);

}  // namespace link

}  // namespace kx

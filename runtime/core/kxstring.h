// String expressions for application code.
//
// String variables stay the runtime's own: a char* owning a string-heap
// block, nullptr = "".  What this header adds is a way to build expressions
// without spelling out the marks:
//
//   char* Tempdir = nullptr;
//   kx::Assign(Tempdir, kx::Text() << kx::GetTempDirectory(kx::Here) << guid << "\\");
//   kx::MakeDirectory(kx::Text() << Tempdir << "SPLIT\\");
//   if (kx::Equal(kx::LeftString(name, 3, kx::Here), "abc")) ...
//
// - `Here` is the mark for a call's result: the current position, i.e. after
//   every temporary still in use, so a result never overwrites one.
// - `Text` builds one string from pieces, left to right (the order of `<<`
//   is guaranteed): texts, function results built at `Here`, numbers
//   (decimal) and single characters.  It converts to const char* at the
//   moment of use, and its temporaries are dropped when it goes out of scope.
// - `Assign` copies a text into a variable; a temporary result handed to it
//   is dropped afterwards.
// - `StringScope` drops every temporary built while it lives (a loop body,
//   a procedure).
//
// Rules that follow from the moving buffer:
// - A const char* into the buffer (the result of a call, a Text converted) is
//   good only until the next string operation.  So a call gets at most one
//   temporary argument built in its own argument list; build further ones
//   into named Texts first and pass those (they convert at the call).
// - Only the newest Text grows (or an older one once the newer ones are no
//   longer used).
#pragma once

#include <concepts>
#include <cstdint>

#include "runtime/core/strings.h"

namespace kx {

class Text;

namespace detail {
// The newest Text of this thread: temporaries are never dropped below its end.
inline thread_local Text* newestText = nullptr;
int32_t KeptEnd();
inline void DropTo(int32_t mark) {
  int32_t kept = KeptEnd();
  SetStringMark(mark > kept ? mark : kept);
}
}  // namespace detail

// The mark for a result: the current position.
struct HereMark {
  operator int32_t() const { return GetStringMark(); }
};
inline constexpr HereMark Here{};

class Text {
 public:
  Text() : start_(GetStringMark()), previous_(detail::newestText) {
    // One byte above the position, so the temporary that ends there keeps
    // its terminator.
    mark_ = end_ = start_ + 1;
    ReturnString("", 0, mark_);
    EndStringPiece();
    detail::newestText = this;
  }
  ~Text() {
    detail::newestText = previous_;
    detail::DropTo(start_);
  }
  Text(const Text&) = delete;
  Text& operator=(const Text&) = delete;

  // A piece may lie in the buffer (a result built at Here, another Text).
  Text& operator<<(const char* piece) {
    ReturnString(piece, -1, end_);
    end_ = GetStringMark();
    EndStringPiece();  // later results at Here start after the terminator
    return *this;
  }
  Text& operator<<(char c) {
    char piece[2] = {c, 0};
    return *this << piece;
  }
  template <std::integral T>
    requires(!std::same_as<T, char> && !std::same_as<T, bool>)
  Text& operator<<(T value) {
    return *this << QuadToString(static_cast<int64_t>(value), Here);
  }

  const char* c_str() const { return GetStringBufferBase() + mark_; }
  operator const char*() const { return c_str(); }
  int32_t length() const { return end_ - mark_; }

 private:
  friend int32_t detail::KeptEnd();
  int32_t start_;
  int32_t mark_;
  int32_t end_;
  Text* previous_;
};

inline int32_t detail::KeptEnd() { return newestText ? newestText->end_ + 1 : 0; }

// Drops the temporaries built while it lives.
class StringScope {
 public:
  StringScope() : start_(GetStringMark()) {}
  ~StringScope() { detail::DropTo(start_); }
  StringScope(const StringScope&) = delete;
  StringScope& operator=(const StringScope&) = delete;

 private:
  int32_t start_;
};

// variable = copy of text (nullptr frees it).  A text in the temporary
// buffer is dropped afterwards, unless a Text still holds it.
inline void Assign(char*& variable, const char* text) {
  int32_t inBuffer = IsInStringBuffer(text);
  AssignString(&variable, text);
  if (inBuffer) detail::DropTo(inBuffer - 1);
}

inline bool Equal(const char* a, const char* b) { return CompareStrings(a, b) != 0; }

}  // namespace kx

#include "runtime/files/base64.h"

#include "runtime/core/debugger_seam.h"

namespace kx {
namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Built on first use; every byte outside the alphabet decodes as 0.  Two
// threads building it at once write the same values, so no lock is needed.
uint8_t decodeTable[256];
volatile bool decodeTableReady = false;

void BuildDecodeTable() {
  for (int i = 0; i < 64; ++i) decodeTable[static_cast<uint8_t>(kAlphabet[i])] = static_cast<uint8_t>(i);
  decodeTableReady = true;
}

void CheckAddressAndLength(const void* address, int32_t length) {
  if (!address) ReportError("NullBuffer");
  if (length < 0) {
    ReportError("NegativeLength");
  } else if (length == 0) {
    ReportError("NullLength");
  }
}

void CheckBase64Encode(const void* input, int32_t inputLength, const void* output, int32_t outputLength) {
  CheckAddressAndLength(input, inputLength);
  CheckAddressAndLength(output, outputLength);
  if (static_cast<double>(inputLength) * 1.33 > static_cast<double>(outputLength)) {
    ReportLibraryError(&CipherLibrary, "SmallOutput");
  }
}

void CheckBase64Decode(const void* input, int32_t inputLength, const void* output, int32_t outputLength) {
  CheckAddressAndLength(input, inputLength);
  CheckAddressAndLength(output, outputLength);
}

// Output cursor that keeps the last byte of the buffer for the terminator.
struct BoundedOutput {
  uint8_t* base;
  int32_t limit;  // bytes that may hold data (outputLength - 1)
  int32_t count = 0;

  void Put(uint8_t value) {
    if (count < limit) base[count++] = value;
  }
  void Terminate() {
    if (base && limit >= 0) base[count] = 0;
  }
};

}  // namespace

int32_t Base64Encode(const void* input, int32_t inputLength, void* output, int32_t outputLength) {
  CheckBase64Encode(input, inputLength, output, outputLength);
  if (!output || outputLength <= 0) return 0;
  BoundedOutput out{static_cast<uint8_t*>(output), outputLength - 1};
  const uint8_t* in = static_cast<const uint8_t*>(input);
  int32_t remaining = in ? inputLength : 0;
  while (remaining >= 3) {
    uint32_t value = (uint32_t(in[0]) << 16) | (uint32_t(in[1]) << 8) | in[2];
    out.Put(kAlphabet[(value >> 18) & 63]);
    out.Put(kAlphabet[(value >> 12) & 63]);
    out.Put(kAlphabet[(value >> 6) & 63]);
    out.Put(kAlphabet[value & 63]);
    in += 3;
    remaining -= 3;
  }
  if (remaining == 2) {
    uint32_t value = (uint32_t(in[0]) << 16) | (uint32_t(in[1]) << 8);
    out.Put(kAlphabet[(value >> 18) & 63]);
    out.Put(kAlphabet[(value >> 12) & 63]);
    out.Put(kAlphabet[(value >> 6) & 63]);
    out.Put('=');
  } else if (remaining == 1) {
    uint32_t value = uint32_t(in[0]) << 16;
    out.Put(kAlphabet[(value >> 18) & 63]);
    out.Put(kAlphabet[(value >> 12) & 63]);
    out.Put('=');
    out.Put('=');
  }
  out.Terminate();
  return out.count;
}

int32_t Base64Decode(const void* input, int32_t inputLength, void* output, int32_t outputLength) {
  CheckBase64Decode(input, inputLength, output, outputLength);
  if (!decodeTableReady) BuildDecodeTable();
  if (!output || outputLength <= 0) return 0;
  BoundedOutput out{static_cast<uint8_t*>(output), outputLength - 1};
  const uint8_t* in = static_cast<const uint8_t*>(input);
  int32_t result = 0;
  int32_t remaining = in ? inputLength : 0;
  while (remaining > 0) {
    if (remaining < 4) {
      // A cut-off group makes the whole text invalid; bytes of the groups
      // before it stay in the output.
      result = 0;
      break;
    }
    const uint8_t c0 = decodeTable[in[0]], c1 = decodeTable[in[1]];
    out.Put(static_cast<uint8_t>((c0 << 2) | (c1 >> 4)));
    ++result;
    remaining -= 4;
    if (in[2] == '=') {
      // The input then stands on the "=" (padding comes only in the last
      // group; the reads stay inside the input either way).
      in += 2;
      continue;
    }
    const uint8_t c2 = decodeTable[in[2]];
    out.Put(static_cast<uint8_t>(((c1 & 0x0F) << 4) | (c2 >> 2)));
    ++result;
    if (in[3] == '=') {
      in += 3;
      continue;
    }
    const uint8_t c3 = decodeTable[in[3]];
    out.Put(static_cast<uint8_t>(((c2 & 0x03) << 6) | c3));
    ++result;
    in += 4;
  }
  out.Terminate();
  // Never claim more bytes than the buffer took.
  return result > out.count ? out.count : result;
}

}  // namespace kx

#include "runtime/files/seal.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstring>
#include <memory>

#include "runtime/core/debugger_seam.h"

namespace kx {
namespace {

constexpr char kMagic[8] = {'K', 'X', 'S', 'E', 'A', 'L', 'E', 'D'};
constexpr char kInfo[] = "KXSEAL key";
constexpr int32_t kKeySize = 32;
constexpr int32_t kNonceSize = 12;
constexpr int32_t kRecordSize = SealChunkSize + SealTagSize;

bool Ok(NTSTATUS status) { return status >= 0; }

void CheckSealArguments(const char* source, const char* destination, const void* secret, int32_t secretLength) {
  if (!source) ReportError("NullArgument", "Source");
  if (!destination) ReportError("NullArgument", "Destination");
  if (!secret) ReportError("NullBuffer");
  if (secretLength < 0) {
    ReportError("NegativeLength");
  } else if (secretLength == 0) {
    ReportError("NullLength");
  }
}

// One HMAC-SHA256 over the concatenation of up to two pieces.
bool HmacSha256(const uint8_t* key, ULONG keyLength, const uint8_t* a, ULONG aLength, const uint8_t* b,
                ULONG bLength, uint8_t out[32]) {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (!Ok(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, BCRYPT_ALG_HANDLE_HMAC_FLAG)))
    return false;
  BCRYPT_HASH_HANDLE hash = nullptr;
  bool done = Ok(BCryptCreateHash(algorithm, &hash, nullptr, 0, const_cast<PUCHAR>(key), keyLength, 0)) &&
              (aLength == 0 || Ok(BCryptHashData(hash, const_cast<PUCHAR>(a), aLength, 0))) &&
              (bLength == 0 || Ok(BCryptHashData(hash, const_cast<PUCHAR>(b), bLength, 0))) &&
              Ok(BCryptFinishHash(hash, out, 32, 0));
  if (hash) BCryptDestroyHash(hash);
  BCryptCloseAlgorithmProvider(algorithm, 0);
  return done;
}

// HKDF-SHA256 (extract, then one block of expand: 32 bytes are all we need).
bool DeriveKey(const void* secret, int32_t secretLength, const uint8_t* salt, uint8_t key[kKeySize]) {
  uint8_t prk[32];
  if (!HmacSha256(salt, SealSaltSize, static_cast<const uint8_t*>(secret), ULONG(secretLength), nullptr, 0, prk))
    return false;
  uint8_t info[sizeof(kInfo)];  // the text and the block counter 1
  std::memcpy(info, kInfo, sizeof(kInfo) - 1);
  info[sizeof(kInfo) - 1] = 1;
  bool done = HmacSha256(prk, sizeof(prk), info, sizeof(info), nullptr, 0, key);
  SecureZeroMemory(prk, sizeof(prk));
  return done;
}

// The AES-256-GCM key of one sealed file and its provider.
struct GcmKey {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_KEY_HANDLE key = nullptr;

  bool Open(const void* secret, int32_t secretLength, const uint8_t* salt) {
    uint8_t material[kKeySize];
    if (!DeriveKey(secret, secretLength, salt, material)) return false;
    bool done = Ok(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_AES_ALGORITHM, nullptr, 0)) &&
                Ok(BCryptSetProperty(algorithm, BCRYPT_CHAINING_MODE,
                                     reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(BCRYPT_CHAIN_MODE_GCM)),
                                     sizeof(BCRYPT_CHAIN_MODE_GCM), 0)) &&
                Ok(BCryptGenerateSymmetricKey(algorithm, &key, nullptr, 0, material, kKeySize, 0));
    SecureZeroMemory(material, sizeof(material));
    return done;
  }
  ~GcmKey() {
    if (key) BCryptDestroyKey(key);
    if (algorithm) BCryptCloseAlgorithmProvider(algorithm, 0);
  }

  // Seals (or opens) one chunk: `length` bytes from `in` to `out`, the tag
  // written to (or checked against) `tag`.
  bool Chunk(bool seal, uint64_t index, bool last, const uint8_t* in, int32_t length, uint8_t* out, uint8_t* tag) {
    uint8_t nonce[kNonceSize] = {};
    for (int i = 0; i < 8; ++i) nonce[kNonceSize - 1 - i] = uint8_t(index >> (8 * i));
    uint8_t associated = last ? 1 : 0;
    BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info;
    BCRYPT_INIT_AUTH_MODE_INFO(info);
    info.pbNonce = nonce;
    info.cbNonce = kNonceSize;
    info.pbAuthData = &associated;
    info.cbAuthData = 1;
    info.pbTag = tag;
    info.cbTag = SealTagSize;
    ULONG written = 0;
    // The calls want a buffer even for an empty chunk.
    uint8_t none = 0;
    PUCHAR input = const_cast<PUCHAR>(length ? in : &none);
    PUCHAR output = length ? out : &none;
    NTSTATUS status = seal ? BCryptEncrypt(key, input, ULONG(length), &info, nullptr, 0, output, ULONG(length), &written, 0)
                           : BCryptDecrypt(key, input, ULONG(length), &info, nullptr, 0, output, ULONG(length), &written, 0);
    return Ok(status) && written == ULONG(length);
  }
};

// A Win32 file handle closed on every way out.
struct Handle {
  HANDLE h = INVALID_HANDLE_VALUE;
  ~Handle() { Close(); }
  void Close() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    h = INVALID_HANDLE_VALUE;
  }
  bool Valid() const { return h != INVALID_HANDLE_VALUE; }
};

HANDLE OpenForReading(const char* path) {
  return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

HANDLE CreateForWriting(const char* path) {
  return CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Reads until `length` bytes came or the file ended; the count read, -1 on error.
int32_t ReadFull(HANDLE file, uint8_t* buffer, int32_t length) {
  int32_t total = 0;
  while (total < length) {
    DWORD got = 0;
    if (!ReadFile(file, buffer + total, DWORD(length - total), &got, nullptr)) return -1;
    if (got == 0) break;
    total += int32_t(got);
  }
  return total;
}

bool WriteFull(HANDLE file, const uint8_t* buffer, int32_t length) {
  while (length > 0) {
    DWORD put = 0;
    if (!WriteFile(file, buffer, DWORD(length), &put, nullptr) || put == 0) return false;
    buffer += put;
    length -= int32_t(put);
  }
  return true;
}

int64_t SizeOf(HANDLE file) {
  LARGE_INTEGER size;
  return GetFileSizeEx(file, &size) ? size.QuadPart : -1;
}

// The destination of a failed run goes; its handle is closed first.
int32_t Fail(Handle& destination, const char* path) {
  destination.Close();
  DeleteFileA(path);
  return 0;
}

}  // namespace

int32_t IsSealedFile(const char* path) {
  HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 0;
  char head[sizeof kMagic] = {};
  DWORD got = 0;
  ReadFile(h, head, sizeof head, &got, nullptr);
  CloseHandle(h);
  return got == sizeof head && std::memcmp(head, kMagic, sizeof head) == 0 ? 1 : 0;
}

int32_t RandomBytes(void* buffer, int32_t length) {
  if (!buffer) ReportError("NullBuffer");
  if (length < 0) ReportError("NegativeLength");
  if (!buffer || length <= 0) return 0;
  return Ok(BCryptGenRandom(nullptr, static_cast<PUCHAR>(buffer), ULONG(length), BCRYPT_USE_SYSTEM_PREFERRED_RNG)) ? 1
                                                                                                                   : 0;
}

int32_t SealFile(const char* source, const char* destination, const void* secret, int32_t secretLength) {
  CheckSealArguments(source, destination, secret, secretLength);
  if (!source || !destination || !secret || secretLength <= 0) return 0;

  Handle in;
  in.h = OpenForReading(source);
  if (!in.Valid()) return 0;
  int64_t remaining = SizeOf(in.h);
  if (remaining < 0) return 0;

  uint8_t header[SealHeaderSize];
  std::memcpy(header, kMagic, sizeof(kMagic));
  header[sizeof(kMagic)] = SealVersion;
  uint8_t* salt = header + sizeof(kMagic) + 1;
  if (!RandomBytes(salt, SealSaltSize)) return 0;
  GcmKey key;
  if (!key.Open(secret, secretLength, salt)) return 0;

  std::unique_ptr<uint8_t[]> plain(new (std::nothrow) uint8_t[SealChunkSize]);
  std::unique_ptr<uint8_t[]> sealed(new (std::nothrow) uint8_t[kRecordSize]);
  if (!plain || !sealed) return 0;

  Handle out;
  out.h = CreateForWriting(destination);
  if (!out.Valid()) return 0;
  if (!WriteFull(out.h, header, SealHeaderSize)) return Fail(out, destination);

  // The size read at the start decides which chunk is the last; a source
  // that grows or shrinks meanwhile fails rather than seal a mix.
  uint64_t index = 0;
  do {
    int32_t length = remaining > SealChunkSize ? SealChunkSize : int32_t(remaining);
    bool last = remaining <= SealChunkSize;
    if (ReadFull(in.h, plain.get(), length) != length) return Fail(out, destination);
    if (!key.Chunk(true, index, last, plain.get(), length, sealed.get(), sealed.get() + length))
      return Fail(out, destination);
    if (!WriteFull(out.h, sealed.get(), length + SealTagSize)) return Fail(out, destination);
    remaining -= length;
    ++index;
  } while (remaining > 0);
  uint8_t extra;
  if (ReadFull(in.h, &extra, 1) != 0) return Fail(out, destination);
  SecureZeroMemory(plain.get(), SealChunkSize);
  out.Close();
  return 1;
}

int32_t UnsealFile(const char* source, const char* destination, const void* secret, int32_t secretLength) {
  CheckSealArguments(source, destination, secret, secretLength);
  if (!source || !destination || !secret || secretLength <= 0) return 0;

  Handle out;
  Handle in;
  in.h = OpenForReading(source);
  if (!in.Valid()) {
    DeleteFileA(destination);
    return 0;
  }
  uint8_t header[SealHeaderSize];
  GcmKey key;
  if (ReadFull(in.h, header, SealHeaderSize) != SealHeaderSize || std::memcmp(header, kMagic, sizeof(kMagic)) != 0 ||
      header[sizeof(kMagic)] != SealVersion || !key.Open(secret, secretLength, header + sizeof(kMagic) + 1))
    return Fail(out, destination);
  int64_t remaining = SizeOf(in.h) - SealHeaderSize;
  if (remaining < SealTagSize) return Fail(out, destination);

  std::unique_ptr<uint8_t[]> sealed(new (std::nothrow) uint8_t[kRecordSize]);
  std::unique_ptr<uint8_t[]> plain(new (std::nothrow) uint8_t[SealChunkSize]);
  if (!sealed || !plain) return Fail(out, destination);
  out.h = CreateForWriting(destination);
  if (!out.Valid()) return Fail(out, destination);

  uint64_t index = 0;
  do {
    int32_t record = remaining > kRecordSize ? kRecordSize : int32_t(remaining);
    bool last = remaining <= kRecordSize;
    if (record < SealTagSize || ReadFull(in.h, sealed.get(), record) != record) return Fail(out, destination);
    int32_t length = record - SealTagSize;
    if (!key.Chunk(false, index, last, sealed.get(), length, plain.get(), sealed.get() + length))
      return Fail(out, destination);
    if (!WriteFull(out.h, plain.get(), length)) return Fail(out, destination);
    remaining -= record;
    ++index;
  } while (remaining > 0);
  SecureZeroMemory(plain.get(), SealChunkSize);
  if (!FlushFileBuffers(out.h)) return Fail(out, destination);
  out.Close();
  return 1;
}

}  // namespace kx

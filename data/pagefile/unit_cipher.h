// The transformation of an enciphered file: AES-256 in XTS mode over 64-byte units, each unit's
// number (its byte offset / 64) as the tweak, so that any unit can be read or rewritten alone.
// The 64-byte key (two AES-256 keys) is derived from the owner text with PBKDF2-HMAC-SHA-256.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace pellucor::data::pagefile {

inline constexpr size_t kCipherUnit = 64;

class UnitCipher {
 public:
  // Derives the key from the owner text. Returns nullptr when the cipher cannot be set up.
  static std::unique_ptr<UnitCipher> FromOwner(std::string_view owner);
  ~UnitCipher();
  UnitCipher(const UnitCipher&) = delete;
  UnitCipher& operator=(const UnitCipher&) = delete;

  // Transforms `size` bytes in place that start at file offset `offset`.
  // REQUIRES: offset and size are multiples of kCipherUnit.
  void Encipher(uint64_t offset, uint8_t* data, size_t size);
  void Decipher(uint64_t offset, uint8_t* data, size_t size);

 private:
  struct Contexts;
  explicit UnitCipher(std::unique_ptr<Contexts> contexts);
  std::unique_ptr<Contexts> contexts_;
};

}  // namespace pellucor::data::pagefile

#include "data/pagefile/unit_cipher.h"

#include <openssl/evp.h>

#include <array>
#include <cstring>

#include "runtime/core/fatal.h"

namespace pellucor::data::pagefile {
namespace {

// The salt is fixed: the file has no room to store one, and the key must come from the owner
// text alone. 10,000 rounds take about 20 ms per open on the build machine (60,000 took 130 ms),
// which keeps opening fast while making every guess of the owner text cost as much.
constexpr char kSalt[] = "Pellucor Kestrune owner key 1";
constexpr int kRounds = 10000;
constexpr size_t kKeyBytes = 64;

// Guard of the cipher's inner state: a unit that OpenSSL refused to transform.
constexpr int32_t kErrCipherFailed = 1781;

}  // namespace

struct UnitCipher::Contexts {
  EVP_CIPHER_CTX* encipher = nullptr;
  EVP_CIPHER_CTX* decipher = nullptr;
  ~Contexts() {
    EVP_CIPHER_CTX_free(encipher);
    EVP_CIPHER_CTX_free(decipher);
  }
};

UnitCipher::UnitCipher(std::unique_ptr<Contexts> contexts) : contexts_(std::move(contexts)) {}
UnitCipher::~UnitCipher() = default;

std::unique_ptr<UnitCipher> UnitCipher::FromOwner(std::string_view owner) {
  std::array<unsigned char, kKeyBytes> key{};
  if (PKCS5_PBKDF2_HMAC(owner.data(), static_cast<int>(owner.size()),
                        reinterpret_cast<const unsigned char*>(kSalt), sizeof kSalt - 1, kRounds,
                        EVP_sha256(), static_cast<int>(key.size()), key.data()) != 1) {
    return nullptr;
  }
  auto contexts = std::make_unique<Contexts>();
  contexts->encipher = EVP_CIPHER_CTX_new();
  contexts->decipher = EVP_CIPHER_CTX_new();
  bool ok = contexts->encipher && contexts->decipher &&
            EVP_CipherInit_ex(contexts->encipher, EVP_aes_256_xts(), nullptr, key.data(), nullptr,
                              1) == 1 &&
            EVP_CipherInit_ex(contexts->decipher, EVP_aes_256_xts(), nullptr, key.data(), nullptr,
                              0) == 1;
  OPENSSL_cleanse(key.data(), key.size());
  if (!ok) return nullptr;
  return std::unique_ptr<UnitCipher>(new UnitCipher(std::move(contexts)));
}

namespace {
void Transform(EVP_CIPHER_CTX* ctx, uint64_t offset, uint8_t* data, size_t size) {
  for (size_t at = 0; at < size; at += kCipherUnit) {
    // The tweak is the unit number, little-endian in 16 bytes.
    std::array<unsigned char, 16> tweak{};
    uint64_t unit = (offset + at) / kCipherUnit;
    for (size_t i = 0; i < 8; ++i) tweak[i] = static_cast<unsigned char>(unit >> (8 * i));
    int out_len = 0;
    if (EVP_CipherInit_ex(ctx, nullptr, nullptr, nullptr, tweak.data(), -1) != 1 ||
        EVP_CipherUpdate(ctx, data + at, &out_len, data + at, kCipherUnit) != 1 ||
        out_len != static_cast<int>(kCipherUnit)) {
      runtime::InternalErrorStop(kErrCipherFailed);
    }
  }
}
}  // namespace

void UnitCipher::Encipher(uint64_t offset, uint8_t* data, size_t size) {
  Transform(contexts_->encipher, offset, data, size);
}

void UnitCipher::Decipher(uint64_t offset, uint8_t* data, size_t size) {
  Transform(contexts_->decipher, offset, data, size);
}

}  // namespace pellucor::data::pagefile

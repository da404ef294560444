#include "units/sha256.h"

#include <algorithm>
#include <array>

#ifdef _WIN32
#include <windows.h>
// After windows.h, whose types it uses.
#include <bcrypt.h>
#else
#include <nettle/sha2.h>
#endif

namespace pibgen {
namespace {

constexpr size_t kDigestSize = 32;

}  // namespace

#ifdef _WIN32
struct Sha256::State {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  void Start() {
    if (algorithm == nullptr) {
      BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
    }
    BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0);
  }
  void Update(const uint8_t* data, size_t count) {
    while (count > 0) {
      const ULONG take = static_cast<ULONG>(std::min<size_t>(count, ULONG{1} << 30));
      BCryptHashData(hash, const_cast<PUCHAR>(data), take, 0);
      data += take;
      count -= take;
    }
  }
  void Digest(uint8_t* out) {
    BCryptFinishHash(hash, out, kDigestSize, 0);
    BCryptDestroyHash(hash);
    hash = nullptr;
  }
  ~State() {
    if (hash != nullptr) BCryptDestroyHash(hash);
    if (algorithm != nullptr) BCryptCloseAlgorithmProvider(algorithm, 0);
  }
};
#else
struct Sha256::State {
  sha256_ctx context;
  void Start() { sha256_init(&context); }
  void Update(const uint8_t* data, size_t count) { sha256_update(&context, count, data); }
  void Digest(uint8_t* out) { sha256_digest(&context, kDigestSize, out); }
};
#endif

Sha256::Sha256() : state_(std::make_unique<State>()) { state_->Start(); }
Sha256::~Sha256() = default;

void Sha256::Update(const uint8_t* data, size_t count) { state_->Update(data, count); }

void Sha256::UpdateZeros(uint64_t count) {
  static constexpr std::array<uint8_t, 1 << 16> kZeros{};
  while (count > 0) {
    const size_t take = static_cast<size_t>(std::min<uint64_t>(count, kZeros.size()));
    state_->Update(kZeros.data(), take);
    count -= take;
  }
}

std::string Sha256::HexDigest() {
  std::array<uint8_t, kDigestSize> digest{};
  state_->Digest(digest.data());
  state_->Start();
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  for (const uint8_t byte : digest) {
    text += kHex[byte >> 4];
    text += kHex[byte & 15];
  }
  return text;
}

}  // namespace pibgen

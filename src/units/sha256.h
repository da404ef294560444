#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace pibgen {

// SHA-256 of bytes fed in pieces, from the system's own library: nettle where it is, Windows'
// CNG there.
class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void Update(const uint8_t* data, size_t count);
  void UpdateZeros(uint64_t count);
  // The digest in lower-case hex; the hash then starts again.
  std::string HexDigest();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace pibgen

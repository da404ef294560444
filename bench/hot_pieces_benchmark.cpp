// Micro-benchmarks of the pieces every field goes through, so a slowdown shows here before
// it shows in a whole conversion. Built only where Google Benchmark is installed:
//     build/bench/pibgen_hot_pieces_benchmark
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "format/crc32.h"
#include "format/hex.h"
#include "format/parse_decimal.h"

namespace {

std::string RandomHex(size_t characters) {
  std::mt19937 random(7);
  const char digits[] = "0123456789ABCDEFabcdef";
  std::string text(characters, '0');
  for (char& c : text) c = digits[random() % (sizeof digits - 1)];
  return text;
}

void BM_HexStringToBytes(benchmark::State& state) {
  const auto bytes = static_cast<size_t>(state.range(0));
  const std::string text = RandomHex(2 * bytes);
  std::vector<uint8_t> buffer(bytes);
  for (auto _ : state) {
    pibgen::HexStringToBytes(std::string_view(text), buffer.data(), buffer.size());
    benchmark::DoNotOptimize(buffer.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_HexStringToBytes)->Arg(16)->Arg(4096);

void BM_HexStringToBytesWide(benchmark::State& state) {
  const auto bytes = static_cast<size_t>(state.range(0));
  const std::string ascii = RandomHex(2 * bytes);
  const std::u16string text(ascii.begin(), ascii.end());
  std::vector<uint8_t> buffer(bytes);
  for (auto _ : state) {
    pibgen::HexStringToBytes(std::u16string_view(text), buffer.data(), buffer.size());
    benchmark::DoNotOptimize(buffer.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_HexStringToBytesWide)->Arg(16)->Arg(4096);

void BM_ParseDecimal(benchmark::State& state) {
  // The kinds of values descriptions hold: small, large, negative, padded, saturating.
  const std::vector<std::string> values = {"1",           "255",         "65535",
                                           "4294967295",  "-2147483648", "  +12abc",
                                           "99999999999", "0x10",        "\xC2\xA0 7"};
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(pibgen::ParseDecimal(values[i]));
    if (++i == values.size()) i = 0;
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_ParseDecimal);

void BM_Crc32OneMegabyte(benchmark::State& state) {
  std::vector<uint8_t> data(size_t{1} << 20);
  std::mt19937 random(11);
  for (uint8_t& byte : data) byte = static_cast<uint8_t>(random());
  for (auto _ : state) {
    pibgen::Crc32 crc;
    crc.Update(data.data(), data.size());
    benchmark::DoNotOptimize(crc.Value());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_Crc32OneMegabyte);

}  // namespace

BENCHMARK_MAIN();

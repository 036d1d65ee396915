// SPDX-License-Identifier: GPL-3.0-or-later
// One SNMPv3 key costs 1 MiB of MD5. This compares LocalizeKey with OpenSSL's MD5 of the same
// 1 MiB (the password repeated), so the ratio of the two rows is the figure that matters.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <array>
#include <string_view>
#include <vector>

#include "core/config/LocalizeKey.h"
#include "core/config/Md5.h"

namespace {

constexpr std::string_view kPassword = "maplesyrup";
constexpr std::array<std::uint8_t, 12> kEngineId = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2};

std::vector<std::uint8_t> ExpandedPassword() {
    std::vector<std::uint8_t> data(1048576);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(kPassword[i % kPassword.size()]);
    }
    return data;
}

void BM_LocalizeKey(benchmark::State& state) {
    std::array<std::uint8_t, 16> key{};
    const auto password =
        std::span(reinterpret_cast<const std::uint8_t*>(kPassword.data()), kPassword.size());
    for (auto _ : state) {
        parvolink::LocalizeKey(key, password, kEngineId);
        benchmark::DoNotOptimize(key);
    }
    state.SetBytesProcessed(state.iterations() * 1048576);
}
BENCHMARK(BM_LocalizeKey)->Unit(benchmark::kMillisecond);

void BM_OwnMd5Of1MiB(benchmark::State& state) {
    const std::vector<std::uint8_t> data = ExpandedPassword();
    for (auto _ : state) {
        benchmark::DoNotOptimize(parvolink::Md5::Of(data));
    }
    state.SetBytesProcessed(state.iterations() * 1048576);
}
BENCHMARK(BM_OwnMd5Of1MiB)->Unit(benchmark::kMillisecond);

void BM_OpenSslMd5Of1MiB(benchmark::State& state) {
    const std::vector<std::uint8_t> data = ExpandedPassword();
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    for (auto _ : state) {
        EVP_Digest(data.data(), data.size(), digest.data(), &length, EVP_md5(), nullptr);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(state.iterations() * 1048576);
}
BENCHMARK(BM_OpenSslMd5Of1MiB)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

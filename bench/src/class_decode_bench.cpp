// Decoding the launcher's embedded class text: base64, then inflation of
// the gzip member, exactly as defineBootstrapClass does before DefineClass.
#include <benchmark/benchmark.h>

#include "launcher/bootstrap_handoff_internal.h"
#include "launcher/class_text_decoding.h"

namespace {

using foundation::DataArray;

void BM_DecodeEmbeddedClass(benchmark::State& state) {
    for (auto _ : state) {
        DataArray<char>* decoded =
            launcher::decodeBase64(launcher::BOOTSTRAP_CLASS_TEXT, launcher::BOOTSTRAP_CLASS_TEXT_LENGTH);
        DataArray<char>* inflated = launcher::gunzipBytes(decoded, decoded->length);
        delete decoded;
        if (inflated == nullptr) {
            state.SkipWithError("the embedded class text does not inflate");
            break;
        }
        benchmark::DoNotOptimize(inflated->data);
        delete inflated;
    }
}
BENCHMARK(BM_DecodeEmbeddedClass);

void BM_Base64Only(benchmark::State& state) {
    for (auto _ : state) {
        DataArray<char>* decoded =
            launcher::decodeBase64(launcher::BOOTSTRAP_CLASS_TEXT, launcher::BOOTSTRAP_CLASS_TEXT_LENGTH);
        benchmark::DoNotOptimize(decoded->data);
        delete decoded;
    }
}
BENCHMARK(BM_Base64Only);

void BM_InflateOnly(benchmark::State& state) {
    DataArray<char>* decoded =
        launcher::decodeBase64(launcher::BOOTSTRAP_CLASS_TEXT, launcher::BOOTSTRAP_CLASS_TEXT_LENGTH);
    for (auto _ : state) {
        DataArray<char>* inflated = launcher::gunzipBytes(decoded, decoded->length);
        if (inflated == nullptr) {
            state.SkipWithError("the embedded class text does not inflate");
            break;
        }
        benchmark::DoNotOptimize(inflated->data);
        delete inflated;
    }
    delete decoded;
}
BENCHMARK(BM_InflateOnly);

}  // namespace

BENCHMARK_MAIN();

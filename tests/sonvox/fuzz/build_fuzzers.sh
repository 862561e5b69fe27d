#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer,
# outside the CMake build: the sources they need are compiled directly.
#   tests/sonvox/fuzz/build_fuzzers.sh [output folder]   (default: build-fuzz)
# Run one, e.g. for ten minutes on its corpus (new finds go to a scratch folder):
#   build-fuzz/fuzz_wave_header -max_total_time=600 /tmp/wave-new tests/sonvox/fuzz/corpus_wave
set -euo pipefail
root="$(cd "$(dirname "$0")/../../.." && pwd)"
out="${1:-$root/build-fuzz}"
mkdir -p "$out"
cxx="${CXX_FUZZ:-clang++-14}"
cc="${CC_FUZZ:-clang-14}"
flags=(-g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I"$root")

"$cxx" -std=c++20 "${flags[@]}" "$root/tests/sonvox/fuzz/fuzz_wave_header.cpp" \
  "$root/sonvox/modules/codec_wave/wave_codec.cpp" -o "$out/fuzz_wave_header"
echo "built $out/fuzz_wave_header"

mpeg="$root/sonvox/modules/codec_mpeg"
if [[ -f "$root/tests/sonvox/fuzz/fuzz_mpeg_frames.cpp" && -f "$mpeg/mpeg_codec_module.cpp" ]]; then
  objs=()
  for src in "$mpeg"/*.c; do
    [[ -e "$src" ]] || continue
    obj="$out/$(basename "$src" .c).o"
    "$cc" -std=gnu11 "${flags[@]/-fsanitize=fuzzer,address,undefined/-fsanitize=fuzzer-no-link,address,undefined}" -c "$src" -o "$obj"
    objs+=("$obj")
  done
  "$cxx" -std=c++20 "${flags[@]}" "$root/tests/sonvox/fuzz/fuzz_mpeg_frames.cpp" \
    "$mpeg"/*.cpp "$root/sonvox/engine/properties.cpp" "$root/sonvox/engine/errors.cpp" \
    "${objs[@]}" -o "$out/fuzz_mpeg_frames"
  echo "built $out/fuzz_mpeg_frames"
fi

# The network input's URL parser, and its HTTP/ICY reply parser with the ring behind it.
net="$root/sonvox/modules/input_network"
net_objs=()
for src in "$net"/*.c; do
  [[ -e "$src" ]] || continue
  obj="$out/net_$(basename "$src" .c).o"
  "$cc" -std=gnu11 "${flags[@]/-fsanitize=fuzzer,address,undefined/-fsanitize=fuzzer-no-link,address,undefined}" -c "$src" -o "$obj"
  net_objs+=("$obj")
done
for target in fuzz_net_url fuzz_net_reply; do
  "$cxx" -std=c++20 "${flags[@]}" "$root/tests/sonvox/fuzz/$target.cpp" "${net_objs[@]}" \
    "$root/sonvox/engine/properties.cpp" "$root/sonvox/engine/errors.cpp" -o "$out/$target"
  echo "built $out/$target"
done

#!/usr/bin/env bash
# Sets up what is missing, builds both configurations and runs every test:
# the platform-free core natively (sanitizers, fuzz target), the Windows
# programs under Wine. Exits non-zero on any failure.
set -uo pipefail
kribbel_root=$(cd "$(dirname "$0")/.." && pwd)
cd "$kribbel_root"
source scripts/wine-env.sh
trap kribbel_wine_stop EXIT

bash scripts/setup.sh || exit 1
jobs=$(nproc)
status=0
summary=()

passed=0
failed=0
run_ctest() {  # $1: build folder, $2: label, then extra ctest options
  local dir=$1 label=$2 log line
  shift 2
  log=$(mktemp)
  (cd "$dir" && ctest --output-on-failure -j"$jobs" --timeout 300 "$@") 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1)
  summary+=("$label: $line")
  if [[ $line =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
    failed=$((failed + BASH_REMATCH[1]))
    passed=$((passed + BASH_REMATCH[2] - BASH_REMATCH[1]))
  elif [ "$rc" -ne 0 ]; then
    failed=$((failed + 1))  # ctest itself failed before running tests
  fi
  rm -f "$log"
  return "$rc"
}

echo "== native core (sanitizers, fuzz target)"
if cmake -S . -B build/native -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null &&
   cmake --build build/native -j"$jobs"; then
  run_ctest build/native native || status=1
else
  echo "native build failed"; status=1
fi

echo "== Windows, 32-bit (the product)"
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-mingw.cmake >/dev/null &&
  cmake --build build/win32 -j"$jobs" || { echo "32-bit Windows build failed"; status=1; }

arch=$(kribbel_windows_arch)
if [ "$arch" = i686 ]; then
  testdir=build/win32
else
  echo "== Windows, 64-bit: this kernel cannot execute 32-bit code, so the tests run as 64-bit"
  testdir=build/win64
  cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-mingw.cmake >/dev/null &&
    cmake --build build/win64 -j"$jobs" || { echo "64-bit Windows build failed"; status=1; }
fi
kribbel_wine_start "$arch"
# Now and then Wine fails to start a test program at all (no output, a few
# milliseconds); such a test gets one more run. A test that fails its
# assertions fails both runs.
run_ctest "$testdir" "windows-$arch" --repeat until-pass:2 || status=1
kribbel_wine_stop

echo "== summary"
printf '%s\n' "${summary[@]}"
[ $status -ne 0 ] && [ $failed -eq 0 ] && failed=1  # a build failed
echo "tests: $passed passed, $failed failed"
exit $status

# Shared by the benchmark scripts. Source it from the repository root.
#   bench_build TARGET...   sets $build, the Windows build the benchmark runs ($BUILD, or the
#                           windows preset's build/windows, configured when it is not yet), and
#                           brings TARGETs up to date there. The benchmark programs are targets
#                           of that build (bench/CMakeLists.txt): a script compiles nothing
#                           itself and runs only what the build made.

bench_build() {
  build=${BUILD:-$PWD/build/windows}
  if [ ! -f "$build/build.ninja" ]; then
    if [ -n "${BUILD:-}" ]; then
      echo "bench: $build is not a configured build folder; configure it as the windows preset does:" >&2
      echo "  cmake -S . -B $build -G Ninja --toolchain cmake/mingw-w64-x86_64.cmake \\" >&2
      echo "    -DCMAKE_BUILD_TYPE=MinSizeRel -DCMAKE_EXE_LINKER_FLAGS_MINSIZEREL=-s" >&2
      return 1
    fi
    cmake --preset windows >/dev/null
  fi
  if ! cmake --build "$build" -j2 --target "$@" >"$build/bench-build.log" 2>&1; then
    cat "$build/bench-build.log" >&2
    echo "bench: the build of $* in $build failed (above)" >&2
    return 1
  fi
}

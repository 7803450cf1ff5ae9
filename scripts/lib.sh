# Shared by scripts/run, scripts/test and scripts/bench. Sourced, not run.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build"

packages=(cmake make g++ libgtest-dev g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
          wine wine32:i386 wine64 xvfb xdotool x11-utils imagemagick fonts-wqy-microhei wimtools procps xclip
          clang libclang-rt-14-dev)

as_root() { if [[ $(id -u) == 0 ]]; then "$@"; else sudo "$@"; fi; }

# Installs the Debian packages that are missing, and only those.
install_missing() {
  local missing=() p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  ((${#missing[@]} == 0)) && return 0
  echo "Installing: ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then as_root dpkg --add-architecture i386; fi
  as_root apt-get update -q
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
}

source "$root/tests/wine-env.sh"

# The Windows build whose programs run here: the shipped 32-bit build where this kernel runs 32-bit
# code, else the 64-bit build of the same sources.
test_arch() { if vantrel_can_run_32bit; then echo win32; else echo win64; fi; }

configure_and_build() {
  local jobs; jobs=$(nproc)
  local arch; arch=$(test_arch)
  cmake -S "$root" -B "$build/win32" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
  cmake --build "$build/win32" -j"$jobs"
  if [[ $arch == win64 ]]; then
    cmake -S "$root" -B "$build/win64" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" >/dev/null
    cmake --build "$build/win64" -j"$jobs"
  fi
  cmake -S "$root" -B "$build/host" -DVANTREL_WIN_BIN="$build/$arch/bin" >/dev/null
  cmake --build "$build/host" -j"$jobs"
}

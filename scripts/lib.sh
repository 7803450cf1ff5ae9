# Shared by scripts/run, scripts/test and scripts/bench. Sourced, not run.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build"

packages=(cmake make g++ libgtest-dev g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
          wine wine32:i386 wine64 xvfb xdotool x11-utils imagemagick fonts-wqy-microhei wimtools procps xclip
          clang libclang-rt-14-dev python3)

as_root() { if [[ $(id -u) == 0 ]]; then "$@"; else sudo "$@"; fi; }

# Fetches the package indexes. A mirror in mid-sync can serve one index that fails its size check, and then
# apt-get update exits non-zero although every other index is fine: it is tried a few times with a pause, and
# after that the install goes on with the indexes that did arrive. Returns non-zero when they are incomplete.
update_package_indexes() {
  local attempt
  for attempt in 1 2 3 4; do
    as_root apt-get update -q -o DPkg::Lock::Timeout=600 && return 0
    if ((attempt < 4)); then
      echo "apt-get update failed (attempt $attempt of 4); trying again in $((attempt * 5)) s" >&2
      sleep $((attempt * 5))
    fi
  done
  echo "WARNING: apt-get update still fails after 4 attempts; going on with the package indexes that were fetched" >&2
  return 1
}

# Installs the Debian packages that are missing, and only those.
install_missing() {
  local missing=() p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  ((${#missing[@]} == 0)) && return 0
  echo "Installing: ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then as_root dpkg --add-architecture i386; fi
  local indexes_complete=1
  update_package_indexes || indexes_complete=0
  local install=(as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q -o DPkg::Lock::Timeout=600)
  "${install[@]}" "${missing[@]}" && return 0
  ((indexes_complete)) && return 1
  # With one index missing (say the security suite's i386 one), a library's two architectures can come from
  # different suites, which Multi-Arch forbids, and nothing resolves. Taking every package from the release's
  # own suite keeps both architectures at one version.
  local release; release=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [[ -n $release ]] || return 1
  echo "WARNING: the install failed with incomplete package indexes; trying again with the packages of '$release' itself" >&2
  "${install[@]}" -t "$release" "${missing[@]}"
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

# Shared helpers for running Vantrel and its tests under Wine. Sourced, not run.
vantrel_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${VANTREL_WINEPREFIX:-$vantrel_root/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko download dialogs: the program needs neither. wimgapi.dll is always the stand-in of the prefix's
# system folders, loaded as native (vantrel_prefix_standins): Wine's own ends the process when the program asks it
# what is mounted.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
[[ ";$WINEDLLOVERRIDES" == *[\;,]wimgapi[=,]* ]] || WINEDLLOVERRIDES+=";wimgapi=n"

# True when this kernel can execute 32-bit x86 programs (32-bit Wine needs that).
vantrel_can_run_32bit() {
  [[ -x /usr/lib/wine/wine ]] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

# The Wine loader for a PE file: 32-bit or 64-bit, read from the PE header's machine field.
vantrel_wine_loader() {
  local exe="$1" off machine
  off=$(od -An -tu4 -j60 -N4 "$exe" | tr -d ' ')
  machine=$(od -An -tx2 -j$((off + 4)) -N2 "$exe" | tr -d ' ')
  if [[ "$machine" == 8664 ]]; then
    echo /usr/lib/wine/wine64
  else
    echo /usr/lib/wine/wine
  fi
}

# The prefix ready for Vantrel and its tests: made once (vantrel_prefix_make), with the stand-ins in place.
#   vantrel_prefix_ready [LOADER [BIN]]
# BIN is the folder of the Windows programs (build/win32/bin or build/win64/bin by default): its stand-in
# wimgapi.dll goes into the prefix's system folders every time, made or not, so a rebuilt stand-in is the one used.
vantrel_prefix_ready() {
  local loader="${1:-}" bin="${2:-}"
  if [[ -z "$loader" ]]; then
    if vantrel_can_run_32bit; then loader=/usr/lib/wine/wine; else loader=/usr/lib/wine/wine64; fi
  fi
  if [[ -z "$bin" ]]; then
    if vantrel_can_run_32bit; then bin="$vantrel_root/build/win32/bin"; else bin="$vantrel_root/build/win64/bin"; fi
  fi
  [[ -f "$WINEPREFIX/.vantrel-ready-2" ]] || vantrel_prefix_make "$loader"
  vantrel_prefix_standins "$bin"
}

# The stand-in wimgapi.dll (tests/fixtures/wimgapi_standin.cpp) in place of Wine's own: the x86-64 build in
# system32 and the i686 build in syswow64 (in a 32-bit prefix, without syswow64, the i686 build in system32).
# Copied only when it differs, and renamed into place, so a program of the prefix that has the old one loaded keeps
# a whole file. A missing build is left out: WINEDLLOVERRIDES still loads wimgapi as native only, so Wine's stub is
# never called (the program then finds no function and knows nothing of the mounts).
vantrel_prefix_standins() {
  local bin="$1" windows="$WINEPREFIX/drive_c/windows" pairs
  if [[ -d "$windows/syswow64" ]]; then
    pairs=("wimgapi64.dll:system32" "wimgapi32.dll:syswow64")
  else
    pairs=("wimgapi32.dll:system32")
  fi
  local pair source target
  for pair in "${pairs[@]}"; do
    source="$bin/${pair%%:*}"
    target="$windows/${pair#*:}/wimgapi.dll"
    [[ -f "$source" && -d "${target%/*}" ]] || continue
    cmp -s "$source" "$target" && continue
    cp "$source" "$target.new.$$" && mv -f "$target.new.$$" "$target"
  done
  return 0
}

# Makes the prefix once: wineboot, then Chinese-capable font replacements for the fonts the program asks for,
# and no crash dialog: a program that crashes gets a backtrace on the error stream and ends, instead of a
# dialog that waits on the display for a click (and stands in front of the next test's windows).
vantrel_prefix_make() {
  local loader="$1"
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    [[ -f "$WINEPREFIX/.vantrel-ready-2" ]] && exit 0
    DISPLAY= "$loader" wineboot -i >/dev/null 2>&1 || true
    local key='HKCU\Software\Wine\Fonts\Replacements'
    for f in SimSun "宋体" Tahoma "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif"; do
      DISPLAY= "$loader" reg add "$key" /v "$f" /t REG_SZ /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1
    done
    DISPLAY= "$loader" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    DISPLAY= "$loader" wineboot -s >/dev/null 2>&1 || true
    "${loader%/*}/wineserver" -w 2>/dev/null || wineserver -w || true
    touch "$WINEPREFIX/.vantrel-ready-2"
  ) 9>"$(dirname "$WINEPREFIX")/.wineprefix.lock"
}

# Starts Xvfb on the first free display number and waits (with a deadline) until it accepts clients.
vantrel_start_xvfb() {
  local n deadline
  for n in $(seq 91 190); do
    [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    vantrel_xvfb_pid=$!
    deadline=$((SECONDS + 15))
    while ((SECONDS < deadline)); do
      if [[ -S /tmp/.X11-unix/X$n ]]; then
        export DISPLAY=":$n"
        return 0
      fi
      kill -0 "$vantrel_xvfb_pid" 2>/dev/null || break
      sleep 0.05
    done
    kill "$vantrel_xvfb_pid" 2>/dev/null || true
  done
  echo "wine-run: could not start Xvfb" >&2
  return 1
}

vantrel_stop_xvfb() {
  if [[ -n "${vantrel_xvfb_pid:-}" ]]; then
    kill "$vantrel_xvfb_pid" 2>/dev/null || true
    wait "$vantrel_xvfb_pid" 2>/dev/null || true
  fi
}

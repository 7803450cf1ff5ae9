# Shared helpers for running Vantrel and its tests under Wine. Sourced, not run.
vantrel_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${VANTREL_WINEPREFIX:-$vantrel_root/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko download dialogs: the program needs neither.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

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

# Makes the prefix once: wineboot, then Chinese-capable font replacements for the fonts the program asks for,
# and no crash dialog: a program that crashes gets a backtrace on the error stream and ends, instead of a
# dialog that waits on the display for a click (and stands in front of the next test's windows).
vantrel_prefix_ready() {
  local loader="${1:-}"
  if [[ -z "$loader" ]]; then
    if vantrel_can_run_32bit; then loader=/usr/lib/wine/wine; else loader=/usr/lib/wine/wine64; fi
  fi
  [[ -f "$WINEPREFIX/.vantrel-ready-2" ]] && return 0
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

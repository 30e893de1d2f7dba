#!/usr/bin/env bash
# Wine harness library: headless display, throwaway prefixes, running programs with timeouts,
# screenshots and window inspection. Source it; call wine_lib_init first.
#
# Environment it reads (all optional):
#   WINE_BUILD_DIR     the Windows build (default: build/win32 under the repository)
#   WINE_WORK          folder for this run's prefixes (default: a new /tmp/<name>-wine.XXXXXX)
#   WINE_HARNESS_NAME  <name> above (default: instalador)
#   WINE_ARTIFACTS     screenshots and logs (default: artifacts/wine under the repository, for the
#                      x86-64 build artifacts/wine-x86_64)
#   WINE_KEEP=1        keep WINE_WORK after the run, for a post-mortem
# Everything that waits has a timeout: a stuck program costs time, never the run.
# shellcheck disable=SC2034  # a library: the scripts that source it read its variables

WINE_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
WINE_REPO=$(cd "$WINE_LIB_DIR/../.." && pwd)

export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-winemenubuilder.exe=d}
export WINEDEBUG=${WINEDEBUG:--all}

wine_log() { echo "wine-harness: $*" >&2; }

# --- How this machine runs 32-bit x86 code ---
# WINE_32BIT_CODE: native, emulated (a binfmt_misc handler, qemu-i386, runs it) or none;
# WINE_32BIT_CODE_HOW: the handler, or why none (scripts/runs_32bit_code.sh). Found out once per
# run and exported to the scripts the run starts.
wine_32bit_code() {
  local line
  if [ -z "${WINE_32BIT_CODE:-}" ]; then
    line=$("$WINE_REPO/scripts/runs_32bit_code.sh") || true
    WINE_32BIT_CODE=${line%%:*}
    WINE_32BIT_CODE_HOW=${line#"$WINE_32BIT_CODE"}
    WINE_32BIT_CODE_HOW=${WINE_32BIT_CODE_HOW#: }
    export WINE_32BIT_CODE WINE_32BIT_CODE_HOW
  fi
  wine_32bit_side on
}

# wine_32bit_code_line [OPEN CLOSE]: "32-bit code ROAD: HOW" for the stage lines, or with HOW
# between OPEN and CLOSE.
wine_32bit_code_line() {
  echo "32-bit code $WINE_32BIT_CODE${WINE_32BIT_CODE_HOW:+${1-: }$WINE_32BIT_CODE_HOW${2-}}"
}

# wine_32bit_side on|off: where 32-bit code runs emulated, whether Wine's 32-bit programs run
# (slowly) or fail at once. Off, a new 64-bit prefix takes seconds instead of minutes (Wine tries
# to fill its 32-bit side, and an emulated 32-bit program takes minutes even to fail), as on a
# machine without wine32: what the x86-64 build's runs need. WINE_TEMPLATE_TAG keeps the
# templates of the two apart.
wine_32bit_side() {
  WINE_TEMPLATE_TAG=""
  [ "$WINE_32BIT_CODE" = emulated ] || return 0
  if [ "$1" = on ]; then
    # Under qemu's user-mode emulation Wine's 32-bit loader cannot map the shared user data
    # ("failed to map the shared user data: c0000018") unless qemu reserves the guest's address
    # space up to there itself.
    export QEMU_RESERVED_VA=0xf7000000
  else
    # Too small for any program: qemu refuses each one at once.
    export QEMU_RESERVED_VA=0x10000
    WINE_TEMPLATE_TAG=.no32bit
  fi
}
wine_32bit_code

# wine_set_slow: WINE_SLOW, the factor of every time-out and wait of the harness for the programs
# of the build it runs: the one measured for Wine's 32-bit side (wine_runs_32bit) for the 32-bit
# build, 1 for the x86-64 build, whose programs run at native speed everywhere. Before the
# measurement, where 32-bit code runs emulated, a bound for the slowest emulation worth waiting for.
WINE_SLOW_UNMEASURED=20
wine_32bit_slow() {
  if [ -n "${WINE_32BIT_SLOW:-}" ]; then echo "$WINE_32BIT_SLOW"
  elif [ "$WINE_32BIT_CODE" = emulated ]; then echo "$WINE_SLOW_UNMEASURED"
  else echo 1; fi
}
wine_set_slow() {
  if [ "${WINE_BUILD_ARCH:-i686}" = x86_64 ]; then WINE_SLOW=1; else WINE_SLOW=$(wine_32bit_slow); fi
  export WINE_SLOW
}

# wine_scale SECONDS: a time-out or wait that SECONDS are enough for on a machine running the
# programs natively, for the programs of this build here.
wine_scale() { echo $(($1 * ${WINE_SLOW:-1})); }

# Paths of the repository build and of this run's work and artifact folders; Xvfb when there
# is no display. Safe to call again from a scenario script started by run.sh.
wine_lib_init() {
  WINE_BUILD_DIR=${WINE_BUILD_DIR:-$WINE_REPO/build/win32}
  WINE_BUILD_DIR=$(cd "$WINE_BUILD_DIR" 2>/dev/null && pwd) || { wine_log "no build folder ${WINE_BUILD_DIR}"; return 1; }
  WINE_BIN=$WINE_BUILD_DIR/bin
  wine_set_arch "$(wine_arch_of "$WINE_BUILD_DIR")"
  wine_set_helpers
  if [ "$WINE_BUILD_ARCH" = i686 ]; then WINE_ARTIFACTS=${WINE_ARTIFACTS:-$WINE_REPO/artifacts/wine}
  else WINE_ARTIFACTS=${WINE_ARTIFACTS:-$WINE_REPO/artifacts/wine-$WINE_BUILD_ARCH}; fi
  mkdir -p "$WINE_ARTIFACTS"
  if [ -z "${WINE_WORK:-}" ]; then
    WINE_WORK=$(mktemp -d "/tmp/${WINE_HARNESS_NAME:-instalador}-wine.XXXXXX")
    WINE_OWNS_WORK=1
  fi
  mkdir -p "$WINE_WORK"
  export WINE_BUILD_DIR WINE_BIN WINE_ARTIFACTS WINE_WORK
  WINE_CLEANUPS=()
  trap wine_lib_cleanup EXIT
  trap 'exit 130' INT TERM
  [ -n "${DISPLAY:-}" ] || wine_start_xvfb
}

# Registers a command to run at exit, before the harness's own clean-up.
wine_on_exit() { WINE_CLEANUPS+=("$*"); }

wine_lib_cleanup() {
  local status=$? cleanup prefix
  for cleanup in "${WINE_CLEANUPS[@]}"; do eval "$cleanup" || true; done
  # Every prefix of this run that may still have a server: end it by its prefix, not by name.
  for prefix in "$WINE_WORK"/*/; do
    [ -f "$prefix/system.reg" ] && wine_end_prefix "${prefix%/}"
  done
  if [ -n "${WINE_XVFB_PID:-}" ]; then
    kill "$WINE_XVFB_PID" 2>/dev/null
    wait "$WINE_XVFB_PID" 2>/dev/null
  fi
  if [ "${WINE_OWNS_WORK:-}" = 1 ] && [ "${WINE_KEEP:-}" != 1 ]; then rm -rf "$WINE_WORK"; fi
  return $status
}

# Starts Xvfb on a display it picks itself (-displayfd), so parallel runs do not collide.
wine_start_xvfb() {
  local fdfile="$WINE_WORK/xvfb.display" i
  : > "$fdfile"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fdfile" >"$WINE_WORK/xvfb.log" 2>&1 &
  WINE_XVFB_PID=$!
  for i in $(seq 1 100); do
    if [ -s "$fdfile" ]; then
      DISPLAY=":$(tr -dc '0-9' < "$fdfile")"
      export DISPLAY
      return 0
    fi
    kill -0 "$WINE_XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  wine_log "Xvfb did not start (see $WINE_WORK/xvfb.log)"
  return 1
}

# --- What differs by the architecture of the Windows build, in this one place ---
# The release is the 32-bit (i686) build; an x86-64 build of the same sources stands in for it
# under Wine where Wine runs no 32-bit programs. wine_lib_init sets, from the build folder:
#   WINE_BUILD_ARCH    i686 or x86_64
#   WINE_LOADER        what starts a Windows program: `wine` for the i686 build (it runs 32-bit
#                      programs in either kind of prefix); for the x86-64 build Wine's 64-bit
#                      loader itself, because /usr/bin/wine picks the 32-bit loader whenever
#                      wine32 is installed, even where it cannot run
#                      (and where 32-bit code runs emulated, the 32-bit build's too: it starts
#                      their 32-bit loader itself, and runs Wine's own commands, reg among them,
#                      at native speed)
#   WINE_PREFIX_KINDS  the kinds of machine the build's programs are tried on: a 64-bit and a
#                      32-bit one for the i686 build, a 64-bit one for the x86-64 build and for
#                      the i686 build under emulation (a 32-bit prefix would emulate Wine's own
#                      services too)
#   WINE_SLOW          the factor of time-outs and waits (wine_set_slow)
# and wine_program_files gives the Program Files folder that the build's programs see.

# wine_arch_of BUILD_DIR: i686 or x86_64, as the build folder was configured (its toolchain file).
wine_arch_of() {
  case "$(sed -n 's/^CMAKE_TOOLCHAIN_FILE:[A-Z]*=//p' "$1/CMakeCache.txt" 2>/dev/null | head -n 1)" in
    *x86_64*) echo x86_64 ;;
    *) echo i686 ;;
  esac
}

# wine_loader_for ARCH: the loader that starts programs of a build of ARCH.
wine_loader_for() {
  local loader
  if [ "$1" = x86_64 ]; then
    for loader in /usr/lib/wine/wine64 /usr/lib64/wine/wine64 /usr/lib/x86_64-linux-gnu/wine/wine64; do
      [ -x "$loader" ] && { echo "$loader"; return 0; }
    done
    command -v wine64 >/dev/null 2>&1 && { command -v wine64; return 0; }
  fi
  echo wine
}

wine_set_arch() {  # wine_set_arch ARCH: the variables above for a build of ARCH
  WINE_BUILD_ARCH=$1
  WINE_LOADER=$(wine_loader_for "$1")
  if [ "$1" = x86_64 ]; then
    WINE_PREFIX_KINDS="win64"
    # Programs that Wine itself starts (the desktop, services, start.exe) come up through this
    # loader too.
    export WINELOADER=$WINE_LOADER
    wine_32bit_side off
  elif [ "$WINE_32BIT_CODE" = emulated ]; then
    WINE_LOADER=$(wine_loader_for x86_64)
    WINE_PREFIX_KINDS="win64"
    wine_32bit_side on
  else
    WINE_PREFIX_KINDS="win64 win32"
  fi
  export WINE_BUILD_ARCH WINE_LOADER WINE_PREFIX_KINDS
  wine_set_slow
}

# wine_set_helpers: WINE_HELPER_BIN, where the harness's own programs (winprobe.exe, lnkread.exe)
# come from: the build's, except for the 32-bit build where 32-bit code runs emulated. There each
# 32-bit program takes a minute or more to start, so the x86-64 build's run instead (at native
# speed; they see the 32-bit programs' windows and files as they would on 64-bit Windows), when
# they are built (scripts/build.sh win64-helpers).
wine_set_helpers() {
  local helpers=$WINE_REPO/build/win64/bin
  WINE_HELPER_BIN=$WINE_BIN
  if [ "$WINE_BUILD_ARCH" = i686 ] && [ "$WINE_32BIT_CODE" = emulated ] &&
     [ -f "$helpers/winprobe.exe" ] && [ -f "$helpers/lnkread.exe" ]; then
    WINE_HELPER_BIN=$helpers
  fi
  export WINE_HELPER_BIN
}

# wine_program_files KIND: the Program Files folder of the build's programs in a prefix of that
# kind (win64 or win32): a 32-bit program on a 64-bit machine sees the "(x86)" one.
wine_program_files() {
  if [ "$WINE_BUILD_ARCH" = i686 ] && [ "$1" = win64 ]; then echo 'C:\Program Files (x86)'; else echo 'C:\Program Files'; fi
}

# wine_fill_32bit_view PREFIX: a 64-bit prefix made without wine32 has no 32-bit view of
# HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion (Wine fills it through its 32-bit side), where
# the installer reads ProgramFilesPath whatever its word size: the values it holds on Windows.
wine_fill_32bit_view() {
  local key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion' log=$WINE_WORK/fill-32bit-view.log
  local value name type data
  WINEPREFIX=$1 timeout -k 10 "$(wine_template_scale 60)" "${WINE_LOADER:-wine}" reg query "$key" /v ProgramFilesPath /reg:32 \
    >>"$log" 2>&1 </dev/null && return 0
  for value in 'ProgramFilesPath|REG_EXPAND_SZ|%ProgramFiles%' 'ProgramFilesDir|REG_SZ|C:\Program Files (x86)' \
               'CommonFilesDir|REG_SZ|C:\Program Files (x86)\Common Files'; do
    IFS='|' read -r name type data <<<"$value"
    WINEPREFIX=$1 timeout -k 10 "$(wine_template_scale 60)" "${WINE_LOADER:-wine}" reg add "$key" /v "$name" /t "$type" /d "$data" /reg:32 /f \
      >>"$log" 2>&1 </dev/null || return 1
  done
}

# --- Which build the tests run: does Wine here run 32-bit Windows programs? ---
# wine_runs_32bit: status 0 when Wine here runs 32-bit Windows programs; else WINE_32BIT_REASON
# says why not. Found out once per run (the answer is kept in WINE_WORK, which the scripts of one
# run share) by starting a small 32-bit program, with a time-out; how long it took to start gives
# WINE_32BIT_SLOW, the factor of time-outs and waits for 32-bit programs (a second or two
# natively, over a minute under emulation), and WINE_32BIT_START, those seconds.
wine_runs_32bit() {
  local cache
  WINE_WORK=${WINE_WORK:-$(mktemp -d "/tmp/${WINE_HARNESS_NAME:-instalador}-wine.XXXXXX")}
  export WINE_WORK
  mkdir -p "$WINE_WORK"
  cache=$WINE_WORK/runs-32bit
  [ -s "$cache" ] || wine_probe_32bit > "$cache"
  WINE_32BIT_REASON=$(sed -n 2p "$cache")
  WINE_32BIT_SLOW=$(sed -n 3p "$cache")
  WINE_32BIT_START=$(sed -n 4p "$cache")
  export WINE_32BIT_SLOW WINE_32BIT_START
  [ -z "${WINE_BUILD_ARCH:-}" ] || wine_set_slow
  [ "$(head -n 1 "$cache")" = i686 ]
}

# wine_road: WINE_ROAD, the build whose programs the Windows tests run: i686 (the release build)
# when Wine here runs 32-bit programs natively, else x86_64, with the reason in WINE_ROAD_REASON.
# Where 32-bit code runs only emulated, the x86-64 build runs the tests too: the 32-bit release is
# tried there in a stage of its own (scripts/test.sh calls wine_runs_32bit for it).
# INSTALADOR_WINDOWS_ARCH=x86_64 (or i686) forces a road, so the x86-64 one can be run where
# 32-bit code works too, and the 32-bit one where it works only emulated.
wine_road() {
  WINE_ROAD_REASON=""
  case "${INSTALADOR_WINDOWS_ARCH:-}" in
    x86_64) WINE_ROAD=x86_64; WINE_ROAD_REASON="forced by INSTALADOR_WINDOWS_ARCH=x86_64" ;;
    # Probed all the same: the time-outs need the factor.
    i686) WINE_ROAD=i686; wine_runs_32bit || true ;;
    # Emulated: not even probed, so that the x86-64 road does not wait minutes for it.
    "") if [ "$WINE_32BIT_CODE" = emulated ]; then
          WINE_ROAD=x86_64; WINE_ROAD_REASON="32-bit code runs only emulated here"
        elif ! wine_runs_32bit; then WINE_ROAD=x86_64; WINE_ROAD_REASON=$WINE_32BIT_REASON
        else WINE_ROAD=i686; fi ;;
    *) wine_log "INSTALADOR_WINDOWS_ARCH must be i686 or x86_64, not '$INSTALADOR_WINDOWS_ARCH'"; return 1 ;;
  esac
  return 0
}

# wine_probe_32bit: prints "i686" and an empty line, or "x86_64" and the reason; then the factor
# of time-outs for 32-bit programs and the seconds the probe took to start and end. The prefix it
# tries in is the run's 64-bit template, made here when the run has none yet (through `wine`, or
# under emulation through the 64-bit loader, which starts 32-bit programs through the 32-bit one).
wine_probe_32bit() {
  local dir=$WINE_WORK/probe-32bit template prefix status="" loader=wine started seconds=0 slow=1
  mkdir -p "$dir"
  if ! command -v wine >/dev/null 2>&1; then printf 'x86_64\nWine is not installed\n1\n0\n'; return; fi
  if ! printf 'int main(void) { return 42; }\n' > "$dir/probe.c" ||
     ! i686-w64-mingw32-gcc -O0 -o "$dir/probe32.exe" "$dir/probe.c" >"$dir/build.log" 2>&1; then
    printf 'x86_64\nno 32-bit Windows program to try it with (i686-w64-mingw32-gcc failed)\n1\n0\n'
    return
  fi
  [ "$WINE_32BIT_CODE" = emulated ] && loader=$(wine_loader_for x86_64)
  if [ "$WINE_32BIT_CODE" != none ] &&
     template=$(WINE_LOADER=$loader wine_make_template win64 2>>"$dir/template.log") &&
     prefix=$(wine_clone_prefix "$template" probe-32bit-prefix); then
    started=$(date +%s)
    WINEPREFIX=$prefix timeout -k 10 "$(wine_template_scale 60)" "$loader" "$dir/probe32.exe" >"$dir/run.log" 2>&1 </dev/null
    status=$?
    seconds=$(($(date +%s) - started))
    wine_end_prefix "$prefix"
    rm -rf "$prefix"
    # Ten seconds is plenty where it runs natively: under emulation the factor is well above 1.
    slow=$(((seconds + 9) / 10))
    [ "$slow" -ge 1 ] || slow=1
    [ "$status" -eq 42 ] && { printf 'i686\n\n%s\n%s\n' "$slow" "$seconds"; return; }
  fi
  # Why not, most basic first.
  if [ "$WINE_32BIT_CODE" = none ]; then
    printf 'x86_64\nthis machine runs no 32-bit x86 code (%s)\n' "$WINE_32BIT_CODE_HOW"
  elif ! dpkg -s wine32:i386 >/dev/null 2>&1; then
    printf 'x86_64\nWine here runs no 32-bit programs: wine32 is not installed\n'
  elif [ -z "$status" ]; then
    printf 'x86_64\nWine here runs no 32-bit programs (its loader could not make a prefix)\n'
  else
    printf 'x86_64\nWine here runs no 32-bit programs (a 32-bit .exe ended with status %s after %s s)\n' \
      "$status" "$seconds"
  fi
  printf '1\n%s\n' "$seconds"
}

# wine_end_prefix PREFIX: ends every process of the prefix and its server.
wine_end_prefix() {
  WINEPREFIX=$1 timeout 30 wineserver -k >/dev/null 2>&1
  WINEPREFIX=$1 timeout 30 wineserver -w >/dev/null 2>&1
  return 0
}

# wine_template_scale SECONDS: a time-out for making or changing a prefix. Where wine32 is
# installed Wine fills a new 64-bit prefix's 32-bit side too, at the speed of 32-bit code here.
wine_template_scale() { echo $(($1 * $(wine_32bit_slow))); }

# wine_make_template [KIND]: prints the path of this run's template prefix of KIND (win64, the
# default, or win32), creating it once: wineboot, window frames drawn by Wine itself (there is
# no window manager under Xvfb, and without this screenshots show no captions), the 32-bit
# registry view's folder values where the prefix lacks them, server ended so the registry is on
# disk before it is copied.
wine_make_template() {
  local arch=${1:-win64}
  local template="$WINE_WORK/template-$arch${WINE_TEMPLATE_TAG:-}"
  if [ -f "$template/.ready" ]; then echo "$template"; return 0; fi
  rm -rf "$template"
  # No Mono or Gecko: their installers would open dialogs that nobody answers.
  if ! WINEPREFIX=$template WINEARCH=$arch WINEDLLOVERRIDES="$WINEDLLOVERRIDES;mscoree=d;mshtml=d" \
      timeout -k 10 "$(wine_template_scale 180)" "${WINE_LOADER:-wine}" wineboot.exe -i >"$WINE_WORK/template-$arch.log" 2>&1; then
    wine_log "wineboot failed or timed out for $arch (see $WINE_WORK/template-$arch.log)"
    wine_end_prefix "$template"
    return 1
  fi
  WINEPREFIX=$template timeout -k 10 "$(wine_template_scale 60)" "${WINE_LOADER:-wine}" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated \
    /t REG_SZ /d N /f >>"$WINE_WORK/template-$arch.log" 2>&1 || { wine_log "could not configure $template"; return 1; }
  if [ "$arch" = win64 ]; then
    wine_fill_32bit_view "$template" || { wine_log "could not fill the 32-bit registry view of $template"; return 1; }
  fi
  WINEPREFIX=$template timeout "$(wine_template_scale 60)" wineserver -w >/dev/null 2>&1 || wine_end_prefix "$template"
  # Wine links the user's Desktop, Documents, ... to the host's home folder: links that a
  # program writes there would land outside the prefix and outlive it. Real folders keep them in.
  local folder
  for folder in "$template"/drive_c/users/*/*; do
    if [ -L "$folder" ]; then rm -f "$folder" && mkdir "$folder"; fi
  done
  touch "$template/.ready"
  echo "$template"
}

# wine_clone_prefix TEMPLATE NAME: prints the path of a fresh copy of TEMPLATE for one item.
wine_clone_prefix() {
  local prefix="$WINE_WORK/$2"
  rm -rf "$prefix"
  cp -a "$1" "$prefix" || return 1
  echo "$prefix"
}

# wine_run PREFIX SECONDS OUTBASE PROGRAM ARGS...: runs a Windows program (or a Wine command
# such as "reg") in PREFIX and waits for it; stdout to OUTBASE.out, stderr to OUTBASE.err
# (files, not pipes: Wine's helper processes may hold a pipe open). Returns its exit status,
# 124 on timeout. SECONDS, here and in every function below that takes a time, is what a
# machine running the programs natively needs: they are scaled by WINE_SLOW.
wine_run() {
  local prefix=$1 seconds=$2 outbase=$3
  shift 3
  WINEPREFIX=$prefix timeout -k 10 "$(wine_scale "$seconds")" "${WINE_LOADER:-wine}" "$@" >"$outbase.out" 2>"$outbase.err" </dev/null
}

# wine_start PREFIX SECONDS OUTBASE PROGRAM ARGS...: the same in the background; the process id
# is in WINE_LAST_PID, and wine_wait_exit collects its status.
wine_start() {
  local prefix=$1 seconds=$2 outbase=$3
  shift 3
  WINEPREFIX=$prefix timeout -k 10 "$(wine_scale "$seconds")" "${WINE_LOADER:-wine}" "$@" >"$outbase.out" 2>"$outbase.err" </dev/null &
  WINE_LAST_PID=$!
}

# wine_wait_exit PID [SECONDS [SHOT]]: waits for a program started by wine_start; returns its exit
# status, or 124 when it has not ended in time: then it takes the screenshot SHOT (when given),
# so the log shows what the program was waiting for, and stops it.
wine_wait_exit() {
  local pid=$1 seconds shot=${3:-} i
  seconds=$(wine_scale "${2:-30}")
  for i in $(seq 1 $((seconds * 10))); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    [ -n "$shot" ] && wine_screenshot "$shot" >/dev/null
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    return 124
  fi
  wait "$pid"
}

# wine_run_text PREFIX SECONDS PROGRAM ARGS...: runs PROGRAM as wine_run does and prints what it
# printed (CR removed), its error output to stderr (blank lines dropped); returns its status.
wine_run_text() {
  local prefix=$1 seconds=$2 outbase status
  shift 2
  outbase=$(mktemp "$WINE_WORK/run.XXXXXX")
  wine_run "$prefix" "$seconds" "$outbase" "$@"
  status=$?
  tr -d '\r' < "$outbase.out"
  grep -v '^$' "$outbase.err" >&2
  rm -f "$outbase" "$outbase.out" "$outbase.err"
  return $status
}

# wine_inspect PREFIX ARGS...: runs winprobe.exe in PREFIX and prints what it printed;
# returns its status (0 found/done, 1 not found or timed out, 2 usage). Its --timeout is scaled,
# and given where slow programs need more than winprobe's own default (30 s for wait and gone, 10
# for click).
wine_inspect() {
  local prefix=$1 seconds=30 arg prev="" args=() default=""
  shift
  for arg in "$@"; do
    if [ "$prev" = --timeout ]; then
      seconds=$(( ${arg%.*} + 30 ))
      arg=$(wine_scale "${arg%.*}")
      default=given
    fi
    args+=("$arg")
    prev=$arg
  done
  if [ -z "$default" ] && [ "${WINE_SLOW:-1}" -gt 1 ]; then
    case ${1:-} in
      wait | gone) args+=(--timeout "$(wine_scale 30)"); seconds=60 ;;
      click) args+=(--timeout "$(wine_scale 10)"); seconds=40 ;;
    esac
  fi
  wine_run_text "$prefix" "$seconds" "$WINE_HELPER_BIN/winprobe.exe" "${args[@]}"
}

# wine_read_link PREFIX LINK: prints target=, arguments=, workdir= of a shell link. Like
# winprobe's, the values are escaped (\\ for a backslash, \xNN for other bytes); printf '%b'
# turns them back into the raw text.
wine_read_link() { wine_run_text "$1" 60 "$WINE_HELPER_BIN/lnkread.exe" "$2"; }

# wine_reg_query PREFIX KEY VALUE: prints the data of one registry value (nothing when missing).
# Add /reg:32 style options after VALUE if needed.
wine_reg_query() {
  local prefix=$1 key=$2 value=$3 out
  shift 3
  out=$(wine_run_text "$prefix" 60 reg query "$key" /v "$value" "$@" 2>/dev/null) || return
  # "    NAME    REG_SZ    DATA"
  awk -v v="$value" 'tolower($1) == tolower(v) { sub(/^ *[^ ]+ +[^ ]+ +/, ""); print; exit }' <<<"$out"
}

# wine_unix_path PREFIX WINDOWS_PATH: the host path of a C:\ path inside the prefix. Windows
# names ignore case and the host's do not: a part that exists in another case is spelled as on
# disk (Wine makes C:\windows\temp), so a check of C:\windows\Temp\X looks where X would be.
wine_unix_path() {
  local path=${2//\\//} host part entry name
  case "$path" in
    [cC]:*) ;;
    *) echo "$path"; return 0 ;;
  esac
  host=$1/drive_c
  local -a parts
  IFS=/ read -r -a parts <<<"${path:2}"
  for part in "${parts[@]}"; do
    [ -n "$part" ] || continue
    if [ ! -e "$host/$part" ] && [ ! -L "$host/$part" ]; then
      for entry in "$host"/*; do
        name=${entry##*/}
        if [ "${name,,}" = "${part,,}" ]; then part=$name; break; fi
      done
    fi
    host=$host/$part
  done
  echo "$host"
}

# wine_screen_settled WINDOW: where programs run slowly, waits until WINDOW (an X window id, or
# root) looks the same twice in a row, at most a few scaled seconds: a window that has just shown
# may still be painting its controls.
wine_screen_settled() {
  local before=$WINE_WORK/screen-before.rgb now=$WINE_WORK/screen-now.rgb deadline
  [ "${WINE_SLOW:-1}" -gt 1 ] || return 0
  deadline=$(($(date +%s) + $(wine_scale 3)))
  timeout 30 import -window "$1" "rgb:$before" >/dev/null 2>&1 || return 0
  while [ "$(date +%s)" -lt "$deadline" ]; do
    sleep 2
    timeout 30 import -window "$1" "rgb:$now" >/dev/null 2>&1 || break
    cmp -s "$before" "$now" && break
    mv -f "$now" "$before"
  done
  rm -f "$before" "$now"
}

# wine_screenshot NAME [CAPTION]: saves WINE_ARTIFACTS/NAME.png of the whole screen, or of the
# X window whose title is CAPTION. Prints the file's path.
wine_screenshot() {
  local file="$WINE_ARTIFACTS/$1.png" window=root
  if [ -n "${2:-}" ]; then
    window=$(timeout 10 xdotool search --name "^$2\$" 2>/dev/null | head -n 1)
    [ -n "$window" ] || { wine_log "no X window titled '$2'"; return 1; }
  fi
  wine_screen_settled "$window"
  timeout 30 import -window "$window" "$file" >/dev/null 2>&1 || { wine_log "screenshot failed"; return 1; }
  echo "$file"
}

# wine_field KEY: the value of KEY in the first winprobe line on stdin (quotes removed,
# escapes kept), e.g.  wine_inspect "$p" wait Pliegorama | wine_field size
wine_field() {
  sed -n -e "s/^.* $1=\"\(\([^\"\\\\]\|\\\\.\)*\)\".*\$/\1/p" -e t -e "s/^.* $1=\([^ ]*\).*\$/\1/p" | head -n 1
}

# Checks for scenario scripts: each prints "ok NAME" or "FAIL NAME: why" and returns 1 when it
# failed, so a step can stop early; wine_checks_done ends the script with status 1 when any failed.
WINE_CHECKS_FAILED=0
wine_check() {  # wine_check NAME COMMAND...: passes when COMMAND succeeds (its output is dropped)
  local name=$1
  shift
  if "$@" >/dev/null; then
    echo "ok $name"
  else
    echo "FAIL $name: '$*' failed"
    WINE_CHECKS_FAILED=$((WINE_CHECKS_FAILED + 1))
    return 1
  fi
}
wine_expect_eq() {  # wine_expect_eq NAME EXPECTED ACTUAL
  if [ "$2" = "$3" ]; then
    echo "ok $1"
  else
    echo "FAIL $1: expected '$2', got '$3'"
    WINE_CHECKS_FAILED=$((WINE_CHECKS_FAILED + 1))
    return 1
  fi
}
wine_checks_done() {
  if [ "$WINE_CHECKS_FAILED" -ne 0 ]; then
    echo "$WINE_CHECKS_FAILED check(s) failed"
    exit 1
  fi
  echo "all checks passed"
  exit 0
}

# wine_cache_value VAR: a variable of the build's CMakeCache.txt (empty when unset).
wine_cache_value() {
  sed -n "s/^$1:[A-Z]*=//p" "$WINE_BUILD_DIR/CMakeCache.txt" 2>/dev/null | head -n 1
}

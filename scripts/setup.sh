#!/usr/bin/env bash
# Installs what the builds and tests need, only what is missing (idempotent).
# A package mirror caught mid-sync does not stop it: the index is fetched again a few times, and
# when one list still fails it goes on with the lists there are and says so. Only a failed install
# of the packages themselves stops it, with apt's own message.
# Wine's 32-bit side (the i386 architecture and wine32:i386) comes only on a machine that runs
# 32-bit x86 code, found out by starting a tiny static i386 program (scripts/runs_32bit_code.sh),
# and in an apt-get call of its own, so that its failure sinks nothing else. Where the kernel
# refuses such programs, qemu's user-mode emulator is installed and registered for them first.
# Without Wine's 32-bit side the Windows tests run the x86-64 test build (tests/wine/lib.sh
# decides).
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1

packages=(cmake ninja-build g++ clang libclang-rt-14-dev zlib1g-dev libgtest-dev googletest libbenchmark-dev
          g++-mingw-w64-i686 g++-mingw-w64-x86-64 libz-mingw-w64-dev mingw-w64-tools wine wine64 xvfb xdotool
          x11-utils imagemagick file osslsigncode openssl clang-format shellcheck)

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
log=$(mktemp) || exit 1
trap 'rm -f "$log"' EXIT

missing() {  # missing PACKAGE...: the ones dpkg does not know as installed
  local pkg
  for pkg in "$@"; do dpkg -s "$pkg" >/dev/null 2>&1 || echo "$pkg"; done
}

# update_index: apt-get update, tried three times; when a list still fails, one line says so and
# the lists that are there are used.
index_updated=0
update_index() {
  local try
  [ "$index_updated" = 1 ] && return 0
  index_updated=1
  for try in 1 2 3; do
    $SUDO apt-get update -qq >"$log" 2>&1 && return 0
    [ "$try" -lt 3 ] && sleep $((try * 5))
  done
  echo "setup: the package index is incomplete after 3 tries ($(grep -m 1 '^E:' "$log" | cut -c 4-160));" \
       "going on with the lists there are"
}

mapfile -t need < <(missing "${packages[@]}")
if [ ${#need[@]} -gt 0 ]; then
  update_index
  echo "setup: installing ${need[*]}"
  if ! DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${need[@]}" >"$log" 2>&1; then
    echo "setup: the install failed; apt-get said:" >&2
    grep -v '^\(Selecting\|Preparing\|Unpacking\|Setting up\|Processing\)' "$log" | tail -n 20 >&2
    exit 1
  fi
fi

# register_i386_handler: qemu-i386-static registered with binfmt_misc for i386 ELF programs, as
# Debian's package does for foreign architectures but not for i386 on amd64 (such hosts normally
# run it natively). Flag F: the kernel opens the interpreter now, so it works in any mount
# namespace and chroot. Each failure: one line, status 1.
qemu_i386=/usr/bin/qemu-i386-static
binfmt=/proc/sys/fs/binfmt_misc
register_i386_handler() {
  local entry=$binfmt/qemu-i386
  if [ ! -e "$binfmt/register" ] && ! $SUDO mount -t binfmt_misc binfmt_misc "$binfmt" >"$log" 2>&1; then
    echo "setup: binfmt_misc cannot be mounted at $binfmt ($(head -n 1 "$log"));" \
         "no emulation of 32-bit code, the Windows tests run the x86-64 build"
    return 1
  fi
  if [ -e "$entry" ]; then
    if ! grep -qx "interpreter $qemu_i386" "$entry"; then
      echo "setup: binfmt_misc has a handler qemu-i386 for another program ($(sed -n 's/^interpreter //p' "$entry"));" \
           "left as it is, no emulation of 32-bit code"
      return 1
    fi
    echo 1 | $SUDO tee "$entry" >/dev/null 2>"$log" && { echo "setup: enabled the i386 handler again"; return 0; }
  else
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:'`
      `'\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$qemu_i386:F" |
      $SUDO tee "$binfmt/register" >/dev/null 2>"$log" && { echo "setup: registered $qemu_i386 for i386 programs"; return 0; }
  fi
  echo "setup: the i386 handler cannot be registered in $binfmt ($(head -n 1 "$log" | sed 's/^tee: //'));" \
       "no emulation of 32-bit code, the Windows tests run the x86-64 build"
  return 1
}

# Where the kernel refuses 32-bit programs, qemu's user-mode emulation runs them: Wine's 32-bit
# side then runs too, slowly. Only on that refusal: a handler on a machine that runs i386 natively
# would take every 32-bit program there.
road=$(scripts/runs_32bit_code.sh)
case $road in
  "none: "*"Exec format error")
    if [ -n "$(missing qemu-user-static)" ]; then
      update_index
      if DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends qemu-user-static \
          >"$log" 2>&1; then
        echo "setup: installed qemu-user-static, this machine runs no 32-bit x86 code itself"
      else
        echo "setup: qemu-user-static cannot be installed ($(grep -m 1 '^E:' "$log" | cut -c 4-160));" \
             "no emulation of 32-bit code, the Windows tests run the x86-64 build"
      fi
    fi
    [ -x "$qemu_i386" ] && register_i386_handler && road=$(scripts/runs_32bit_code.sh)
    case $road in
      emulated*) ;;
      *) [ -x "$qemu_i386" ] && echo "setup: 32-bit code does not run even with $qemu_i386 (${road#none: })" ;;
    esac ;;
esac

if [ -z "$(missing wine32:i386)" ]; then
  :
elif [ "${road%%:*}" = none ]; then
  echo "setup: this machine runs no 32-bit x86 code (${road#none: });" \
       "no wine32:i386, the Windows tests run the x86-64 build"
else
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
    index_updated=0
  fi
  update_index
  if DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq wine32:i386 >"$log" 2>&1; then
    echo "setup: installed wine32:i386 (32-bit code runs ${road%%:*} here)"
  else
    echo "setup: wine32:i386 cannot be installed ($(grep -m 1 '^E:' "$log" | cut -c 4-160));" \
         "going on without it, the Windows tests run the x86-64 build"
  fi
fi
exit 0

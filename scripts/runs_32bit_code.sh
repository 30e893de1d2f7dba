#!/usr/bin/env bash
# Says in one line how this machine runs 32-bit x86 code; the line's first word is the road:
#   native              the kernel runs it itself (exit status 0)
#   emulated: HANDLER   a binfmt_misc handler runs it, e.g. qemu-i386 (exit status 0)
#   none: WHY           it does not run (exit status 1); WHY ends in "Exec format error" when the
#                       kernel refused the program, the one case scripts/setup.sh registers a handler in
# It finds out by running a static i386 program of 96 bytes written here: the ELF header (32-bit,
# little-endian, executable, machine 386, entry 0x08048054), one loadable segment holding the
# whole file at 0x08048000, then the code, exit(42) through int 0x80. A kernel without IA-32
# emulation refuses it with "Exec format error". A binfmt_misc handler whose magic matches it
# runs it instead, and runs it before the kernel's own ELF loader would: then the program ran
# emulated, even on a machine that could run it natively.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
binfmt=/proc/sys/fs/binfmt_misc

# In the build folder: a temporary folder may be mounted without the right to run programs.
mkdir -p build && dir=$(mktemp -d build/.probe-i386.XXXXXX) || { echo "none: no folder to write the program in"; exit 1; }
trap 'rm -rf "$dir"' EXIT
printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08'`
      `'\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00'`
      `'\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00'`
      `'\x05\x00\x00\x00\x00\x10\x00\x00'`
      `'\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' > "$dir/exit42"
chmod +x "$dir/exit42"

# handler_for FILE: "NAME (INTERPRETER)" of the enabled binfmt_misc handler the kernel would hand
# FILE to; status 1 when none would (or binfmt_misc is not mounted, so none can be seen). The
# kernel compares (byte XOR magic) AND mask, byte by byte from the offset; magic is stored masked.
handler_for() {
  local head entry offset magic mask i m k b
  [ "$(cat "$binfmt/status" 2>/dev/null)" = enabled ] || return 1
  head=$(od -An -v -tx1 "$1" | tr -d ' \n')
  for entry in "$binfmt"/*; do
    case ${entry##*/} in status | register) continue ;; esac
    [ "$(head -n 1 "$entry" 2>/dev/null)" = enabled ] || continue
    magic=$(sed -n 's/^magic //p' "$entry")
    [ -n "$magic" ] || continue  # a handler by file name extension
    offset=$(sed -n 's/^offset //p' "$entry")
    mask=$(sed -n 's/^mask //p' "$entry")
    for ((i = 0; i < ${#magic} / 2; i++)); do
      b=${head:$(((${offset:-0} + i) * 2)):2}
      m=${magic:$((i * 2)):2}
      k=${mask:$((i * 2)):2}
      if [ -z "$b" ] || (( ((0x$b ^ 0x$m) & 0x${k:-ff}) != 0 )); then continue 2; fi
    done
    echo "${entry##*/} ($(sed -n 's/^interpreter //p' "$entry"))"
    return 0
  done
  return 1
}

handler=$(handler_for "$dir/exit42")
# Started by bash itself: through timeout or env, an exec format error would make execvp hand
# the file to /bin/sh as a script.
out=$("$dir/exit42" 2>&1)
status=$?
if [ "$status" -eq 42 ]; then
  if [ -n "$handler" ]; then echo "emulated: $handler"; else echo native; fi
  exit 0
fi
echo "none: a static i386 program${handler:+ through $handler}: $(echo "${out:-exit status $status}" | tail -n 1 | sed 's/^.*: //')"
exit 1

#!/usr/bin/env bash
# Exit status 0 when this machine runs 32-bit x86 code; else status 1 and one line saying what
# happened. It finds out by running a static i386 program of 96 bytes written here: the ELF
# header (32-bit, little-endian, executable, machine 386, entry 0x08048054), one loadable segment
# holding the whole file at 0x08048000, then the code, exit(42) through int 0x80. A kernel
# without IA-32 emulation refuses it with "Exec format error".
set -uo pipefail
cd "$(dirname "$0")/.."
# In the build folder: a temporary folder may be mounted without the right to run programs.
mkdir -p build && dir=$(mktemp -d build/.probe-i386.XXXXXX) || { echo "no folder to write the program in"; exit 1; }
trap 'rm -rf "$dir"' EXIT
printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08'`
      `'\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00'`
      `'\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00'`
      `'\x05\x00\x00\x00\x00\x10\x00\x00'`
      `'\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' > "$dir/exit42"
chmod +x "$dir/exit42"
# Started by bash itself: through timeout or env, an exec format error would make execvp hand
# the file to /bin/sh as a script.
out=$("$dir/exit42" 2>&1)
status=$?
[ "$status" -eq 42 ] && exit 0
echo "a static i386 program: $(echo "${out:-exit status $status}" | tail -n 1 | sed 's/^.*: //')"
exit 1

#!/usr/bin/env bash
# Release checks of the Windows build, run after scripts/build.sh win32. One line per check
# (PASS, FAIL or NOT RUN, then the detail: scripts/report.sh); exit status 1 when any failed, 77
# when none failed but one could not run here.
# Usage: scripts/check_release.sh [shipped|reproducible|signed|signed-build|signed-start|all]
#        (default: all)
#   shipped       Instalador.exe and DesInstalador.exe of build/win32 import only Windows' KnownDLLs
#                 (no import of a DLL that a user could plant beside them),
#                 keep DYNAMIC_BASE (with relocations), NX_COMPAT and TERMINAL_SERVER_AWARE, and carry
#                 the stack protector's run-time; their code (the text column of
#                 i686-w64-mingw32-size: code, read-only data and unwind tables, without the
#                 resources) stays under its limit
#   reproducible  a clean build of the installer target in build/release-check gives the same
#                 SHA-256 as build/win32 for Instalador.exe, DesInstalador.exe and the stand-ins
#   signed        signed-build, then signed-start:
#   signed-build  build/release-check built again, signed with a throwaway self-signed
#                 certificate: osslsigncode verify accepts both programs against it, the signed
#                 installer's payload extracts to the carried files byte for byte
#   signed-start  the signed installer of signed-build starts under Wine and shows its window,
#                 where Wine runs 32-bit programs, natively or emulated (not run where it runs
#                 none, or with INSTALADOR_WINDOWS_ARCH=x86_64)
# The signed check reuses build/release-check's objects when the reproducible check built it,
# and the Wine template prefix of WINE_WORK when the caller shares one (scripts/test.sh does).
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
repo=$PWD
win=$repo/build/win32
check=$repo/build/release-check
tools=$repo/build/host/bin
logs=$repo/artifacts/release
objdump=i686-w64-mingw32-objdump
mkdir -p "$logs"

# shellcheck source=report.sh
source scripts/report.sh

# Windows' KnownDLLs: loaded from the system folder whatever the search order, so an import
# of one cannot be planted beside the program in a folder other users can write (Downloads).
known_dlls="advapi32 clbcatq combase comdlg32 coml2 gdi32 gdiplus imagehlp imm32 kernel32 msctf msvcrt
            normaliz nsi ole32 oleaut32 psapi rpcrt4 sechost setupapi shcore shell32 shlwapi user32 wldap32 ws2_32"

imported_dlls() { sed -n 's/^\tDLL Name: //p'; }  # imported_dlls < HEADERS

# shipped_problems EXE HEADERS: prints one line per problem of one program (nothing when it has
# none), from its file and its headers as objdump -p prints them.
shipped_problems() {
  local exe=$1 headers=$2 dll name flags
  while read -r dll; do
    name=$(echo "$dll" | tr 'A-Z' 'a-z')
    name=${name%.dll}
    case " $(echo $known_dlls) " in
      *" $name "*) ;;
      *) echo "imports $dll, not a KnownDLL: it can be planted beside the program" ;;
    esac
  done < <(imported_dlls <<<"$headers")
  # A crypto provider loads its DLLs by name (bcrypt, crypt32, ...): libssp's start-up seeding
  # did so before WinMain could narrow the search; the build's own run-time needs none.
  grep -q '^\s*[0-9a-f]*\s*[0-9]*\s*CryptAcquireContext' <<<"$headers" && echo "imports CryptAcquireContext: a crypto provider's DLLs are found by name"
  # Delay-loaded DLLs are looked up along the search path at first use: none at all.
  grep -q '^Entry d 00000000 00000000 Delay Import Directory' <<<"$headers" || echo "has delay-load imports"
  flags=$(sed -n 's/^DllCharacteristics[[:space:]]*\([0-9a-fA-F]*\)$/\1/p' <<<"$headers")
  (( (0x$flags & 0x40) != 0 )) || echo "DYNAMIC_BASE is not set (DllCharacteristics $flags)"
  (( (0x$flags & 0x100) != 0 )) || echo "NX_COMPAT is not set (DllCharacteristics $flags)"
  # Without it a Remote Desktop Session Host hands the program a per-user Windows folder.
  (( (0x$flags & 0x8000) != 0 )) || echo "TERMINAL_SERVER_AWARE is not set (DllCharacteristics $flags)"
  # Without relocations the loader cannot move the image, whatever DYNAMIC_BASE says.
  grep -q '^Entry 5 00000000 00000000 Base Relocation' <<<"$headers" && echo "has no base relocations"
  # The stack protector's run-time (platform/win32/stack_protector.c) is linked in only when
  # protected code refers to its canary: its failure message is then in the program.
  grep -a -q 'stack smashing detected' "$exe" || echo "no stack protector (no protected function refers to the canary)"
}

check_shipped() {
  local exe headers problems imports
  for exe in Instalador.exe DesInstalador.exe; do
    if [ ! -f "$win/bin/$exe" ]; then
      report FAIL "shipped program $exe" "not built: scripts/build.sh win32"
      continue
    fi
    if headers=$("$objdump" -p "$win/bin/$exe" 2>&1); then
      problems=$(shipped_problems "$win/bin/$exe" "$headers")
    else
      problems="objdump cannot read it: $(head -n 1 <<<"$headers")"
    fi
    if [ -z "$problems" ]; then
      imports=$(imported_dlls <<<"$headers" | tr '\n' ' ' | sed 's/ $//')
      report PASS "shipped program $exe" "imports $imports; DYNAMIC_BASE, NX_COMPAT, TERMINAL_SERVER_AWARE, stack protector"
    else
      report FAIL "shipped program $exe" "$(echo "$problems" | wc -l) problem(s)"
      report_details <<<"$problems"
    fi
  done
}

# Code sizes in bytes, a little over what the programs need today: the parts of the C++
# run-time that they keep out (locales, file streams, std::filesystem, the wide string: UTF-16
# goes in std::u16string) must not come back.
size_limits="Instalador.exe:540000 DesInstalador.exe:345000"

check_sizes() {
  local entry exe limit text
  for entry in $size_limits; do
    exe=${entry%%:*}
    limit=${entry#*:}
    if ! text=$(i686-w64-mingw32-size "$win/bin/$exe" 2>/dev/null | awk 'NR == 2 { print $1 }') || [ -z "$text" ]; then
      report FAIL "code size of $exe" "not built: scripts/build.sh win32"
    elif [ "$text" -le "$limit" ]; then
      report PASS "code size of $exe" "$text bytes, limit $limit"
    else
      report FAIL "code size of $exe" "$text bytes, over the limit of $limit: see what a link map (-Wl,-Map) brings in"
    fi
  done
}

# The programs a build of the installer target makes: the installer and what it carries.
programs=(Instalador.exe DesInstalador.exe Pliegorama.exe OracleXEClient.exe)

check_reproducible() {
  local start=$SECONDS log=$logs/reproducible-build.log exe a b differ=()
  rm -rf "$check"
  if ! scripts/build.sh installer "$check" >"$log" 2>&1; then
    report FAIL "reproducible build" "the second build failed, log ${log#"$repo"/}"
    tail -n 15 "$log" | report_details
    return
  fi
  for exe in "${programs[@]}"; do
    a=$(sha256sum < "$win/bin/$exe" 2>/dev/null | cut -c1-64)
    b=$(sha256sum < "$check/bin/$exe" 2>/dev/null | cut -c1-64)
    [ -n "$a" ] && [ "$a" = "$b" ] || differ+=("$exe: build/win32 ${a:-missing}, build/release-check ${b:-missing}")
  done
  if [ ${#differ[@]} -eq 0 ]; then
    report PASS "reproducible build" "${#programs[@]} programs byte-identical in build/win32 and build/release-check,\
 Instalador.exe sha256 $(sha256sum < "$check/bin/Instalador.exe" | cut -c1-16)..., $((SECONDS - start)) s"
  else
    report FAIL "reproducible build" "${#differ[@]} of ${#programs[@]} programs differ"
    printf '%s\n' "${differ[@]}" | report_details
  fi
}

# make_certificate DIR: a throwaway self-signed code-signing certificate in DIR (cert.pem, and
# cert.pfx protected by the random password in DIR/password).
make_certificate() {
  local dir=$1
  rm -rf "$dir"
  # Only the certificate's own folder is private; the build folder above it is made as usual.
  mkdir -p "$(dirname "$dir")" && mkdir -m 700 "$dir" || return 1
  openssl rand -hex 16 > "$dir/password" &&
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Instalador release check" \
    -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
    -keyout "$dir/key.pem" -out "$dir/cert.pem" &&
  openssl pkcs12 -export -inkey "$dir/key.pem" -in "$dir/cert.pem" -out "$dir/cert.pfx" \
    -passout "file:$dir/password"
}

# signed_start_scenario: the signed installer in a fresh prefix: its window shows, "Cerrar" ends
# it with status 0. Prints the harness's check lines; exit status 1 when one failed.
signed_start_scenario() (
  # The harness's programs (winprobe.exe) come from the full Windows builds (lib.sh's wine_set_helpers).
  # shellcheck source=../tests/wine/install_lib.sh
  source tests/wine/install_lib.sh "" "$win" signed || exit 1
  # shellcheck disable=SC2034  # read by install_lib.sh's inst_prefix
  INST_TEMPLATE=$(wine_make_template) || exit 1
  inst_prefix start || exit 1
  wine_check "the signed installer shows its window \"$INST_CAPTION\"" inst_start "$check/bin/Instalador.exe"
  inst_shot window
  inst_close "\"Cerrar\" ends the signed installer with status 0"
  inst_end
  rm -rf "$PREFIX"
  wine_checks_done
)

check_signed_build() {
  local start=$SECONDS log=$logs/signed-build.log certs=$check/signing exe out problems="" item carried
  if ! make_certificate "$certs" >"$log" 2>&1; then
    report FAIL "signed build" "openssl could not make the test certificate, log ${log#"$repo"/}"
    tail -n 5 "$log" | report_details
    return
  fi
  if ! scripts/build.sh installer "$check" -DINSTALADOR_SIGN_PFX="$certs/cert.pfx" \
      -DINSTALADOR_SIGN_PASSWORD_FILE="$certs/password" >>"$log" 2>&1; then
    report FAIL "signed build" "the build failed, log ${log#"$repo"/}"
    tail -n 15 "$log" | report_details
    return
  fi

  for exe in Instalador.exe DesInstalador.exe; do
    out=$(osslsigncode verify -CAfile "$certs/cert.pem" -in "$check/bin/$exe" 2>&1)
    if [ $? -ne 0 ]; then
      problems+="$exe: $(grep -i -m 3 'fail\|error\|mismatch\|No signature' <<<"$out" | tr '\n' ' ')"$'\n'
    elif ! grep -q -i '^Message digest algorithm *: SHA256' <<<"$out"; then
      problems+="$exe: not signed with SHA-256"$'\n'
    fi
  done
  if [ -z "$problems" ]; then
    report PASS "signed build: osslsigncode verify" "Instalador.exe and DesInstalador.exe, SHA-256, signer\
 CN=Instalador release check, no time stamp, $((SECONDS - start)) s with the build"
  else
    report FAIL "signed build: osslsigncode verify" "against the test certificate"
    printf '%s' "$problems" | report_details
  fi

  # Up to its signature the signed uninstaller is the unsigned one of build/win32: signing
  # adds the certificate table and the checksum, nothing else.
  rm -f "$check/unsigned.exe"
  if osslsigncode remove-signature -in "$check/bin/DesInstalador.exe" -out "$check/unsigned.exe" >>"$log" 2>&1 &&
     cmp -s "$check/unsigned.exe" "$win/bin/DesInstalador.exe"; then
    report PASS "signed build: reproducible up to the signature" "DesInstalador.exe without its signature is build/win32's"
  else
    report FAIL "signed build: reproducible up to the signature" \
      "DesInstalador.exe without its signature differs from build/win32's, log ${log#"$repo"/}"
  fi

  # The payload as the signed installer carries it: the signed uninstaller, the others as built.
  out=$check/extracted
  rm -rf "$out"
  problems=""
  if ! "$tools/payload" extract "$check/bin/Instalador.exe" "$out" >>"$log" 2>&1; then
    problems="payload extract failed: $(tail -n 1 "$log")"$'\n'
  else
    for carried in "$check/bin/Pliegorama.exe" "$check/standins/tnsnames.ora" "$check/bin/OracleXEClient.exe" \
                   "$check/bin/DesInstalador.exe"; do
      item=$out/$(basename "$carried")
      cmp -s "$carried" "$item" || problems+="$(basename "$carried") differs from ${carried#"$repo"/}"$'\n'
    done
    [ "$(find "$out" -type f | wc -l)" -eq 4 ] || problems+="$(find "$out" -type f | wc -l) files extracted, not 4"$'\n'
  fi
  if [ -z "$problems" ]; then
    report PASS "signed build: payload" "the 4 carried files extract byte for byte, the signed DesInstalador.exe among them"
  else
    report FAIL "signed build: payload" "from build/release-check/bin/Instalador.exe"
    printf '%s' "$problems" | report_details
  fi

}

check_signed_start() {
  local start=$SECONDS log=$logs/signed-start.log road
  if ! osslsigncode verify -CAfile "$check/signing/cert.pem" -in "$check/bin/Instalador.exe" >/dev/null 2>&1; then
    report FAIL "signed build: starts under Wine" "no signed build in build/release-check: $0 signed-build first"
    return
  fi
  # The signed installer is the 32-bit release: only a Wine that runs 32-bit programs can start it.
  if [ -z "${WINE_WORK:-}" ]; then
    WINE_WORK=$(mktemp -d /tmp/instalador-wine.XXXXXX) && export WINE_WORK && trap 'rm -rf "$WINE_WORK"' EXIT
  fi
  # shellcheck source=../tests/wine/lib.sh
  source tests/wine/lib.sh
  road=$(wine_32bit_code_line)
  if [ "${INSTALADOR_WINDOWS_ARCH:-}" = x86_64 ]; then
    report "NOT RUN" "signed build: starts under Wine" "the signed installer is a 32-bit program; forced off by INSTALADOR_WINDOWS_ARCH=x86_64"
  elif ! wine_runs_32bit; then
    report "NOT RUN" "signed build: starts under Wine" "the signed installer is a 32-bit program; $WINE_32BIT_REASON"
  elif signed_start_scenario >"$log" 2>&1 </dev/null; then
    report PASS "signed build: starts under Wine" "$road; window shown, \"Cerrar\" ends it, $((SECONDS - start)) s"
  else
    report FAIL "signed build: starts under Wine" "$road; log ${log#"$repo"/}"
    grep '^FAIL' "$log" | report_details
  fi
}

case "${1:-all}" in
  shipped) check_shipped; check_sizes ;;
  reproducible) check_reproducible ;;
  signed) check_signed_build; check_signed_start ;;
  signed-build) check_signed_build ;;
  signed-start) check_signed_start ;;
  all) check_shipped; check_sizes; check_reproducible; check_signed_build; check_signed_start ;;
  *) echo "usage: $0 [shipped|reproducible|signed|signed-build|signed-start|all]" >&2; exit 2 ;;
esac
report_exit

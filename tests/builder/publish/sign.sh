#!/usr/bin/env bash
# corvantis-build sign end to end, with keys and certificates made here by openssl (a test
# root and a code-signing certificate it issued):
#   - an installer in integrity mode 2 signed with PEM files, one in mode 3 signed with a
#     PKCS#12 file and its password: osslsigncode verifies both against the test root and
#     the builder's own checks still pass;
#   - installers that signing would break are refused, and nothing is written: file data
#     outside the mapped section (code 46), the engine checksum (code 40), a signed file;
#   - under Wine, with the test root added to the prefix's root store (Wine's chain engine
#     is asked to confirm that it now trusts the chain), both install silently;
#   - one byte of an installed file changed after signing (its checksums set to match, so
#     that only the signature can tell): both modes refuse it with exit code 2, mode 2 with
#     TRUST_E_BAD_DIGEST in its report (code 1012).
# Usage: sign.sh BUILDER; the engine is taken from $CORVANTIS_WIN_BIN (scripts/wine-env),
# Wine must be running (scripts/wine-start).
set -euo pipefail
builder="$1"
stub="$CORVANTIS_WIN_BIN/corvantis-setup.exe"
[ "${CORVANTIS_ENGINE:-}" = x64 ] && stub="$CORVANTIS_WIN_BIN/corvantis-setup-x64.exe"
work="$(mktemp -d /tmp/cs-sign.XXXXXX)"
trap 'rm -rf "$work"' EXIT
cd "$work"
failed=0
ok() { echo "ok: $*"; }
bad() { echo "FAILED: $*"; failed=1; }

# --- keys and certificates
cat >openssl.cnf <<'CNF'
[req]
distinguished_name = dn
prompt = no
[dn]
CN = Corvantis Test Root
[root]
basicConstraints = critical,CA:TRUE
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
[leaf]
basicConstraints = CA:FALSE
keyUsage = critical,digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
CNF
openssl req -x509 -newkey rsa:2048 -nodes -keyout root.key -out root.pem -days 30 \
  -config openssl.cnf -extensions root 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout leaf.key -out leaf.csr -config openssl.cnf \
  -subj '/CN=Corvantis Test Publisher' 2>/dev/null
openssl x509 -req -in leaf.csr -CA root.pem -CAkey root.key -CAcreateserial -out leaf.pem \
  -days 30 -extfile openssl.cnf -extensions leaf 2>/dev/null
cat leaf.pem root.pem >chain.pem
echo 'test password' >password.txt
openssl pkcs12 -export -inkey leaf.key -in leaf.pem -certfile root.pem -out leaf.p12 \
  -passout file:password.txt

# --- installers
echo "signed contents" >payload.txt
project() { # name, integrity mode, extra [install] lines
  printf '[product]\nname = "%s"\nversion = "1.0"\npublisher = "Corvantis Tests"\n[install]\nintegrity_check = "%s"\n%s\n[options]\ncompress_files = false\n[texts]\n13 = "Damaged."\n[[file]]\nsource = "payload.txt"\n' \
    "$1" "$2" "${3:-}" >"$1.toml"
  "$builder" build "$1.toml" -o "$1.exe" --stub "$stub"
}
project SignMode2 signature
project SignMode3 signature-lenient
project SignExternal signature 'external_data = true'
project SignChecksum checksum

"$builder" sign SignMode2.exe --cert chain.pem --key leaf.key -o mode2.exe >/dev/null
"$builder" sign SignMode3.exe --pkcs12 leaf.p12 --password-file password.txt -o mode3.exe >/dev/null
for f in mode2.exe mode3.exe; do
  if osslsigncode verify -CAfile root.pem "$f" 2>&1 | grep -q '^Signature verification: ok'; then
    ok "osslsigncode verifies $f"; else bad "osslsigncode does not verify $f"; fi
  if "$builder" inspect "$f" >/dev/null; then ok "$f passes the builder's checks"; else bad "$f fails inspect"; fi
done
if ! cmp -s SignMode2.exe mode2.exe && [ "$(stat -c %s mode2.exe)" -gt "$(stat -c %s SignMode2.exe)" ]; then
  ok "the signature was appended"; else bad "mode2.exe is not a signed copy"; fi

cp mode2.exe SignAgain.exe
for refused in "SignExternal:code 46" "SignChecksum:code 40" "SignAgain:signed already"; do
  name="${refused%%:*}" why="${refused#*:}"
  if "$builder" sign "$name.exe" --cert chain.pem --key leaf.key -o "$name-signed.exe" 2>err.txt; then
    bad "$name was signed"
  elif grep -q "$why" err.txt && [ ! -e "$name-signed.exe" ]; then
    ok "$name refused: $(cat err.txt)"
  else bad "$name refused without saying $why, or left a file: $(cat err.txt)"; fi
done

# --- the test root into the prefix's root store: the certificate's serialized form (one
# property, 0x20: the encoded certificate) under its SHA-1 thumbprint, as Windows keeps it.
thumb=$(openssl x509 -in root.pem -noout -fingerprint -sha1 | sed 's/.*=//; s/://g')
blob=$(/usr/bin/python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(); print((struct.pack("<III",0x20,1,len(d))+d).hex())' \
  <(openssl x509 -in root.pem -outform DER))
key="HKLM\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\$thumb"
trap 'timeout 60 "$CORVANTIS_WINE" reg delete "$key" /f >/dev/null 2>&1; rm -rf "$work"' EXIT
timeout 60 "$CORVANTIS_WINE" reg add "$key" /v Blob /t REG_BINARY /d "$blob" /f >/dev/null

install_dir="C:\\cs-sign-test"
linux_dir="$WINEPREFIX/drive_c/cs-sign-test"
for mode in 2 3; do
  rm -rf "$linux_dir"
  rc=0
  WINEDEBUG=-all,trace+chain timeout 120 "$CORVANTIS_WINE" "mode$mode.exe" /silent "/d:$install_dir\\m$mode" \
    </dev/null >/dev/null 2>chain.txt || rc=$?
  status=$(grep 'CertGetCertificateChain error status' chain.txt | tail -n 1 | sed 's/.*: //')
  if [ "$status" = 00000000 ]; then ok "mode $mode: Wine's chain engine trusts the test root"; else
    bad "mode $mode: the chain's error status is '$status', not 0"; fi
  if [ "$rc" = 0 ] && cmp -s payload.txt "$linux_dir/m$mode/payload.txt"; then
    ok "mode $mode: the signed installer installs"; else bad "mode $mode: exit code $rc, file missing or different"; fi
done

# --- one byte of an installed file's contents changed after signing, with the chunk's and
# the stream's CRC-32 set to match (the files are stored uncompressed): every payload check
# passes (inspect says so), only the signature can tell.
change_file_byte() { # in, out
  "$builder" inspect "$1" >inspect.json
  /usr/bin/python3 - "$1" "$2" <<'PY'
import json, struct, sys, zlib
j = json.load(open("inspect.json"))
b = bytearray(open(sys.argv[1], "rb").read())
section = j["section"]["rawOffset"]
stream = section + j["dataStream"]["offset"]
length = j["dataStream"]["length"]
at = b.index(b"signed contents", stream, stream + length)
b[at] ^= 0x20  # "signed" becomes "Signed"
n = struct.unpack_from("<i", b, stream)[0]  # one chunk: length, CRC-32, data
struct.pack_into("<I", b, stream + 4, zlib.crc32(b[stream + 8:stream + 8 + n]))
struct.pack_into("<I", b, section + 37, zlib.crc32(b[stream:stream + length]))  # header field 10
open(sys.argv[2], "wb").write(b)
PY
}
for c in "2:0x80096010" "3:"; do
  mode="${c%%:*}" error="${c#*:}"
  change_file_byte "mode$mode.exe" "changed$mode.exe"
  if "$builder" inspect "changed$mode.exe" >/dev/null; then ok "changed$mode.exe passes every payload check"; else
    bad "changed$mode.exe fails a payload check: the test would not show the signature's refusal"; fi
  if osslsigncode verify -CAfile root.pem "changed$mode.exe" >/dev/null 2>&1; then
    bad "osslsigncode still verifies changed$mode.exe"; fi
  # Not silent: the corrupt-installer box appears (its text in Wine's window trace) and is
  # closed with Return.
  rc=0
  WINEDEBUG=-all,trace+win timeout 120 "$CORVANTIS_WINE" "changed$mode.exe" </dev/null >/dev/null 2>trace.txt &
  pid=$!
  # Only a mapped window takes the focus: a box found before it is shown makes the focus
  # request fail (BadMatch), so the search waits for a visible one and the key is tried again.
  box=$(timeout 60 xdotool search --sync --onlyvisible --name '^Error$' | head -n 1) || true
  if [ -n "$box" ]; then
    for _ in 1 2 3 4 5; do xdotool windowfocus --sync "$box" key Return 2>/dev/null && break; sleep 0.5; done
  fi
  wait "$pid" || rc=$?
  if [ -n "$box" ] && [ "$rc" = 2 ]; then ok "mode $mode: the changed installer is refused (box shown, exit code 2)"
  else bad "mode $mode: the changed installer: box '${box}', exit code $rc"; fi
  # Mode 2 reports the verification's outcome with its code (1012: the file changed since
  # signing, TRUST_E_BAD_DIGEST); the short language string 13 keeps it inside the trace.
  if [ -n "$error" ]; then
    if grep -q "Damaged.\\\\r\\\\nSystem error, code $error" trace.txt; then ok "mode $mode: the report names $error"; else
      bad "mode $mode: no $error in the report: $(grep -o 'Damaged[^"]*' trace.txt | head -n 1)"; fi
  fi
done
exit $failed

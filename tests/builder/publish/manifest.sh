#!/usr/bin/env bash
# corvantis-build manifest end to end:
#   - the three manifests of an installer validate against the package manager's schemas
#     (and the validator does refuse a manifest with a wrong response value);
#   - InstallerSha256 is the file's, the architecture the engine's, every exit code of the
#     engine that winget should know is mapped;
#   - under Wine the installer runs with exactly the command line winget would give it for a
#     silent installation into a chosen folder (Silent, InstallLocation with <INSTALLPATH>
#     replaced, Custom), passed raw through a batch file: exit code 0, the file in that
#     folder, and the uninstall entry named by ProductCode with the manifest's DisplayName
#     and DisplayVersion.
# Usage: manifest.sh BUILDER; the engine from $CORVANTIS_WIN_BIN, Wine running.
set -euo pipefail
builder="$1"
here="$(cd "$(dirname "$0")" && pwd)"
stub="$CORVANTIS_WIN_BIN/corvantis-setup.exe" arch=x86
[ "${CORVANTIS_ENGINE:-}" = x64 ] && stub="$CORVANTIS_WIN_BIN/corvantis-setup-x64.exe" arch=x64
work="$(mktemp -d /tmp/cs-manifest.XXXXXX)"
trap 'rm -rf "$work"' EXIT
cd "$work"
failed=0
ok() { echo "ok: $*"; }
bad() { echo "FAILED: $*"; failed=1; }

echo "manifest probe" >payload.txt
cat >probe.toml <<'TOML'
[product]
name = "Manifest Probe"
version = "2.0.1"
build_date = 2026-12-10
publisher = "Corvantis Tests"
[uninstall]
key_name = "CorvantisManifestProbe"
[[file]]
source = "payload.txt"
TOML
"$builder" build probe.toml -o setup.exe --stub "$stub"
"$builder" manifest setup.exe --url https://downloads.example.com/probe/setup.exe --out manifests >/dev/null

if /usr/bin/python3 "$here/validate-manifest.py" manifests; then ok "the manifests validate"; else bad "the manifests do not validate"; fi
mkdir wrong && cp manifests/* wrong/
sed -i 's/ReturnResponse: diskFull/ReturnResponse: diskIsFull/' wrong/*.installer.yaml
if /usr/bin/python3 "$here/validate-manifest.py" wrong >/dev/null; then bad "the validator accepted a wrong response"; else
  ok "the validator refuses a wrong response"; fi

# The installer manifest's values, one per line.
eval "$(/usr/bin/python3 - manifests/*.installer.yaml <<'PY'
import shlex, sys, yaml
m = yaml.safe_load(open(sys.argv[1], encoding="utf-8"))
s = m["InstallerSwitches"]
a = m["AppsAndFeaturesEntries"][0]
values = {
    "sha": m["Installers"][0]["InstallerSha256"].lower(),
    "architecture": m["Installers"][0]["Architecture"],
    "codes": " ".join(str(c["InstallerReturnCode"]) for c in m["ExpectedReturnCodes"]),
    "silent": s["Silent"], "location": s["InstallLocation"], "custom": s.get("Custom", ""),
    "product_code": m["ProductCode"], "display_name": a["DisplayName"], "display_version": a["DisplayVersion"],
}
for k, v in values.items():
    print(f"{k}={shlex.quote(v)}")
PY
)"
[ "$sha" = "$(sha256sum setup.exe | cut -d' ' -f1)" ] && ok "InstallerSha256 is the file's" || bad "InstallerSha256 $sha"
[ "$architecture" = "$arch" ] && ok "architecture $arch" || bad "architecture $architecture, expected $arch"
[ "$codes" = "2 5 7 8 9 10 11 12 15 16 17" ] && ok "exit codes $codes" || bad "exit codes: $codes"
[ "$product_code" = CorvantisManifestProbe ] && ok "ProductCode is the uninstall key name" || bad "ProductCode $product_code"

# What winget runs for a silent installation into a folder of the user's choice.
folder='C:\cs manifest test\Probe'
command_line="\"$(sed 's|/|\\|g' <<<"Z:$work/setup.exe")\" $silent ${location//<INSTALLPATH>/$folder} $custom"
printf '@%s\r\n@exit %%ERRORLEVEL%%\r\n' "$command_line" >run.bat
echo "command line: $command_line"
linux_folder="$WINEPREFIX/drive_c/cs manifest test/Probe"
rm -rf "$WINEPREFIX/drive_c/cs manifest test"
rc=0
timeout 120 "$CORVANTIS_WINE" cmd.exe /c "$(sed 's|/|\\|g' <<<"Z:$work/run.bat")" </dev/null >/dev/null 2>&1 || rc=$?
if [ "$rc" = 0 ] && cmp -s payload.txt "$linux_folder/payload.txt"; then ok "installed silently into $folder"; else
  bad "exit code $rc; payload.txt in $folder: $(ls "$linux_folder" 2>&1 | tr '\n' ' ')"; fi
key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product_code"
entry=$(timeout 60 "$CORVANTIS_WINE" reg query "$key" /reg:32 </dev/null 2>/dev/null | tr -d '\r' || true)
grep -q "DisplayName[[:space:]]*REG_SZ[[:space:]]*$display_name\$" <<<"$entry" &&
  grep -q "DisplayVersion[[:space:]]*REG_SZ[[:space:]]*$display_version\$" <<<"$entry" &&
  ok "the uninstall entry $product_code holds DisplayName and DisplayVersion" || bad "uninstall entry: $entry"
# The next run is a new installation again.
timeout 120 "$CORVANTIS_WINE" reg delete "$key" /f /reg:32 </dev/null >/dev/null 2>&1 || true
rm -rf "$WINEPREFIX/drive_c/cs manifest test"
exit $failed

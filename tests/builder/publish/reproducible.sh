#!/usr/bin/env bash
# Builds the every-feature project (every part of the project file, encrypted and
# compressed, a folder tree, a language file, file dates taken from the sources) several
# times and compares the installers by SHA-256:
#   - from the project's folder, and from a copy in another folder whose files carry other
#     modification times, run from another working folder with another umask, TZ and locale:
#     the same bytes (SOURCE_DATE_EPOCH clamps the dates);
#   - with another SOURCE_DATE_EPOCH: other bytes (the check sees the dates at all);
#   - with WINDOWS_BUILDER given, corvantis-build.exe under Wine ($CORVANTIS_WINE) over the
#     copy: the same bytes as the Linux builder.
# Usage: reproducible.sh BUILDER [STUB [WINDOWS_BUILDER]]; without STUB, the engine and
# corvantis-build.exe of $CORVANTIS_WIN_BIN (scripts/wine-env) are used.
set -euo pipefail
builder="$1" stub="${2:-}" windows_builder="${3:-}"
if [ -z "$stub" ]; then
  stub="$CORVANTIS_WIN_BIN/corvantis-setup.exe"
  [ "${CORVANTIS_ENGINE:-}" = x64 ] && stub="$CORVANTIS_WIN_BIN/corvantis-setup-x64.exe"
  [ -f "$CORVANTIS_WIN_BIN/corvantis-build.exe" ] && windows_builder="$CORVANTIS_WIN_BIN/corvantis-build.exe"
fi
here="$(cd "$(dirname "$0")" && pwd)"
project="$here/every-feature"
work="$(mktemp -d /tmp/cs-reproducible.XXXXXX)"
trap 'rm -rf "$work"' EXIT
export SOURCE_DATE_EPOCH=1700000000
failed=0
check() { # what, expected hash, got hash
  if [ "$2" = "$3" ]; then echo "ok: $1"; else echo "FAILED: $1 ($2 vs $3)"; failed=1; fi
}
hash() { sha256sum "$1" | cut -d' ' -f1; }

(cd "$project" && umask 022 && TZ=UTC LC_ALL=C "$builder" build project.toml -o "$work/a.exe" --stub "$stub")
first="$(hash "$work/a.exe")"

# The same project elsewhere, its files newer than the epoch by different amounts.
mkdir -p "$work/elsewhere/deeper"
cp -r "$project" "$work/elsewhere/deeper/p"
find "$work/elsewhere/deeper/p" -type f -name '*.txt' -exec touch -d '2031-05-06 07:08:09' {} +
touch -d '2029-01-01 00:00:00' "$work/elsewhere/deeper/p/app.exe"
mkdir -p "$work/cwd"
(cd "$work/cwd" && umask 077 && TZ=Pacific/Kiritimati LC_ALL=C.UTF-8 \
  "$builder" build "$work/elsewhere/deeper/p/project.toml" -o "$work/b.exe" --stub "$stub")
check "another folder, working folder, umask, TZ and file times" "$first" "$(hash "$work/b.exe")"

(cd "$project" && SOURCE_DATE_EPOCH=1600000000 "$builder" build project.toml -o "$work/c.exe" --stub "$stub")
c="$(hash "$work/c.exe")"
if [ "$c" != "$first" ]; then echo "ok: another SOURCE_DATE_EPOCH gives other bytes"; else
  echo "FAILED: another SOURCE_DATE_EPOCH gave the same bytes"; failed=1; fi

if [ -n "$windows_builder" ]; then
  cp "$stub" "$work/stub.exe"
  (cd "$work/cwd" && TZ=America/New_York "$CORVANTIS_WINE" "$windows_builder" build \
    "Z:$work/elsewhere/deeper/p/project.toml" -o "Z:$work/w.exe" --stub "Z:$work/stub.exe" </dev/null)
  check "corvantis-build.exe under Wine" "$first" "$(hash "$work/w.exe")"
fi

# A broken epoch is refused, not ignored.
if (cd "$project" && SOURCE_DATE_EPOCH=yesterday "$builder" build project.toml -o "$work/d.exe" --stub "$stub" 2>/dev/null); then
  echo "FAILED: SOURCE_DATE_EPOCH=yesterday was accepted"; failed=1
else echo "ok: SOURCE_DATE_EPOCH=yesterday refused"; fi
exit $failed

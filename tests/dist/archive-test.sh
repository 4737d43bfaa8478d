#!/bin/sh
# archive-test.sh WHAT ZIP WORK BUILD ...: checks the release archive ZIP
# unpacked into the empty folder WORK, under Wine in BUILD's prefix.
#   demo       its demo runs from the archive alone: the pack's text and the
#              music's load and start; with texts missing from the pack it
#              must fail
#   implib CC SOURCE
#              SOURCE, a C program that calls every command by its plain
#              name, builds with CC from the archive's header and each of its
#              import libraries and runs against the archive's tolvo.dll
#   same CMAKE ARGS...
#              made again (another time zone, another umask), it is the same file
set -eu
what=$1 zip=$2 work=$3 build=$4
shift 4
here=$(cd "$(dirname "$0")" && pwd)
wine_run="$here/../../scripts/wine-run"

fail() { echo "FAIL: $*"; exit 1; }

# wine10_died_at_exit FILE: whether FILE ends with one of Wine 10's own
# deaths at process exit (scripts/wine-run --died-at-exit). Every line of
# the program's own was printed first.
wine10_died_at_exit() { "$wine_run" "$build" --died-at-exit "$1"; }

unpack() {
  rm -rf "$work"
  mkdir -p "$work"
  (cd "$work" && cmake -E tar xf "$zip")
  pkg=$(echo "$work"/*)
  [ -d "$pkg" ] || fail "the archive has no top folder"
}

case $what in
demo)
  unpack
  for f in README.txt README-ja.txt LICENSE bin/tolvo.dll docs/commands.md docs/host-script.md \
           docs/ja/commands.md docs/ja/host-script.md; do
    [ -f "$pkg/$f" ] || fail "no $f at the archive's top"
  done
  stray=$(cd "$pkg" && find . -name '.*' ! -name .)
  [ -z "$stray" ] || fail "files that no one ships: $stray"

  cd "$pkg/examples/demo"
  rc=0
  "$wine_run" "$build" ../../bin/tolvo-host.exe demo.tolvo >raw.txt 2>&1 || rc=$?
  tr -d '\r' <raw.txt >out.txt
  cat out.txt
  if [ $rc != 0 ]; then
    # The script's last line is printed only when every line before it held.
    grep -qx '== done ==' out.txt && wine10_died_at_exit out.txt ||
      fail "the demo exited with $rc"
    echo "NOTE: Wine 10 died at exit after the demo's last line (exit $rc); not the demo's failure"
  fi
  grep -qx 'msg = "Hello from a DPMX pack."' out.txt || fail "the pack's text was not printed"
  # The movie loads on the platform the runner chose, and plays except on
  # Wine 10, where the demo says why not (platform.movie-yuv-video shows
  # Wine 10 dying on the demo's pictures).
  # (Lines of the platform's own on standard error may come between.)
  movie=$(sed -n '/^-- movie/,/^-- a pack/p' out.txt | grep -E '^(here|result) = |^not played' | head -n 3)
  case ${TOLVO_PLATFORM:-wine8} in
    wine10) next='not played on Wine 10: its video renderer overruns its heap on YUV pictures' ;;
    *) next='result = 0' ;;
  esac
  [ "$movie" = "$(printf 'here = "%s"\nresult = 0\n%s' "${TOLVO_PLATFORM:-wine8}" "$next")" ] ||
    fail "the movie section began otherwise on ${TOLVO_PLATFORM:-wine8}: $movie"
  # The music section begins with its read from the pack, load and start.
  music=$(sed -n '/^-- music/{n;p;n;p;n;p;q;}' out.txt)
  [ "$music" = "$(printf 'result = 0\nresult = 0\nresult = 0')" ] || fail "the music was not read, loaded and started"

  # A pack without the two texts (made with the archive's own tolvo-pack)
  # fails the pack's lines: the demo names them and exits with 1. (Failed
  # music would show a message box that waits for a click.)
  mkdir only
  "$wine_run" "$build" ../../bin/tolvo-pack.exe extract demo.dpm -o only theme.ogg >/dev/null
  "$wine_run" "$build" ../../bin/tolvo-pack.exe create demo.dpm only/theme.ogg >/dev/null
  rc=0
  "$wine_run" "$build" ../../bin/tolvo-host.exe demo.tolvo >bad.txt 2>&1 || rc=$?
  [ $rc = 1 ] || { [ $rc != 0 ] && wine10_died_at_exit bad.txt; } ||
    { cat bad.txt; fail "with a pack missing its texts the demo exited with $rc, not 1"; }
  grep -q 'demo.tolvo:[0-9]*: expected result to be 0, got -1' bad.txt || { cat bad.txt; fail "no failed line named"; }
  ;;
implib)
  cc=$1 source=$2
  unpack
  "$cc" -Wall -Werror -I"$pkg/include" "$source" "$pkg/lib/tolvo.lib" -o "$pkg/bin/calls-lib.exe"
  "$cc" -Wall -Werror -I"$pkg/include" "$source" -L"$pkg/lib" -ltolvo -o "$pkg/bin/calls-a.exe"
  cd "$pkg/bin"
  for exe in calls-lib.exe calls-a.exe; do
    echo "== $exe"
    "$wine_run" "$build" "./$exe" ../examples/demo/demo.dpm || fail "$exe"
  done
  ;;
same)
  cmake=$1
  shift
  rm -rf "$work"
  mkdir -p "$work"
  (umask 077 && TZ=Asia/Tokyo "$cmake" -DSTAGE="$work/stage/$(basename "$zip" .zip)" -DZIP="$work/again.zip" "$@")
  cmp "$zip" "$work/again.zip" || fail "made twice, the archive differs"
  echo "made twice, the same $(wc -c <"$zip") bytes"
  ;;
*)
  fail "unknown check $what"
  ;;
esac

#!/usr/bin/env bash
# make windows-test: the Windows build of make windows under Wine, on an X display of its own
# (Xvfb). vantel_wine_test.exe loads the DLL, opens each dialog template from its resources and
# checks it; each dialog is photographed into docs/dialogs/ (PNG, ImageMagick). Then vantel.exe
# runs a few commands: "doctor" must reach "The USB driver was not found.", and so must "mkdir",
# "rm" and "pick", whose dialogs a thread of vantel.exe works, and end with 1.
#
# The i686 build runs under wine32 where this machine can run 32-bit programs, else the x86_64
# build under wine64. Exit 0 when every check passed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh wine

if [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
    arch=i686
    loader=/usr/lib/wine/wine
else
    arch=x86_64
    loader=/usr/lib/wine/wine64
    echo "wine32 cannot run on this machine: testing the x86_64 build under wine64"
fi
bin=$(realpath "build-windows-$arch/bin")
shots=$(realpath docs)/dialogs
mkdir -p "$shots"

work=$(mktemp -d)
xvfb=""
cleanup() {
    WINEPREFIX=$work/prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# An X display of our own: the first number from 97 on that no server holds.
display=97
while [ -e /tmp/.X$display-lock ]; do display=$((display + 1)); done
Xvfb :$display -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 100); do
    [ -e /tmp/.X11-unix/X$display ] && break
    sleep 0.1
done
export DISPLAY=:$display

# A prefix of our own, without the Mono and Gecko prompts; Wine's own fonts where the dialogs
# find them (Debian's fonts-wine are not picked up otherwise); no window manager, so Wine draws
# the captions itself.
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINELOADER=$loader
wine() { "$loader" "$@"; }
echo "== Wine prefix (the first start takes a while)"
wine wineboot --init >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log"; exit 1; }
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
/usr/lib/wine/wineserver -w
/usr/lib/wine/wineserver -p # kept running until the end: later programs start at once

passed=0
failures=0
tally() { # LINE: prints it and counts its check
    echo "$1"
    case "$1" in
    ok*) passed=$((passed + 1)) ;;
    FAIL*) failures=$((failures + 1)) ;;
    esac
}
check() { # WHAT COMMAND... : the command's success
    local what=$1
    shift
    if "$@"; then tally "ok $what"; else tally "FAIL $what"; fi
}

echo "== the dialogs ($arch)"
cd "$bin"
coproc TOUR { wine vantel_wine_test.exe dialogs VantelPrintUsb.dll 2>&1; }
tour_pid=$TOUR_PID
finished=no
while IFS= read -r -t 120 line <&"${TOUR[0]}"; do
    line=${line%$'\r'}
    tally "$line"
    case "$line" in
    done)
        finished=yes
        break
        ;;
    "shot "*)
        read -r _ id x y w h caption <<<"$line"
        name=$id-$(tr 'A-Z ' 'a-z-' <<<"$caption").png
        # No dates in the file, so that an unchanged picture is an unchanged file.
        import -window root -crop "${w}x${h}+${x}+${y}" +repage -strip \
            -define png:exclude-chunks=date,time "$shots/$name"
        echo "   picture: docs/dialogs/$name"
        echo next >&"${TOUR[1]}"
        ;;
    esac
done
if [ "$finished" = yes ]; then
    status=0
    wait "$tour_pid" || status=$?
    check "vantel_wine_test dialogs exits with 0" test "$status" = 0
else
    kill "$tour_pid" 2>/dev/null || true
    tally "FAIL vantel_wine_test dialogs stopped or fell silent before its last dialog"
fi

echo "== vantel.exe"
cd "$work"
check "vantel sample writes a design" wine "$bin/vantel.exe" sample --out sample.kst
check "vantel info reads it" wine "$bin/vantel.exe" info sample.kst
status=0
wine "$bin/vantel.exe" connected || status=$?
check "vantel connected exits with 1 (no machine)" test "$status" = 1
status=0
wine "$bin/vantel.exe" machine ls || status=$?
check "vantel machine exits with 2 (POSIX build only)" test "$status" = 2
status=0
wine "$bin/vantel.exe" browse --medium 9 || status=$?
check "vantel browse --medium 9 is refused with 2" test "$status" = 2
status=0
wine "$bin/vantel_wine_test.exe" commands "$bin/vantel.exe" >commands.log 2>&1 || status=$?
while IFS= read -r line; do tally "${line%$'\r'}"; done <commands.log
check "vantel_wine_test commands exits with 0" test "$status" = 0

echo "pictures in docs/dialogs/ ($arch under Wine)"
echo "windows-test: $passed passed, $failures failed"
[ "$failures" -eq 0 ]

#!/bin/sh
# Makes the Wine prefix $WINEPREFIX ready for Tallyvox, a new one or one made
# before: Tahoma and Marlett from fonts-wine, which Debian's Wine does not load
# by itself (without Marlett the caption buttons draw as letters), and IPA
# Gothic linked behind Tahoma and Tahoma Bold for the Japanese glyphs they
# lack. The UI font stays Tahoma: a Japanese one would draw "\" as a yen sign.
#   sh scripts/wine-prefix.sh [--bed]
# --bed adds the test bed's settings: no window manager (unmanaged windows close
# at once instead of after 2 s), no crash dialog (a crashing test must end) and
# 96 DPI (a DPI test that died before putting it back must not decide later runs).
# Each Wine start costs about a second: one regedit import at most, and none
# when the prefix has it all already.
set -eu
prefix=${WINEPREFIX:?WINEPREFIX names the prefix}
bed=no
[ "${1:-}" != --bed ] || bed=yes
fonts=/usr/share/wine/fonts
link="ipag.ttf,IPAGothic"

# Wine writes the registry files once its server ends: wait for that, so that
# they can be read below and by the test bed.
[ -f "$prefix/system.reg" ] || { wineboot -i >/dev/null 2>&1; wineserver -w; }
# Wine keeps a multi-string value in its registry files as str(7):"...\0".
if grep -qF "\"Tahoma Bold\"=str(7):\"$link\\0\"" "$prefix/system.reg" 2>/dev/null &&
   { [ $bed = no ] || { grep -qF '"ShowCrashDialog"=dword:00000000' "$prefix/user.reg" 2>/dev/null &&
                        ! grep -h '"LogPixels"=dword:' "$prefix/user.reg" "$prefix/system.reg" 2>/dev/null | grep -qv ':00000060'; }; }; then
    exit 0
fi

# A Windows path through drive Z:, with each backslash doubled for a .reg string.
reg_path() { printf 'Z:%s' "$1" | sed 's|/|\\\\|g'; }
# REG_MULTI_SZ holding one string: in a REGEDIT4 file, its ANSI bytes.
multi_sz() { printf '%s' "$1" | od -An -v -tx1 | tr -s ' \n' '  ' | sed 's/ *$//; s/^ //; s/ /,/g; s/$/,00,00/'; }
reg=$prefix/tallyvox.reg
{
    printf 'REGEDIT4\n\n'
    printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts]\n'
    printf '"Marlett (TrueType)"="%s"\n' "$(reg_path $fonts/marlett.ttf)"
    printf '"Tahoma (TrueType)"="%s"\n' "$(reg_path $fonts/tahoma.ttf)"
    printf '"Tahoma Bold (TrueType)"="%s"\n\n' "$(reg_path $fonts/tahomabd.ttf)"
    printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink]\n'
    printf '"Tahoma"=hex(7):%s\n' "$(multi_sz "$link")"
    printf '"Tahoma Bold"=hex(7):%s\n\n' "$(multi_sz "$link")"
    if [ $bed = yes ]; then
        printf '[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"Managed"="N"\n\n'
        printf '[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]\n"ShowCrashDialog"=dword:00000000\n\n'
        printf '[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"LogPixels"=dword:00000060\n\n'
        printf '[HKEY_CURRENT_CONFIG\\Software\\Fonts]\n"LogPixels"=dword:00000060\n'
    fi
} > "$reg"
wine regedit /S "$(printf 'Z:%s' "$reg" | tr / '\\')" >/dev/null 2>&1

#!/usr/bin/env bash
# Checks of an installed copy: cmake --install into a temporary prefix, then one check.
#
#   install_test.sh layout  BUILD_DIR  files land where the desktop and the shell look for them
#   install_test.sh desktop BUILD_DIR  the desktop entry validates and the MIME XML compiles
#   install_test.sh start   BUILD_DIR  the installed copy starts, offscreen, for a user who
#                                      cannot write its folder, writes nothing there, and has
#                                      loaded Qt's Japanese texts where they are installed
#   install_test.sh close   BUILD_DIR  the same under Xvfb, closed with Ctrl+Q through xdotool:
#                                      no error box, exit status 0, settings in the user's folder
#   install_test.sh manpages BUILD_DIR the manual pages render without a warning, and xcpycmd(1)
#                                      names every switch, exit status and environment variable
#                                      that xcpycmd's help lists
#   install_test.sh metainfo BUILD_DIR the AppStream metadata validates and matches the desktop
#                                      entry and the MIME type
#   install_test.sh package BUILD_DIR  cpack builds the .deb; lintian reports no error on it
#
# Exit status 77 (a skipped test for CTest) when a tool the check needs is missing.
set -euo pipefail

mode=${1:?mode}
build=${2:?build folder}
readonly SKIP=77
readonly SIZES=(16 32 48 64 128 256)
readonly APPSTREAM_ID=org.xcpylist.xcpylist
readonly QT_TRANSLATIONS=/usr/share/qt6/translations

fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIP: $*" >&2; exit "$SKIP"; }
need() { command -v "$1" >/dev/null 2>&1 || skip "$1 is not installed${2:+ (Debian package $2)}"; }

# Under /tmp, not $TMPDIR: when run as root the program runs as nobody, who must reach it.
work=$(mktemp -d /tmp/xcpy-install-test.XXXXXX)
chmod 755 "$work"
app_pid=
xvfb_pid=
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    chmod -R u+w "$work" 2>/dev/null || true # the read-only bin folder of a non-root run
    rm -rf "$work"
}
trap cleanup EXIT

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log" >&2; fail "cmake --install failed"; }

# Width and height from a PNG's IHDR chunk, as "WxH".
png_size() {
    local w h
    w=$(od -An -tu1 -j16 -N4 "$1" | awk '{print $1*16777216+$2*65536+$3*256+$4}')
    h=$(od -An -tu1 -j20 -N4 "$1" | awk '{print $1*16777216+$2*65536+$3*256+$4}')
    echo "${w}x${h}"
}

check_layout() {
    for program in xcpylist xcpycmd; do
        [ -f "$prefix/bin/$program" ] && [ -x "$prefix/bin/$program" ] ||
            fail "bin/$program missing or not executable"
    done
    [ -f "$prefix/share/applications/xcpylist.desktop" ] || fail "desktop entry missing"
    [ -f "$prefix/share/mime/packages/xcpylist.xml" ] || fail "MIME type XML missing"
    for size in "${SIZES[@]}"; do
        local icon=$prefix/share/icons/hicolor/${size}x${size}/apps/xcpylist.png
        [ -f "$icon" ] || fail "icon ${size}x${size} missing"
        [ "$(png_size "$icon")" = "${size}x${size}" ] ||
            fail "icon in ${size}x${size} is $(png_size "$icon")"
    done
    # The desktop entry names the icon and the programs by what was installed.
    grep -qx 'Icon=xcpylist' "$prefix/share/applications/xcpylist.desktop" || fail "Icon= is not xcpylist"
    grep -qx 'Exec=xcpylist %f' "$prefix/share/applications/xcpylist.desktop" || fail "Exec= line"
    local file
    for file in share/man/man1/xcpylist.1.gz share/man/man1/xcpycmd.1.gz \
        share/metainfo/$APPSTREAM_ID.metainfo.xml \
        share/doc/xcpylist/copyright share/doc/xcpylist/changelog.Debian.gz; do
        [ -f "$prefix/$file" ] || fail "$file missing"
    done
    grep -q '^License: Expat$' "$prefix/share/doc/xcpylist/copyright" || fail "copyright names no licence"
    echo "layout ok"
}

check_desktop() {
    need desktop-file-validate desktop-file-utils
    need update-mime-database shared-mime-info
    local entry=$prefix/share/applications/xcpylist.desktop
    desktop-file-validate "$entry" || fail "desktop-file-validate: $entry"

    # Compile a MIME database from our XML alone: it must parse and give *.xcpy our type.
    XDG_DATA_DIRS="$prefix/share" update-mime-database "$prefix/share/mime" 2>"$work/mime.err" ||
        { cat "$work/mime.err" >&2; fail "update-mime-database rejected xcpylist.xml"; }
    [ ! -s "$work/mime.err" ] || { cat "$work/mime.err" >&2; fail "update-mime-database warned"; }
    local type
    type=$(awk -F: '$2 == "*.xcpy" {print $1}' "$prefix/share/mime/globs")
    [ -n "$type" ] || fail "no glob for *.xcpy in the compiled MIME database"
    # The desktop entry must announce the very type the list files get.
    grep -qx "MimeType=$type;" "$entry" || fail "desktop entry MimeType= does not name $type"
    echo "desktop entry and MIME type ok ($type)"
}

# A user who cannot write the install folder: nobody when we are root, else ourselves with
# the folder made read-only. Sets as_user (command prefix) and home.
prepare_user() {
    home=$work/home
    mkdir -p "$home/runtime"
    chmod 700 "$home/runtime"
    if [ "$(id -u)" -eq 0 ]; then
        need setpriv util-linux
        id nobody >/dev/null 2>&1 || skip "no user nobody"
        chown -R nobody:nogroup "$home"
        as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
        setpriv --reuid=nobody --regid=nogroup --clear-groups test ! -w "$prefix/bin" ||
            fail "nobody can write $prefix/bin"
    else
        chmod a-w "$prefix/bin"
        as_user=()
    fi
    user_env=(env -i PATH=/usr/bin:/bin LANG=C.UTF-8 HOME="$home"
        XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share"
        XDG_CACHE_HOME="$home/.cache" XDG_RUNTIME_DIR="$home/runtime")

    # A small list file as the program writes it: code page 932, CR LF.
    # The second source folder is C:\データ ("data" in katakana) in code page 932 bytes.
    list=$work/lists/backup.xcpy
    mkdir -p "$work/lists"
    printf '%s\r\n' '/tmp/xcpy-src=/tmp/xcpy-dst' 'C:\'$'\x83\x66\x81\x5b\x83\x5e''=D:\backup' >"$list"
    chmod 644 "$list"
    chmod 755 "$work/lists"
    (cd "$prefix" && find . | sort) >"$work/prefix.before"
}

check_prefix_untouched() {
    (cd "$prefix" && find . | sort) >"$work/prefix.after"
    diff "$work/prefix.before" "$work/prefix.after" >&2 || fail "the program wrote into its install folder"
}

check_start() {
    prepare_user
    cd "$work"
    "${user_env[@]}" QT_QPA_PLATFORM=offscreen "${as_user[@]}" "$prefix/bin/xcpylist" "$list" \
        >"$work/out" 2>"$work/err" &
    app_pid=$!
    sleep 2
    kill -0 "$app_pid" 2>/dev/null || { cat "$work/out" "$work/err" >&2; fail "the program ended early"; }
    # The offscreen platform says this about every window; anything else is a real complaint.
    if grep -v -x 'This plugin does not support propagateSizeHints()' "$work/err" >"$work/err.other"; then
        cat "$work/err.other" >&2
        fail "the program printed warnings or errors"
    fi
    [ -d "$home/.local/share/xcpylist" ] || fail "no run files folder under the user's data folder"
    # Qt maps the translation catalogues it loads; Debian's Qt 6 keeps them here.
    if [ -f "$QT_TRANSLATIONS/qtbase_ja.qm" ]; then
        grep -q "$QT_TRANSLATIONS/qtbase_ja.qm\$" "/proc/$app_pid/maps" ||
            fail "the program did not load Qt's Japanese texts"
    fi
    kill "$app_pid"
    wait "$app_pid" 2>/dev/null || true
    app_pid=
    check_prefix_untouched
    echo "offscreen start ok"
}

check_close() {
    need Xvfb xvfb
    need xdotool xdotool
    prepare_user
    cd "$work"
    Xvfb -displayfd 3 -nolisten tcp -ac -screen 0 1024x768x24 3>"$work/display" 2>"$work/xvfb.err" &
    xvfb_pid=$!
    for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
    [ -s "$work/display" ] || { cat "$work/xvfb.err" >&2; fail "Xvfb did not start"; }
    export DISPLAY=:$(cat "$work/display")

    "${user_env[@]}" DISPLAY="$DISPLAY" "${as_user[@]}" "$prefix/bin/xcpylist" "$list" \
        >"$work/out" 2>"$work/err" &
    app_pid=$!
    # The window shows before the list is read; a read error then opens a box titled xcpylist.
    timeout 20 xdotool search --sync --onlyvisible --pid "$app_pid" >/dev/null ||
        { cat "$work/err" >&2; fail "no window within 20 s"; }
    sleep 1
    local window names=()
    for window in $(xdotool search --onlyvisible --pid "$app_pid"); do
        names+=("$(xdotool getwindowname "$window")")
    done
    [ ${#names[@]} -eq 1 ] || fail "more than the main window is open: ${names[*]}"
    window=$(xdotool search --onlyvisible --pid "$app_pid")
    [[ ${names[0]} == XCOPY* ]] || fail "the main window is titled '${names[0]}'"
    xdotool windowfocus --sync "$window" key ctrl+q
    for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$app_pid" 2>/dev/null && fail "the program did not close on Ctrl+Q"
    local status=0
    wait "$app_pid" || status=$?
    app_pid=
    [ "$status" -eq 0 ] || { cat "$work/err" >&2; fail "exit status $status"; }
    [ ! -s "$work/err" ] || { cat "$work/err" >&2; fail "the program printed warnings or errors"; }

    local ini=$home/.config/xcpylist/xcpylist.ini
    [ -f "$ini" ] || fail "no settings file $ini"
    grep -qx "FileName=$list" "$ini" || { cat "$ini" >&2; fail "the loaded list is not remembered"; }
    [ -d "$home/.local/share/xcpylist" ] || fail "no run files folder under the user's data folder"
    check_prefix_untouched
    echo "load and close under X ok"
}

check_manpages() {
    need man man-db
    local page rendered
    for page in xcpylist xcpycmd; do
        # As lintian checks them: every groff warning is printed on standard error.
        rendered=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 \
            "$prefix/share/man/man1/$page.1.gz" 2>"$work/man.err") ||
            { cat "$work/man.err" >&2; fail "man could not render $page(1)"; }
        [ ! -s "$work/man.err" ] || { cat "$work/man.err" >&2; fail "$page(1) renders with warnings"; }
        rendered=$(sed 's/.\x08//g' <<<"$rendered") # bold and underline by overstriking
        [[ $rendered == *"$page"* ]] || fail "$page(1) rendered empty"
    done

    # Every switch of xcpycmd's XCOPY help (/D, /-Y, /EXCLUDE: ...) appears in the manual page.
    printf '@XCOPY /?\r\n' >"$work/help.bat"
    "$prefix/bin/xcpycmd" /c "$work/help.bat" </dev/null >"$work/help.txt" 2>&1 ||
        { cat "$work/help.txt" >&2; fail "xcpycmd printed no help"; }
    # Its own usage note may name more (environment variables); it ends with status 1.
    "$prefix/bin/xcpycmd" /? </dev/null >>"$work/help.txt" 2>&1 || true
    local switches=() switch missing=()
    mapfile -t switches < <(grep -oE '(^|[[ ])/-?[A-Z?]+:?' "$work/help.txt" | tr -d '[ ' | sort -u)
    [ ${#switches[@]} -gt 15 ] || fail "found only ${#switches[@]} switches in xcpycmd's help"
    for switch in "${switches[@]}"; do
        grep -qF -- "$switch" <<<"$rendered" || missing+=("$switch")
    done
    [ ${#missing[@]} -eq 0 ] || fail "xcpycmd(1) lacks the switches ${missing[*]}"

    # So does every exit status the help lists ("終了コード: 0 完了、1 ..."), under EXIT STATUS.
    local statuses=() status
    mapfile -t statuses < <(tr -d '\n' <"$work/help.txt" | grep -oE '(終了コード: |、)[0-9]+ ' |
        grep -oE '[0-9]+' | sort -un)
    [ ${#statuses[@]} -gt 0 ] || fail "found no exit statuses in xcpycmd's help"
    local exit_section
    exit_section=$(sed -n '/^EXIT STATUS/,/^[A-Z]/p' <<<"$rendered")
    for status in "${statuses[@]}"; do
        grep -qE "^ +$status +[A-Z]" <<<"$exit_section" || missing+=("$status")
    done
    [ ${#missing[@]} -eq 0 ] || fail "xcpycmd(1) lacks the exit statuses ${missing[*]}"

    # And every environment variable it names ("環境変数 COPYCMD"), under ENVIRONMENT.
    local variables=() variable environment_section
    mapfile -t variables < <(grep -oE '環境変数 [A-Z_]+' "$work/help.txt" | cut -d' ' -f2 | sort -u)
    environment_section=$(sed -n '/^ENVIRONMENT/,/^[A-Z]/p' <<<"$rendered")
    for variable in "${variables[@]}"; do
        grep -qE "^ +$variable\b" <<<"$environment_section" || missing+=("$variable")
    done
    [ ${#missing[@]} -eq 0 ] || fail "xcpycmd(1) lacks the environment variables ${missing[*]}"
    echo "manual pages ok (${#switches[@]} switches, exit statuses ${statuses[*]}," \
        "environment ${variables[*]})"
}

check_metainfo() {
    need appstreamcli appstream
    local metainfo=$prefix/share/metainfo/$APPSTREAM_ID.metainfo.xml
    appstreamcli validate --no-net "$metainfo" >"$work/validate.out" 2>&1 ||
        { cat "$work/validate.out" >&2; fail "appstreamcli rejected $metainfo"; }
    # The software centre finds the program through its desktop entry and list files by type.
    local desktop_id type
    desktop_id=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")
    [ -f "$prefix/share/applications/$desktop_id" ] || fail "launchable $desktop_id is not installed"
    type=$(sed -n 's:.*<mime-type type="\([^"]*\)">.*:\1:p' "$prefix/share/mime/packages/xcpylist.xml")
    grep -q "<mediatype>$type</mediatype>" "$metainfo" || fail "metainfo does not provide $type"
    grep -q '<project_license>MIT</project_license>' "$metainfo" || fail "metainfo names no MIT licence"
    echo "AppStream metadata ok"
}

check_package() {
    need cpack cmake
    need dpkg-deb dpkg
    cpack --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
        { cat "$work/cpack.log" >&2; fail "cpack failed"; }
    local deb
    deb=$(find "$work/package" -maxdepth 1 -name 'xcpylist_*.deb')
    [ -f "$deb" ] || fail "cpack wrote no .deb"
    local maintainer
    maintainer=$(dpkg-deb -f "$deb" Maintainer)
    [[ $maintainer == *"<"*@*.*">" && $maintainer != *localhost* && $maintainer != *example* ]] ||
        fail "maintainer field '$maintainer'"
    [[ $(dpkg-deb -f "$deb" Depends) == *qt6-translations-l10n* ]] || fail "no dependency on Qt's translations"
    dpkg-deb -c "$deb" >"$work/contents"
    grep -q ' ./usr/share/doc/xcpylist/copyright$' "$work/contents" || fail "no copyright file in the package"

    need lintian lintian
    # lintian exits non-zero on an error; warnings are printed for the reader of the test log.
    lintian --fail-on error --allow-root --tag-display-limit 0 "$deb" >"$work/lintian.out" 2>&1 ||
        { cat "$work/lintian.out" >&2; fail "lintian reported errors"; }
    cat "$work/lintian.out"
    echo "package ok: $(basename "$deb")"
}

case $mode in
layout) check_layout ;;
desktop) check_desktop ;;
start) check_start ;;
close) check_close ;;
manpages) check_manpages ;;
metainfo) check_metainfo ;;
package) check_package ;;
*) fail "unknown mode $mode" ;;
esac

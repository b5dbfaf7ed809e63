#!/usr/bin/env bash
# The headless tour of the demo, run by scripts/demo.sh inside the Wine rig (Xvfb + wineserver).
# Real input through xdotool (the X test extension, as a person's mouse and keyboard); each
# step waits for the window it expects by title, with a timeout. One screenshot per step under
# $CVT_BUILD/demo/, cropped to the window that matters. Ends with a status line; exits 1 when
# a step did not work.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
source scripts/wine-env.sh
source scripts/window-helpers.sh
bin="$CVT_BIN"
out="$CVT_BUILD/demo"
rm -rf "$out"
mkdir -p "$out"
# The host writes where the message view's lines are; kept out of the folder Explorer shows.
positions_file="$WINEPREFIX/drive_c/windows/temp/trivane-lines.txt"
# Titles as regular expressions, matched byte by byte (xdotool sets no locale).
host_title='^Corvel! \(代替ホスト\)$'
plugin_title='^Corvel!トリプルクリック～トリベインプラグイン$'
setup_title='^トリベインの設定$'
failures=0
step_number=0
started=$SECONDS

say() { printf 'demo: %s\n' "$*"; }
step() { step_number=$((step_number + 1)); printf '\ndemo: step %d: %s\n' "$step_number" "$*"; }
ok() { say "  ok: $*"; }
bad() { say "  FAILED: $*"; failures=$((failures + 1)); }
# shot NAME [WINDOW]: the screen, or the part of it that the window covers.
shot() {
    local file box=""
    file="$out/$(printf '%02d' "$step_number")-$1.png"
    [ -n "${2:-}" ] && box=$(window_box "$2")
    sleep 0.3 # let the last paint land
    grab_screen "$file" "$box" && say "  screenshot $file"
}
line_point() { awk -v line="$1" '$1 == line { print $2, $3 }' "$out/lines.txt"; }
triple_click_line() {
    local point
    point=$(line_point "$1")
    # shellcheck disable=SC2086
    xdotool mousemove $point click --repeat 3 --delay 80 1
}
# Selects one line of the message view with the keyboard, so no triple click is involved.
select_line() {
    local point
    point=$(line_point "$1")
    # shellcheck disable=SC2086
    xdotool mousemove $point click 1
    xdotool key Home shift+End
}
settings_value() {
    wine reg query 'HKCU\Software\Halvren\C2\Settings' /v "$1" 2>/dev/null | tr -d '\r' |
        awk -v name="$1" '$1 == name { print $3 }'
}
# Waits up to 3 seconds for a setting to read as expected (a reg.exe that starts while the
# host is busy may answer before the value is there to see).
setting_becomes() {
    for _ in $(seq 15); do
        [ "$(settings_value "$1")" = "$2" ] && return 0
        sleep 0.2
    done
    return 1
}
# Clicks the middle of a window's caption.
click_caption() {
    local w x y
    read -r w _ x y < <(window_box "$1" | tr 'x+' '  ')
    xdotool mousemove $((x + w / 2)) $((y + 8)) click 1
}
# The topmost visible window with a title (search lists them bottom to top).
top_window() { xdotool search --onlyvisible --maxdepth 1 --name . 2>/dev/null | tail -1; }
# The number of visible top-level windows without a title: the pop-up menus.
menus_up() { xdotool search --onlyvisible --maxdepth 1 --name '^$' 2>/dev/null | wc -l; }
wait_menu() {
    local before="$1"
    for _ in $(seq 30); do
        [ "$(menus_up)" -gt "$before" ] && return 0
        sleep 0.1
    done
    return 1
}
finish() {
    echo
    if [ "$failures" -eq 0 ]; then
        say "tour PASSED: all $step_number steps worked in $((SECONDS - started)) s; screenshots in $out"
        exit 0
    fi
    say "tour FAILED: $failures problem(s) in $step_number steps; screenshots in $out"
    exit 1
}

# A first start: the plug-in writes its defaults.
wine reg delete 'HKCU\Software\Halvren\C2\Settings' /f >/dev/null 2>&1
rm -f "$positions_file"

step "the stand-in host starts with the plug-in and a mail that names paths"
wine "$bin/CvStandin.exe" --positions 'C:\windows\temp\trivane-lines.txt' >"$out/host.log" 2>&1 &
host_pid=$!
if main=$(wait_window "$host_title" 30); then
    ok "host window $main is up"
else
    bad "the host window did not appear"
    finish
fi
for _ in $(seq 50); do [ -s "$positions_file" ] && break; sleep 0.1; done
cp "$positions_file" "$out/lines.txt" 2>/dev/null || { bad "no line positions"; finish; }
if setting_becomes TrivaneConfirm 0x1 && setting_becomes TrivanePreserve 0x0; then
    ok "the plug-in wrote its defaults (TrivaneConfirm=1, TrivanePreserve=0)"
else
    bad "the defaults are missing"
fi
shot mail "$main"

step "triple-click the line with C:\\trivane-demo\\報告書.txt"
triple_click_line 8
if confirm=$(wait_window "$plugin_title" 10); then
    ok "the confirmation dialog asks before opening"
    confirm_box=$(window_box "$confirm")
    shot confirm "$main"
    xdotool key Return # Yes
    wait_hidden "$confirm" 5 || bad "the confirmation dialog stayed after Yes"
else
    bad "no confirmation dialog"
fi

step "Yes: the progress window, then Explorer opens C:\\trivane-demo"
# The progress window lives only until Explorer comes up, so it may be missed here.
if progress=$(wait_window "$plugin_title" 2); then
    ok "the progress window $progress is up"
else
    say "  (the progress window went too fast to be seen)"
fi
if explorer=$(wait_window '^trivane-demo$' 30); then
    ok "Explorer window '$(xdotool getwindowname "$explorer")' is open"
    # The progress window goes when Explorer takes the activation.
    if wait_gone "$plugin_title" 5; then ok "the progress window is gone"; else bad "the progress window stayed"; fi
    # Explorer can end up behind the host window, which comes forward when the progress
    # window goes. Explorer stays the active window, so a click on it raises nothing: the
    # host is clicked first, then Explorer's caption (further apart than a double click).
    sleep 0.5
    for _ in 1 2 3; do
        [ "$(top_window)" = "$explorer" ] && break
        click_caption "$main"
        sleep 0.7
        click_caption "$explorer"
        sleep 0.7
    done
    shot explorer "$explorer"
    xdotool key alt+F4
    wait_hidden "$explorer" 10 || bad "Explorer did not close"
else
    bad "Explorer did not open"
    shot explorer
fi

step "right-click the selected server path: the first menu item opens it"
select_line 6
before=$(menus_up)
# Right of the text and low on the line, so that the menu leaves the selection in sight.
read -r x y < <(line_point 6)
xdotool mousemove $((x + 160)) $((y + 5)) click 3
if wait_menu "$before"; then
    ok "the context menu is up"
    shot context-menu "$main"
    xdotool key o # the item's access key
    if confirm=$(wait_window "$plugin_title" 10); then
        ok "picking the item brings up the confirmation"
        shot context-confirm "$main"
        xdotool key Escape # No: the demo's server does not exist
        wait_hidden "$confirm" 5 || bad "the confirmation dialog stayed after No"
    else
        bad "picking the item asked nothing"
    fi
else
    bad "no context menu"
    shot context-menu "$main"
fi

step "a copied picture survives Shift+O and a right-click without a selection, and typing OK"
# With the default settings (text only), a capture would have cleared the picture; without a
# selection there is no capture at all.
picture_on_clipboard() { xclip -selection clipboard -o -t TARGETS 2>/dev/null | grep -qx image/png; }
/usr/bin/convert -size 64x64 xc:orange "$out/picture.png"
xclip -selection clipboard -t image/png -i "$out/picture.png"
if picture_on_clipboard; then ok "a picture is on the clipboard"; else bad "the picture could not be placed"; fi
read -r x y < <(line_point 1)
xdotool mousemove "$x" "$y" click 1 # the caret, nothing selected
xdotool key shift+o
before=$(menus_up)
xdotool click 3
wait_menu "$before" && xdotool key Escape
xdotool key alt+f n # ファイル > 新規作成
if compose=$(wait_window '^メールの作成$' 10); then
    read -r w h x y < <(window_box "$compose" | tr 'x+' '  ')
    xdotool mousemove $((x + w / 2)) $((y + h - 30)) click 1 key ctrl+End type ' OK'
    sleep 0.5
    shot typed-ok "$compose"
    if picture_on_clipboard; then ok "the picture is still on the clipboard"; else bad "the picture is gone"; fi
    xdotool key ctrl+End shift+Home ctrl+c # the last line, copied to be read here
    # Wine takes the X selection over from the picture's owner a moment after the copy; on a
    # busy machine that moment can be long.
    for _ in $(seq 50); do
        xclip -selection clipboard -o >"$out/typed-ok.bin" 2>/dev/null
        [ "$(tr -d '\0' <"$out/typed-ok.bin")" = ' OK' ] && break
        sleep 0.2
    done
    if [ "$(tr -d '\0' <"$out/typed-ok.bin")" = ' OK' ]; then
        ok "OK was typed into the mail"
    else
        bad "the mail does not end with the typed OK ($(od -An -c "$out/typed-ok.bin" | head -3 | tr -s ' '))"
    fi
    # Shift+O on the selected line with the path asks; after No the line is as it was, with no O
    # typed over the selection (the screenshot shows it; the Wine suite checks the key).
    xdotool key Up Home shift+End shift+o
    if confirm=$(wait_window "$plugin_title" 10); then
        ok "Shift+O on the selected path asks"
        xdotool key Escape
        wait_hidden "$confirm" 5 || bad "the confirmation dialog stayed after No"
        shot asked-no "$compose"
    else
        bad "Shift+O on the path asked nothing"
    fi
    xdotool key alt+F4
    wait_hidden "$compose" 5 || bad "the composing window stayed"
else
    bad "no composing window"
fi

step "the tools menu has the plug-in's settings item"
before=$(menus_up)
xdotool key alt+t
if wait_menu "$before"; then
    ok "the tools menu is open"
    shot tools-menu "$main"
    xdotool key s # トリベインの設定をする(&S)...
else
    bad "the tools menu did not open"
fi

step "the setup dialog: tick the clipboard box and press OK"
if setup=$(wait_window "$setup_title" 10); then
    ok "the setup dialog is open"
    shot setup "$setup"
    xdotool key x Return # the box's access key, then the default button
    wait_hidden "$setup" 5 || bad "the setup dialog did not close"
    if setting_becomes TrivanePreserve 0x1; then
        ok "OK stored TrivanePreserve=1"
    else
        bad "TrivanePreserve was not stored"
    fi
else
    bad "no setup dialog"
fi

step "triple-click the line with a forbidden character"
triple_click_line 10
# The message has the confirmation's title; its size tells them apart.
if message=$(wait_window "$plugin_title" 10) && [ "$(window_box "$message")" != "${confirm_box:-}" ]; then
    ok "the invalid-path message is shown"
    shot invalid-path "$main"
    xdotool key Return
    wait_hidden "$message" 5 || bad "the message stayed"
else
    bad "no invalid-path message"
fi

step "triple-click 「C:\\trivane-demo\\見積書」に置きました。: the folder in the brackets opens"
triple_click_line 11
if confirm=$(wait_window "$plugin_title" 10); then
    ok "the question comes"
    shot bracket-confirm "$main"
    xdotool key Return # Yes
    wait_hidden "$confirm" 5 || bad "the confirmation dialog stayed after Yes"
    if explorer=$(wait_window '^見積書$' 30); then
        ok "Explorer opens 見積書, without the bracket and the sentence after it"
        xdotool key alt+F4
        wait_hidden "$explorer" 10 || bad "Explorer did not close"
    else
        bad "Explorer did not open 見積書"
    fi
else
    bad "no question for the line in brackets"
fi

step "the host closes"
xdotool key alt+F4
if wait_exit "$host_pid" 10; then
    wait "$host_pid"
    status=$?
    if [ "$status" -eq 0 ]; then ok "the host ended normally"; else bad "the host ended with status $status"; fi
else
    bad "the host did not close"
    kill "$host_pid" 2>/dev/null
fi
finish

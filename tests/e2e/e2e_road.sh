#!/usr/bin/env bash
# End-to-end: the real updater in a temporary game folder against nginx on loopback serving the
# demo community. Three runs:
#   1. a fresh folder: list, three patches, refresh, game start; checks every file the run writes
#      and the dialog journal;
#   2. the same folder again: nothing changes, only the list is downloaded (no patch);
#   3. with the mouse add-on switched on in the stored settings: the add-on files are installed;
#   4. after a fourth patch is published with `tarvo-patchtool publish`: only that patch comes;
#   5. a file deleted and one damaged: --verify names them, --repair mends them from the archives
#      that own them and leaves the player's own file alone;
#   6. headless under strace: a new slot's file and folder reach the disk before the slot is recorded;
#   7. a first community made with `tarvo-patchtool new-community`, a first patch published into its
#      web half, served by the nginx server block of the administrators' guide: the headless updater
#      in its game half applies the patch.
# The set is published the administrator's way: a key made once, then the one publish command.
# The start button is pressed by the program itself (UPDATER_AUTOSTART_SERVER=1).
# Exit 0 = passed, 77 = skipped (a tool is missing), anything else = failed.
set -uo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
source_dir="${UPDATER_SOURCE_DIR:-$(cd "$here/../.." && pwd)}"
updater="${UPDATER_BINARY:-$source_dir/build/bin/tarvo-updater}"
demo_client="${DEMO_CLIENT:-$source_dir/build/bin/tarvo-demo-client}"
demo_server="${DEMO_SERVER:-$source_dir/build/bin/tarvo-demo-server}"
patchtool="${PATCHTOOL_BINARY:-$source_dir/build/bin/tarvo-patchtool}"
run_limit="${E2E_RUN_LIMIT:-150}"

skip() {
    echo "SKIP: $*"
    exit 77
}
for tool in nginx rar sox sha256sum minisign; do
    command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/setup installs it)"
done
for program in "$updater" "$demo_client" "$demo_server" "$patchtool"; do
    [ -x "$program" ] || skip "$program is not built"
done
# The updater runs inside the game folder: every program path must be absolute.
updater=$(realpath "$updater") demo_client=$(realpath "$demo_client") demo_server=$(realpath "$demo_server")
patchtool=$(realpath "$patchtool")

failures=0
check() {
    local what=$1
    shift
    if "$@"; then
        echo "ok   - $what"
    else
        echo "FAIL - $what"
        failures=$((failures + 1))
    fi
}
abort() {
    echo "FAIL - $*"
    exit 1
}

tmp=$(mktemp -d "${TMPDIR:-/tmp}/tarvo-e2e.XXXXXX") || abort "no temporary folder"
chmod 755 "$tmp"
# shellcheck source=../../demo/lib/community.sh
source "$source_dir/demo/lib/community.sh"
GUIDE_NGINX_PID=""
cleanup() {
    [ -n "$GUIDE_NGINX_PID" ] && kill -TERM "$GUIDE_NGINX_PID" 2>/dev/null && wait "$GUIDE_NGINX_PID" 2>/dev/null
    community_stop_nginx
    community_stop_server
    if [ -n "${E2E_KEEP:-}" ]; then
        echo "kept: $tmp"
    else
        rm -rf "$tmp"
    fi
}
trap cleanup EXIT

# Game server ports of our own, so that a demo running at the same time does not collide.
S1_ACCOUNT=$(community_free_port) S1_CHAR=$(community_free_port) S1_MAP=$(community_free_port)
S2_ACCOUNT=$(community_free_port) S2_CHAR=$(community_free_port) S2_MAP=$(community_free_port)
community_pick_ports || abort "ports"

game="$tmp/game"
stage="$tmp/stage"
community_make_game_folder "$game" "$demo_client" || abort "cannot make the game folder"
community_make_web_root "$tmp/www" "$stage" 64 || abort "cannot make the web root"
community_sign "$tmp/www" "$game" "$patchtool" "$tmp/keys" || abort "cannot sign the patch set"
community_start_nginx "$tmp/nginx" "$tmp/www" 0 || abort "cannot start nginx"
community_start_server "$demo_server" "$tmp/server.log" || abort "cannot start the demo game server"
access_log="$tmp/nginx/logs/access.log"
client_name=$(community_ini_value "$game/Tarvo-Updater/updater4.cfg" Config_1 ClientName)

mkdir -p "$tmp/config" "$tmp/runtime"
chmod 700 "$tmp/runtime"
export XDG_CONFIG_HOME="$tmp/config" XDG_RUNTIME_DIR="$tmp/runtime"
export QT_QPA_PLATFORM=offscreen QT_MEDIA_BACKEND="${QT_MEDIA_BACKEND:-ffmpeg}"
export UPDATER_DIALOG_ANSWERS="" UPDATER_AUTOSTART_SERVER=1
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
registry="$XDG_CONFIG_HOME/tarvo-updater/HKEY_LOCAL_MACHINE.reg"
marker="$game/demo-client-started.txt"

log_mark=0
# run_updater N: one run of the updater in the game folder; remembers where its access log starts.
run_updater() {
    local n=$1 rc
    log_mark=0
    [ -f "$access_log" ] && log_mark=$(wc -l <"$access_log")
    rm -f "$marker"
    echo "# run $n"
    (cd "$game" && UPDATER_DIALOG_LOG="$tmp/dialogs-$n.jsonl" exec timeout "$run_limit" "$updater") \
        >"$tmp/updater-$n.log" 2>&1
    rc=$?
    if [ "$rc" -eq 124 ]; then
        tail -n 15 "$tmp/updater-$n.log" | sed 's/^/  | /'
        abort "run $n: the updater did not end within ${run_limit}s: no game start (does it honour \
UPDATER_AUTOSTART_SERVER?); set E2E_KEEP=1 to keep $tmp"
    fi
    check "run $n: the updater ends with 0" test "$rc" -eq 0
    # The game client is started without waiting; give it a moment to leave its marker.
    community_wait_for 10 test -f "$marker"
    if [ ! -f "$marker" ]; then
        tail -n 15 "$tmp/updater-$n.log" | sed 's/^/  | /'
        abort "run $n: the updater ended without starting the game client"
    fi
    echo "ok   - run $n: the game client was started"
}
# requests_since_run PATH: how many GETs of PATH the current run made.
requests_since_run() {
    tail -n +"$((log_mark + 1))" "$access_log" 2>/dev/null | grep -c "\"GET $1 HTTP"
}
# snapshot: checksums of every file the player has (game folder and stored settings).
snapshot() {
    (cd "$game" && find . -type f ! -name demo-client-started.txt ! -name 'updater.log*' -print0 | sort -z | xargs -0 sha256sum)
    sha256sum "$registry" 2>/dev/null | sed "s|$tmp/||"
}
same_files() {
    local from=$1 to=$2 file
    while IFS= read -r -d '' file; do
        cmp -s "$from/$file" "$to/$file" || { echo "  differs or missing: $file"; return 1; }
    done < <(cd "$from" && find . -type f -print0)
}
matches() { grep -Eq "$2" "$1"; }
matches_i() { grep -Eqi "$2" "$1"; }
lacks() { [ -f "$1" ] && ! grep -Eq "$2" "$1"; }
none_of() {
    local file
    for file in "$@"; do
        [ ! -e "$file" ] || { echo "  present: $file"; return 1; }
    done
}

# The connection file the game client must find, byte for byte (CR LF, tabs, admins from the
# refreshed configuration).
expected_client_info() {
    local crlf=$'\r\n'
    printf '%s' "<?xml version=\"1.0\" encoding=\"euc-kr\" ?>$crlf<clientinfo>$crlf"
    printf '%s' $'\t'"<desc>Grimvale Client Information - Taiwan Version</desc>$crlf"
    printf '%s' $'\t'"<servicetype>europe</servicetype>$crlf"$'\t'"<servertype>primary</servertype>$crlf"
    connection "Valewood (demo)" "Demo server one on this machine" "$S1_ACCOUNT" 20 2000001 2000002
    connection "Stonemere (demo)" "Demo server two on this machine" "$S2_ACCOUNT" 22 2000003
    printf '%s' $'\t\t'"<registrationweb>http://127.0.0.1:$HTTP_PORT/register.html</registrationweb>$crlf"
    printf '%s' "</clientinfo>$crlf"
}
connection() {
    local display=$1 desc=$2 port=$3 version=$4 admin crlf=$'\r\n' t=$'\t'
    shift 4
    printf '%s' "$t<connection>$crlf$crlf$t$t<display>$display</display>$crlf$t$t<desc>$desc</desc>$crlf"
    printf '%s' "$t$t<address>127.0.0.1</address>$crlf$t$t<port>$port</port>$crlf"
    printf '%s' "$t$t<version>$version</version>$crlf$t$t<langtype>1</langtype>$crlf$t$t<aid>$crlf"
    for admin in "$@"; do
        printf '%s' "$t$t<admin>$admin</admin>$crlf"
    done
    printf '%s' "$t$t</aid>$crlf$crlf$t</connection>$crlf"
}

addon="$game/Tarvo-Updater/ADDON's/GV_MOUSEFREEDOM"

# ---- run 1: fresh folder --------------------------------------------------------------------
run_updater 1
for patch in demo-patch-001 demo-patch-002 demo-patch-003; do
    check "run 1: files of $patch extracted into the game folder" same_files "$stage/$patch" "$game"
    check "run 1: $patch.rar downloaded once" test "$(requests_since_run "/patches/$patch.rar")" -eq 1
done
check "run 1: downloaded archives deleted" none_of "$game"/demo-patch-00{1,2,3}.rar
check "run 1: applied4.list has the [Updates] section" matches_i "$game/Tarvo-Updater/applied4.list" '^\[Updates\]'
for n in 1 2 3; do
    check "run 1: applied4.list records slot $n" \
        matches_i "$game/Tarvo-Updater/applied4.list" "^Update_$n=demo-patch-00$n\.rar"$'\r?$'
done
check "run 1: updates4.list is the served list" cmp -s "$tmp/www/updates4.list" "$game/Tarvo-Updater/updates4.list"
check "run 1: updater4.cfg replaced by the community's copy" \
    cmp -s "$tmp/www/updater4.cfg" "$game/Tarvo-Updater/updater4.cfg"
check "run 1: configuration refreshed once" test "$(requests_since_run /updater4.cfg)" -eq 1
log="$game/Tarvo-Updater/updater.log"
check "run 1: the log names the start with its version" grep -qE '^[0-9-]{10}T[0-9:.]{12}Z start tarvo-updater [0-9.]+$' "$log"
check "run 1: the log holds the list request" grep -qE 'GET http://127.0.0.1:[0-9]+/updates4.list: 200 OK, [0-9]+ bytes, [0-9]+ ms$' "$log"
check "run 1: the log holds each applied slot" test "$(grep -c ' applied$' "$log")" -eq 3
check "run 1: the log holds the comment box" grep -q 'box "Tarvo Updater": ' "$log"
check "run 1: the log ends with the end" test "$(tail -n 1 "$log" | cut -d' ' -f2-)" = end
check "run 1: the patch list's signature fetched" test "$(requests_since_run /updates4.list.minisig)" -eq 1
check "run 1: the configuration's signature fetched" test "$(requests_since_run /updater4.cfg.minisig)" -eq 1
expected_client_info >"$tmp/expected-sclientinfo.xml"
check "run 1: Data/sclientinfo.xml holds both servers, byte for byte" \
    cmp "$tmp/expected-sclientinfo.xml" "$game/Data/sclientinfo.xml"
check "run 1: stored settings hold Version 4.0" matches_i "$registry" '^"Version"="4\.0"'
check "run 1: stored settings hold the add-on off" matches_i "$registry" '^"FreedomMouseStatus"=dword:0+'$'\r?$'
check "run 1: add-on sources delivered by patch 3" test -f "$addon/dinput.dll" -a -f "$addon/GV_MF.bin" -a -f "$addon/GV_MF.ini"
check "run 1: add-on off, so not installed in the game folder" none_of "$game/dinput.dll" "$game/GV_MF.bin" "$game/GV_MF.ini"
check "run 1: the game client read both servers" matches "$marker" '^servers=2$'
check "run 1: the game client saw server 1's address and port" \
    matches "$marker" "^server=Valewood \(demo\) - 127\.0\.0\.1:$S1_ACCOUNT "
dialogs="$tmp/dialogs-1.jsonl"
check "run 1: dialog journal written" test -s "$dialogs"
check "run 1: first-start notice shown" matches "$dialogs" '"title": ?"Read this carefully plz"'
check "run 1: first-start notice text exact" matches "$dialogs" \
    '"text": ?"-= Updater Info=-\\n\\n\\nThis is first start\. Check settings\. If you don'"'"' like background\\nsound, turn it off\. Also check FreeMouse option\.\\n\\n\* Smile, it makes people wonder what you are thinking\.\.\."'
check "run 1: comment of patch 2 shown" matches "$dialogs" \
    'Hello from the demo community! This text is the archive comment of patch 2:\\nthe updater shows it'
check "run 1: no error box" lacks "$dialogs" '"icon": ?"stop"'
check "run 1: exactly two dialogs" test "$(wc -l <"$dialogs")" -eq 2

# ---- run 2: nothing to do -------------------------------------------------------------------
snapshot >"$tmp/before-2.sha256"
run_updater 2
snapshot >"$tmp/after-2.sha256"
check "run 2: no file of the game folder or the settings changed" diff -u "$tmp/before-2.sha256" "$tmp/after-2.sha256"
check "run 2: the patch list downloaded once" test "$(requests_since_run /updates4.list)" -eq 1
check "run 2: no patch downloaded" test "$(requests_since_run '/patches/[^ ]*')" -eq 0
check "run 2: no dialog" test ! -s "$tmp/dialogs-2.jsonl"

# ---- run 3: the mouse add-on switched on ----------------------------------------------------
sed -i -E 's/^("FreedomMouseStatus"=dword:)[0-9a-fA-F]+/\100000001/I' "$registry"
check "run 3: add-on switched on in the stored settings" matches_i "$registry" '^"FreedomMouseStatus"=dword:0*1'$'\r?$'
run_updater 3
for file in dinput.dll GV_MF.bin GV_MF.ini; do
    check "run 3: $file installed from the add-on folder" cmp -s "$addon/$file" "$game/$file"
done
check "run 3: no patch downloaded" test "$(requests_since_run '/patches/[^ ]*')" -eq 0
check "run 3: the add-on stays on in the stored settings" matches_i "$registry" '^"FreedomMouseStatus"=dword:0*1'$'\r?$'
check "run 3: no dialog" test ! -s "$tmp/dialogs-3.jsonl"

# ---- run 4: a new patch published with the one command ----------------------------------------
mkdir -p "$stage/demo-patch-004/Data" && echo "patch four" >"$stage/demo-patch-004/Data/news-004.txt"
(cd "$stage/demo-patch-004" && rar a -r -idq "$tmp/www/patches/demo-patch-004.rar" -- *) || abort "rar"
check "run 4: the patch tool publishes the new archive" community_publish "$tmp/www" "$patchtool" "$tmp/keys"
check "run 4: the list gained slot 4" matches "$tmp/www/updates4.list" '^Update_4=http://127.0.0.1:[0-9]+/patches/demo-patch-004.rar'
check "run 4: the published list verifies with minisign" \
    minisign -Vq -p "$tmp/keys/minisign.pub" -m "$tmp/www/updates4.list"
run_updater 4
check "run 4: files of demo-patch-004 extracted into the game folder" same_files "$stage/demo-patch-004" "$game"
check "run 4: only demo-patch-004.rar downloaded" test "$(requests_since_run '/patches/[^ ]*')" -eq 1
check "run 4: applied4.list records slot 4" \
    matches_i "$game/Tarvo-Updater/applied4.list" "^Update_4=demo-patch-004\.rar"$'\r?$'

# ---- run 5: damaged files found and mended -------------------------------------------------------
# run_check N OPTION: the updater's check or repair without a window, its report in check-N.out.
run_check() {
    log_mark=$(wc -l <"$access_log")
    (cd "$game" && exec timeout "$run_limit" "$updater" "$2") >"$tmp/check-$1.out" 2>"$tmp/check-$1.err"
}
check "run 5: the record of installed files names every patch's files" \
    test "$(grep -c $'\tdemo-patch-00[1-4]\\.rar\t' "$game/Tarvo-Updater/installed-files.list")" -ge 7
rm "$game/Data/sprite/sprite-table.txt"
printf 'damaged' >"$game/Data/news/patch-notes.txt"
echo "my own notes" >"$game/Data/player-notes.txt"
run_check 5a --verify
check "run 5: --verify ends with 1 for a damaged folder" test $? -eq 1
check "run 5: --verify names the deleted file and its slot" \
    matches "$tmp/check-5a.out" '^missing: Data/sprite/sprite-table.txt \(Update_1, demo-patch-001.rar\)$'
check "run 5: --verify names the changed file and its slot" \
    matches "$tmp/check-5a.out" '^changed: Data/news/patch-notes.txt \(Update_2, demo-patch-002.rar\)$'
check "run 5: --verify leaves the player's own file out" lacks "$tmp/check-5a.out" 'player-notes'
check "run 5: --verify asks the network nothing" test "$(wc -l <"$access_log")" -eq "$log_mark"
whole_inode=$(stat -c %i "$game/Data/texture/effect/effect-list.txt")
run_check 5b --repair
check "run 5: --repair ends with 0" test $? -eq 0
check "run 5: --repair fetched exactly the two archives that own the files" \
    test "$(requests_since_run '/patches/[^ ]*')" -eq 2 -a "$(requests_since_run /patches/demo-patch-001.rar)" -eq 1 \
    -a "$(requests_since_run /patches/demo-patch-002.rar)" -eq 1
check "run 5: the deleted file is back" cmp -s "$stage/demo-patch-001/Data/sprite/sprite-table.txt" \
    "$game/Data/sprite/sprite-table.txt"
check "run 5: the changed file is mended" cmp -s "$stage/demo-patch-002/Data/news/patch-notes.txt" \
    "$game/Data/news/patch-notes.txt"
check "run 5: a whole file of the same archive is not written again" \
    test "$(stat -c %i "$game/Data/texture/effect/effect-list.txt")" = "$whole_inode"
check "run 5: the player's own file is left alone" matches "$game/Data/player-notes.txt" '^my own notes$'
run_check 5c --verify
check "run 5: --verify then finds the folder whole" test $? -eq 0

# ---- run 6: a slot reaches the disk before it is recorded, seen from outside -----------------------
# The real program under strace: the new file's data and its folder are synced before the record of
# the slot is renamed into place. Skipped where the machine does not allow tracing.
mkdir -p "$stage/demo-patch-005/Data" && echo "patch five" >"$stage/demo-patch-005/Data/news-005.txt"
(cd "$stage/demo-patch-005" && rar a -r -idq "$tmp/www/patches/demo-patch-005.rar" -- *) || abort "rar"
community_publish "$tmp/www" "$patchtool" "$tmp/keys" || abort "publish"
if command -v strace >/dev/null && strace -f -o /dev/null true 2>/dev/null; then
    echo "# run 6"
    (cd "$game" && exec timeout "$run_limit" strace -f -y -qq -o "$tmp/trace.txt" \
        -e trace=fdatasync,fsync,syncfs,rename,renameat,renameat2 "$updater" --update-only) \
        >"$tmp/updater-6.log" 2>&1
    check "run 6: the headless update ends with 0" test $? -eq 0
    check "run 6: demo-patch-005 applied" matches "$game/Data/news-005.txt" '^patch five$'
    # line_of PATTERN: the first line of the trace that matches.
    line_of() { grep -nE "$1" "$tmp/trace.txt" | head -n 1 | cut -d: -f1; }
    data_synced=$(line_of 'fdatasync\([0-9]+<[^>]*/Data/news-005\.txt>')
    folder_synced=$(line_of 'fsync\([0-9]+<[^>]*/Data>')
    recorded=$(line_of 'rename(at2?)?\(.*"Tarvo-Updater/applied4\.list"')
    check "run 6: the file's data is synced before the slot is recorded" \
        test -n "$data_synced" -a -n "$recorded" -a "${data_synced:-0}" -lt "${recorded:-0}"
    check "run 6: its folder is synced before the slot is recorded" \
        test -n "$folder_synced" -a "${folder_synced:-0}" -lt "${recorded:-0}"
else
    echo "skip - run 6: strace cannot trace here"
fi

# ---- run 7: a first community from nothing, the guide's way ----------------------------------------
# start_guide_nginx RUN_DIR WEB_ROOT PORT: nginx with the server block of the guide's section 8.3, its
# root and port replaced as the guide tells the administrator to.
start_guide_nginx() {
    local run=$1 root=$2 port=$3 block user_line=""
    block=$(awk '/^### 8\.3/ { section = 1 } section && /^```nginx$/ { grab = 1; next }
                 grab && /^```$/ { exit } grab { print }' "$source_dir/docs/administrators.md")
    [ -n "$block" ] || { echo "  no nginx block in section 8.3 of the guide"; return 1; }
    mkdir -p "$run/tmp" "$run/logs" || return 1
    [ "$(id -u)" -eq 0 ] && user_line="user root;"
    cat >"$run/nginx.conf" <<CONF
$user_line
worker_processes 1;
pid $run/nginx.pid;
error_log $run/logs/error.log warn;
events { worker_connections 64; }
http {
    access_log $run/logs/access.log;
    client_body_temp_path $run/tmp/body;
    proxy_temp_path $run/tmp/proxy;
    fastcgi_temp_path $run/tmp/fastcgi;
    uwsgi_temp_path $run/tmp/uwsgi;
    scgi_temp_path $run/tmp/scgi;
$(printf '%s\n' "$block" | sed -E -e "s|^( *)listen 80;|\1listen 127.0.0.1:$port;|" -e '/listen \[::\]:80;/d' \
        -e "s|^( *)root [^;]*;|\1root $root;|")
}
CONF
    nginx -t -q -p "$run" -e "$run/logs/error.log" -c "$run/nginx.conf" || return 1
    nginx -p "$run" -e "$run/logs/error.log" -c "$run/nginx.conf" -g 'daemon off;' >"$run/logs/stdout.log" 2>&1 &
    GUIDE_NGINX_PID=$!
    community_wait_for 5 community_port_busy "$port"
}
echo "# run 7"
first="$tmp/first"
first_port=$(community_free_port) || abort "ports"
first_site="http://127.0.0.1:$first_port"
# quietly COMMAND...: runs COMMAND with its output in $tmp/quietly.log, shown when it fails.
quietly() { "$@" >"$tmp/quietly.log" 2>&1 || { sed 's/^/  | /' "$tmp/quietly.log"; return 1; }; }
check "run 7: new-community makes the web and game halves" quietly \
    "$patchtool" new-community "$first" --title "First Community" --site "$first_site" --key "$tmp/keys/minisign.pub"
mkdir -p "$first/patch/Data" && echo "the first patch" >"$first/patch/Data/first.txt"
(cd "$first/patch" && rar a -r -idq "$first/web/patches/0001-first.rar" -- *) || abort "rar"
check "run 7: the first patch is published into the web half" quietly \
    "$patchtool" publish --list "$first/web/updates4.list" --archives "$first/web/patches" \
    --key "$tmp/keys/minisign.key" --config "$first/web/updater4.cfg" --base "$first_site/patches"
check "run 7: the guide's nginx block serves the web half" start_guide_nginx "$tmp/guide-nginx" "$first/web" "$first_port"
check "run 7: the served set passes the check" quietly \
    "$patchtool" check "$first_site/updates4.list" --key "$first/web/minisign.pub" --config "$first_site/updater4.cfg"
timeout "$run_limit" "$updater" --update-only --game-dir "$first/game" >"$tmp/updater-7.log" 2>&1
check "run 7: the headless update in the game half ends with 0" test $? -eq 0
check "run 7: the first patch is applied" matches "$first/game/Data/first.txt" '^the first patch$'
check "run 7: applied4.list records it" \
    matches_i "$first/game/Tarvo-Updater/applied4.list" "^Update_1=0001-first\.rar"$'\r?$'

echo "# game client: $client_name, $(grep -c '"GET ' "$access_log") requests served"
if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"

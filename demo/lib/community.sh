# shellcheck shell=bash
# The demo community, shared by scripts/demo and the end-to-end test: builds a demo game folder and
# a web root with three RAR patches, and runs nginx, the tracker of the shared patches and the demo
# game server on loopback.
# Source this file; every function reports failures on stderr and returns non-zero.

COMMUNITY_SOURCE="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Ports: the HTTP and tracker ports are picked by community_pick_ports; the game server ports can
# be overridden before that call.
: "${S1_ACCOUNT:=16900}" "${S1_CHAR:=16121}" "${S1_MAP:=15121}"
: "${S2_ACCOUNT:=26900}" "${S2_CHAR:=26121}" "${S2_MAP:=25121}"
HTTP_PORT="${HTTP_PORT:-}"
TRACKER_PORT="${TRACKER_PORT:-}"
NGINX_PID=""
TRACKER_PID=""
SERVER_PID=""

community_error() {
    echo "community: $*" >&2
    return 1
}

community_port_busy() {
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

# Prints a loopback port that nothing listens on, below the kernel's range for outgoing
# connections (32768 and up): a port a client happens to use there cannot be bound, although
# nothing listens on it. Fails after 50 tries.
community_free_port() {
    local port tries
    for tries in $(seq 1 50); do
        port=$((20000 + RANDOM % 12000))
        community_port_busy "$port" || { echo "$port"; return 0; }
    done
    return 1
}

# Picks free HTTP and tracker ports and checks that the six game server ports are free.
community_pick_ports() {
    local tries
    if [ -z "$HTTP_PORT" ]; then
        HTTP_PORT=$(community_free_port) || community_error "no free loopback port found for nginx" || return 1
    fi
    for tries in 1 2 3 4 5; do
        [ -n "$TRACKER_PORT" ] && [ "$TRACKER_PORT" != "$HTTP_PORT" ] && break
        TRACKER_PORT=$(community_free_port) || community_error "no free loopback port found for the tracker" || return 1
    done
    [ "$TRACKER_PORT" != "$HTTP_PORT" ] || community_error "no second free loopback port found" || return 1
    for port in "$S1_ACCOUNT" "$S1_CHAR" "$S1_MAP" "$S2_ACCOUNT" "$S2_CHAR" "$S2_MAP"; do
        if community_port_busy "$port"; then
            community_error "port $port is already in use on 127.0.0.1 (another demo still running?)"
            return 1
        fi
    done
}

# Replaces the @...@ placeholders in the given files.
community_substitute() {
    sed -i -e "s/@HTTP_PORT@/$HTTP_PORT/g" \
        -e "s/@S1_ACCOUNT@/$S1_ACCOUNT/g" -e "s/@S1_CHAR@/$S1_CHAR/g" -e "s/@S1_MAP@/$S1_MAP/g" \
        -e "s/@S2_ACCOUNT@/$S2_ACCOUNT/g" -e "s/@S2_CHAR@/$S2_CHAR/g" -e "s/@S2_MAP@/$S2_MAP/g" "$@"
}

# Reads one key of a section of an INI file (first match, names without regard to case).
community_ini_value() {
    local file=$1 section=$2 key=$3
    awk -v section="$section" -v key="$key" '
        BEGIN { section = tolower(section); key = tolower(key) }
        /^[ \t]*\[/ { current = tolower($0); gsub(/^[ \t]*\[|\][ \t\r]*$/, "", current); next }
        current == section {
            split($0, kv, "="); name = tolower(kv[1]); gsub(/^[ \t]+|[ \t]+$/, "", name)
            if (name == key) { sub(/^[^=]*=[ \t]*/, ""); sub(/[ \t\r]+$/, ""); print; exit }
        }' "$file"
}

# A short plucked tune, made with sox (it cannot write mp3 here, so the demo plays a WAV file).
community_make_tune() {
    local out=$1 work i=0 note
    work=$(mktemp -d) || return 1
    for note in C4 E4 G4 C5 G4 E4 F4 A4 C5 F5 C5 A4 G4 B4 D5 G5 E5 C5; do
        i=$((i + 1))
        sox -n -r 22050 -c 1 -b 16 "$work/$(printf 'n%02d.wav' "$i")" \
            synth 0.28 pluck "$note" fade 0 0.28 0.12 gain -6 || { rm -rf "$work"; return 1; }
    done
    mkdir -p "$(dirname "$out")"
    sox "$work"/n*.wav "$out" reverb 30 repeat 1 fade 0 0 0.6
    local rc=$?
    rm -rf "$work"
    return $rc
}

# community_make_game_folder DEST CLIENT_BINARY: a fresh game folder from demo/game.
community_make_game_folder() {
    local dest=$1 client=$2 cfg client_name bgm
    rm -rf "$dest" && mkdir -p "$dest" || return 1
    cp -R "$COMMUNITY_SOURCE/game/." "$dest/" || return 1
    cfg="$dest/Tarvo-Updater/updater4.cfg"
    community_substitute "$cfg" || return 1
    # The launcher starts the client by the ClientName of the configuration, relative to the game folder.
    client_name=$(community_ini_value "$cfg" Config_1 ClientName)
    [ -n "$client_name" ] || community_error "no ClientName in $cfg" || return 1
    install -m 755 "$client" "$dest/$client_name" || return 1
    bgm=$(community_ini_value "$cfg" Main BGM_Sound)
    community_make_tune "$dest/BGM/${bgm:-01.wav}" || community_error "sox could not make the tune" || return 1
}

# community_make_patches STAGE OUT [PACK_KB]: one RAR archive per folder of demo/patches. The staged
# trees stay in STAGE (the files a game folder must hold after the update). Patch 1 also carries a
# file of PACK_KB random kilobytes, so that its download is visible for a moment.
community_make_patches() {
    local stage out pack_kb=${3:-0} dir name
    stage=$(realpath -m "$1") && out=$(realpath -m "$2") || return 1
    rm -rf "$stage" && mkdir -p "$stage" "$out" || return 1
    for dir in "$COMMUNITY_SOURCE"/patches/demo-patch-*/; do
        name=$(basename "$dir")
        cp -R "$dir" "$stage/$name" || return 1
        if [ "$name" = demo-patch-001 ] && [ "$pack_kb" -gt 0 ]; then
            head -c "$((pack_kb * 1024))" /dev/urandom >"$stage/$name/Data/demo-pack.grf" || return 1
        fi
        rm -f "$out/$name.rar"
        # Entries carry paths relative to the game folder: archive from inside the staged tree.
        (cd "$stage/$name" && rar a -r -idq -m1 "$out/$name.rar" -- *) ||
            community_error "rar could not build $name.rar" || return 1
        if [ -f "$COMMUNITY_SOURCE/patches/$name.comment" ]; then
            rar c -idq "-z$COMMUNITY_SOURCE/patches/$name.comment" "$out/$name.rar" ||
                community_error "rar could not add the comment to $name.rar" || return 1
        fi
    done
}

# community_make_web_root ROOT STAGE [PACK_KB]: news pages, updater4.cfg, updates4.list and patches.
community_make_web_root() {
    local root stage=$2 pack_kb=${3:-0}
    root=$(realpath -m "$1") || return 1
    rm -rf "$root" && mkdir -p "$root" || return 1
    cp -R "$COMMUNITY_SOURCE/web/." "$root/" || return 1
    community_substitute "$root/updater4.cfg" "$root/updates4.list" || return 1
    community_make_patches "$stage" "$root/patches" "$pack_kb"
}

# community_sign WEB_ROOT GAME_FOLDER PATCHTOOL KEY_DIR [TRACKERS]: publishes the web root the way
# a careful community does: a minisign key made once (in KEY_DIR, without password), then one
# publish that gives every new archive its slot, writes the integrity lines, signs the patch list
# and updater4.cfg and checks the result; the public key is shipped in the game folder as
# Tarvo-Updater/patchlist.pub. With TRACKERS (announce addresses, comma-separated) every archive
# also gets its torrent for the players who share, and WEB_ROOT the tracker's torrents.whitelist.
community_sign() {
    local root=$1 game=$2 patchtool=$3 keys=$4 trackers=${5:-}
    command -v minisign >/dev/null || community_error "minisign is not installed" || return 1
    [ -x "$patchtool" ] || community_error "tarvo-patchtool is not built: $patchtool" || return 1
    mkdir -p "$keys" || return 1
    if [ ! -f "$keys/minisign.key" ]; then
        minisign -G -W -p "$keys/minisign.pub" -s "$keys/minisign.key" >/dev/null ||
            community_error "minisign could not make a key" || return 1
    fi
    community_publish "$root" "$patchtool" "$keys" "$trackers" || return 1
    cp "$keys/minisign.pub" "$game/Tarvo-Updater/patchlist.pub"
}

# community_publish WEB_ROOT PATCHTOOL KEY_DIR [TRACKERS]: the administrator's one command after
# adding archives to WEB_ROOT/patches; with TRACKERS it makes the torrents too.
community_publish() {
    local root=$1 patchtool=$2 keys=$3 trackers=${4:-} output
    local args=(publish --list "$root/updates4.list" --archives "$root/patches"
        --key "$keys/minisign.key" --config "$root/updater4.cfg")
    [ -n "$trackers" ] && args+=(--trackers "$trackers")
    output=$("$patchtool" "${args[@]}" 2>&1) ||
        { printf '%s\n' "$output" >&2; community_error "tarvo-patchtool could not publish $root"; return 1; }
}

# community_start_tracker RUN_DIR WEB_ROOT: opentracker on 127.0.0.1:TRACKER_PORT (TCP and UDP),
# serving only the torrents of WEB_ROOT/torrents.whitelist, as publish wrote it. Started as root it
# locks itself into WEB_ROOT and goes on as "nobody", so WEB_ROOT must be readable by everyone.
community_start_tracker() {
    local run root
    run=$(realpath -m "$1") && root=$(realpath -m "$2") || return 1
    command -v opentracker >/dev/null || community_error "opentracker is not installed" || return 1
    [ -f "$root/torrents.whitelist" ] ||
        community_error "no torrents.whitelist in $root (publish with --trackers)" || return 1
    mkdir -p "$run" || return 1
    opentracker -i 127.0.0.1 -p "$TRACKER_PORT" -P "$TRACKER_PORT" -w torrents.whitelist -d "$root" \
        -u nobody >"$run/opentracker.log" 2>&1 &
    TRACKER_PID=$!
    community_job_listens "$TRACKER_PID" "$TRACKER_PORT" && return 0
    community_error "opentracker did not start on 127.0.0.1:$TRACKER_PORT: $(cat "$run/opentracker.log")"
    community_stop_tracker
    return 1
}

# community_job_listens PID PORT: waits up to five seconds for the background job to listen on
# 127.0.0.1:PORT; fails at once when the job has ended.
community_job_listens() {
    local i
    for i in $(seq 1 50); do
        community_port_busy "$2" && return 0
        kill -0 "$1" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

# community_stop_job PID: ends a background job of this shell (nothing for an empty PID) and waits
# for it.
community_stop_job() {
    if [ -n "$1" ]; then
        kill -TERM "$1" 2>/dev/null
        wait "$1" 2>/dev/null
    fi
    return 0
}

community_stop_tracker() {
    community_stop_job "$TRACKER_PID"
    TRACKER_PID=""
}

# community_start_nginx RUN_DIR WEB_ROOT [PATCH_RATE]: nginx in the foreground of a background job,
# with its own configuration, pid file, logs and temp folders under RUN_DIR. PATCH_RATE (e.g. 300k)
# slows the patch downloads down; 0 means full speed.
community_start_nginx() {
    local run root rate=${3:-0} user_line=""
    run=$(realpath -m "$1") && root=$(realpath -m "$2") || return 1
    rm -rf "$run" && mkdir -p "$run/tmp" "$run/logs" || return 1
    command -v nginx >/dev/null || community_error "nginx is not installed" || return 1
    # As root the workers would run as "nobody" and could not read a private web root.
    [ "$(id -u)" -eq 0 ] && user_line="user root;"
    cat >"$run/nginx.conf" <<CONF
$user_line
worker_processes 1;
pid $run/nginx.pid;
error_log $run/logs/error.log warn;
events { worker_connections 64; }
http {
    types {
        text/html html htm;
        text/css css;
        text/plain cfg list txt minisig;
        application/x-rar-compressed rar;
    }
    default_type application/octet-stream;
    access_log $run/logs/access.log;
    client_body_temp_path $run/tmp/body;
    proxy_temp_path $run/tmp/proxy;
    fastcgi_temp_path $run/tmp/fastcgi;
    uwsgi_temp_path $run/tmp/uwsgi;
    scgi_temp_path $run/tmp/scgi;
    server {
        listen 127.0.0.1:$HTTP_PORT;
        root $root;
        index index.html;
        location /patches/ { limit_rate $rate; }
    }
}
CONF
    nginx -t -q -p "$run" -e "$run/logs/error.log" -c "$run/nginx.conf" ||
        community_error "nginx rejected $run/nginx.conf" || return 1
    nginx -p "$run" -e "$run/logs/error.log" -c "$run/nginx.conf" -g 'daemon off;' \
        >"$run/logs/stdout.log" 2>&1 &
    NGINX_PID=$!
    community_job_listens "$NGINX_PID" "$HTTP_PORT" && return 0
    community_error "nginx did not start on 127.0.0.1:$HTTP_PORT (see $run/logs/error.log)"
    community_stop_nginx
    return 1
}

community_stop_nginx() {
    community_stop_job "$NGINX_PID"
    NGINX_PID=""
}

# community_start_server BINARY LOG: the demo game server on the six ports of the two servers.
community_start_server() {
    local binary=$1 log=$2 i
    [ -x "$binary" ] || community_error "demo server $binary is not built" || return 1
    "$binary" "$S1_ACCOUNT" "$S1_CHAR" "$S1_MAP" "$S2_ACCOUNT" "$S2_CHAR" "$S2_MAP" >"$log" 2>&1 &
    SERVER_PID=$!
    for i in $(seq 1 50); do
        grep -qx ready "$log" 2>/dev/null && return 0
        kill -0 "$SERVER_PID" 2>/dev/null || break
        sleep 0.1
    done
    community_error "the demo game server did not start: $(cat "$log")"
    community_stop_server
    return 1
}

community_stop_server() {
    community_stop_job "$SERVER_PID"
    SERVER_PID=""
}

# community_wait_for SECONDS COMMAND...: runs COMMAND every 0.2 s until it succeeds or time is up.
community_wait_for() {
    local seconds=$1 deadline
    shift
    deadline=$((SECONDS + seconds))
    while [ "$SECONDS" -lt "$deadline" ]; do
        "$@" && return 0
        sleep 0.2
    done
    "$@"
}

#!/usr/bin/env bash
# A throwaway print server for the tests: `cupsd.sh start STATE` runs a scheduler of its own in a
# new temporary folder, reachable through a Unix socket there only, with one receipt queue that
# prints into /dev/null, and writes the socket's path to STATE/socket; `cupsd.sh stop STATE` stops
# it and removes the folder. The system's own print server is never touched.
set -euo pipefail
action=${1:?start or stop}
state=${2:?state folder}

stop() {
    [ -f "$state/folder" ] || return 0
    local dir
    dir=$(cat "$state/folder")
    if [ -f "$dir/pid" ]; then
        kill "$(cat "$dir/pid")" 2>/dev/null || true
        for _ in $(seq 50); do kill -0 "$(cat "$dir/pid")" 2>/dev/null || break; sleep 0.1; done
    fi
    rm -rf "$dir"
    rm -f "$state/folder" "$state/socket"
}

case "$action" in
start)
    command -v cupsd >/dev/null || { echo "cups-daemon is not installed (scripts/setup installs it)" >&2; exit 1; }
    stop
    mkdir -p "$state"
    dir=$(mktemp -d /tmp/vandrel-test-cups.XXXXXX)
    mkdir -p "$dir"/{spool,cache,state,log}
    cat >"$dir/cupsd.conf" <<CONF
Listen $dir/cups.sock
LogLevel warn
WebInterface No
Browsing No
<Location />
  Order allow,deny
  Allow all
</Location>
<Location /admin>
  Order allow,deny
  Allow all
</Location>
# Whoever runs the tests may set the queues up (the socket is in a folder of theirs only).
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
    cat >"$dir/cups-files.conf" <<CONF
ServerRoot $dir
RequestRoot $dir/spool
TempDir $dir/spool
CacheDir $dir/cache
StateDir $dir/state
ErrorLog $dir/log/error_log
AccessLog $dir/log/access_log
PageLog $dir/log/page_log
FileDevice Yes
CONF
    echo "$dir" >"$state/folder"
    cupsd -f -c "$dir/cupsd.conf" -s "$dir/cups-files.conf" >"$dir/log/cupsd.out" 2>&1 &
    echo $! >"$dir/pid"
    export CUPS_SERVER="$dir/cups.sock"
    for _ in $(seq 100); do lpstat -r >/dev/null 2>&1 && break; sleep 0.1; done
    lpstat -r >/dev/null 2>&1 || { cat "$dir/log/cupsd.out" "$dir/log/error_log" >&2 2>/dev/null; stop; exit 1; }
    echo "$CUPS_SERVER" >"$state/socket"
    ;;
stop)
    stop
    ;;
*)
    echo "usage: cupsd.sh start|stop STATE" >&2
    exit 2
    ;;
esac

#!/usr/bin/env bash
# A throwaway database server for the tests: `pgcluster.sh start STATE` makes a cluster in a new
# temporary folder, reachable through a Unix socket in that folder only (no TCP), and writes the
# administrator's URL to STATE/url; `pgcluster.sh stop STATE` stops it and removes the folder.
# The server refuses to run as root, so under root it runs as the unprivileged user nobody.
set -euo pipefail
action=${1:?start or stop}
state=${2:?state folder}
bin=/usr/lib/postgresql/15/bin

as_owner() {
    if [ "$(id -u)" = 0 ]; then
        setpriv --reuid=nobody --regid=nogroup --clear-groups -- "$@"
    else
        "$@"
    fi
}

stop() {
    [ -f "$state/folder" ] || return 0
    local dir
    dir=$(cat "$state/folder")
    if [ -d "$dir/data" ]; then
        (cd "$dir" && as_owner "$bin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1) || true
    fi
    rm -rf "$dir"
    rm -f "$state/folder" "$state/url"
}

case "$action" in
start)
    [ -x "$bin/initdb" ] || { echo "postgresql-15 is not installed (scripts/setup installs it)" >&2; exit 1; }
    # A cluster left by an interrupted run goes first.
    stop
    mkdir -p "$state"
    dir=$(mktemp -d /tmp/vandrel-test-server.XXXXXX)
    [ "$(id -u)" = 0 ] && chown nobody:nogroup "$dir"
    cd "$dir"
    as_owner "$bin/initdb" -D "$dir/data" -U ledger -A trust -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 ||
        { cat "$dir/initdb.log" >&2; rm -rf "$dir"; exit 1; }
    # The administrator needs no password; any other user (a till's, in the tests of the password
    # dialog) gives one.
    printf 'local all ledger trust\nlocal all all scram-sha-256\n' >"$dir/data/pg_hba.conf"
    # Durability is of no use to a cluster thrown away after the tests.
    if ! as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/log" -w -t 60 \
        -o "-k $dir -p 5432 -c listen_addresses='' -c fsync=off -c synchronous_commit=off -c full_page_writes=off -c max_connections=60" \
        start >/dev/null; then
        cat "$dir/log" >&2
        rm -rf "$dir"
        exit 1
    fi
    echo "$dir" >"$state/folder"
    echo "postgresql://ledger@/postgres?host=$dir&port=5432" >"$state/url"
    echo "test server running in $dir"
    ;;
stop)
    stop
    ;;
*)
    echo "usage: $0 start|stop STATE" >&2
    exit 2
    ;;
esac

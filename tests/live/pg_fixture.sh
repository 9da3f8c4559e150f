#!/bin/bash
# Starts and stops a throw-away PostgreSQL for the live-source tests.
#
#   pg_fixture.sh start STATE_FILE   initdb in a fresh temporary folder, listen on 127.0.0.1 on a
#                                    free port, create the test databases, write STATE_FILE
#   pg_fixture.sh stop STATE_FILE    stop that server and remove its folder
#
# STATE_FILE is a shell fragment the tests read (TABLOR_PG_PORT=..., ...). PostgreSQL refuses to
# run as root, so under root the server runs as the postgres system user.
set -euo pipefail

action=${1:?start or stop}
state=${2:?state file}
bin=${TABLOR_PG_BIN:-/usr/lib/postgresql/15/bin}
here=$(cd "$(dirname "$0")" && pwd)

admin=tablor_admin
admin_password=tablor-admin-pw

server_user=postgres
# shellcheck source=fixture_common.sh
. "$here/fixture_common.sh"

stop_server() {
    [ -f "$state" ] || return 0
    # shellcheck disable=SC1090
    . "$state"
    if [ -n "${TABLOR_PG_DIR:-}" ] && [ -d "$TABLOR_PG_DIR" ]; then
        as_server_user "$bin/pg_ctl" -D "$TABLOR_PG_DIR/data" -m immediate -w stop >/dev/null 2>&1 || true
        rm -rf "$TABLOR_PG_DIR"
    fi
    rm -f "$state"
}

start_server() {
    stop_server
    if [ ! -x "$bin/initdb" ]; then
        echo "pg_fixture: no PostgreSQL binaries in $bin (install postgresql-15)" >&2
        exit 1
    fi
    local dir
    dir=$(mktemp -d /tmp/tablor-pg.XXXXXX)
    chmod 700 "$dir"
    [ "$(id -u)" = 0 ] && chown postgres: "$dir"
    printf '%s\n' "$admin_password" >"$dir/pw"
    [ "$(id -u)" = 0 ] && chown postgres: "$dir/pw"

    as_server_user "$bin/initdb" -D "$dir/data" -U "$admin" --pwfile="$dir/pw" -E UTF8 --locale=C.UTF-8 \
        --auth-local=trust --auth-host=scram-sha-256 --no-sync >"$dir/initdb.log" 2>&1 || {
        cat "$dir/initdb.log" >&2
        rm -rf "$dir"
        exit 1
    }

    local port started=0
    for _ in 1 2 3 4 5 6 7 8; do
        port=$((20000 + RANDOM % 40000))
        port_is_free "$port" || continue
        if as_server_user "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
            -o "-c listen_addresses=127.0.0.1 -p $port -k $dir -c fsync=off -c synchronous_commit=off -c full_page_writes=off" \
            start >/dev/null 2>&1; then
            started=1
            break
        fi
    done
    if [ "$started" != 1 ]; then
        cat "$dir/server.log" >&2 || true
        rm -rf "$dir"
        echo "pg_fixture: the server did not start" >&2
        exit 1
    fi

    cat >"$state" <<EOF
TABLOR_PG_DIR=$dir
TABLOR_PG_HOST=127.0.0.1
TABLOR_PG_PORT=$port
TABLOR_PG_USER=$admin
TABLOR_PG_PASSWORD=$admin_password
EOF

    # The test databases, built over the socket in the server's folder.
    as_server_user "$bin/psql" -X -q -v ON_ERROR_STOP=1 -h "$dir" -p "$port" -U "$admin" -d postgres \
        <"$here/pg_databases.sql" >"$dir/setup.log" 2>&1 || {
        cat "$dir/setup.log" >&2
        stop_server
        exit 1
    }
}

case "$action" in
    start) start_server ;;
    stop) stop_server ;;
    *)
        echo "pg_fixture: unknown action $action" >&2
        exit 2
        ;;
esac

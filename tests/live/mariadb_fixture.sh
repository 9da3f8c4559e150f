#!/bin/bash
# Starts and stops a throw-away MariaDB for the MySQL tests.
#
#   mariadb_fixture.sh start STATE_FILE   mariadb-install-db in a fresh temporary folder, listen
#                                         on 127.0.0.1 on a free port, create the test
#                                         databases, write STATE_FILE
#   mariadb_fixture.sh stop STATE_FILE    stop that server and remove its folder
#
# STATE_FILE is a shell fragment the tests read (TABLOR_MY_PORT=..., ...). Under root the server
# runs as the mysql system user.
set -euo pipefail

action=${1:?start or stop}
state=${2:?state file}
here=$(cd "$(dirname "$0")" && pwd)

admin=tablor_admin
admin_password=tablor-admin-pw

server_user=mysql
# shellcheck source=fixture_common.sh
. "$here/fixture_common.sh"

# The server's root, over the socket in the server's folder (no password: see install).
client() {
    mariadb --no-defaults --socket="$1/sock" -u root "${@:2}"
}

stop_server() {
    [ -f "$state" ] || return 0
    # shellcheck disable=SC1090
    . "$state"
    if [ -n "${TABLOR_MY_DIR:-}" ] && [ -d "$TABLOR_MY_DIR" ]; then
        if [ -f "$TABLOR_MY_DIR/pid" ]; then
            local pid
            pid=$(cat "$TABLOR_MY_DIR/pid")
            kill "$pid" 2>/dev/null || true
            for _ in $(seq 1 100); do
                kill -0 "$pid" 2>/dev/null || break
                sleep 0.1
            done
            kill -9 "$pid" 2>/dev/null || true
        fi
        rm -rf "$TABLOR_MY_DIR"
    fi
    rm -f "$state"
}

start_server() {
    stop_server
    if ! command -v mariadbd >/dev/null && [ ! -x /usr/sbin/mariadbd ]; then
        echo "mariadb_fixture: no mariadbd (install mariadb-server)" >&2
        exit 1
    fi
    local dir
    dir=$(mktemp -d /tmp/tablor-my.XXXXXX)
    chmod 700 "$dir"
    [ "$(id -u)" = 0 ] && chown mysql: "$dir"

    as_server_user mariadb-install-db --no-defaults --datadir="$dir/data" --auth-root-authentication-method=normal \
        --skip-test-db >"$dir/install.log" 2>&1 || {
        cat "$dir/install.log" >&2
        rm -rf "$dir"
        exit 1
    }

    local port started=0
    for _ in 1 2 3 4 5 6 7 8; do
        port=$((20000 + RANDOM % 40000))
        port_is_free "$port" || continue
        rm -f "$dir/pid"
        as_server_user /usr/sbin/mariadbd --no-defaults --datadir="$dir/data" --socket="$dir/sock" \
            --port="$port" --bind-address=127.0.0.1 --pid-file="$dir/pid" --log-error="$dir/server.log" \
            --skip-name-resolve --character-set-server=utf8mb4 --collation-server=utf8mb4_unicode_ci \
            --innodb-buffer-pool-size=128M --table-definition-cache=8192 --table-open-cache=8192 --innodb-log-file-size=8M --innodb-flush-log-at-trx-commit=0 \
            </dev/null >/dev/null 2>&1 &
        local server=$!
        for _ in $(seq 1 150); do
            client "$dir" -e "SELECT 1" >/dev/null 2>&1 && [ -f "$dir/pid" ] && {
                started=1
                break
            }
            kill -0 "$server" 2>/dev/null || break
            sleep 0.2
        done
        [ "$started" = 1 ] && break
    done
    if [ "$started" != 1 ]; then
        cat "$dir/server.log" >&2 || true
        [ -f "$dir/pid" ] && kill "$(cat "$dir/pid")" 2>/dev/null
        rm -rf "$dir"
        echo "mariadb_fixture: the server did not start" >&2
        exit 1
    fi

    cat >"$state" <<STATE
TABLOR_MY_DIR=$dir
TABLOR_MY_HOST=127.0.0.1
TABLOR_MY_PORT=$port
TABLOR_MY_USER=$admin
TABLOR_MY_PASSWORD=$admin_password
STATE

    client "$dir" --default-character-set=utf8mb4 <"$here/mariadb_databases.sql" >"$dir/setup.log" 2>&1 || {
        cat "$dir/setup.log" >&2
        stop_server
        exit 1
    }
}

case "$action" in
    start) start_server ;;
    stop) stop_server ;;
    *)
        echo "mariadb_fixture: unknown action $action" >&2
        exit 2
        ;;
esac

# What the server fixtures share; sourced after setting server_user (the system user a server
# runs as under root, since neither server will run as root).

as_server_user() {
    if [ "$(id -u)" = 0 ]; then
        runuser -u "$server_user" -- "$@"
    else
        "$@"
    fi
}

port_is_free() {
    ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

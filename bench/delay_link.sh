# Sourced by the benchmarks that need a link with a delay (this kernel has no netem): two network
# namespaces joined by two TUN devices and bench/delay_relay.py, which holds every packet for the
# delay. The caller sets `work` (a scratch folder), `python` and `mtu` first, and calls
# remove_namespaces when it ends. Commands run in the client namespace cross the delayed link to
# $server_ip; run in the server namespace they reach the same address over its loopback device.
client_ns=vistrel-client-$$
server_ns=vistrel-server-$$
client_tun=vtc$$
server_tun=vts$$
client_ip=10.77.0.1
server_ip=10.77.0.2
relay_pid=

in_client() { ip netns exec "$client_ns" "$@"; }
in_server() { ip netns exec "$server_ns" "$@"; }

make_namespaces() {
    ip netns add "$client_ns"
    ip netns add "$server_ns"
    ip -n "$client_ns" link set lo up
    ip -n "$server_ns" link set lo up
}

stop_link() {
    if [ -n "$relay_pid" ]; then
        kill "$relay_pid" 2>/dev/null || true
        wait "$relay_pid" 2>/dev/null || true
        relay_pid=
    fi
}

remove_namespaces() {
    stop_link
    ip netns del "$client_ns" 2>/dev/null || true
    ip netns del "$server_ns" 2>/dev/null || true
}

# The relay creates both devices in this namespace and keeps them open; moved into the two
# namespaces they go on working. They vanish when the relay ends.
start_link() { # delay in ms
    mkfifo "$work/relay.ready"
    "$python" bench/delay_relay.py "$client_tun" "$server_tun" "$1" >"$work/relay.ready" 2>"$work/relay.err" &
    relay_pid=$!
    read -r _ <"$work/relay.ready"
    rm "$work/relay.ready"
    ip link set "$client_tun" netns "$client_ns"
    ip link set "$server_tun" netns "$server_ns"
    ip -n "$client_ns" addr add "$client_ip" peer "$server_ip" dev "$client_tun"
    ip -n "$server_ns" addr add "$server_ip" peer "$client_ip" dev "$server_tun"
    ip -n "$client_ns" link set "$client_tun" mtu "$mtu" up
    ip -n "$server_ns" link set "$server_tun" mtu "$mtu" up
}

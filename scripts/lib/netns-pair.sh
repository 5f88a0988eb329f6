# Sourced by the scripts that need two network namespaces joined by a veth
# pair: make_netns_pair A B NET makes namespaces A and B, with va in A at
# NET.1/24 and vb in B at NET.2/24, IPv6 off so the link stays quiet. The
# caller removes them (ip netns del) in its own cleanup.
make_netns_pair() {
  local a=$1 b=$2 net=$3 ns
  ip netns add "$a"
  ip netns add "$b"
  for ns in "$a" "$b"; do
    ip netns exec "$ns" sh -c 'echo 1 >/proc/sys/net/ipv6/conf/all/disable_ipv6; echo 1 >/proc/sys/net/ipv6/conf/default/disable_ipv6'
    ip -n "$ns" link set lo up
  done
  ip -n "$a" link add va type veth peer name vb netns "$b"
  ip -n "$a" addr add "$net.1/24" dev va
  ip -n "$b" addr add "$net.2/24" dev vb
  ip -n "$a" link set va up
  ip -n "$b" link set vb up
}

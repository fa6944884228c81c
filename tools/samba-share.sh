#!/usr/bin/env bash
# A private Samba share on 127.0.0.1, mounted through smbnetfs (FUSE), for
# the tests that run several workstations on a real file server.
#
#   tools/samba-share.sh start STATE   starts smbd and mounts the share;
#                                      prints the folder on the share to use
#   tools/samba-share.sh stop STATE    unmounts and stops smbd, removes STATE
#   tools/samba-share.sh alive STATE   exit 0 when the mount still answers
#
# STATE is an empty folder of the caller's (mktemp -d). Everything lives
# there: smb.conf, smbd's private, lock, state and cache folders, its log,
# the smbnetfs home with its own configuration, the exported folder and the
# mount point. No system-wide configuration is read or touched; smbd
# listens on 127.0.0.1 only, on a port of its own. When something needed is
# missing (root, /dev/fuse, a free port) start says why on standard error
# and exits with 3; the caller then skips the share tests.
set -euo pipefail

cmd=${1:-}
state=${2:-}
if [ -z "$cmd" ] || [ -z "$state" ]; then
  echo "usage: $0 start|stop|alive STATE" >&2
  exit 2
fi

skip() {
  echo "samba share: $*; the share tests are skipped" >&2
  exit 3
}

mounted() { grep -qs " $1 fuse" /proc/mounts; }

stop() {
  [ -d "$state" ] || return 0
  if mounted "$state/mnt"; then
    fusermount -u "$state/mnt" 2>/dev/null || umount "$state/mnt" 2>/dev/null || umount -l "$state/mnt" 2>/dev/null || true
  fi
  if [ -f "$state/smbnetfs.pid" ]; then
    kill "$(cat "$state/smbnetfs.pid")" 2>/dev/null || true
  fi
  local pidfile
  for pidfile in "$state"/pid/*.pid; do
    [ -f "$pidfile" ] && kill "$(cat "$pidfile")" 2>/dev/null || true
  done
  # Never remove files through a mount that is still there.
  if ! mounted "$state/mnt"; then rm -rf "$state"; fi
}

case "$cmd" in
  stop)
    stop
    exit 0
    ;;
  alive)
    port=$(cat "$state/port" 2>/dev/null) || exit 1
    mounted "$state/mnt" && timeout 10 ls "$state/mnt/127.0.0.1:$port/data" >/dev/null 2>&1
    exit $?
    ;;
  start) ;;
  *)
    echo "usage: $0 start|stop|alive STATE" >&2
    exit 2
    ;;
esac

[ "$(id -u)" -eq 0 ] || skip "needs root (smbd and the FUSE mount)"
[ -c /dev/fuse ] && [ -w /dev/fuse ] || skip "/dev/fuse is not available"
command -v smbd >/dev/null || skip "smbd is not installed (tools/install-deps.sh installs samba)"
command -v smbnetfs >/dev/null || skip "smbnetfs is not installed (tools/install-deps.sh installs it)"
mkdir -p "$state"
state=$(cd "$state" && pwd)

# A free port: nobody answers on it and smbd binds it.
free_port() {
  local p
  for p in $(seq 44500 44599); do
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then
      echo "$p"
      return 0
    fi
  done
  return 1
}

mkdir -p "$state"/{share,private,lock,state,cache,pid,ncalrpc,log,home/.smb,mnt}
chmod 0777 "$state/share"

started=0
for attempt in 1 2 3; do
  port=$(free_port) || skip "no free port on 127.0.0.1 between 44500 and 44599"
  cat >"$state/smb.conf" <<EOF
[global]
  server role = standalone server
  workgroup = WORKGROUP
  netbios name = EGRESSOTEST
  interfaces = 127.0.0.1
  bind interfaces only = yes
  smb ports = $port
  disable netbios = yes
  private dir = $state/private
  lock directory = $state/lock
  state directory = $state/state
  cache directory = $state/cache
  pid directory = $state/pid
  ncalrpc dir = $state/ncalrpc
  log file = $state/log/smbd.log
  max log size = 1000
  passdb backend = tdbsam:$state/private/passdb.tdb
  map to guest = Bad User
  guest account = nobody
  load printers = no
  printing = bsd
  printcap name = /dev/null
  disable spoolss = yes
[data]
  path = $state/share
  read only = no
  guest ok = yes
  guest only = yes
  force user = root
EOF
  rm -f "$state"/pid/*.pid
  smbd -D -s "$state/smb.conf" >>"$state/log/start.log" 2>&1 || true
  for _ in $(seq 1 50); do
    if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
      started=1
      break
    fi
    sleep 0.2
  done
  [ $started -eq 1 ] && break
  for pidfile in "$state"/pid/*.pid; do
    [ -f "$pidfile" ] && kill "$(cat "$pidfile")" 2>/dev/null || true
  done
done
if [ $started -eq 0 ]; then
  tail -5 "$state/log/smbd.log" >&2 2>/dev/null || true
  stop
  skip "smbd did not start on 127.0.0.1"
fi
echo "$port" >"$state/port"

# smbnetfs reads its configuration and libsmbclient's from $HOME/.smb; the
# port goes into the path (host:port), which libsmbclient honours.
cat >"$state/home/.smb/smb.conf" <<EOF
[global]
  workgroup = WORKGROUP
  client min protocol = SMB2
  disable netbios = yes
EOF
cat >"$state/home/.smb/smbnetfs.conf" <<EOF
smb_query_browsers "false"
use_libsecret "false"
log_file "$state/log/smbnetfs.log"
auth "guest" ""
EOF
chmod 0600 "$state/home/.smb/smb.conf" "$state/home/.smb/smbnetfs.conf"

HOME="$state/home" setsid smbnetfs -f "$state/mnt" >>"$state/log/smbnetfs.out" 2>&1 </dev/null &
echo $! >"$state/smbnetfs.pid"

folder="$state/mnt/127.0.0.1:$port/data/egresso"
ok=0
for _ in $(seq 1 50); do
  if mounted "$state/mnt" && mkdir -p "$folder" 2>/dev/null && [ -d "$folder" ]; then
    ok=1
    break
  fi
  sleep 0.2
done
if [ $ok -eq 0 ]; then
  tail -5 "$state/log/smbnetfs.out" "$state/log/smbnetfs.log" >&2 2>/dev/null || true
  stop
  skip "the share could not be mounted with smbnetfs"
fi
echo "$folder"

#!/usr/bin/env bash
# Throwaway PostgreSQL 15, MariaDB 10.11 and Firebird 3.0 servers on 127.0.0.1,
# for the tests and for trying the wizard by hand. Run as root.
#
#   scripts/test-servers.sh start DIR   starts all three under DIR and writes DIR/servers.env
#   scripts/test-servers.sh stop DIR    stops them and waits until they are gone
#
# Use the environment with:  set -a; . DIR/servers.env; set +a
set -euo pipefail

usage() { echo "usage: $0 start|stop DIR" >&2; exit 2; }
[ $# -eq 2 ] || usage
action=$1
[ -d "$2" ] || { echo "$0: folder $2 does not exist" >&2; exit 2; }
dir=$(cd "$2" && pwd)

pg_bin=/usr/lib/postgresql/15/bin
fb_lib=/usr/lib/x86_64-linux-gnu/firebird/3.0
fb_etc=/etc/firebird/3.0
fb_security=/var/lib/firebird/3.0/system/security3.fdb

# Test users and their throwaway passwords.
pg_user=brivel_test
pg_db=brivel_test
maria_user=brivel_test
fb_user=BRIVEL_TEST

fail() {
  echo "test-servers: $1" >&2
  shift
  for log in "$@"; do
    [ -f "$log" ] || continue
    echo "---- last lines of $log ----" >&2
    tail -n 25 "$log" >&2
  done
  exit 1
}

random_hex() { od -An -N6 -tx1 /dev/urandom | tr -d ' \n'; }

# A port nothing answers on; the ephemeral range starts at 32768, so stay below it.
pick_port() {
  local port
  for _ in $(seq 200); do
    port=$((20000 + RANDOM % 12000))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
      echo "$port"
      return 0
    fi
  done
  return 1
}

# True while PID runs; a zombie counts as gone (PID 1 may not reap it).
alive() {
  local state
  [ -r "/proc/$1/stat" ] || return 1
  state=$(sed 's/.*) //' "/proc/$1/stat" | cut -d' ' -f1)
  [ "$state" != Z ]
}

wait_gone() {  # PID SECONDS
  local i
  for ((i = 0; i < $2 * 20; i++)); do
    alive "$1" || return 0
    sleep 0.05
  done
  return 1
}

listening() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

# ---------------------------------------------------------------- PostgreSQL
start_pg() {
  local d=$dir/pg port ok=''
  rm -rf "$d"
  mkdir -p "$d"
  random_hex > "$d/superuser.pw"
  chown -R postgres:postgres "$d"
  chmod 700 "$d"
  chmod 600 "$d/superuser.pw"
  runuser -u postgres -- "$pg_bin/initdb" -D "$d/data" -U postgres -A scram-sha-256 \
    --pwfile="$d/superuser.pw" -E UTF8 --locale=C.UTF-8 --no-sync > "$d/initdb.log" 2>&1 ||
    fail "PostgreSQL initdb failed" "$d/initdb.log"
  # The socket folder must be reachable by the tests' clients.
  chmod 755 "$d"
  # A port taken between the check and the bind makes the start fail: try another.
  for _ in 1 2 3; do
    port=$(pick_port) || fail "no free port for PostgreSQL"
    if runuser -u postgres -- "$pg_bin/pg_ctl" -D "$d/data" -l "$d/server.log" -w -t 30 \
         -o "-p $port -k $d -c listen_addresses=127.0.0.1 -c fsync=off -c full_page_writes=off -c synchronous_commit=off" \
         start > "$d/pg_ctl.log" 2>&1; then
      ok=1
      break
    fi
    grep -q 'in use' "$d/server.log" 2>/dev/null || break
  done
  [ -n "$ok" ] || fail "PostgreSQL did not start" "$d/pg_ctl.log" "$d/server.log"
  local pw
  pw=pg_$(random_hex)
  PGPASSWORD=$(cat "$d/superuser.pw") "$pg_bin/psql" -X -q -v ON_ERROR_STOP=1 -h "$d" -p "$port" -U postgres -d postgres \
    -c "CREATE ROLE $pg_user LOGIN CREATEDB PASSWORD '$pw'" \
    -c "CREATE DATABASE $pg_db OWNER $pg_user" > "$d/setup.log" 2>&1 ||
    fail "could not create the PostgreSQL test role" "$d/setup.log" "$d/server.log"
  cat > "$d/env" <<EOF
BRIVEL_TEST_PG_HOST=127.0.0.1
BRIVEL_TEST_PG_PORT=$port
BRIVEL_TEST_PG_USER=$pg_user
BRIVEL_TEST_PG_PASSWORD=$pw
BRIVEL_TEST_PG_DB=$pg_db
BRIVEL_TEST_PG_SOCKET_DIR=$(printf %q "$d")
EOF
}

stop_pg() {
  local d=$dir/pg
  [ -f "$d/data/postmaster.pid" ] || return 0
  runuser -u postgres -- "$pg_bin/pg_ctl" -D "$d/data" -m fast -w -t 30 stop > "$d/stop.log" 2>&1 ||
    { cat "$d/stop.log" >&2; return 1; }
}

# ------------------------------------------------------------------- MariaDB
start_maria() {
  local d=$dir/mariadb port pid ok='' i
  rm -rf "$d"
  mkdir -p "$d"
  chown mysql:mysql "$d"
  chmod 755 "$d"
  mariadb-install-db --no-defaults --user=mysql --datadir="$d/data" --skip-test-db \
    --skip-name-resolve > "$d/install.log" 2>&1 ||
    fail "mariadb-install-db failed" "$d/install.log"
  for _ in 1 2 3; do
    port=$(pick_port) || fail "no free port for MariaDB"
    rm -f "$d/error.log"
    setsid mariadbd --no-defaults --user=mysql --datadir="$d/data" --socket="$d/sock" --port="$port" \
      --bind-address=127.0.0.1 --pid-file="$d/mariadbd.pid" --log-error="$d/error.log" \
      --skip-name-resolve --innodb-flush-log-at-trx-commit=0 --innodb-doublewrite=0 \
      --innodb-buffer-pool-size=64M < /dev/null > "$d/stdout.log" 2>&1 &
    pid=$!
    echo "$pid" > "$d/server.pid"
    for ((i = 0; i < 600; i++)); do
      alive "$pid" || break
      if mariadb-admin --no-defaults --socket="$d/sock" -uroot ping > /dev/null 2>&1 && listening "$port"; then
        ok=1
        break
      fi
      sleep 0.05
    done
    [ -n "$ok" ] && break
    alive "$pid" && { kill "$pid"; wait_gone "$pid" 20 || true; }
    grep -q 'in use' "$d/error.log" 2>/dev/null || break
  done
  [ -n "$ok" ] || fail "MariaDB did not start" "$d/error.log" "$d/stdout.log"
  local pw
  pw=my_$(random_hex)
  mariadb --no-defaults --socket="$d/sock" -uroot > "$d/setup.log" 2>&1 <<EOF ||
CREATE USER '$maria_user'@'127.0.0.1' IDENTIFIED BY '$pw';
CREATE USER '$maria_user'@'localhost' IDENTIFIED BY '$pw';
GRANT ALL PRIVILEGES ON *.* TO '$maria_user'@'127.0.0.1' WITH GRANT OPTION;
GRANT ALL PRIVILEGES ON *.* TO '$maria_user'@'localhost' WITH GRANT OPTION;
EOF
    fail "could not create the MariaDB test user" "$d/setup.log" "$d/error.log"
  cat > "$d/env" <<EOF
BRIVEL_TEST_MARIADB_HOST=127.0.0.1
BRIVEL_TEST_MARIADB_PORT=$port
BRIVEL_TEST_MARIADB_USER=$maria_user
BRIVEL_TEST_MARIADB_PASSWORD=$pw
BRIVEL_TEST_MARIADB_SOCKET=$(printf %q "$d/sock")
EOF
}

stop_maria() {
  local d=$dir/mariadb pid
  [ -f "$d/server.pid" ] || return 0
  pid=$(cat "$d/server.pid")
  alive "$pid" || return 0
  mariadb-admin --no-defaults --socket="$d/sock" -uroot shutdown > /dev/null 2>&1 || kill "$pid" 2> /dev/null || true
  wait_gone "$pid" 30 || { kill -9 "$pid" 2> /dev/null || true; echo "MariaDB (pid $pid) had to be killed" >&2; return 1; }
}

# ------------------------------------------------------------------ Firebird
# The packaged server binds every interface when given a port; a private root
# with its own firebird.conf binds loopback on our port instead. A private copy
# of the security database keeps the test user out of the packaged one.
start_fb() {
  local d=$dir/firebird port pid ok='' i f
  rm -rf "$d"
  mkdir -p "$d/root" "$d/data" "$d/lock"
  [ -r "$fb_etc/SYSDBA.password" ] || fail "$fb_etc/SYSDBA.password is missing or unreadable (run as root)"
  for f in "$fb_lib"/*; do
    [ "$(basename "$f")" = firebird.conf ] || ln -s "$f" "$d/root/"
  done
  cp "$fb_security" "$d/security3.fdb"
  chown -R firebird:firebird "$d"
  chmod 755 "$d"
  # Test processes of any user may create and remove database files here.
  chmod 1777 "$d/data"
  for _ in 1 2 3; do
    port=$(pick_port) || fail "no free port for Firebird"
    {
      grep -v -E '^[[:space:]]*(RemoteBindAddress|RemoteServicePort|SecurityDatabase)[[:space:]]*=' "$fb_etc/firebird.conf"
      echo "RemoteServicePort = $port"
      echo "RemoteBindAddress = 127.0.0.1"
      echo "SecurityDatabase = $d/security3.fdb"
    } > "$d/root/firebird.conf"
    FIREBIRD=$d/root FIREBIRD_LOCK=$d/lock setsid setpriv --reuid=firebird --regid=firebird --init-groups \
      /usr/sbin/firebird < /dev/null > "$d/server.log" 2>&1 &
    pid=$!
    echo "$pid" > "$d/server.pid"
    for ((i = 0; i < 600; i++)); do
      alive "$pid" || break
      if listening "$port"; then
        ok=1
        break
      fi
      sleep 0.05
    done
    [ -n "$ok" ] && break
    alive "$pid" && { kill "$pid"; wait_gone "$pid" 20 || true; }
  done
  [ -n "$ok" ] || fail "Firebird did not start" "$d/server.log"
  local pw
  pw=fb_$(random_hex)
  # SYSDBA's password goes through the environment only; it is never printed.
  (
    # shellcheck disable=SC1091
    . "$fb_etc/SYSDBA.password"
    export ISC_USER ISC_PASSWORD
    isql-fb -q > "$d/setup.log" 2>&1 <<EOF
SET BAIL ON;
CREATE DATABASE '127.0.0.1/$port:$d/admin.fdb';
CREATE OR ALTER USER $fb_user PASSWORD '$pw' USING PLUGIN Srp;
GRANT CREATE DATABASE TO USER $fb_user;
COMMIT;
EOF
  ) || fail "could not create the Firebird test user" "$d/setup.log" "$d/server.log"
  grep -q -E 'Statement failed|SQLSTATE|error' "$d/setup.log" &&
    fail "could not create the Firebird test user" "$d/setup.log"
  cat > "$d/env" <<EOF
BRIVEL_TEST_FB_HOST=127.0.0.1
BRIVEL_TEST_FB_PORT=$port
BRIVEL_TEST_FB_USER=$fb_user
BRIVEL_TEST_FB_PASSWORD=$pw
BRIVEL_TEST_FB_DATA_DIR=$(printf %q "$d/data")
EOF
}

stop_fb() {
  local d=$dir/firebird pid
  [ -f "$d/server.pid" ] || return 0
  pid=$(cat "$d/server.pid")
  alive "$pid" || return 0
  kill "$pid" 2> /dev/null || true
  wait_gone "$pid" 30 || { kill -9 "$pid" 2> /dev/null || true; echo "Firebird (pid $pid) had to be killed" >&2; return 1; }
}

# ---------------------------------------------------------------------- ODBC
# A private driver list that lets the SQL Server adapter reach PostgreSQL.
write_odbc() {
  mkdir -p "$dir/odbc"
  cat > "$dir/odbc/odbcinst.ini" <<EOF
[ODBC Driver 17 for SQL Server]
Description=PostgreSQL driver standing in for SQL Server in the tests
Driver=/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so
UsageCount=1
EOF
  echo "BRIVEL_TEST_ODBCSYSINI=$(printf %q "$dir/odbc")" > "$dir/odbc/env"
}

start_all() {
  [ "$(id -u)" -eq 0 ] || fail "must run as root (the servers run as their own system users)"
  [ -x "$pg_bin/initdb" ] || fail "PostgreSQL 15 is not installed (scripts/install-deps.sh test)"
  command -v mariadbd > /dev/null || fail "MariaDB is not installed (scripts/install-deps.sh test)"
  [ -x /usr/sbin/firebird ] || fail "Firebird 3.0 is not installed (scripts/install-deps.sh test)"
  # The servers run as other users and must reach their folders below DIR.
  chmod o+x "$dir"
  local u
  for u in postgres mysql firebird; do
    runuser -u "$u" -- test -x "$dir" ||
      fail "user $u cannot reach $dir: choose a folder whose parents others may enter (e.g. under /tmp)"
  done
  rm -f "$dir/servers.env"

  # The three start side by side; each failure has already been reported.
  local pids=() failed=0 p
  start_pg & pids+=($!)
  start_maria & pids+=($!)
  start_fb & pids+=($!)
  write_odbc
  for p in "${pids[@]}"; do
    wait "$p" || failed=1
  done
  if [ "$failed" -ne 0 ]; then
    stop_all > /dev/null 2>&1 || true
    exit 1
  fi
  cat "$dir/pg/env" "$dir/mariadb/env" "$dir/firebird/env" "$dir/odbc/env" > "$dir/servers.env"

  # shellcheck disable=SC1091
  . "$dir/servers.env"
  cat <<EOF
Test servers are running (stop them with: $0 stop $dir)
  PostgreSQL  $BRIVEL_TEST_PG_HOST:$BRIVEL_TEST_PG_PORT  database $BRIVEL_TEST_PG_DB  user $BRIVEL_TEST_PG_USER  password $BRIVEL_TEST_PG_PASSWORD
  MariaDB     $BRIVEL_TEST_MARIADB_HOST:$BRIVEL_TEST_MARIADB_PORT  user $BRIVEL_TEST_MARIADB_USER  password $BRIVEL_TEST_MARIADB_PASSWORD  (create a database first)
  Firebird    $BRIVEL_TEST_FB_HOST:$BRIVEL_TEST_FB_PORT  user $BRIVEL_TEST_FB_USER  password $BRIVEL_TEST_FB_PASSWORD  database files in $BRIVEL_TEST_FB_DATA_DIR
Environment for the tests: $dir/servers.env
EOF
}

stop_all() {
  local failed=0
  stop_pg & local a=$!
  stop_maria & local b=$!
  stop_fb & local c=$!
  wait "$a" || failed=1
  wait "$b" || failed=1
  wait "$c" || failed=1
  return "$failed"
}

case $action in
  start) start_all ;;
  stop) stop_all ;;
  *) usage ;;
esac

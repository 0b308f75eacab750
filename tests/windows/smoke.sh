#!/usr/bin/env bash
# Smoke tests of ZlvSinc.exe under wine: the program starts, reads the store database through
# the system's ODBC (wine's odbc32, here bridged to unixODBC and its SQLite driver), reads its
# configuration key from the registry, writes its log in Windows-1252, refuses a cash register
# that is not set up, keeps a second instance from running (it waits for the first, and takes
# over when the first ends), registers and removes its service in wine's service manager, runs
# as that service (stop request, exit status told to the manager, the machine's mutex shared
# with a desktop process); RequisicaoHTTPS posts through WinHTTP (the probe program
# zlv-https-probe.exe beside the executable); and one cycle reaches the hub over HTTPS through
# WinHTTP with the installation's token (the hub is the Linux build's build/bin/zlvsinc-central,
# which scripts/test builds first; without it that check is skipped).
#
# Usage: tests/windows/smoke.sh <ZlvSinc.exe> <work folder>
# The program may be the 64-bit or the 32-bit build (scripts/test-windows runs both).
# The work folder holds the wine prefix (made once, kept between runs) and a new installation
# folder for each run. No display is needed. Exit status 0 when no check failed.
set -uo pipefail

exe=$(realpath "$1")
work=$(mkdir -p "$2" && realpath "$2")
root=$(cd "$(dirname "$0")/../.." && pwd)

export WINEPREFIX="$work/wineprefix"
export WINEDEBUG=-all
# No Mono or Gecko: nothing here needs them, and their installers would ask for a window.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)

passed=0
failed=0
skipped=0
pass() { echo "PASS: $1"; passed=$((passed + 1)); }
fail() { echo "FAIL: $1${2:+ ($2)}"; failed=$((failed + 1)); }
skip() { echo "SKIP: $1 ($2)"; skipped=$((skipped + 1)); }

# Runs the program with a time-out; prints nothing, returns its exit status.
run() { timeout "$1" "$wine" "$install/ZlvSinc.exe" "${@:2}" >>"$work/program.out" 2>&1; }

key='HKLM\SOFTWARE\Zelvora\ZlvSinc'
service_key='HKLM\System\CurrentControlSet\Services\SincPedido'

# A prefix made before the 32-bit wine was installed cannot run the 32-bit program (its
# syswow64 folder stays empty, even after an update): it is made again.
if [ -f "$WINEPREFIX/system.reg" ] && [ -d /usr/lib/i386-linux-gnu/wine ] &&
  [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
  "$wineserver" -k 2>/dev/null
  timeout 30 "$wineserver" -w 2>/dev/null
  rm -rf "$WINEPREFIX"
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "wine: creating the prefix $WINEPREFIX (once)"
  if ! timeout 300 "$wine" wineboot -i >"$work/wineboot.out" 2>&1; then
    cat "$work/wineboot.out"
    echo "wine could not create its prefix: no check can run"
    echo "smoke: 0 passed, 1 failed"
    exit 1
  fi
fi

# One wine server for the whole run, so that every step talks to the same service manager: a
# server that is ending (the one of wineboot, or one whose last program has just left) lets the
# next program start a second manager that has not seen the latest registration yet.
timeout 120 "$wineserver" -w
"$wineserver" -p60

install="$work/install"
rm -rf "$install" "$work/program.out"
mkdir -p "$install"
cp "$exe" "$install/ZlvSinc.exe"

# A service left registered by an earlier run that stopped half-way would make INSTALL fail.
timeout 60 "$wine" sc delete SincPedido >/dev/null 2>&1

# The demo store: branch 0001, cash register 001 set up for the delivery synchronisation.
store="$install/store.db"
sqlite3 "$store" <"$root/db/schema.sqlite.sql" && sqlite3 "$store" <"$root/db/demo-seed.sql"
# The key in both views of the registry, as a run left it, goes first. ConnectionString is
# written in the native (64-bit) view, IpServer below in the 32-bit one, where 32-bit
# installers and tools write: each build reads both.
for view in 64 32; do timeout 60 "$wine" reg delete "$key" /f /reg:$view >/dev/null 2>&1; done
timeout 60 "$wine" reg add "$key" /reg:64 /v ConnectionString /t REG_SZ \
  /d "DRIVER=SQLite3;Database=$store" /f >/dev/null 2>&1 ||
  fail "registry: ConnectionString written"

log_text() { cat "$install"/Dados/Zlv_Sinc/*/LogZlvSinc*.txt 2>/dev/null; }

# 1. A cash register that is not set up: logged, then the process ends (status 78).
run 60 0001_999_
status=$?
if [ "$status" -eq 78 ] && log_text | grep -q "^.* - FormCreate"; then
  pass "starts, opens the store database through ODBC and refuses cash register 999"
else
  fail "refusal of an unset cash register" "exit status $status"
fi

# 2. The log is Windows-1252: "não" is n, 0xE3, o; its UTF-8 form (0xC3 0xA3) must not occur.
if log_text | LC_ALL=C grep -q $'Este caixa n\xe3o se encontra parametrizado' &&
  ! log_text | LC_ALL=C grep -q $'\xc3\xa3'; then
  pass "log written in Windows-1252"
else
  fail "log written in Windows-1252" "$(log_text | tail -n 2 | od -c | head -n 4)"
fi

# 3. IpServer: a listener on loopback sees the connection of cash register 001's first cycle.
# The value is in the 32-bit view only, ConnectionString in the 64-bit one.
rm -f "$work/port" "$work/connected"
python3 "$root/tests/windows/listener.py" "$work/port" "$work/connected" 60 &
listener=$!
for _ in $(seq 50); do [ -f "$work/port" ] && break; sleep 0.2; done
port=$(cat "$work/port" 2>/dev/null || echo 1)
timeout 60 "$wine" reg add "$key" /reg:32 /v IpServer /t REG_SZ /d "127.0.0.1:$port" /f \
  >/dev/null 2>&1
# Started without the shell function, so that $! is timeout's own process: ending it ends
# the program.
timeout 120 "$wine" "$install/ZlvSinc.exe" 0001_001_ >>"$work/program.out" 2>&1 &
first=$!
wait "$listener"
if [ "$(cat "$work/connected" 2>/dev/null)" = connected ]; then
  pass "reads IpServer from the registry's 32-bit view and connects to 127.0.0.1:$port"
else
  fail "connection to the IpServer of the registry" "$(cat "$work/connected" 2>/dev/null)"
fi

# 4. While the first instance runs, a second one waits for it (15 s: the old process of a
# restart may still be ending) and then ends, silently.
form_creates() { log_text | grep -c " - FormCreate"; }
before=$(form_creates)
start=$SECONDS
run 60 0001_001_
status=$?
elapsed=$((SECONDS - start))
if ! kill -0 "$first" 2>/dev/null; then
  fail "second instance" "the first instance is not running any more"
elif [ "$status" -eq 0 ] && [ "$elapsed" -ge 14 ] && [ "$elapsed" -lt 45 ] &&
  [ "$(form_creates)" -eq "$before" ]; then
  pass "second instance waits ${elapsed}s for the first and ends (mutex Global\\ZLVSINC)"
else
  fail "second instance" "exit status $status after ${elapsed}s"
fi

# 5. A second instance whose first one ends while it waits (a watchdog restart) takes over.
timeout 120 "$wine" "$install/ZlvSinc.exe" 0001_001_ >>"$work/program.out" 2>&1 &
second=$!
sleep 4
kill "$first" 2>/dev/null
wait "$first" 2>/dev/null
for _ in $(seq 60); do [ "$(form_creates)" -gt "$before" ] && break; sleep 0.5; done
if [ "$(form_creates)" -gt "$before" ] && kill -0 "$second" 2>/dev/null; then
  pass "a waiting second instance takes over when the first ends"
else
  fail "take-over by the waiting instance" "FormCreate lines: $(form_creates), before $before"
fi
kill "$second" 2>/dev/null
wait "$second" 2>/dev/null

# 6. INSTALL registers the service in the service manager, as LocalSystem, automatic start.
run 60 /INSTALL /SILENT
status=$?
config=$(timeout 60 "$wine" reg query "$service_key" 2>/dev/null | tr -d '\r')
if [ "$status" -eq 0 ] &&
  grep -q "DisplayName *REG_SZ *Sincroniza Pedido" <<<"$config" &&
  grep -q "Start *REG_DWORD *0x2$" <<<"$config" &&
  grep -q "Type *REG_DWORD *0x110$" <<<"$config" &&
  grep -q "ObjectName *REG_SZ *LocalSystem" <<<"$config" &&
  grep -qi "ImagePath *REG_SZ *\".*ZlvSinc.exe\"" <<<"$config"; then
  pass "INSTALL registers the service SincPedido"
else
  fail "INSTALL" "exit status $status; $config"
fi

# 7. UNINSTALL removes it; a second UNINSTALL fails, as the service is gone.
run 60 -uninstall /silent
status=$?
if [ "$status" -eq 0 ] && ! timeout 60 "$wine" reg query "$service_key" >/dev/null 2>&1; then
  # Not silent: the failure is told (a message box, which wine without a display cannot
  # show, and the standard error stream, seen here).
  run 60 \\UNINSTALL
  if [ $? -eq 1 ] && grep -q "Erro ao remover o serviço SincPedido" "$work/program.out"; then
    pass "UNINSTALL removes the service SincPedido"
  else
    fail "UNINSTALL" "a second UNINSTALL did not fail, or said nothing"
  fi
else
  fail "UNINSTALL" "exit status $status"
fi

# The service as wine's manager starts it. wine runs every service under the caller's own
# user, so the service is registered under that user's account ("obj="): the program must
# recognise its account by security identifier (LookupAccountNameW against its token) to run
# in service mode and answer the manager at all.
sc() { timeout 60 "$wine" sc "$@" 2>/dev/null | tr -d '\r'; }
service_state() { sc query SincPedido | sed -n 's/^ *STATE *: *[0-9a-f]* *//p'; }
service_code() { sc query SincPedido | sed -n "s/^ *$1 *: *\([0-9]*\) .*/\1/p"; }
wait_state() {  # state, seconds
  for _ in $(seq $(($2 * 2))); do [ "$(service_state)" = "$1" ] && return 0; sleep 0.5; done
  return 1
}
account=".\\$(timeout 30 "$wine" cmd /c echo %USERNAME% 2>/dev/null | tr -d '\r')"
exe_path="Z:$(tr / '\\' <<<"$install/ZlvSinc.exe")"
register() {  # the program's parameter
  sc delete SincPedido >/dev/null
  sc create SincPedido binpath= "\"$exe_path\" $1" obj= "$account" start= demand >/dev/null
}

# 8. A service whose cash register is not set up ends on its own; the manager is told the
# failure (service-specific error 78), which the event log records and the recovery answers.
register 0001_999_
sc start SincPedido >/dev/null
if wait_state STOPPED 60 && [ "$(service_code WIN32_EXIT_CODE)" = 1066 ] &&
  [ "$(service_code SERVICE_EXIT_CODE)" = 78 ]; then
  pass "a failing service end reaches the manager as service-specific error 78"
else
  fail "failing service end" "$(sc query SincPedido | tr '\n' ' ')"
fi

# 9. The service runs, and a stop request ends it cleanly.
register 0001_001_
before=$(form_creates)
sc start SincPedido >/dev/null
for _ in $(seq 60); do [ "$(form_creates)" -gt "$before" ] && break; sleep 0.5; done
if [ "$(service_state)" = RUNNING ] && [ "$(form_creates)" -gt "$before" ]; then
  sc stop SincPedido >/dev/null
  if wait_state STOPPED 60 && [ "$(service_code WIN32_EXIT_CODE)" = 0 ]; then
    pass "the service starts in service mode and stops on request"
  else
    fail "service stop" "$(sc query SincPedido | tr '\n' ' ')"
  fi
else
  fail "service start" "$(sc query SincPedido | tr '\n' ' ')"
fi

# 10. One synchroniser per machine: while a desktop process runs (started while no service is
# registered, so in desktop mode), the service started by the manager waits for the machine's
# mutex, then ends and tells the manager another synchroniser runs (75).
sc delete SincPedido >/dev/null
timeout 120 "$wine" "$install/ZlvSinc.exe" 0001_001_ >>"$work/program.out" 2>&1 &
desktop=$!
before=$(form_creates)
for _ in $(seq 60); do [ "$(form_creates)" -gt "$before" ] && break; sleep 0.5; done
before=$(form_creates)
register 0001_001_
sc start SincPedido >/dev/null
if wait_state STOPPED 60 && [ "$(service_code SERVICE_EXIT_CODE)" = 75 ] &&
  [ "$(form_creates)" -eq "$before" ] && kill -0 "$desktop" 2>/dev/null; then
  pass "a service beside a desktop process waits for the global mutex and ends with 75"
else
  fail "service beside a desktop process" "$(sc query SincPedido | tr '\n' ' ')"
fi
kill "$desktop" 2>/dev/null
wait "$desktop" 2>/dev/null
sc delete SincPedido >/dev/null

# 11-13. HTTPS through WinHTTP, against loopback servers with certificates made here. The
# addresses name localhost: wine's WinHTTP matches a certificate's DNS names but not its IP
# addresses (Windows matches both).
probe="$(dirname "$exe")/zlv-https-probe.exe"
https="$work/https"
rm -rf "$https"
mkdir -p "$https/trusted" "$https/untrusted"
servers=()
start_server() {  # folder; prints the port
  local folder=$1
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=localhost" \
    -addext "subjectAltName=DNS:localhost,IP:127.0.0.1" -addext "basicConstraints=critical,CA:TRUE" \
    -keyout "$folder/key.pem" -out "$folder/cert.pem" >/dev/null 2>&1
  echo '{"status": 200, "content_type": "text/plain", "body_hex": "4f4b20e7e3", "delay": 0}' \
    >"$folder/reply.json"
  python3 "$root/tests/support/https_server.py" "$folder/cert.pem" "$folder/key.pem" "$folder" \
    >"$folder/port" 2>"$folder/server.err" &
  servers+=($!)
  for _ in $(seq 50); do [ -s "$folder/port" ] && break; sleep 0.2; done
}
probe_post() {  # url, body in hex, time-out; the reply (or the failure's message) in probe.out
  timeout 60 "$wine" "$probe" post "$@" >"$https/probe.out" 2>>"$work/program.out"
}
if [ ! -f "$probe" ]; then
  fail "HTTPS through WinHTTP" "$probe was not built"
else
  start_server "$https/trusted"
  start_server "$https/untrusted"
  trusted="https://localhost:$(head -n 1 "$https/trusted/port")/sendOrder"
  untrusted="https://localhost:$(head -n 1 "$https/untrusted/port")/sendOrder"
  timeout 60 "$wine" "$probe" trust "$https/trusted/cert.pem" >>"$work/program.out" 2>&1

  # "<a>ação</a>" in Windows-1252, as the router's message is sent.
  body=3c613e61e7e36f3c2f613e
  probe_post "$trusted" "$body" 10
  status=$?
  request=$(cat "$https"/trusted/requests/*.json 2>/dev/null)
  if [ "$status" -eq 0 ] && [ "$(od -An -tx1 "$https/probe.out" | tr -d ' \n')" = 4f4b20e7e3 ] &&
    grep -q "\"body_hex\": \"$body\"" <<<"$request" &&
    grep -q '\["Content-Type", "text/xml"\]' <<<"$request" &&
    grep -q '"method": "POST"' <<<"$request"; then
    pass "WinHTTP posts the exact bytes as text/xml and returns the reply"
  else
    fail "WinHTTP post" "exit status $status; $(cat "$https/probe.out"); $request"
  fi

  probe_post "$untrusted" "$body" 10
  status=$?
  if [ "$status" -eq 2 ] && grep -qF "$untrusted" "$https/probe.out" &&
    [ -z "$(ls "$https/untrusted/requests" 2>/dev/null)" ]; then
    pass "WinHTTP refuses a certificate of an untrusted issuer before sending"
  else
    fail "WinHTTP untrusted certificate" "exit status $status; $(cat "$https/probe.out")"
  fi

  sed -i 's/"delay": 0/"delay": 20/' "$https/trusted/reply.json"
  start_ms=$(date +%s%3N)
  probe_post "$trusted" "$body" 1
  status=$?
  waited=$(($(date +%s%3N) - start_ms))
  # The bound leaves room for wine's start of the probe on a busy machine; a time-out that did
  # not work would wait for the server's 20 s.
  if [ "$status" -eq 2 ] && grep -qF "$trusted" "$https/probe.out" && [ "$waited" -lt 8000 ]; then
    pass "WinHTTP gives up after the time-out (${waited} ms for 1 s)"
  else
    fail "WinHTTP time-out" "exit status $status after ${waited} ms; $(cat "$https/probe.out")"
  fi
  kill "${servers[@]}" 2>/dev/null
  wait "${servers[@]}" 2>/dev/null
fi

# 14. System error texts reach the log in UTF-8: the system's own texts come in the ANSI code
# page, whose accented letters the log would turn into '?'. A Portuguese locale gives texts
# with accents where wine has them translated.
from_hex() { python3 -c 'import sys; sys.stdout.buffer.write(bytes.fromhex(sys.argv[1]))' "$1"; }
if [ -f "$probe" ]; then
  hex=$(LANG=pt_BR.UTF-8 timeout 60 "$wine" "$probe" syserr 10061 2>>"$work/program.out" | tr -d '\r')
  if [ -n "$hex" ] && from_hex "$hex" | iconv -f UTF-8 -t UTF-8 >/dev/null 2>&1; then
    pass "system error text in UTF-8: $(from_hex "$hex")"
  else
    fail "system error text in UTF-8" "hex '$hex'"
  fi
fi

# 17. One cycle over HTTPS through WinHTTP against the real hub (the Linux build's
# zlvsinc-central, serving its HTTPS port with a certificate made here), with the installation's
# token from the registry: the hub's orders end confirmed, and the token shows nowhere.
hub_program="$root/build/bin/zlvsinc-central"
hub="$work/hub"
if [ ! -x "$hub_program" ] || [ ! -f "$probe" ]; then
  skip "one cycle over HTTPS against the hub" "needs $hub_program and the probe"
else
  rm -rf "$hub"
  mkdir -p "$hub"
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=localhost" \
    -addext "subjectAltName=DNS:localhost,IP:127.0.0.1" -addext "basicConstraints=critical,CA:TRUE" \
    -keyout "$hub/key.pem" -out "$hub/cert.pem" >/dev/null 2>&1
  timeout 60 "$wine" "$probe" trust "$hub/cert.pem" >>"$work/program.out" 2>&1
  "$hub_program" add-orders --db "$hub/hub.db" --branch 0001 --store 001 --count 2 \
    --store-db "$store" >"$hub/add-orders.out" 2>&1
  token=$("$hub_program" add-installation --db "$hub/hub.db" --branch 0001 --register 001 \
    --store 001 2>/dev/null)
  "$hub_program" serve --db "$hub/hub.db" --port 0 --http-port 0 --tls-cert "$hub/cert.pem" \
    --tls-key "$hub/key.pem" >"$hub/serve.out" 2>"$hub/serve.err" &
  hub_pid=$!
  for _ in $(seq 50); do grep -q "^https listening on" "$hub/serve.out" 2>/dev/null && break; sleep 0.2; done
  hub_port=$(sed -n 's/^https listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$hub/serve.out")
  timeout 60 "$wine" reg add "$key" /reg:32 /v IpServer /t REG_SZ /d "https://localhost:$hub_port" \
    /f >/dev/null 2>&1
  timeout 60 "$wine" reg add "$key" /reg:32 /v Token /t REG_SZ /d "$token" /f >/dev/null 2>&1
  run 120 0001_001_ /ONCE
  status=$?
  confirmed=$(sqlite3 "$hub/hub.db" "SELECT COUNT(*) FROM CENTRAL_ORDER WHERE STATE = 'CONFIRMED'")
  if [ -n "$token" ] && [ "$confirmed" = 2 ] && ! log_text | grep -qF "${token#zlvt_}" &&
    ! grep -qF "${token#zlvt_}" "$work/program.out"; then
    pass "one cycle over HTTPS through WinHTTP with the token: 2 orders confirmed at the hub"
  else
    fail "cycle over HTTPS" "exit status $status, $confirmed confirmed; $(cat "$hub/serve.err")"
  fi
  kill "$hub_pid" 2>/dev/null
  wait "$hub_pid" 2>/dev/null
  timeout 60 "$wine" reg delete "$key" /reg:32 /v Token /f >/dev/null 2>&1
fi

# 16. /STATUS from a prompt: the program has no console of its own, yet its answer reaches
# whoever started it (here a file), and its exit status is the verdict the text ends with.
: >"$work/status.out"
timeout 60 "$wine" "$install/ZlvSinc.exe" 0001_001_ /STATUS >"$work/status.out" 2>>"$work/program.out"
status=$?
verdict=$(tr -d '\r' <"$work/status.out" | LC_ALL=C grep -a '^Situa' | LC_ALL=C sed -n 's/.*(\([0-3]\))$/\1/p')
if LC_ALL=C grep -aq '^Sincronizador: ' "$work/status.out" &&
  LC_ALL=C grep -aq '^Banco da loja: DRIVER=SQLite3' "$work/status.out" &&
  [ -n "$verdict" ] && [ "$status" -eq "$verdict" ]; then
  pass "/STATUS answers on standard output with its verdict as exit status ($status)"
else
  fail "/STATUS" "exit status $status, verdict '$verdict': $(head -c 400 "$work/status.out")"
fi

# 15. Without ConnectionString there is no store database to open (the Windows build has no
# embedded one): the log says what to configure, not that a database file does not exist.
timeout 60 "$wine" reg delete "$key" /reg:64 /v ConnectionString /f >/dev/null 2>&1
run 60 /ONCE 0001_001_
status=$?
if [ "$status" -eq 66 ] && log_text | grep -q "configure o valor ConnectionString" &&
  ! log_text | grep -q "banco de dados da loja n.o existe"; then
  pass "without ConnectionString the log says what to configure"
else
  fail "missing ConnectionString" "exit status $status"
fi

# Ends this prefix's server and the wine system processes it started for this run.
"$wineserver" -k 2>/dev/null
timeout 30 "$wineserver" -w 2>/dev/null
if [ "$failed" -gt 0 ]; then
  echo "--- program output"
  cat "$work/program.out" 2>/dev/null
  echo "--- log"
  log_text | iconv -f CP1252 -t UTF-8
fi
echo "smoke: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]

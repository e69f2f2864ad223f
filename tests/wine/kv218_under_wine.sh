#!/bin/sh
# kv218.exe under Wine against kv218-sim (Linux) on a pseudo-terminal that the Wine prefix
# sees as COM5 (the dosdevices/com5 link, made afresh by kv218-sim for every run).
#   kv218_under_wine.sh CASE KV218_EXE KV218_SIM EXAMPLES_DIR WINE_BUILD_DIR
# CASE: info | program | paced | pause | verify | store | silent | busy | interrupt | lost |
# simulate | several | window.
# Exits non-zero with the
# difference when kv218.exe's exit status or log lines are not the expected ones.
set -u
case_name=$1 exe=$2 sim=$3 examples=$4
KV218_WINE_BUILD=$5 . "$(dirname "$0")/../../scripts/wine-env"

work=$(mktemp -d)
com="$WINEPREFIX/dosdevices/com5"
sim_pid=
cleanup() {
  [ -n "$sim_pid" ] && kill -INT "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -f "$com"
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL ($case_name): $*"
  exit 1
}

# kv218-sim serving COM5; returns once the link is there.
start_sim() {
  rm -f "$com"
  "$sim" --link "$com" --trace "$work/trace.txt" "$@" >"$work/sim.out" 2>&1 &
  sim_pid=$!
  tries=0
  while [ ! -e "$com" ]; do
    tries=$((tries + 1))
    [ $tries -gt 100 ] && fail "kv218-sim did not start: $(cat "$work/sim.out")"
    sleep 0.05
  done
}

# kv218.exe with its own settings file; output in $work/out (log lines, time stamps as (T),
# line ends without CR) and $work/err, exit status in $rc.
kv218() {
  "$KV218_WINE" "$exe" --settings "$work/kv218tool.INI" "$@" >"$work/raw" 2>"$work/err"
  rc=$?
  normalise
}
normalise() {
  tr -d '\r' <"$work/raw" | sed -E 's/\([^()]*[0-9]:[0-9]{2}[^()]*\)$/(T)/' >"$work/out"
}

# Waits (with a guard) until kv218.exe's standard error says the text.
await_err() {
  tries=0
  until tr -d '\r' <"$work/err" | grep -qF "$1"; do
    tries=$((tries + 1))
    [ $tries -gt 400 ] && fail "never said '$1'; stderr: $(cat "$work/err")"
    sleep 0.05
  done
}

# The exit status and the whole log.
expect() {
  want_rc=$1
  shift
  printf '%s\n' "$@" >"$work/want"
  [ "$rc" -eq "$want_rc" ] || fail "exit status $rc, expected $want_rc; stderr: $(cat "$work/err")"
  diff -u "$work/want" "$work/out" || fail "log lines differ"
}

file="$examples/tk_series.hex"
loaded="Loading ... OK ( 0x0 - 0x0080B8 , 0x3ABD , 0x08F8 , 0x2222 )"
program_lines() {
  printf '%s\n' "" "PROGRAMMING TARGET ... (T)" "1. Reading Device ID ... OK ( 0xBF , 0x2118 )" \
    "2. Bulk Erasing ... OK" "3. Programming Program Memory ... OK" \
    "4. Reading Program Memory ... OK" "5. Verify Program Memory ... OK" \
    "6. Programming Configuration Bits ... OK" "7. Reading Configuration Bits ... OK" \
    "8. Verify Configuration Bits ... OK" "9. Resetting ... OK" "PROGRAMMING SUCCEEDED. (T)"
}

case $case_name in
  info)
    start_sim --baud max
    kv218 info --port COM5
    expect 0 "<<NOTE>> FW 1.85 (simulated KV-218)"
    ;;
  program)
    start_sim --baud max --erase-ms 0 --program-ms 0
    kv218 program --port COM5 --type 0 "$file"
    expect 0 "" "$file" "$loaded" "$(program_lines)"
    ;;
  window)
    # The window (kv218tool-sim, the window driven by clicks, on the port its settings name as
    # kv218tool opens it) makes a full type-0 target run on COM5; its log is read back.
    start_sim --baud max --erase-ms 0 --program-ms 0
    printf '[COM PORT SETTING]\r\nPORT=COM5\r\n[INDEX]\r\nTYPE=0\r\n' >"$work/kv218tool.INI"
    winpath() { echo "Z:$1" | tr / '\\'; }
    "$KV218_WINE" "$(dirname "$exe")/kv218tool-sim.exe" --system-port \
      --settings "$(winpath "$work/kv218tool.INI")" --hex "$(winpath "$file")" --program \
      --log "$(winpath "$work/log.txt")" --close >"$work/err" 2>&1
    rc=$?
    cp "$work/log.txt" "$work/raw" 2>/dev/null || : >"$work/raw"
    normalise
    shown=$(winpath "$file")
    # The load button's own load, then the run's reload of the file.
    expect 0 "" "$shown" "$loaded" "" "$shown" "$loaded" "$(program_lines)"
    grep -q '^PORT=COM5' "$work/kv218tool.INI" || fail "settings: $(cat "$work/kv218tool.INI")"
    ;;
  several)
    # Two in-process programmers at once, one of them faulty: the worse result is the exit
    # status, and each run has its line in the record, named by its programmer.
    kv218 program --simulate 2 --fault 2:corrupt-readback --type 0 --record "$work/runs.jsonl" \
      "$file"
    [ "$rc" -eq 1 ] || fail "exit status $rc, expected 1; stderr: $(cat "$work/err")"
    grep -q '^\[sim1\] PROGRAMMING SUCCEEDED' "$work/out" || fail "sim1: $(cat "$work/out")"
    grep -q '^\[sim2\] PROGRAMMING FAILED' "$work/out" || fail "sim2: $(cat "$work/out")"
    for n in 1 2; do
      [ "$(grep -c "\"port\":\"sim$n\"" "$work/runs.jsonl")" -eq 1 ] ||
        fail "record: $(cat "$work/runs.jsonl")"
    done
    ;;
  paced)
    # At the line's own rate the bytes of a reply arrive over time: the port must hand each
    # reply over whole, both when it knows a reply's end and with pure silence framing.
    for framing in "" --silence-framing; do
      start_sim --erase-ms 0 --program-ms 0
      kv218 program $framing --port COM5 --type 0 "$file"
      expect 0 "" "$file" "$loaded" "$(program_lines)"
      kill -INT "$sim_pid" && wait "$sim_pid"
      sim_pid=
    done
    ;;
  pause)
    # A programmer that stops for 150 ms, three times the gap, inside every read-back block:
    # the Win32 port waits for the rest of a reply whose length its head told, as the POSIX
    # port does, so a target run and a type-3 store (whose flash block only the run's type
    # tells apart) both succeed.
    start_sim --baud max --erase-ms 0 --program-ms 0 --fault pause-in-reply
    kv218 program --port COM5 --type 0 "$file"
    expect 0 "" "$file" "$loaded" "$(program_lines)"
    kv218 store --port COM5 --type 3 "$examples/eco_mode.hex"
    [ "$rc" -eq 0 ] || fail "store: exit status $rc; stderr: $(cat "$work/err")"
    grep -q "^3. Verify Flash Memory ... OK$" "$work/out" || fail "store: $(cat "$work/out")"
    grep -q "the programmer stops for 150 ms" "$work/trace.txt" || fail "no pause in the trace"
    ;;
  simulate)
    # The in-process programmer: no port at all.
    kv218 program --simulate --type 0 "$file"
    expect 0 "" "$file" "$loaded" "$(program_lines)"
    ;;
  verify)
    # The board program wrote, verified and read back through COM5: the read file loads as
    # the one programmed; a type-3 target is refused.
    start_sim --baud max --erase-ms 0 --program-ms 0
    kv218 program --port COM5 --type 0 "$file"
    [ "$rc" -eq 0 ] || fail "program: exit status $rc; stderr: $(cat "$work/err")"
    kv218 verify --port COM5 --type 0 "$file"
    expect 0 "" "$file" "$loaded" "" "VERIFYING TARGET ... (T)" \
      "1. Reading Device ID ... OK ( 0xBF , 0x2118 )" "2. Reading Program Memory ... OK" \
      "3. Verify Program Memory ... OK" "4. Reading Configuration Bits ... OK" \
      "5. Verify Configuration Bits ... OK" "VERIFY SUCCEEDED. (T)"
    kv218 read --port COM5 --type 0 --out "Z:$(echo "$work/read.hex" | tr / '\\')"
    [ "$rc" -eq 0 ] || fail "read: exit status $rc; stderr: $(cat "$work/err")"
    kv218 load --type 0 "$work/read.hex"
    [ "$(sed -n 3p "$work/out")" = "$loaded" ] || fail "the read file loads as: $(cat "$work/out")"
    kv218 verify --port COM5 --type 3 "$examples/eco_mode.hex"
    [ "$rc" -eq 2 ] || fail "type 3: exit status $rc, expected 2"
    ;;
  store)
    start_sim --baud max --erase-ms 0 --program-ms 0
    kv218 store --port '\\.\COM5' --type 0 "$file"
    expect 0 "" "$file" "$loaded" "" \
      "<<NOTE>> Internal Flash Bulk Erase Counter (Max:100,000): 0" "" \
      "PROGRAMMING FLASH MEMORY ... (T)" "1. Bulk Erasing Flash Memory ... OK" \
      "2. Flash Memory Writting ... OK" "3. Verify Flash Memory ... OK" \
      "4. Flash Memory Configuation Bits Writting ... OK" \
      "5. Vreify Flash Memory Configuation Bits ... OK" "PROGRAMMING SUCCEEDED. (T)"
    ;;
  silent)
    # The identity query goes unanswered: six silent ticks (of 100 ms here) end the run.
    start_sim --baud max --fault silent-at=RI
    kv218 program --port COM5 --tick-ms 100 --type 0 "$file"
    expect 3 "" "$file" "$loaded" "" "PROGRAMMING TARGET ... (T)" "1. Reading Device ID ..." \
      "TimeOut !! No response with target !!" "PROGRAMMING FAILED. (T)"
    grep -q "no response" "$work/err" || fail "stderr: $(cat "$work/err")"
    ;;
  busy)
    # While one kv218.exe holds COM5, a second cannot open it.
    start_sim --baud max --fault silent-at=RI
    "$KV218_WINE" "$exe" --settings "$work/first.INI" program --port COM5 --tick-ms 1000 \
      --type 0 "$file" >"$work/first.out" 2>&1 &
    first=$!
    tries=0
    until grep -q "PROGRAMMING TARGET" "$work/first.out"; do
      tries=$((tries + 1))
      [ $tries -gt 200 ] && fail "the first run did not start: $(cat "$work/first.out")"
      sleep 0.05
    done
    kv218 program --port COM5 --type 0 "$file"
    kill -INT $first
    wait $first
    [ "$rc" -eq 4 ] || fail "second open: exit status $rc, expected 4"
    grep -q "Cannot open port COM5" "$work/err" || fail "stderr: $(cat "$work/err")"
    ;;
  interrupt)
    # Ctrl-C (SIGINT, which Wine hands to the console control handler) in the middle of a
    # paced run: the run ends, EndRun reaches the programmer, the settings are saved.
    start_sim
    "$KV218_WINE" "$exe" --settings "$work/kv218tool.INI" program --port COM5 --type 0 \
      "$file" >"$work/raw" 2>"$work/err" &
    run=$!
    tries=0
    until grep -q "2. Bulk Erasing ... OK" "$work/raw"; do
      tries=$((tries + 1))
      [ $tries -gt 400 ] && fail "the run did not get going: $(cat "$work/raw" "$work/err")"
      sleep 0.05
    done
    kill -INT $run
    wait $run
    rc=$?
    normalise
    [ "$rc" -eq 130 ] || fail "exit status $rc, expected 130; stderr: $(cat "$work/err")"
    grep -q "interrupted" "$work/err" || fail "stderr: $(cat "$work/err")"
    [ "$(tail -n 1 "$work/out")" = "3. Programming Program Memory ..." ] ||
      fail "last line: $(tail -n 1 "$work/out")"
    [ -f "$work/kv218tool.INI" ] || fail "the settings were not saved"
    tries=0
    until [ "$(grep 'host> ' "$work/trace.txt" | tail -n 1 | sed 's/.*host> //')" = "1F 4D 45" ]; do
      tries=$((tries + 1))
      [ $tries -gt 200 ] && fail "EndRun never reached the programmer"
      sleep 0.05
    done
    ;;
  lost)
    # kv218-sim ends (COM5's line hangs up, its link goes) and starts again: monitor says the
    # port is lost, opens it again once it is back, and logs and records the programmer's next
    # stand-alone run.
    start_sim --baud max
    "$KV218_WINE" "$exe" --settings "$work/kv218tool.INI" monitor --port COM5 --tick-ms 100 \
      --record "$work/runs.jsonl" >"$work/raw" 2>"$work/err" &
    watch=$!
    await_err "Watching the programmer on COM5"
    kill -INT "$sim_pid" && wait "$sim_pid"
    sim_pid=
    await_err "kv218: port COM5 lost; waiting for it to come back"
    start_sim --baud max
    await_err "kv218: port COM5 is back"
    kill -USR1 "$sim_pid"
    await_err "Stand-alone runs: 0 passed, 1 failed"
    kill -INT $watch
    wait $watch
    rc=$?
    normalise
    [ "$rc" -eq 0 ] || fail "exit status $rc, expected 0; stderr: $(cat "$work/err")"
    grep -q "^KV-218 TO TARGET" "$work/out" || fail "log: $(cat "$work/out")"
    [ "$(grep -c '"operation":"standalone"' "$work/runs.jsonl")" -eq 1 ] ||
      fail "record: $(cat "$work/runs.jsonl")"
    ;;
  *)
    fail "unknown case"
    ;;
esac
echo "ok ($case_name)"

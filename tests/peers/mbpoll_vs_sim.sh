#!/bin/bash
# mbpoll, an independent ModBus master, against kastari-sim over its pseudo-terminal: holding
# registers (16-bit and float), coils, a register and a coil write read back, the identification,
# and an exception for a register the meter does not have.
# Usage: mbpoll_vs_sim.sh PATH-TO-KASTARI-SIM
set -u
sim=${1:?path to kastari-sim}
command -v mbpoll >/dev/null || { echo "mbpoll is not installed"; exit 77; }

work=$(mktemp -d)
link=$work/line
simpid=
cleanup() {
    [ -n "$simpid" ] && kill "$simpid" 2>/dev/null && wait "$simpid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

"$sim" --link "$link" --device 1 --device 7:number=123456 --seed 3 >"$work/sim.out" 2>&1 &
simpid=$!
for _ in $(seq 100); do
    grep -q "^ready $link\$" "$work/sim.out" 2>/dev/null && break
    sleep 0.1
done
grep -q "^ready $link\$" "$work/sim.out" || { echo "kastari-sim did not get ready"; cat "$work/sim.out"; exit 1; }

failures=0
poll() { mbpoll -m rtu -b 9600 -P none -1 -o 2 "$@" 2>&1; }
# The value printed for reference REF ("[REF]: VALUE").
value() { sed -n "s/^\[$1\]:[[:space:]]*\([^ ]*\).*/\1/p"; }
expect() { # what, expected, actual
    if [ "$2" = "$3" ]; then
        echo "ok   $1"
    else
        echo "FAIL $1: expected '$2', got '$3'"
        failures=$((failures + 1))
    fi
}

out=$(poll -a 1 -0 -r 12 -c 2 "$link")
expect "network number of meter 1" 1 "$(echo "$out" | value 12)"
expect "speed code 9600" 7 "$(echo "$out" | value 13)"

out=$(poll -a 7 -0 -r 8 -c 2 "$link")
expect "electronic number of meter 7, high" 1 "$(echo "$out" | value 8)"
expect "electronic number of meter 7, low" 57920 "$(echo "$out" | value 9)"

out=$(poll -a 1 -0 -t 4:float -B -r 19 "$link")
expect "quartz frequency as a float" 20 "$(echo "$out" | value 19)"

out=$(poll -a 1 -0 -r 0 -c 125 "$link")
expect "125 registers in one read" 125 "$(echo "$out" | grep -c '^\[')"

poll -a 1 -0 -r 18 "$link" 250 >/dev/null
expect "inertia time written and read back" 250 "$(poll -a 1 -0 -r 18 "$link" | value 18)"

out=$(poll -a 1 -0 -t 0 -r 2 -c 3 "$link")
expect "coil 3 off" 0 "$(echo "$out" | value 3)"
poll -a 1 -0 -t 0 -r 3 "$link" 1 >/dev/null
out=$(poll -a 1 -0 -t 0 -r 2 -c 3 "$link")
expect "coil 3 set and read back" 1 "$(echo "$out" | value 3)"
expect "coil 2 untouched" 0 "$(echo "$out" | value 2)"

out=$(poll -a 1 -u "$link")
expect "identification texts" 'STARI-DK\00v3.12\00' "$(echo "$out" | sed -n 's/^Data *: //p')"

out=$(poll -a 1 -0 -r 309 "$link")
expect "register 309 refused" "Illegal data address" "$(echo "$out" | grep -o 'Illegal data address')"

out=$(poll -a 9 -0 -r 0 "$link")
expect "no meter at address 9" "timed out" "$(echo "$out" | grep -o 'timed out' | head -1)"

exit $((failures > 0))

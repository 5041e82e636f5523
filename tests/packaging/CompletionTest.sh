#!/usr/bin/env bash
# korvactl's bash completion: what it offers for a table of command lines, with bash splitting
# the words as it does interactively (at '=' and ':' too).
#   CompletionTest.sh COMPLETION_FILE
set -uo pipefail
source "$1"
failures=0
expect() { # command line, expected candidates (space-separated, in order)
    COMP_LINE=$1 COMP_POINT=${#1} COMPREPLY=()
    _korvactl
    local got="${COMPREPLY[*]}"
    if [[ $got != "$2" ]]; then
        echo "FAIL [$1]: expected [$2], got [$got]"
        failures=$((failures + 1))
    fi
}
expect "korvactl " "ports setup logo firmware net"
expect "korvactl se" "setup"
expect "korvactl net " "search set"
expect "korvactl net search --" "--help --json --broadcast --all-interfaces --bind --wait-ms"
expect "korvactl net set --mac 00:1A:2B:3C:4D:5E --g" "--gateway"
expect "korvactl net set --mask 255.255.255.0 --d" "--dhcp"
expect "korvactl --model KORVA40U-II --port USB s" "setup"
expect "korvactl setup " "get set defaults test"
expect "korvactl setup d" "defaults"
expect "korvactl --par" "--parity"
expect "korvactl --parity " "none odd even"
expect "korvactl --flow " "hw sw none"
expect "korvactl --stop " "1 2"
expect "korvactl --lang 0x04" "0x0409 0x0412"
expect "korvactl --model KORVA30U" "KORVA30U-I KORVA30U-II"
expect "korvactl --model=KORVA40E" "KORVA40E-II"
expect "korvactl setup get --" "--help --json"
expect "korvactl setup set --f" "--force"
expect "korvactl logo convert --ma" "--max-width"
expect "korvactl logo " "convert list upload erase print"
expect "korvactl logo print --quality " "normal double-width double-height quadruple"
expect "korvactl logo print --" "--help --all --select --quality --header --star"
expect "korvactl setup set paper_t" "paper_type="
expect "korvactl setup set paper_width=" "80 58/30 58/32"
expect "korvactl setup set paper_type=black bell_type=tavel_m" \
    "tavel_melody_1 tavel_melody_2 tavel_melody_3"
expect "korvactl setup set margin=51" "51 510 511 512"
expect "korvactl setup set sleep_mode=1" "10 15"
expect "korvactl setup set nv_user=" "64 128 192 256 320"
expect "korvactl setup set self_test=h" "hexadump"
expect "korvactl setup set unknown_key=" ""
expect "korvactl ports --" "--help"
expect "korvactl firmware " "info download"
expect "korvactl firmware download --area " "program ext-font lcd-font download boot"
expect "korvactl --model KORVA10S firmware download --area " "program boot font"
expect "korvactl --model=KORVA10P firmware download --area b" "boot"
expect "korvactl --model KORVA40S firmware download --e" "--expert"
((failures == 0)) && echo "completion: all cases passed"
exit $((failures > 0))

#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# tst_completion.sh COMPLETION PROGRAM
#   Completes radioset-cli command lines with the completion in COMPLETION (a
#   file, or "installed" for the one bash-completion loads) and checks what is
#   offered. PROGRAM is the radioset-cli whose --help gives the options.
#   The serial ports are faked in a private mount namespace, so that the test
#   sees the same /dev on every machine; exit 77 (skipped) where there is none.
set -uo pipefail
completion=$1
program=$(readlink -f "$2")
self=$(readlink -f "$0")

if [[ ${RADIOSET_COMPLETION_INSIDE:-} != 1 ]]; then
  for how in "unshare -m" "unshare -rm"; do
    if $how true 2>/dev/null; then
      RADIOSET_COMPLETION_INSIDE=1 exec $how bash "$self" "$completion" "$program"
    fi
  done
  echo "SKIP: no private mount namespace here"
  exit 77
fi

# --- Inside a namespace of our own: a /dev with known serial ports -------------
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mount -t tmpfs tmpfs /dev || { echo "SKIP: cannot mount over /dev"; exit 77; }
ln -s /proc/self/fd /dev/fd
touch /dev/null /dev/ttyUSB0 /dev/ttyUSB1 /dev/ttyACM0 /dev/ttyS0 /dev/ttyAMA0
mkdir -p /dev/serial/by-id
touch /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3X2Q-if00-port0

if [[ $completion == installed ]]; then
  # As a user's interactive bash gets it: loaded on demand by bash-completion.
  # shellcheck disable=SC1091
  source /usr/share/bash-completion/bash_completion
  __load_completion radioset-cli
  [[ $(complete -p radioset-cli 2>/dev/null) == *"-F _radioset_cli "* ]] || {
    echo "FAIL: bash-completion does not load a completion for radioset-cli"
    exit 1
  }
else
  # shellcheck disable=SC1090
  source "$completion"
fi

passed=0
failed=0
# expect "WORD WORD..." WORD0 WORD1 ... CURRENT: completes the last word.
expect() {
  local want=$1
  shift
  COMP_WORDS=("$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE="${COMP_WORDS[*]}"
  COMP_POINT=${#COMP_LINE}
  COMPREPLY=()
  _radioset_cli
  local got
  got=$(printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | sort | tr '\n' ' ')
  want=$(tr ' ' '\n' <<<"$want" | sed '/^$/d' | sort | tr '\n' ' ')
  if [[ $got == "$want" ]]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL: ${COMP_WORDS[*]}<TAB>"
    echo "  want: $want"
    echo "  got:  $got"
  fi
}

cd "$work"
mkdir profiles
touch sensor.ini BATCH.INI notes.txt profiles/a.ini
printf '[PRODUCTS]\nPRODUCT_CNT=2\nPRODUCT01=QN7101\nPRODUCT02=BT-300\n' >products.ini

# Commands first, then a profile for write.
expect "identify read write init search" "$program" ""
expect "identify init" "$program" "i"
expect "identify init" "$program" -p /dev/ttyUSB0 "i"
expect "BATCH.INI profiles products.ini sensor.ini" "$program" write ""
expect "sensor.ini" "$program" --baud 9600 write "s"
expect "" "$program" write sensor.ini ""
expect "sensor.ini" "$program" --watch --log line.jsonl --count 20 write "s"

# Every option of --help, short and long, and nothing else.
options=$("$program" --help | grep -oE -- '^[[:space:]]+(-[[:alnum:]], )?--[[:alnum:]-]+' | grep -oE -- '-[-[:alnum:]]+' | sort -u | tr '\n' ' ')
[[ -n $options && $options == *--port* ]] || { echo "FAIL: no options in $program --help"; exit 1; }
expect "$options" "$program" read "-"
expect "--verify" "$program" write sensor.ini "--veri"

# Values of the options that take a choice, also after "=" (bash splits there).
expect "ini json" "$program" read --format ""
expect "json" "$program" read --format "=" "j"
expect "none even odd" "$program" --parity ""
expect "even" "$program" --parity "=" "e"
expect "1 2" "$program" identify --stop ""
expect "1200 19200 115200" "$program" --baud "1"
expect "auto" "$program" --baud "a"
expect "notes.txt" "$program" --watch --log "no"
expect "QN7101 BT-300" "$program" --products products.ini identify --model ""
expect "QN7101" "$program" --products=products.ini identify --model "Q"

# Serial ports for -p: USB and ACM adapters and the stable names, not every tty.
all_ports="/dev/ttyACM0 /dev/ttyUSB0 /dev/ttyUSB1 /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3X2Q-if00-port0"
expect "$all_ports" "$program" identify -p ""
expect "/dev/ttyUSB0 /dev/ttyUSB1" "$program" identify -p "/dev/ttyU"
expect "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3X2Q-if00-port0" "$program" read --port "=" "/dev/ser"
expect "--port=/dev/ttyACM0" "$program" read "--port=/dev/ttyA"
# Any other path, a pseudo-terminal's link say, completes as a file.
expect "profiles" "$program" identify -p "prof"
expect "products.ini" "$program" read -o "prod"

echo "$passed passed, $failed failed"
((failed == 0))

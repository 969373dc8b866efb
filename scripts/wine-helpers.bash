# Helpers for the scripts that drive a wine prefix beside the simulator, sourced by
# them (scripts/demo.sh, tests/wine/kiosk_host_test.sh).
#   source scripts/wine-helpers.bash
#   windows_path PATH                          an absolute Linux path as drive Z: sees it
#   simulator COMMAND                          one command on the simulator's control
#                                              channel (LCDM_SIM_CONTROL); prints its answer
#   await_simulator WHO PID OUT ERR            waits up to 10 s for the simulator started
#                                              as PID to write READY to the file OUT; when
#                                              it ends first, WHO's message and ERR, false
#   wine_reg WINE_COMMAND... -- REG_ARGS...    reg.exe, its output on standard output
#   wine_reg_delete_key WINE_COMMAND... -- KEY (succeeds once KEY is gone)
# Wine's own reg.exe now and then fails to start at all ("ShellExecuteEx failed:
# Internal error", or exit status 1 and no output, about once in a few hundred runs),
# which would leave a step silently undone; every registry step here is idempotent,
# so it is tried again.

windows_path() {
  local path=$1
  printf 'Z:%s' "${path//\//\\}"
}

simulator() {
  local channel answer
  exec {channel}<>"/dev/tcp/${LCDM_SIM_CONTROL%:*}/${LCDM_SIM_CONTROL##*:}"
  printf '%s\n' "$1" >&"$channel"
  IFS= read -r answer <&"$channel"
  exec {channel}>&-
  printf '%s\n' "$answer"
}

await_simulator() {
  local who=$1 pid=$2 out=$3 err=$4
  for _ in $(seq 200); do
    grep -q '^READY ' "$out" 2>/dev/null && return 0
    if ! kill -0 "$pid" 2>/dev/null; then
      echo "$who: the simulator did not start:" >&2
      cat "$err" >&2
      return 1
    fi
    sleep 0.05
  done
  # Still running without READY: the caller's own check of what it said reports it.
  return 0
}

_wine_reg_attempts=3

# Splits "WINE_COMMAND... -- REST..." into the arrays _wine_command and _reg_arguments.
_wine_reg_split() {
  _wine_command=()
  while [ "$#" -gt 0 ] && [ "$1" != -- ]; do
    _wine_command+=("$1")
    shift
  done
  if [ "$#" -eq 0 ]; then
    echo "wine_reg: no -- between the wine command and reg's arguments" >&2
    return 2
  fi
  shift
  _reg_arguments=("$@")
}

wine_reg() {
  _wine_reg_split "$@" || return
  local attempt output
  for ((attempt = 1; attempt <= _wine_reg_attempts; attempt++)); do
    if output=$("${_wine_command[@]}" reg "${_reg_arguments[@]}" 2>&1); then
      printf '%s\n' "$output" | tr -d '\r'
      return 0
    fi
    echo "wine_reg: reg ${_reg_arguments[*]} failed (attempt $attempt): $output" >&2
  done
  echo "wine_reg: reg ${_reg_arguments[*]} gave up after $_wine_reg_attempts attempts" >&2
  return 1
}

wine_reg_delete_key() {
  _wine_reg_split "$@" || return
  local key=${_reg_arguments[0]} attempt output
  for ((attempt = 1; attempt <= _wine_reg_attempts; attempt++)); do
    "${_wine_command[@]}" reg delete "$key" /f >/dev/null 2>&1 || true
    # Gone only when reg itself says so: a reg that did not start says nothing of it.
    if ! output=$("${_wine_command[@]}" reg query "$key" 2>&1); then
      case "$output" in *"Unable to find"*) return 0 ;; esac
    fi
    echo "wine_reg: $key still there (attempt $attempt): $output" >&2
  done
  echo "wine_reg: $key could not be deleted in $_wine_reg_attempts attempts" >&2
  return 1
}

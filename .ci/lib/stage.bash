# What the CI stages that play sessions share. A stage sets `stage` (its name
# in messages), and for its sessions `play` (their folder) and `current` (the
# session at hand, whose transcript and standard error a failure shows).

fail() {
  echo "FAILED: $stage${current:+ session '$current'}: $*" >&2
  if [ -n "${current:-}" ] && [ -f "$play/$current.txt" ]; then
    echo "----- transcript of '$current' -----" >&2
    cat "$play/$current.txt" >&2
    echo "----- end of transcript -----" >&2
    if [ -s "$play/$current.err" ]; then
      echo "----- standard error -----" >&2
      cat "$play/$current.err" >&2
    fi
  fi
  exit 1
}

note() { echo "$stage [${SECONDS}s]: $*"; }

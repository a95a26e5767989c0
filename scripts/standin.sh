# Sourced by the scripts that run the program against the share-service
# stand-in. start_standin SIZE THROTTLE starts build/release's stand-in on a
# free port of 127.0.0.1, serving SIZE bytes at THROTTLE bytes per second, and
# sets STANDIN_PID, STANDIN_PORT and STANDIN_CA, the PEM file of its
# certificate (for TARNWICK_CA_FILE: the program trusts no other); the caller
# stops it and removes the file.
start_standin() {
  local out
  out=$(mktemp)
  STANDIN_CA=$(mktemp --suffix=.pem)
  build/release/bin/share_standin --port 0 --size "$1" --throttle "$2" \
    --ca-out "$STANDIN_CA" >"$out" &
  STANDIN_PID=$!
  for _ in $(seq 100); do
    grep -q '^PORT ' "$out" && break
    sleep 0.1
  done
  STANDIN_PORT=$(sed -n 's/^PORT //p' "$out")
  rm -f "$out"
  if [ -z "$STANDIN_PORT" ]; then
    kill "$STANDIN_PID" 2>/dev/null || true
    echo "the stand-in did not start" >&2
    return 1
  fi
}

#!/usr/bin/env bash
# Runs a test program in an empty network namespace (only a loopback device, down), where no address of
# another machine can be reached whatever the program tries. Skips (77) where namespaces cannot be made,
# as for a user who is not root.
set -euo pipefail
if ! unshare -n true 2>/dev/null; then
  echo "skipped: unshare -n is not allowed here (run as root)"
  exit 77
fi
exec unshare -n "$@"

#!/usr/bin/env bash
# While another program holds the package manager's locks, scripts/install-missing says so in one
# line and ends with status 1, changing nothing.
set -euo pipefail
script=$1/scripts/install-missing
if [ "$(id -u)" -ne 0 ]; then
    echo "SKIP: only root runs apt-get here" # an ordinary user is told what to install instead
    exit 77
fi
ready=$(mktemp -u)
trap 'kill "$holder" 2>/dev/null; rm -f "$ready"' EXIT
# apt and dpkg lock with fcntl, so the holder must too.
python3 -c '
import fcntl, sys, time
held = [open(p, "a") for p in ("/var/lib/apt/lists/lock", "/var/lib/dpkg/lock-frontend")]
for f in held:
    fcntl.lockf(f, fcntl.LOCK_EX)  # once whoever holds them now, another run of this one say, is done
open(sys.argv[1], "w").close()
time.sleep(60)' "$ready" &
holder=$!
until [ -e "$ready" ]; do
    kill -0 "$holder" 2>/dev/null || { echo "FAIL: the package manager's locks cannot be held" >&2; exit 1; }
    sleep 0.1
done
status=0
said=$(bash "$script" quillmar-no-such-package 2>&1) || status=$?
expected="Installing: quillmar-no-such-package
The package manager is busy with another program; install again when it has finished."
[ "$status" = 1 ] && [ "$said" = "$expected" ] || {
    echo "FAIL: status $status, said: $said" >&2
    exit 1
}
echo "a held lock is said in one line"

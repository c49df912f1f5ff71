#!/usr/bin/env bash
# While another program holds the package manager's locks, scripts/install-missing says so in one
# line and ends with status 1, changing nothing.
#
# Only root runs apt-get there (an ordinary user is told what to install instead). An ordinary user
# runs this check as root of a user namespace of its own, where the package manager's state is a
# tmpfs of its own: the status of the installed packages copied, no lists, and lock files it can
# hold. apt-get stops at the held lock before it would look at the lists.
set -euo pipefail
script=$1/scripts/install-missing
if [ "$(id -u)" -ne 0 ]; then
    why=$(unshare --user --map-root-user --mount true 2>&1) || {
        echo "SKIP: no user namespace of this check's own: $why (see the sysctls" \
            "user.max_user_namespaces, kernel.unprivileged_userns_clone and" \
            "kernel.apparmor_restrict_unprivileged_userns)"
        exit 77
    }
    exec unshare --user --map-root-user --mount bash "$0" "$@"
fi
read -r _ outside _ </proc/self/uid_map
if [ "$outside" != 0 ]; then # root of the user namespace above, not of the machine
    installed=$(mktemp)
    cp /var/lib/dpkg/status "$installed"
    mount -t tmpfs quillmar-test-dpkg /var/lib/dpkg
    mount -t tmpfs quillmar-test-lists /var/lib/apt/lists
    mv "$installed" /var/lib/dpkg/status
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

#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs a test on pseudo-terminals and serial-port locks of its own:
#   own-terminals.sh <program> [arguments...]
# The kernel numbers pseudo-terminals for the whole machine and hands a freed number out again at
# once. A program elsewhere that still holds an old name, such as a logger retrying /dev/pts/1
# after its board went away, opens the test's new terminal of that number and writes its "&i"
# into the test's line. In a mount namespace of its own the test gets a devpts instance and a
# lock folder that no other program can reach. Without the privilege for that (not root, a
# locked-down container) the test runs on the machine's shared ones, and says so.
set -u
shared() {
    echo "own-terminals.sh: $1; the test shares the machine's pseudo-terminals" >&2
    shift
    exec "$@"
}
if [ "${1:-}" = "--inside" ]; then
    shift
    mount -t devpts -o newinstance,ptmxmode=0666,mode=0620 devpts /dev/pts 2>/dev/null ||
        shared "no devpts instance of its own" "$@"
    # The locks go with the terminals: a lock a program outside holds for its own pts/N must
    # not refuse ours, nor ours its.
    locks=$(readlink -f /var/lock) && mount -t tmpfs -o mode=1777 tmpfs "$locks" 2>/dev/null ||
        echo "own-terminals.sh: the serial-port locks are the machine's" >&2
    exec "$@"
fi
unshare --mount --propagation private true 2>/dev/null || shared "no mount namespace of its own" "$@"
exec unshare --mount --propagation private "$0" --inside "$@"

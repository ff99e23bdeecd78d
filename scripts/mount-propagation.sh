#!/usr/bin/env bash
# Prints the --propagation that makes a new mount namespace's mounts stay its own: "private",
# or in a chroot (whose / is no mount point, so cannot be made private) "unchanged", which is as
# good while no mount is shared with another namespace. Fails, saying why, when neither holds.
if mountpoint -q /; then
  echo private
elif ! grep -q ' shared:' /proc/self/mountinfo; then
  echo unchanged
else
  echo "mounts are shared with another namespace and / is no mount point (a chroot?): mounts" \
    "made here could reach the rest of the machine" >&2
  exit 1
fi

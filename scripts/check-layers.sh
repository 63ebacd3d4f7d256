#!/usr/bin/env bash
# The layering check: fails when a file under src/ includes a header from a
# folder above its own layer (or from another folder of the same layer), when
# folders include each other in a cycle, or when an OS header is included
# outside the platform layer. Prints the counts it found.
set -euo pipefail
cd "$(dirname "$0")/.."

# The layer order, bottom up: the one place it is written down. Folders on one
# line share a layer and do not include each other; a folder may include any
# folder on a line above its own.
LAYERS=(
  "base"
  "platform"
  "domain"
  "config"
  "plot"
  "results diaglink sim u3 verdict records"
  "seal"
  "recording reading"
  "spc"
  "lineview"
  "output"
  "execution"
  "station"
  "ui cli dashboard"
)
OS_HEADERS='^#include <(unistd\.h|fcntl\.h|sys/|termios\.h|pwd\.h|poll\.h|malloc\.h|linux/|libusb|libserialport)'

declare -A level
for i in "${!LAYERS[@]}"; do
  for folder in ${LAYERS[$i]}; do level[$folder]=$i; done
done

back_edges=0
unknown=0
os_outside=0
declare -A edges
for file in $(find src -name '*.h' -o -name '*.cpp' | sort); do
  from=$(echo "$file" | cut -d/ -f2)
  if [ -z "${level[$from]+set}" ]; then
    echo "unlisted folder: $from ($file)"; unknown=$((unknown + 1)); continue
  fi
  while read -r to; do
    [ "$to" = "$from" ] && continue
    if [ -z "${level[$to]+set}" ]; then
      echo "unlisted folder: $to (included by $file)"; unknown=$((unknown + 1)); continue
    fi
    edges["$from $to"]=1
    if [ "${level[$to]}" -ge "${level[$from]}" ]; then
      echo "back edge: $file includes $to/ ($from is not above $to)"
      back_edges=$((back_edges + 1))
    fi
  done < <(grep -oE '^#include "[A-Za-z0-9_]+/' "$file" | sed -E 's/#include "//; s#/##' | sort -u)
  if [ "$from" != "platform" ]; then
    while read -r hit; do
      [ -n "$hit" ] || continue
      echo "OS header outside platform: $file: $hit"; os_outside=$((os_outside + 1))
    done < <(grep -E "$OS_HEADERS" "$file" || true)
  fi
done

# Cycles among folders: with every edge going strictly downwards there can be
# none, but count them on their own so the figure stands for itself.
cycles=0
for edge in "${!edges[@]}"; do
  set -- $edge
  if [ -n "${edges["$2 $1"]+set}" ] && [[ "$1" < "$2" ]]; then
    echo "cycle: $1 <-> $2"; cycles=$((cycles + 1))
  fi
done

echo "layers: ${#LAYERS[@]}, folder edges: ${#edges[@]}, back edges: $back_edges," \
  "cycles: $cycles, OS headers outside platform: $os_outside, unlisted folders: $unknown"
[ $((back_edges + cycles + os_outside + unknown)) -eq 0 ]

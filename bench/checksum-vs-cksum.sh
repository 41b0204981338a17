#!/usr/bin/env bash
# Times a whole flintor-calc run on a 16 MiB image that ends with a checksum trailer beside coreutils'
# cksum on the same file, from the page cache, the two in turn, and prints the medians and the median of
# the pairs' ratios (flintor-calc / cksum; the goal is at most 1.0). The image is made here: a
# combined-image header, a kernel magic at 0x90, random bytes without "hsqs", a SquashFS superblock in
# the last chunk (so that the search reads every chunk), and the trailer over all of it.
#   bench/checksum-vs-cksum.sh BUILD_DIR [RUNS]
set -euo pipefail
build="$1"
runs="${2:-100}"
calc="$build/cli/flintor-calc"
length=$((16 * 1024 * 1024))
fs_at=$((length - 0x8000))

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
image="$work/image.bin"

# Little-endian bytes of a number, as printf escapes: le VALUE BYTES
le() {
  local value="$1" count="$2" i out=""
  for ((i = 0; i < count; i++)); do
    out+="$(printf '\\x%02X' $(((value >> (8 * i)) & 255)))"
  done
  printf '%s' "$out"
}

{
  printf '\x34\x44\x54\x4D\x01\x02\x03\x04\x40\x30\x20\x10\x00\x00\x00\x00'
  head -c $((0x90 - 16)) /dev/zero
  printf '\x42\xFA\xED\xFE'
  head -c $((fs_at - 0x94)) /dev/urandom | LC_ALL=C sed 's/hsqs/Hsqs/g'
  # The superblock: magic, 128 KiB blocks (log 17), version 4.0, and bytes used up to the trailer.
  printf 'hsqs'
  head -c 8 /dev/zero
  printf "$(le $((0x20000)) 4)"
  head -c 6 /dev/zero
  printf "$(le 17 2)"
  head -c 4 /dev/zero
  printf "$(le 4 2)"
  head -c 10 /dev/zero
  printf "$(le $((0x8000 - 8)) 8)"
  head -c $((0x8000 - 48 - 8)) /dev/zero
} >"$image"
sum="$(cksum <"$image" | cut -d' ' -f1)"
printf "$(le $((0xC453DE23)) 4)$(le "$sum" 4)" >>"$image"
[ "$(stat -c %s "$image")" -eq "$length" ] || { echo "the image is not 16 MiB long" >&2; exit 1; }

flintor=("$calc" --flash 0x1100000 --bootloader psp "$image")
# The run must complete and find the checksum right, or it measures something else.
if ! "${flintor[@]}" 2>&1 >/dev/null | grep -q 'The image is intact'; then
  echo "flintor-calc did not complete with the checksum right" >&2
  exit 1
fi
cat "$image" >/dev/null

# Wall time of one run in microseconds, without starting a timing process.
micros() {
  local start end
  start=$EPOCHREALTIME
  "$@" >/dev/null 2>&1 || true
  end=$EPOCHREALTIME
  echo $(((${end/./} - ${start/./})))
}

median() { sort -n | awk '{a[NR]=$1} END {m=(NR%2)?a[(NR+1)/2]:(a[NR/2]+a[NR/2+1])/2; print m}'; }

echo "load before: $(uptime)"
: >"$work/a"; : >"$work/b"; : >"$work/ratio"
for _ in $(seq "$runs"); do
  a=$(micros "${flintor[@]}")
  b=$(micros cksum "$image")
  echo "$a" >>"$work/a"
  echo "$b" >>"$work/b"
  awk -v a="$a" -v b="$b" 'BEGIN{print a / b}' >>"$work/ratio"
done
echo "load after:  $(uptime)"
a=$(median <"$work/a"); b=$(median <"$work/b"); r=$(median <"$work/ratio")
printf 'median of %d runs each, in turn: flintor-calc %.2f ms, cksum %.2f ms; median ratio %.3f (goal: at most 1.0)\n' \
  "$runs" "$(awk -v v="$a" 'BEGIN{print v / 1000}')" "$(awk -v v="$b" 'BEGIN{print v / 1000}')" "$r"

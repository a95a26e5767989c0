#!/usr/bin/env bash
# Packs PNG images into one Windows icon file: make-ico.sh OUT.ico A.png B.png ...
# Each image is stored as PNG inside the icon, which Windows reads since Vista;
# its width and height come from the PNG's header (256 is written as 0).
set -euo pipefail
out=$1
shift

le16() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $(($1 >> 8 & 255)))"; }
le32() { le16 $(($1 & 65535)); le16 $(($1 >> 16 & 65535)); }
png_dim() { od -An -tu1 -j "$2" -N4 "$1" | awk '{print $1*16777216 + $2*65536 + $3*256 + $4}'; }

{
  le16 0; le16 1; le16 $#
  offset=$((6 + 16 * $#))
  for png in "$@"; do
    width=$(png_dim "$png" 16)
    height=$(png_dim "$png" 20)
    size=$(stat -c %s "$png")
    printf "\\x$(printf %02x $((width & 255)))\\x$(printf %02x $((height & 255)))\\x00\\x00"
    le16 1; le16 32; le32 "$size"; le32 "$offset"
    offset=$((offset + size))
  done
  cat "$@"
} >"$out"

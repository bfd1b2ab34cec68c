#!/bin/bash
# Draws the application icon (a check list on a dark blue tile with a green tick) and writes
# resources/app.ico with the usual sizes. Run by hand when the image changes; the .ico is committed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
tmp="$(mktemp -d)"
convert -size 256x256 xc:none \
  -fill '#1f3b73' -draw 'roundrectangle 8,8 248,248 40,40' \
  -fill '#f2f4f8' -draw 'rectangle 56,48 200,208' \
  -fill '#1f3b73' -draw 'rectangle 80,80 176,92' -draw 'rectangle 80,120 176,132' -draw 'rectangle 80,160 150,172' \
  -stroke '#2fa84f' -strokewidth 22 -fill none -draw 'polyline 120,170 155,205 225,110' \
  "$tmp/base.png"
for s in 16 24 32 48 256; do convert "$tmp/base.png" -resize ${s}x${s} "$tmp/i$s.png"; done
convert "$tmp/i16.png" "$tmp/i24.png" "$tmp/i32.png" "$tmp/i48.png" "$tmp/i256.png" "$root/resources/app.ico"
rm -rf "$tmp"

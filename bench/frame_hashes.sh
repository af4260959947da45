#!/usr/bin/env bash
# Renders a fixed set of frames with zyn-render and prints one "hash  name" line per frame, so
# that a change meant to leave every picture alone can be checked against an earlier build:
#   bench/frame_hashes.sh build > before.txt; ...; bench/frame_hashes.sh build | diff before.txt -
# Every sample at several sizes, projection on and off, zoomed, panned, wheel-zoomed, and long
# histories made by zyn-gen-data.
set -euo pipefail
BUILD=${1:-build}
RENDER=$BUILD/tools/zyn-render
GEN=$BUILD/tools/zyn-gen-data
cd "$(dirname "$0")/.."
OUT=$(mktemp -d)
trap 'rm -rf "$OUT"' EXIT
mkdir -p "$OUT/long" "$OUT/huge"
"$GEN" --out "$OUT/long" --rows 30000 DAX EURUSD >/dev/null
"$GEN" --out "$OUT/huge" --rows 100000 USDJPY >/dev/null
render() { # name, file, options...
  local name=$1 file=$2; shift 2
  "$RENDER" png "$file" "$OUT/f.png" "$@"
  echo "$(sha256sum <"$OUT/f.png" | cut -c1-16)  $name"
}
for f in Data/*.mht; do
  n=$(basename "$f" .mht)
  for size in 673x378 1920x1080 300x200; do
    render "$n $size" "$f" --size "$size"
    render "$n $size no-projection" "$f" --size "$size" --no-projection
  done
  render "$n zoomed" "$f" --size 1280x600 --drag left:300,100:700,400
  render "$n zoomed panned" "$f" --size 1280x600 --drag left:300,100:700,400 --drag right:600,300:400,250
  render "$n panned" "$f" --size 1280x600 --drag right:600,300:900,200
  render "$n wheel" "$f" --size 1280x600 --wheel 900:3
  render "$n wheel out" "$f" --size 1280x600 --wheel 900:3 --wheel 200:-2 --no-projection
done
for f in "$OUT"/long/*.mht "$OUT"/huge/*.mht; do
  n=$(basename "$(dirname "$f")")/$(basename "$f" .mht)
  for size in 1920x1080 673x378; do
    render "$n $size" "$f" --size "$size"
    render "$n $size no-projection" "$f" --size "$size" --no-projection
  done
  render "$n zoomed" "$f" --size 1920x1080 --drag left:500,100:1200,900
  render "$n zoomed panned" "$f" --size 1920x1080 --drag left:500,100:1200,900 --drag right:1000,500:700,400
  render "$n wheel" "$f" --size 1920x1080 --wheel 1000:5
done

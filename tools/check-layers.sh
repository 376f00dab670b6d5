#!/usr/bin/env bash
# Fails when a source file includes a header of a layer above its own, or when a file that must
# stay free of Qt includes it. The layers, lowest first:
#   platform <- runtime <- data <- framework <- report <- app, with ui beside framework (ui sees
#   runtime and platform only; framework and report reach windows through runtime's interface).
# tools/, tests/, bench/ and fuzz/ stand above everything. Only ui/, the programs' main.cpp files,
# app/remind/ (pellucor-remind, a Qt Core and Qt D-Bus program through and through), tools and
# tests include Qt.
# Usage: tools/check-layers.sh [ROOT]   (exit 0 clean, 1 with one line per fault)
set -euo pipefail
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
cd "$root"

# One pass of grep over every tracked source, judged by awk: quick even on a busy machine.
git ls-files -z '*.cpp' '*.h' | xargs -0 grep -HE '^[[:space:]]*#[[:space:]]*include' | awk '
BEGIN {
  ok["platform"] = " platform "
  ok["runtime"] = " runtime platform "
  ok["data"] = " data runtime platform "
  ok["ui"] = " ui runtime platform "
  ok["framework"] = " framework data runtime platform "
  ok["report"] = " report framework data runtime platform "
  ok["app"] = " app report framework ui data runtime platform "
  faults = 0
}
{
  colon = index($0, ":")
  file = substr($0, 1, colon - 1)
  line = substr($0, colon + 1)
  split(file, parts, "/")
  layer = parts[1]
  if (!(layer in ok)) next
  if (!match(line, /[<"][^>"]+[>"]/)) next
  inc = substr(line, RSTART + 1, RLENGTH - 2)
  slash = index(inc, "/")
  target = slash ? substr(inc, 1, slash - 1) : ""
  if (slash && (target in ok) && index(ok[layer], " " target " ") == 0) {
    print file ": includes " inc ", a header of layer \047" target "\047 above \047" layer "\047"
    faults++
  }
  base = parts[length(parts)]
  remind = file ~ /^app\/remind\//
  if (inc ~ /^Q[A-Za-z]*(\/|$)/ && layer != "ui" && !(layer == "app" && (base == "main.cpp" || remind))) {
    print file ": includes Qt (" inc ") outside ui/ and the programs\047 main.cpp"
    faults++
  }
}
END {
  if (faults > 0) { print "check-layers: " faults " fault(s)" > "/dev/stderr"; exit 1 }
  print "check-layers: every include keeps to the layer order"
}'

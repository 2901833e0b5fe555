#!/usr/bin/env bash
# Stages a distribution folder: setup.exe, the file list and the settings template, the Demos and
# Recipes folders, and each program file the list names. A source name ending in "_" is made by
# compressing the placeholder named like the installed file with mscompress.
# Usage: stage-dist.sh SAMPLE_DIR SETUP_EXE OUT_DIR
set -euo pipefail
sample=$1 setup=$2 out=$3

rm -rf "$out"
mkdir -p "$out"
cp "$setup" "$out/setup.exe"
cp "$sample/Velmarin.lst" "$sample/Velmarin.ini" "$out/"
cp -r "$sample/Demos" "$sample/Recipes" "$out/"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tr -d '\r' < "$sample/Velmarin.lst" | while IFS=, read -r source dest _; do
  case "$source" in ''|[\;\#\ ]*) continue ;; esac
  installed=${dest##*\\}
  if [[ "$source" == *_ ]]; then
    cp "$sample/program/$installed" "$work/$installed"
    mscompress "$work/$installed"
    mv "$work/${installed}_" "$out/$source"
  else
    cp "$sample/program/$installed" "$out/$source"
  fi
done
